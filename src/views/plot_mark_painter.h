#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "views/plot_mark_grid.h"

class QPainter;

// Draws the marks of the position plot, oldest first: live points as filled circles, replay
// points as filled squares, 2 * pointSize + 1 pixels across.
//
// Many marks go into a kept layer, filled span by span (the spans QPainter itself fills for
// one mark, so the pixels are the same) and shown with one call. The layer may be larger than
// the view: a view that moves by whole pixels inside it is shown without drawing anything
// again. The layer also keeps where each mark is centred, so that along the view's edges the
// marks centred outside it, which the view skips, are taken out again.
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

    // One QPainter call per mark: for few marks, and as the reference.
    static void DrawEach(QPainter& painter, const std::vector<PlotMark>& marks, const Style& style);
    // Only where the painter puts pixels one to one and the colours are opaque is a layer
    // pixel the pixel a mark would have left.
    static bool LayerFits(const QPainter& painter, const Style& style);

    // A layer of `size` pixels (at least the view's) holding the marks centred in it.
    void BuildLayer(const std::vector<PlotMark>& marks, const Style& style, QSize size);
    // A layer of this style is kept and would show as drawn on this painter.
    bool Keeps(const QPainter& painter, const Style& style) const;
    // Marks on top of all others, centred in the layer.
    void AddToLayer(const std::vector<PlotMark>& added);
    // Moves the picture by whole pixels; what comes in is empty until the marks centred
    // there are put back.
    void ScrollLayer(QPoint delta);
    void PutBack(const QRect& rect, const std::vector<PlotMark>& marks);
    // Shows the view's window whose top left corner lies at `origin` in the layer, as if only
    // the marks centred in that window had been drawn.
    void ShowLayer(QPainter& painter, QPoint origin);
    void DropLayer();

private:
    struct Span {
        int dy;
        int x0;  // from the mark's centre, inclusive
        int x1;  // exclusive
    };

    void MakeStencil(int pointSize);
    // How far from its centre a mark reaches, in pixels.
    int Reach();
    void EmptyLayer();
    // Where a layer pixel lives in memory, and emptying a rectangle of the picture.
    int PhysX(int x) const
    {
        const int p = x + wrap_.x();
        return p >= layerWidth_ ? p - layerWidth_ : p;
    }
    int PhysY(int y) const
    {
        const int p = y + wrap_.y();
        return p >= layerHeight_ ? p - layerHeight_ : p;
    }
    std::size_t CentreIndex(int x, int y) const
    {
        return static_cast<std::size_t>(PhysY(y)) * static_cast<std::size_t>(layerWidth_) +
               static_cast<std::size_t>(PhysX(x));
    }
    void ClearColour(const QRect& rect);
    void ClearRect(const QRect& rect);
    void DrawLayerRect(QPainter& painter, const QRect& rect, QPoint at) const;
    // Marks in layer pixels into the target (the layer itself, or an image whose top left
    // pixel is the layer's `offset`), only within clip (in layer pixels).
    void Splat(QImage& target, QPoint offset, const QRect& clip,
               const std::vector<PlotMark>& marks);
    void KeepCentres(const std::vector<PlotMark>& marks);
    bool CentresAround(const QRect& window, int reach) const;
    // The pixels of rect drawn again into the target, from the marks centred in `from`.
    void DrawFromCentres(const QRect& rect, const QRect& from, QImage& target, QPoint offset);
    void Cover(int x, int y, std::uint32_t live, std::uint32_t replay, const QRect& rect);
    void NoteNearEdges(const std::vector<PlotMark>& marks);

    int stencilSize_ = -1;
    std::vector<Span> circle_;
    // The picture on a torus: layer pixel (x, y) lives at ((x + wrap_.x) mod width,
    // (y + wrap_.y) mod height), so that moving it moves no memory.
    QImage layer_;
    int layerWidth_ = 0;  // layer_'s, without a call into Qt per pixel
    int layerHeight_ = 0;
    QPoint wrap_;
    // Per kind and layer pixel (placed as in layer_): the mark centred there (its point's
    // number times 8, plus its slot, plus 1), 0 for none.
    std::array<std::vector<std::uint32_t>, 2> centres_;
    // Where centres were kept since the layer was last emptied, while few enough that
    // emptying them one by one is quicker than emptying the whole layer.
    std::vector<std::uint32_t> placed_;
    bool manyPlaced_ = true;
    std::optional<Style> kept_;
    std::array<std::array<QRgb, CPlotMarkGrid::kSlots>, 2> rgb_{};  // kept_'s, per kind
    // The shown window's edges drawn from the marks centred in it, while valid.
    std::optional<QRect> edgesOf_;
    std::vector<QRect> edgeRects_;
    std::vector<QImage> edges_;
    // Scratch for drawing from the centres.
    std::vector<std::uint32_t> depth_;
    std::vector<QRgb> shade_;
};
