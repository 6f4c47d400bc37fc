#include <QPainter>
#include <cstdlib>

#include "views/plots_view.h"

// The marks of the plot's points: from the point trees into a kept layer, which moves with
// the view.

namespace {

// A plot whose centre follows the points, or that is dragged, moves by whole pixels: a layer
// this much larger than the view on each side shows such moves without drawing again.
constexpr int kLayerMargin = 128;
// A centre following a wandering fix (float, GPS) at a fine scale moves much like a random
// walk: it leaves the layer after a number of paints that grows with the square of the
// margin, while moving the layer costs in proportion to it. Such a view takes a wider margin,
// and the memory it needs, once it has wandered out of the narrow one.
constexpr int kWideMargin = 256;

}  // namespace

// Points sharing a pixel, shape and colour paint the very same pixels, so only the newest of
// them needs drawing: the drawing work is bounded by the window area whatever the number of
// points, and so is the search for those marks in the point trees. While the pixel rule stays
// the same but for whole-pixel moves (a centre that follows the points, a drag), a paint only
// adds the marks of new points to the kept layer and shows the view's window of it.
void CPlotsView::DrawPoints(QPainter& painter, const Geometry& g)
{
    if (LiveCount() == 0) {
        DropLayer();
        lastRule_.reset();
        return;
    }
    const PlotPixelRule rule = PixelRule(g);
    const CPlotMarkPainter::Style style = MarkStyle(g);
    // The reference leaves the kept layer alone, so that it checks the paint after it too.
    if (walkEveryPoint_) {
        CPlotMarkPainter::DrawEach(painter, marks_.CollectByWalk(rule), style);
        return;
    }
    // A second paint by the same rule, or moved, makes a third likely: worth a layer.
    const bool again = lastRule_ && lastRule_->SameButShift(rule);
    NoteMove(again ? QPoint(rule.shiftX - lastRule_->shiftX, rule.shiftY - lastRule_->shiftY)
                   : std::optional<QPoint>());
    lastRule_ = rule;
    if (ShowKeptLayer(painter, rule, style)) return;
    layerRule_.reset();
    if (!CPlotMarkPainter::LayerFits(painter, style)) {
        CPlotMarkPainter::DrawEach(painter, marks_.Collect(rule), style);
        return;
    }
    const int margin = LayerMargin();
    const PlotPixelRule layerRule = rule.Widened(margin);
    const std::vector<PlotMark>& marks = marks_.Collect(layerRule);
    if (!again || drifting_) {
        // A rule seen once may not be seen again (a zoom), and a view that keeps moving
        // draws most of a layer again anyway: few marks are drawn each with its own call,
        // which costs about as much as filling and showing this many layer pixels.
        constexpr long long kPixelsPerMark = 256;
        inView_.clear();
        for (PlotMark mark : marks) {
            mark.x -= margin;
            mark.y -= margin;
            if (mark.x >= 0 && mark.y >= 0 && mark.x < rule.width && mark.y < rule.height) {
                inView_.push_back(mark);
            }
        }
        if (static_cast<long long>(inView_.size()) * kPixelsPerMark <
            static_cast<long long>(rule.width) * rule.height) {
            CPlotMarkPainter::DrawEach(painter, inView_, style);
            // Its memory (a dozen megabytes) is not worth keeping for a view on the move.
            if (drifting_) markPainter_.DropLayer();
            return;
        }
    }
    markPainter_.BuildLayer(marks, style, QSize(layerRule.width, layerRule.height));
    layerRule_ = layerRule;
    layerGeneration_ = marks_.Generation();
    markPainter_.ShowLayer(painter, QPoint(margin, margin));
}

int CPlotsView::LayerMargin() const
{
    if (drifting_) return 0;
    return wandering_ ? kWideMargin : kLayerMargin;
}

// A view that keeps moving one way leaves any margin within a few paints, and a margin then
// costs more than it saves: such a view takes a layer of its own size, which moves at every
// paint. The moves are summed as if a layer with a margin were kept, and the paints between
// its recentres counted.
void CPlotsView::NoteMove(std::optional<QPoint> move)
{
    if (!move) {
        drift_ = QPoint();
        paintsSinceRecentre_ = 0;
        paintsPerRecentre_ = 16.0;
        drifting_ = false;
        wandering_ = false;
        denseStrips_ = false;
        travelled_ = 0;
        return;
    }
    drift_ += *move;
    travelled_ += std::abs(move->x()) + std::abs(move->y());
    ++paintsSinceRecentre_;
    if (drifting_ && paintsSinceRecentre_ > 6) {
        drifting_ = false;
        paintsPerRecentre_ = 16.0;
    }
    const int margin = wandering_ ? kWideMargin : kLayerMargin;
    if (std::abs(drift_.x()) <= margin && std::abs(drift_.y()) <= margin) return;
    paintsPerRecentre_ = 0.75 * paintsPerRecentre_ + 0.25 * paintsSinceRecentre_;
    drift_ = QPoint();
    paintsSinceRecentre_ = 0;
    if (paintsPerRecentre_ < 3.0) drifting_ = true;
    if (paintsPerRecentre_ > 6.0) drifting_ = false;
    // Only a view that went to and fro gains by a wider margin; one that keeps its way, such
    // as one following a receiver on the move, keeps the narrow one and its smaller memory.
    // Nor does one over few marks, whose strips cost little to fetch.
    if (!drifting_ && denseStrips_ && travelled_ > 3 * margin) wandering_ = true;
    travelled_ = 0;
}

// The kept layer holds this view's window, or is moved so that it does: the marks of the
// points that came since go on top of it and the window is shown.
bool CPlotsView::ShowKeptLayer(QPainter& painter, const PlotPixelRule& rule,
                               const CPlotMarkPainter::Style& style)
{
    if (!layerRule_ || layerGeneration_ != marks_.Generation() ||
        !markPainter_.Keeps(painter, style)) {
        return false;
    }
    const int margin = LayerMargin();
    if (!layerRule_->SameButShift(rule.Widened(margin))) return false;
    QPoint origin(margin + layerRule_->shiftX - rule.shiftX,
                  margin + layerRule_->shiftY - rule.shiftY);
    const bool inside =
        origin.x() >= 0 && origin.y() >= 0 && origin.x() <= 2 * margin && origin.y() <= 2 * margin;
    if (!marks_.CollectAdded(*layerRule_, added_)) return false;
    markPainter_.AddToLayer(added_);
    if (!inside) {
        if (!RecentreLayer(rule.Widened(margin))) return false;
        origin = QPoint(margin, margin);
    }
    markPainter_.ShowLayer(painter, origin);
    return true;
}

// The view left the layer: the layer moves so that the view is in its middle again, and only
// the strips that come in are looked for in the point trees.
bool CPlotsView::RecentreLayer(const PlotPixelRule& moved)
{
    const int dx = moved.shiftX - layerRule_->shiftX;
    const int dy = moved.shiftY - layerRule_->shiftY;
    const int w = moved.width;
    const int h = moved.height;
    // Beyond this, looking for everything again is as quick.
    const long long area =
        static_cast<long long>(std::abs(dx)) * h + static_cast<long long>(std::abs(dy)) * w;
    if (2 * area > static_cast<long long>(w) * h) return false;
    markPainter_.ScrollLayer(QPoint(dx, dy));
    layerRule_ = moved;
    std::vector<QRect> strips;
    long long found = 0;
    if (dx != 0) strips.push_back(dx > 0 ? QRect(0, 0, dx, h) : QRect(w + dx, 0, -dx, h));
    if (dy != 0) strips.push_back(dy > 0 ? QRect(0, 0, w, dy) : QRect(0, h + dy, w, -dy));
    for (const QRect& strip : strips) {
        PlotPixelRule clipped = moved;
        clipped.clipX0 = strip.left();
        clipped.clipY0 = strip.top();
        clipped.clipX1 = strip.right() + 1;
        clipped.clipY1 = strip.bottom() + 1;
        const std::vector<PlotMark>& marks = marks_.Collect(clipped);
        found += static_cast<long long>(marks.size());
        markPainter_.PutBack(strip, marks);
    }
    denseStrips_ = found * 16 > area;
    return true;
}

void CPlotsView::DropLayer()
{
    if (!layerRule_) return;
    layerRule_.reset();
    markPainter_.DropLayer();
}
