#include "views/plot_mark_painter.h"

#include <QPainter>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kStencilMargin = 2;

bool Opaque(const CPlotMarkPainter::Colours& colours)
{
    return std::all_of(colours.begin(), colours.end(),
                       [](const QColor& c) { return c.alpha() == 255; });
}

// Keys run 2i + 1 for live point i and 2i + 2 for replay point i; a centre keeps i (at most
// 29 bits) beside a slot of 3, and 0 for none.
std::uint32_t PackCentre(const PlotMark& mark) { return ((mark.key - 1) / 2 << 3 | mark.slot) + 1; }

std::uint32_t KeyOfCentre(std::uint32_t centre, int kind)
{
    return 2 * ((centre - 1) >> 3) + 1 + static_cast<std::uint32_t>(kind);
}

// Fills len pixels of a layer row from physical column p, going on at the row's start.
template <class T>
void FillWrapped(T* row, int p, int len, int w, T value)
{
    const int first = std::min(len, w - p);
    std::fill(row + p, row + p + first, value);
    std::fill(row, row + (len - first), value);
}

}  // namespace

void CPlotMarkPainter::DrawEach(QPainter& painter, const std::vector<PlotMark>& marks,
                                const Style& style)
{
    std::array<QBrush, CPlotMarkGrid::kSlots> liveBrushes;
    for (std::size_t i = 0; i < liveBrushes.size(); ++i) liveBrushes[i] = QBrush(style.live[i]);
    const int s = style.pointSize;
    painter.setPen(Qt::NoPen);
    for (const PlotMark& mark : marks) {
        const QRect box(mark.x - s, mark.y - s, 2 * s + 1, 2 * s + 1);
        if (mark.kind == 0) {
            painter.setBrush(liveBrushes[mark.slot]);
            painter.drawEllipse(box);
        } else {
            painter.fillRect(box, style.replay[mark.slot]);
        }
    }
}

bool CPlotMarkPainter::LayerFits(const QPainter& painter, const Style& style)
{
    const QTransform t = painter.deviceTransform();
    return t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) &&
           t.dy() == std::floor(t.dy()) && !painter.testRenderHint(QPainter::Antialiasing) &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
           painter.opacity() == 1.0 && Opaque(style.live) && Opaque(style.replay);
}

void CPlotMarkPainter::BuildLayer(const std::vector<PlotMark>& marks, const Style& style,
                                  QSize size)
{
    if (layer_.size() != size) {
        layer_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        layerWidth_ = size.width();
        layerHeight_ = size.height();
        manyPlaced_ = true;
    }
    // The kept places are emptied by the reach of the marks drawn there.
    if (!kept_ || kept_->pointSize != style.pointSize) manyPlaced_ = true;
    kept_ = style;
    for (std::size_t slot = 0; slot < rgb_[0].size(); ++slot) {
        rgb_[0][slot] = style.live[slot].rgba();
        rgb_[1][slot] = style.replay[slot].rgba();
    }
    edgesOf_.reset();
    EmptyLayer();
    Splat(layer_, QPoint(0, 0), layer_.rect(), marks);
    KeepCentres(marks);
}

void CPlotMarkPainter::EmptyLayer()
{
    const auto pixels =
        static_cast<std::size_t>(layer_.width()) * static_cast<std::size_t>(layer_.height());
    if (manyPlaced_ || centres_[0].size() != pixels) {
        layer_.fill(Qt::transparent);
        for (auto& plane : centres_) plane.assign(pixels, 0);
    } else {
        const int reach = Reach();
        const int w = layer_.width();
        const int h = layer_.height();
        for (const std::uint32_t i : placed_) {
            centres_[0][i] = 0;
            centres_[1][i] = 0;
            const int x = (static_cast<int>(i) % w - wrap_.x() + w) % w;
            const int y = (static_cast<int>(i) / w - wrap_.y() + h) % h;
            ClearColour(QRect(x - reach, y - reach, 2 * reach + 1, 2 * reach + 1) & layer_.rect());
        }
    }
    placed_.clear();
    manyPlaced_ = false;
    wrap_ = QPoint();
}

void CPlotMarkPainter::ClearColour(const QRect& rect)
{
    uchar* const bits = layer_.bits();
    const qsizetype stride = layer_.bytesPerLine();
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        FillWrapped(reinterpret_cast<QRgb*>(bits + PhysY(y) * stride), PhysX(rect.left()),
                    rect.width(), layer_.width(), QRgb{0});
    }
}

void CPlotMarkPainter::ClearRect(const QRect& rect)
{
    ClearColour(rect);
    const auto w = static_cast<std::size_t>(layer_.width());
    for (auto& plane : centres_) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            FillWrapped(plane.data() + static_cast<std::size_t>(PhysY(y)) * w, PhysX(rect.left()),
                        rect.width(), layer_.width(), 0U);
        }
    }
}

bool CPlotMarkPainter::Keeps(const QPainter& painter, const Style& style) const
{
    return kept_ && *kept_ == style && LayerFits(painter, style);
}

void CPlotMarkPainter::AddToLayer(const std::vector<PlotMark>& added)
{
    if (!kept_) return;
    NoteNearEdges(added);
    Splat(layer_, QPoint(0, 0), layer_.rect(), added);
    KeepCentres(added);
}

void CPlotMarkPainter::DropLayer()
{
    kept_.reset();
    edgesOf_.reset();
    layer_ = QImage();
    layerWidth_ = 0;
    layerHeight_ = 0;
    for (auto& plane : centres_) plane = {};
    placed_ = {};
    manyPlaced_ = true;
}

void CPlotMarkPainter::ScrollLayer(QPoint delta)
{
    const int w = layer_.width();
    const int h = layer_.height();
    const int dx = delta.x();
    const int dy = delta.y();
    edgesOf_.reset();
    if (std::abs(dx) >= w || std::abs(dy) >= h) {
        manyPlaced_ = true;
        EmptyLayer();
        return;
    }
    // Nothing moves in memory: the picture's pixels keep their places on the torus, and what
    // comes in (still holding what went out) is emptied.
    wrap_ = QPoint((wrap_.x() - dx + w) % w, (wrap_.y() - dy + h) % h);
    if (dx != 0) ClearRect(dx > 0 ? QRect(0, 0, dx, h) : QRect(w + dx, 0, -dx, h));
    if (dy != 0) ClearRect(dy > 0 ? QRect(0, 0, w, dy) : QRect(0, h + dy, w, -dy));
    // Along the edges the picture left by, marks centred beyond them may still show.
    const int reach = Reach();
    if (dx != 0) {
        DrawFromCentres(dx > 0 ? QRect(w - reach, 0, reach, h) : QRect(0, 0, reach, h),
                        layer_.rect(), layer_, QPoint(0, 0));
    }
    if (dy != 0) {
        DrawFromCentres(dy > 0 ? QRect(0, h - reach, w, reach) : QRect(0, 0, w, reach),
                        layer_.rect(), layer_, QPoint(0, 0));
    }
}

void CPlotMarkPainter::PutBack(const QRect& rect, const std::vector<PlotMark>& marks)
{
    if (!kept_) return;
    edgesOf_.reset();
    KeepCentres(marks);
    Splat(layer_, QPoint(0, 0), rect & layer_.rect(), marks);
    // Across the rectangle's sides its marks and the others reach each other.
    const int r = Reach();
    const QRect sides[] = {
        QRect(rect.left() - r, rect.top() - r, 2 * r, rect.height() + 2 * r),
        QRect(rect.right() + 1 - r, rect.top() - r, 2 * r, rect.height() + 2 * r),
        QRect(rect.left() - r, rect.top() - r, rect.width() + 2 * r, 2 * r),
        QRect(rect.left() - r, rect.bottom() + 1 - r, rect.width() + 2 * r, 2 * r)};
    for (const QRect& side : sides) {
        const QRect band = side & layer_.rect();
        if (!band.isEmpty()) DrawFromCentres(band, layer_.rect(), layer_, QPoint(0, 0));
    }
}

void CPlotMarkPainter::ShowLayer(QPainter& painter, QPoint origin)
{
    if (!kept_) return;
    const QRect window(origin, kept_->view);
    if (window == layer_.rect()) {
        DrawLayerRect(painter, window, QPoint(0, 0));
        return;
    }
    // Inside, every mark reaching a pixel is centred in the window; along the edges some
    // may lie outside. The edges are kept while the window and the marks near them stay.
    const int reach = Reach();
    const QRect inner = window.adjusted(reach, reach, -reach, -reach);
    if (edgesOf_ != window) {
        edgesOf_ = window;
        edgeRects_.clear();
        if (!CentresAround(window, reach)) {
        } else if (!inner.isValid()) {
            edgeRects_ = {window};
        } else {
            edgeRects_ = {QRect(window.left(), window.top(), window.width(), reach),
                          QRect(window.left(), inner.bottom() + 1, window.width(), reach),
                          QRect(window.left(), inner.top(), reach, inner.height()),
                          QRect(inner.right() + 1, inner.top(), reach, inner.height())};
        }
        edges_.resize(edgeRects_.size());
        for (std::size_t i = 0; i < edges_.size(); ++i) {
            if (edges_[i].size() != edgeRects_[i].size()) {
                edges_[i] = QImage(edgeRects_[i].size(), QImage::Format_ARGB32_Premultiplied);
            }
            DrawFromCentres(edgeRects_[i], window, edges_[i], edgeRects_[i].topLeft());
        }
    }
    if (edgeRects_.empty()) {
        DrawLayerRect(painter, window, QPoint(0, 0));
        return;
    }
    if (edgeRects_.size() > 1) DrawLayerRect(painter, inner, inner.topLeft() - origin);
    for (std::size_t i = 0; i < edges_.size(); ++i) {
        painter.drawImage(edgeRects_[i].topLeft() - origin, edges_[i]);
    }
}

// The rectangle of the layer at `at` on the painter, in up to four pieces of the torus.
void CPlotMarkPainter::DrawLayerRect(QPainter& painter, const QRect& rect, QPoint at) const
{
    for (int y = rect.top(); y <= rect.bottom();) {
        const int py = PhysY(y);
        const int rows = std::min(rect.bottom() + 1 - y, layer_.height() - py);
        for (int x = rect.left(); x <= rect.right();) {
            const int px = PhysX(x);
            const int columns = std::min(rect.right() + 1 - x, layer_.width() - px);
            painter.drawImage(at + QPoint(x - rect.left(), y - rect.top()), layer_,
                              QRect(px, py, columns, rows));
            x += columns;
        }
        y += rows;
    }
}

// Marks centred this near the shown window's edges change them.
void CPlotMarkPainter::NoteNearEdges(const std::vector<PlotMark>& marks)
{
    if (!edgesOf_) return;
    const int reach = Reach();
    const QRect near = edgesOf_->adjusted(-reach, -reach, reach, reach);
    const QRect far = edgesOf_->adjusted(2 * reach, 2 * reach, -2 * reach, -2 * reach);
    for (const PlotMark& m : marks) {
        const QPoint at(m.x, m.y);
        if (near.contains(at) && !far.contains(at)) {
            edgesOf_.reset();
            return;
        }
    }
}

// The marks centred at (x, y), live under replay, into depth_ and shade_ over rect.
void CPlotMarkPainter::Cover(int x, int y, std::uint32_t live, std::uint32_t replay,
                             const QRect& rect)
{
    const int s = kept_->pointSize;
    const auto w = static_cast<std::size_t>(rect.width());
    for (int kind = 0; kind < 2; ++kind) {
        const std::uint32_t c = kind == 0 ? live : replay;
        if (c == 0) continue;
        const std::uint32_t key = KeyOfCentre(c, kind);
        const QRgb colour = rgb_[static_cast<std::size_t>(kind)][(c - 1) & 7];
        auto fill = [&](int dy, int from, int to) {
            const int row = y + dy;
            if (row < rect.top() || row > rect.bottom()) return;
            const int x0 = std::max(x + from, rect.left());
            const int x1 = std::min(x + to, rect.right() + 1);
            const std::size_t base = static_cast<std::size_t>(row - rect.top()) * w;
            for (int px = x0; px < x1; ++px) {
                const std::size_t at = base + static_cast<std::size_t>(px - rect.left());
                if (key <= depth_[at]) continue;
                depth_[at] = key;
                shade_[at] = colour;
            }
        };
        if (kind == 0) {
            for (const Span& span : circle_) fill(span.dy, span.x0, span.x1);
        } else {
            for (int dy = -s; dy <= s; ++dy) fill(dy, -s, s + 1);
        }
    }
}

void CPlotMarkPainter::DrawFromCentres(const QRect& rect, const QRect& from, QImage& target,
                                       QPoint offset)
{
    const int reach = Reach();
    const QRect around = rect.adjusted(-reach, -reach, reach, reach) & from;
    const int w = rect.width();
    const auto pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(rect.height());
    // The newest mark on top without sorting: each pixel keeps the key of the mark that
    // coloured it.
    depth_.assign(pixels, 0);
    shade_.assign(pixels, 0);
    // Row by row, in at most two runs of the torus: most pixels hold no centre.
    for (int y = around.top(); y <= around.bottom(); ++y) {
        const std::size_t rowStart =
            static_cast<std::size_t>(PhysY(y)) * static_cast<std::size_t>(layerWidth_);
        for (int run = around.left(); run <= around.right();) {
            const int p = PhysX(run);
            const int length = std::min(around.right() + 1 - run, layerWidth_ - p);
            const std::uint32_t* const live = centres_[0].data() + rowStart + p;
            const std::uint32_t* const replay = centres_[1].data() + rowStart + p;
            for (int k = 0; k < length; ++k) {
                if ((live[k] | replay[k]) != 0) Cover(run + k, y, live[k], replay[k], rect);
            }
            run += length;
        }
    }
    const bool onLayer = &target == &layer_;
    uchar* const bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const QRgb* source =
            shade_.data() + static_cast<std::size_t>(y - rect.top()) * static_cast<std::size_t>(w);
        if (onLayer) {
            auto* row = reinterpret_cast<QRgb*>(bits + PhysY(y) * stride);
            const int p = PhysX(rect.left());
            const int first = std::min(w, layer_.width() - p);
            std::copy(source, source + first, row + p);
            std::copy(source + first, source + w, row);
        } else {
            auto* row = reinterpret_cast<QRgb*>(bits + (y - offset.y()) * stride);
            std::copy(source, source + w, row + (rect.left() - offset.x()));
        }
    }
}

// Any mark centred just outside the window, near enough to reach into it.
bool CPlotMarkPainter::CentresAround(const QRect& window, int reach) const
{
    const QRect around = window.adjusted(-reach, -reach, reach, reach) & layer_.rect();
    for (int y = around.top(); y <= around.bottom(); ++y) {
        const bool inside = y >= window.top() && y <= window.bottom();
        for (int x = around.left(); x <= around.right(); ++x) {
            if (inside && x == window.left()) x = window.right() + 1;
            if (x > around.right()) break;
            const std::size_t i = CentreIndex(x, y);
            if (centres_[0][i] != 0 || centres_[1][i] != 0) return true;
        }
    }
    return false;
}

int CPlotMarkPainter::Reach()
{
    MakeStencil(kept_->pointSize);
    int reach = kept_->pointSize;
    for (const Span& span : circle_) {
        reach = std::max({reach, std::abs(span.dy), std::abs(span.x0), std::abs(span.x1 - 1)});
    }
    return reach;
}

// The pixels QPainter fills for one circle, as runs per row around the centre.
void CPlotMarkPainter::MakeStencil(int pointSize)
{
    if (pointSize == stencilSize_) return;
    const int s = pointSize;
    const int side = 2 * s + 1 + 2 * kStencilMargin;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QRect(kStencilMargin, kStencilMargin, 2 * s + 1, 2 * s + 1));
    }
    circle_.clear();
    const int centre = kStencilMargin + s;
    for (int y = 0; y < side; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < side;) {
            if (qAlpha(row[x]) == 0) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < side && qAlpha(row[x]) != 0) ++x;
            circle_.push_back(Span{y - centre, start - centre, x - centre});
        }
    }
    stencilSize_ = s;
}

void CPlotMarkPainter::Splat(QImage& target, QPoint offset, const QRect& clip,
                             const std::vector<PlotMark>& marks)
{
    const int s = kept_->pointSize;
    MakeStencil(s);
    const QRect area = clip & QRect(offset, target.size());
    const int left = area.left();
    const int top = area.top();
    const int right = area.right() + 1;
    const int bottom = area.bottom() + 1;
    // One detach check for the whole target, not one per span.
    uchar* const bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    const bool onLayer = &target == &layer_;
    const int w = target.width();
    const Span square{0, -s, s + 1};
    for (const PlotMark& m : marks) {
        const QRgb colour = rgb_[m.kind != 0 ? 1 : 0][m.slot];
        auto fill = [&](const Span& span, int dy) {
            const int y = m.y + dy;
            if (y < top || y >= bottom) return;
            const int x0 = std::max(m.x + span.x0, left);
            const int x1 = std::min(m.x + span.x1, right);
            if (x0 >= x1) return;
            if (onLayer) {
                auto* row = reinterpret_cast<QRgb*>(bits + PhysY(y) * stride);
                FillWrapped(row, PhysX(x0), x1 - x0, w, colour);
            } else {
                auto* row = reinterpret_cast<QRgb*>(bits + (y - offset.y()) * stride);
                std::fill(row + (x0 - offset.x()), row + (x1 - offset.x()), colour);
            }
        };
        if (m.kind == 0) {
            for (const Span& span : circle_) fill(span, span.dy);
        } else {
            for (int dy = -s; dy <= s; ++dy) fill(square, dy);
        }
    }
}

void CPlotMarkPainter::KeepCentres(const std::vector<PlotMark>& marks)
{
    const int w = layer_.width();
    const std::size_t few =
        static_cast<std::size_t>(w) * static_cast<std::size_t>(layer_.height()) / 256;
    for (const PlotMark& m : marks) {
        if (m.x < 0 || m.y < 0 || m.x >= w || m.y >= layer_.height()) continue;
        const auto i = static_cast<std::uint32_t>(CentreIndex(m.x, m.y));
        centres_[m.kind != 0 ? 1 : 0][i] = PackCentre(m);
        if (manyPlaced_) continue;
        if (placed_.size() < few) {
            placed_.push_back(i);
        } else {
            manyPlaced_ = true;
        }
    }
}
