#pragma once

#include <QColor>
#include <QImage>
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
// that marks added on top of all others cost only their own spans at the next paint.
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
    // True when the marks went through a layer, kept for DrawAdded.
    bool Draw(QPainter& painter, const std::vector<PlotMark>& marks, const Style& style, Way way);
    // Draws marks that lie on top of all others into the kept layer and shows it. False
    // without a kept layer of this style (then Draw all marks).
    bool DrawAdded(QPainter& painter, const std::vector<PlotMark>& added, const Style& style);

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
    void Splat(const std::vector<PlotMark>& marks, const Style& style);

    int stencilSize_ = -1;
    std::vector<Span> circle_;
    QImage layer_;
    std::optional<Style> kept_;
};
