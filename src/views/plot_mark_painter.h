#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <optional>
#include <vector>

#include "views/plot_mark_grid.h"

class QPainter;

// Draws the marks of the position plot, oldest first: live points as filled circles, replay
// points as filled squares, 2 * pointSize + 1 pixels across. Many marks are filled span by
// span into a layer that is drawn with one call; the spans are those QPainter itself fills
// for one mark, so the pixels are the same as with one call per mark. The layer is kept, so
// that marks added on top of all others cost only their own spans at the next paint, and a
// pan only the strips it changes.
class CPlotMarkPainter {
public:
    using Colours = std::array<QColor, CPlotMarkGrid::kSlots>;
    struct Style {
        int pointSize = 1;
        QSize view;  // the widget's size, beyond which nothing shows
        Colours live;
        Colours replay;
        bool operator==(const Style&) const = default;
    };

    enum class Way {
        kEachMark,  // one QPainter call per mark whatever their number (the reference)
        kCheapest,
        kLayer,  // wherever the layer gives the same pixels, to keep it for DrawAdded
    };
    // True when the marks went through a layer, kept for DrawAdded. kEachMark leaves the kept
    // layer as it was.
    bool Draw(QPainter& painter, const std::vector<PlotMark>& marks, const Style& style, Way way);
    // Draws marks that lie on top of all others into the kept layer and shows it. False
    // without a kept layer of this style (then Draw all marks).
    bool DrawAdded(QPainter& painter, const std::vector<PlotMark>& added, const Style& style);

    // A layer of this style is kept and would show as drawn on this painter.
    bool Keeps(const QPainter& painter, const Style& style) const;
    // On the kept layer: marks on top of all others; the picture moved by whole pixels; a
    // rectangle emptied and filled again with the marks (oldest first) that reach into it.
    void AddToLayer(const std::vector<PlotMark>& added);
    void ScrollLayer(QPoint delta);
    void RedrawLayer(const QRect& rect, const std::vector<PlotMark>& marks);
    void ShowLayer(QPainter& painter) const;
    // How far from its centre a mark of this size reaches, in pixels.
    int Reach(int pointSize);

private:
    struct Span {
        int dy;
        int x0;  // from the mark's centre, inclusive
        int x1;  // exclusive
    };

    static void DrawEach(QPainter& painter, const std::vector<PlotMark>& marks, const Style& style);
    // Only where the painter puts pixels one to one and the colours are opaque is a layer
    // pixel the pixel a mark would have left.
    static bool LayerFits(const QPainter& painter, const Style& style);
    void MakeStencil(int pointSize);
    void Splat(const std::vector<PlotMark>& marks, const Style& style, const QRect& clip);

    int stencilSize_ = -1;
    std::vector<Span> circle_;
    QImage layer_;
    std::optional<Style> kept_;
};
