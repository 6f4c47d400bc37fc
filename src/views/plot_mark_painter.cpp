#include "views/plot_mark_painter.h"

#include <QPainter>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// One QPainter call per mark costs about as much as filling and drawing this many layer
// pixels.
constexpr long long kPixelsPerMark = 256;
constexpr int kStencilMargin = 2;

bool Opaque(const CPlotMarkPainter::Colours& colours)
{
    return std::all_of(colours.begin(), colours.end(),
                       [](const QColor& c) { return c.alpha() == 255; });
}

}  // namespace

bool CPlotMarkPainter::Draw(QPainter& painter, const std::vector<PlotMark>& marks,
                            const Style& style, Way way)
{
    if (way == Way::kEachMark) {
        DrawEach(painter, marks, style);
        return false;
    }
    kept_.reset();
    const long long area = static_cast<long long>(style.view.width()) * style.view.height();
    const bool fewMarks = static_cast<long long>(marks.size()) * kPixelsPerMark < area;
    if ((way == Way::kCheapest && fewMarks) || !LayerFits(painter, style)) {
        DrawEach(painter, marks, style);
        return false;
    }
    if (layer_.size() != style.view) {
        layer_ = QImage(style.view, QImage::Format_ARGB32_Premultiplied);
    }
    layer_.fill(Qt::transparent);
    Splat(marks, style, layer_.rect());
    painter.drawImage(QPoint(0, 0), layer_);
    kept_ = style;
    return true;
}

bool CPlotMarkPainter::DrawAdded(QPainter& painter, const std::vector<PlotMark>& added,
                                 const Style& style)
{
    if (!Keeps(painter, style)) return false;
    AddToLayer(added);
    ShowLayer(painter);
    return true;
}

bool CPlotMarkPainter::Keeps(const QPainter& painter, const Style& style) const
{
    return kept_ && *kept_ == style && LayerFits(painter, style);
}

void CPlotMarkPainter::AddToLayer(const std::vector<PlotMark>& added)
{
    if (kept_) Splat(added, *kept_, layer_.rect());
}

void CPlotMarkPainter::ScrollLayer(QPoint delta)
{
    const int w = layer_.width();
    const int h = layer_.height();
    const int dx = delta.x();
    const int dy = delta.y();
    uchar* const bits = layer_.bits();
    const qsizetype stride = layer_.bytesPerLine();
    const int kept = std::max(0, w - std::abs(dx));
    // Rows are read before they are written: from the bottom when moving down.
    for (int i = 0; i < h; ++i) {
        const int y = dy > 0 ? h - 1 - i : i;
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        const int from = y - dy;
        if (from < 0 || from >= h || kept == 0) {
            std::fill(row, row + w, QRgb{0});
            continue;
        }
        const auto* source = reinterpret_cast<const QRgb*>(bits + from * stride);
        std::memmove(row + std::max(dx, 0), source + std::max(-dx, 0), kept * sizeof(QRgb));
        std::fill(row, row + std::max(dx, 0), QRgb{0});
        std::fill(row + std::max(dx, 0) + kept, row + w, QRgb{0});
    }
}

void CPlotMarkPainter::RedrawLayer(const QRect& rect, const std::vector<PlotMark>& marks)
{
    const QRect clip = rect & layer_.rect();
    if (!kept_ || clip.isEmpty()) return;
    for (int y = clip.top(); y <= clip.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(layer_.scanLine(y));
        std::fill(row + clip.left(), row + clip.right() + 1, QRgb{0});
    }
    Splat(marks, *kept_, clip);
}

void CPlotMarkPainter::ShowLayer(QPainter& painter) const
{
    painter.drawImage(QPoint(0, 0), layer_);
}

int CPlotMarkPainter::Reach(int pointSize)
{
    MakeStencil(pointSize);
    int reach = pointSize;
    for (const Span& span : circle_) {
        reach = std::max({reach, std::abs(span.dy), std::abs(span.x0), std::abs(span.x1 - 1)});
    }
    return reach;
}

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

void CPlotMarkPainter::Splat(const std::vector<PlotMark>& marks, const Style& style,
                             const QRect& clip)
{
    const int s = style.pointSize;
    MakeStencil(s);
    const int left = clip.left();
    const int top = clip.top();
    const int right = clip.right() + 1;
    const int bottom = clip.bottom() + 1;
    // One detach check for the whole layer, not one per span.
    uchar* const bits = layer_.bits();
    const qsizetype stride = layer_.bytesPerLine();
    const Span square{0, -s, s + 1};
    for (const PlotMark& m : marks) {
        const QRgb colour = (m.kind == 0 ? style.live : style.replay)[m.slot].rgba();
        auto fill = [&](const Span& span, int dy) {
            const int y = m.y + dy;
            if (y < top || y >= bottom) return;
            const int x0 = std::max(m.x + span.x0, left);
            const int x1 = std::min(m.x + span.x1, right);
            if (x0 >= x1) return;
            auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
            std::fill(row + x0, row + x1, colour);
        };
        if (m.kind == 0) {
            for (const Span& span : circle_) fill(span, span.dy);
        } else {
            for (int dy = -s; dy <= s; ++dy) fill(square, dy);
        }
    }
}
