#include "views/plot_point_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Cells halve from a 65 km root; they stop shrinking far below the finest pixel (0.03 mm),
// and the root stops growing far beyond the Earth.
constexpr double kRootSize = 65536.0;
constexpr double kMaxRootSize = 4398046511104.0;  // 2^42 m
constexpr double kMinCell = 1.0 / 16777216.0;     // 2^-24 m
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint32_t kRelayoutFrom = 4096;
constexpr std::array<std::uint32_t, CPlotMarkGrid::kSlots> kNoKeys{};

}  // namespace

template <class T>
std::uint32_t CPlotPointTree::Pool<T>::Add()
{
    if ((size_ & kMask) == 0 && (size_ >> kBits) == chunks_.size()) {
        chunks_.push_back(std::make_unique_for_overwrite<T[]>(kChunk));
    }
    return size_++;
}

template <class T>
void CPlotPointTree::Pool<T>::Clear()
{
    chunks_.clear();
    chunks_.shrink_to_fit();
    size_ = 0;
}

std::uint32_t CPlotPointTree::Key(std::uint32_t tag) const
{
    return 2 * (tag >> 3) + static_cast<std::uint32_t>(kind_) + 1;
}

void CPlotPointTree::Summary::Include(double e, double n, std::uint32_t slot, std::uint32_t key)
{
    minE = std::min(minE, e);
    maxE = std::max(maxE, e);
    minN = std::min(minN, n);
    maxN = std::max(maxN, n);
    newest[slot] = std::max(newest[slot], key);
}

std::uint32_t CPlotPointTree::NewNode()
{
    const std::uint32_t i = nodes_.Add();
    nodes_[i] = Node{Summary{kInf, -kInf, kInf, -kInf, kNoKeys, 0}, 0, kNone};
    return i;
}

std::uint32_t CPlotPointTree::NewBlock()
{
    std::uint32_t b = freeBlock_;
    if (b != kNone) {
        freeBlock_ = blocks_[b].next;
    } else {
        b = blocks_.Add();
    }
    Block& block = blocks_[b];
    block.sum = Summary{kInf, -kInf, kInf, -kInf, kNoKeys, 0};
    block.next = kNone;
    return b;
}

bool CPlotPointTree::Add(const Point& point)
{
    if (point.index > kMaxIndex || !std::isfinite(point.easting) || !std::isfinite(point.northing))
        return false;
    const double e = OnGrid(point.easting);
    const double n = OnGrid(point.northing);
    const std::uint32_t tag = point.index << 3 | point.slot;
    if (nodes_.Size() == 0) {
        NewNode();
        root_ = Cell{e - kRootSize / 2, n - kRootSize / 2, kRootSize};
    }
    Grow(e, n);
    std::uint32_t i = 0;
    Cell cell = root_;
    for (;;) {
        Node& node = nodes_[i];
        node.sum.Include(e, n, point.slot, Key(tag));
        if (node.children == 0) {
            Append(i, e, n, tag);
            if (node.sum.count > kLeafPoints) Split(i, cell);
            break;
        }
        cell.size /= 2;
        std::uint32_t quadrant = 0;
        if (e >= cell.x + cell.size) quadrant |= 1, cell.x += cell.size;
        if (n >= cell.y + cell.size) quadrant |= 2, cell.y += cell.size;
        node.sum.count |= 1U << quadrant;
        i = node.children + quadrant;
    }
    ++size_;
    if (nodes_.Size() >= 2 * std::max(laidOut_, kRelayoutFrom)) Relayout();
    return true;
}

// Copies the nodes in depth-first order, each family of four together, so that a paint reads
// them mostly forwards instead of all over the pool. Done each time the tree doubles.
void CPlotPointTree::Relayout()
{
    Pool<Node> laid;
    laid.Add();
    laid[0] = nodes_[0];
    std::vector<std::uint32_t> todo{0};
    while (!todo.empty()) {
        const std::uint32_t i = todo.back();
        todo.pop_back();
        const std::uint32_t old = laid[i].children;
        if (old == 0) continue;
        const std::uint32_t first = laid.Add();
        for (std::uint32_t q = 1; q < 4; ++q) laid.Add();
        for (std::uint32_t q = 0; q < 4; ++q) laid[first + q] = nodes_[old + q];
        laid[i].children = first;
        for (std::uint32_t q = 4; q-- > 0;) todo.push_back(first + q);
    }
    nodes_ = std::move(laid);
    laidOut_ = nodes_.Size();
}

// The root becomes one quarter of a root twice its size, on the side of the new point. A
// point beyond the largest root still goes into an edge cell: the boxes stay right, only the
// cells no longer halve them.
void CPlotPointTree::Grow(double e, double n)
{
    while (root_.size < kMaxRootSize && !(e >= root_.x && e < root_.x + root_.size &&
                                          n >= root_.y && n < root_.y + root_.size)) {
        const bool west = e < root_.x;
        const bool south = n < root_.y;
        const std::uint32_t first = NewNode();
        for (int q = 1; q < 4; ++q) NewNode();
        const std::uint32_t quadrant = (west ? 1U : 0U) | (south ? 2U : 0U);
        nodes_[first + quadrant] = nodes_[0];
        Node& root = nodes_[0];
        const bool empty = root.children == 0 && root.sum.count == 0;
        root.children = first;
        root.block = kNone;
        root.sum.count = empty ? 0U : 1U << quadrant;
        root_ = Cell{west ? root_.x - root_.size : root_.x, south ? root_.y - root_.size : root_.y,
                     2 * root_.size};
    }
}

double CPlotPointTree::OnGrid(double metres)
{
    // Beyond the largest root the cells no longer halve anyway; the bound keeps steps in range.
    const double bounded = std::clamp(metres, -kMaxRootSize, kMaxRootSize);
    return std::nearbyint(bounded * kStepsPerMetre) / kStepsPerMetre;
}

bool CPlotPointTree::Block::Fits(double east, double north) const
{
    const auto de = static_cast<std::int64_t>(east * kStepsPerMetre) - originE;
    const auto dn = static_cast<std::int64_t>(north * kStepsPerMetre) - originN;
    return de >= -kMaxOffset && de <= kMaxOffset && dn >= -kMaxOffset && dn <= kMaxOffset;
}

void CPlotPointTree::Append(std::uint32_t node, double e, double n, std::uint32_t tag)
{
    Node& leaf = nodes_[node];
    if (leaf.block == kNone || blocks_[leaf.block].sum.count == kBlockPoints ||
        !blocks_[leaf.block].Fits(e, n)) {
        const std::uint32_t b = NewBlock();
        blocks_[b].next = leaf.block;
        blocks_[b].originE = static_cast<std::int64_t>(e * kStepsPerMetre);
        blocks_[b].originN = static_cast<std::int64_t>(n * kStepsPerMetre);
        leaf.block = b;
    }
    Block& block = blocks_[leaf.block];
    block.sum.Include(e, n, tag & 7, Key(tag));
    block.e[block.sum.count] =
        static_cast<std::int32_t>(static_cast<std::int64_t>(e * kStepsPerMetre) - block.originE);
    block.n[block.sum.count] =
        static_cast<std::int32_t>(static_cast<std::int64_t>(n * kStepsPerMetre) - block.originN);
    block.tag[block.sum.count] = tag;
    ++block.sum.count;
    ++leaf.sum.count;
}

// Points on one spot (or nearly) cannot be told apart by halving: their leaf just grows. The
// points move oldest first, so that every leaf keeps them in arrival order.
void CPlotPointTree::Split(std::uint32_t node, const Cell& cell)
{
    {
        const Summary& sum = nodes_[node].sum;
        if (cell.size <= kMinCell || (sum.minE == sum.maxE && sum.minN == sum.maxN)) return;
    }
    std::vector<std::uint32_t> order;
    for (std::uint32_t b = nodes_[node].block; b != kNone; b = blocks_[b].next) {
        order.push_back(b);
    }
    const std::uint32_t first = NewNode();
    for (int q = 1; q < 4; ++q) NewNode();
    Node& parent = nodes_[node];
    parent.children = first;
    parent.block = kNone;
    parent.sum.count = 0;
    const double half = cell.size / 2;
    for (auto b = order.rbegin(); b != order.rend(); ++b) {
        const Block& block = blocks_[*b];
        for (std::uint32_t k = 0; k < block.sum.count; ++k) {
            const double e = block.E(k);
            const double n = block.N(k);
            const std::uint32_t quadrant =
                (e >= cell.x + half ? 1U : 0U) | (n >= cell.y + half ? 2U : 0U);
            nodes_[first + quadrant].sum.Include(e, n, block.tag[k] & 7, Key(block.tag[k]));
            Append(first + quadrant, e, n, block.tag[k]);
            nodes_[node].sum.count |= 1U << quadrant;
        }
    }
    for (const std::uint32_t b : order) {
        blocks_[b].next = freeBlock_;
        freeBlock_ = b;
    }
    for (std::uint32_t q = 0; q < 4; ++q) {
        if (nodes_[first + q].sum.count <= kLeafPoints) continue;
        Split(first + q, Cell{(q & 1) != 0 ? cell.x + half : cell.x,
                              (q & 2) != 0 ? cell.y + half : cell.y, half});
    }
}

void CPlotPointTree::Clear()
{
    nodes_.Clear();
    blocks_.Clear();
    freeBlock_ = kNone;
    root_ = Cell{};
    size_ = 0;
    laidOut_ = 0;
    stack_ = {};
    deferred_ = {};
}

CPlotPointTree::Span CPlotPointTree::SpanOf(const PlotPixelRule& rule, const Summary& sum) const
{
    return Span{rule.Column(sum.minE), rule.Column(sum.maxE), rule.Row(sum.maxN),
                rule.Row(sum.minN)};
}

namespace {

// Some column and some row of the span lie in the view (the stand-ins never do).
template <class Span>
bool Visible(const PlotPixelRule& rule, const Span& s)
{
    const long long x0 = s.x0 + static_cast<long long>(rule.shiftX);
    const long long x1 = s.x1 + static_cast<long long>(rule.shiftX);
    const long long y0 = s.y0 + static_cast<long long>(rule.shiftY);
    const long long y1 = s.y1 + static_cast<long long>(rule.shiftY);
    return x1 >= rule.Left() && x0 < rule.Right() && y1 >= rule.Top() && y0 < rule.Bottom() &&
           s.x1 != PlotPixelRule::kBeyondLow && s.x0 != PlotPixelRule::kBeyondHigh &&
           s.y1 != PlotPixelRule::kBeyondLow && s.y0 != PlotPixelRule::kBeyondHigh;
}

template <class Span>
bool Single(const Span& s)
{
    return s.x0 == s.x1 && s.y0 == s.y1;
}

// At most two columns and two rows: worth checking whether the pixels already hold newer.
template <class Span>
bool Small(const Span& s)
{
    return static_cast<long long>(s.x1) - s.x0 <= 1 && static_cast<long long>(s.y1) - s.y0 <= 1;
}

}  // namespace

void CPlotPointTree::Offer(const PlotPixelRule& rule, const Span& span, const Summary& sum,
                           CPlotMarkGrid& grid) const
{
    const int x = span.x0 + rule.shiftX;
    const int y = span.y0 + rule.shiftY;
    for (int s = 0; s < CPlotMarkGrid::kSlots; ++s) {
        const std::uint32_t key = sum.newest[static_cast<std::size_t>(s)];
        if (key != 0) grid.Offer(x, y, kind_ * CPlotMarkGrid::kSlots + s, key);
    }
}

void CPlotPointTree::ScanAll(const PlotPixelRule& rule, const Block& block,
                             CPlotMarkGrid& grid) const
{
    for (std::uint32_t k = 0; k < block.sum.count; ++k) {
        int x = 0;
        int y = 0;
        if (!rule.ToPixel(block.E(k), block.N(k), x, y)) continue;
        const auto slot = static_cast<int>(block.tag[k] & 7);
        grid.Offer(x, y, kind_ * CPlotMarkGrid::kSlots + slot, Key(block.tag[k]));
    }
}

// Reads a block newest first and stops as soon as the points left to read, all older, can
// change nothing: when they lie within one pixel (then their newest points are offered) or
// every pixel they span already holds newer ones.
void CPlotPointTree::ScanNewestFirst(const PlotPixelRule& rule, const Block& block,
                                     CPlotMarkGrid& grid) const
{
    constexpr std::uint32_t kCheckEvery = 4;
    // at[j]: over points [0, j * kCheckEvery).
    std::array<Summary, kBlockPoints / kCheckEvery + 1> at;
    Summary run{kInf, -kInf, kInf, -kInf, kNoKeys, 0};
    at[0] = run;
    for (std::uint32_t k = 0; k < block.sum.count; ++k) {
        run.Include(block.E(k), block.N(k), block.tag[k] & 7, Key(block.tag[k]));
        if ((k + 1) % kCheckEvery == 0) at[(k + 1) / kCheckEvery] = run;
    }
    for (std::uint32_t k = block.sum.count; k-- > 0;) {
        int x = 0;
        int y = 0;
        if (rule.ToPixel(block.E(k), block.N(k), x, y)) {
            const auto slot = static_cast<int>(block.tag[k] & 7);
            grid.Offer(x, y, kind_ * CPlotMarkGrid::kSlots + slot, Key(block.tag[k]));
        }
        if (k == 0 || k % kCheckEvery != 0) continue;
        const Summary& left = at[k / kCheckEvery];
        const Span span = SpanOf(rule, left);
        if (!Visible(rule, span)) return;
        if (Single(span)) {
            Offer(rule, span, left, grid);
            return;
        }
        if (grid.Holds(rule, span.x0, span.x1, span.y0, span.y1, kind_, left.newest)) return;
    }
}

void CPlotPointTree::ResolveBlock(const PlotPixelRule& rule, std::uint32_t b,
                                  CPlotMarkGrid& grid) const
{
    const Block& block = blocks_[b];
    const Span span = SpanOf(rule, block.sum);
    if (!Visible(rule, span)) return;
    if (Single(span)) {
        Offer(rule, span, block.sum, grid);
    } else if (!grid.Holds(rule, span.x0, span.x1, span.y0, span.y1, kind_, block.sum.newest)) {
        ScanNewestFirst(rule, block, grid);
    }
}

void CPlotPointTree::VisitBlock(const PlotPixelRule& rule, std::uint32_t b, bool resolving,
                                CPlotMarkGrid& grid) const
{
    const Block& block = blocks_[b];
    const Span span = SpanOf(rule, block.sum);
    if (!Visible(rule, span)) return;
    if (Single(span)) {
        Offer(rule, span, block.sum, grid);
    } else if (!Small(span)) {
        ScanAll(rule, block, grid);
    } else if (!resolving) {
        deferred_.push_back(b | kBlockItem);
    } else {
        ResolveBlock(rule, b, grid);
    }
}

// A node within one pixel gives its newest points. Nodes spanning two pixels or so, and
// leaves spanning a few, wait until everything wholly inside one pixel has been offered: then
// most of them hold nothing newer, or give up their newest points after a few reads. Larger
// leaves, where points rarely share a pixel, are read block by block.
void CPlotPointTree::Visit(const PlotPixelRule& rule, std::uint32_t item, bool resolving,
                           CPlotMarkGrid& grid) const
{
    constexpr long long kFewPixels = 64;
    stack_.assign(1, item);
    while (!stack_.empty()) {
        const std::uint32_t i = stack_.back();
        stack_.pop_back();
        if ((i & kBlockItem) != 0) {
            VisitBlock(rule, i & ~kBlockItem, resolving, grid);
            continue;
        }
        const Node& node = nodes_[i];
        if (node.children == 0 && node.sum.count == 0) continue;
        const Span span = SpanOf(rule, node.sum);
        if (!Visible(rule, span)) continue;
        if (Single(span)) {
            Offer(rule, span, node.sum, grid);
            continue;
        }
        const bool leaf = node.children == 0;
        const bool fewPixels = (static_cast<long long>(span.x1) - span.x0 + 1) *
                                   (static_cast<long long>(span.y1) - span.y0 + 1) <=
                               kFewPixels;
        if (!resolving && (Small(span) || (leaf && fewPixels))) {
            deferred_.push_back(i);
        } else if (resolving &&
                   grid.Holds(rule, span.x0, span.x1, span.y0, span.y1, kind_, node.sum.newest)) {
            continue;
        } else if (!leaf) {
            // Popped first to last: the order Relayout puts them in.
            for (std::uint32_t q = 4; q-- > 0;) {
                if ((node.sum.count >> q & 1U) != 0) stack_.push_back(node.children + q);
            }
        } else if (resolving) {
            // Newest blocks first: older ones then often find their pixels taken.
            for (std::uint32_t b = node.block; b != kNone; b = blocks_[b].next) {
                ResolveBlock(rule, b, grid);
            }
        } else {
            for (std::uint32_t b = node.block; b != kNone; b = blocks_[b].next) {
                stack_.push_back(b | kBlockItem);
            }
        }
    }
}

void CPlotPointTree::Collect(const PlotPixelRule& rule, CPlotMarkGrid& grid) const
{
    if (size_ == 0) return;
    deferred_.clear();
    Visit(rule, 0, false, grid);
    for (const std::uint32_t item : deferred_) Visit(rule, item, true, grid);
}

std::vector<CPlotPointTree::Point> CPlotPointTree::Points() const
{
    std::vector<Point> points;
    points.reserve(size_);
    for (std::uint32_t i = 0; i < nodes_.Size(); ++i) {
        const Node& node = nodes_[i];
        if (node.children != 0) continue;
        for (std::uint32_t block = node.block; block != kNone; block = blocks_[block].next) {
            const Block& b = blocks_[block];
            for (std::uint32_t k = 0; k < b.sum.count; ++k) {
                points.push_back(
                    Point{b.E(k), b.N(k), b.tag[k] >> 3, static_cast<std::uint8_t>(b.tag[k] & 7)});
            }
        }
    }
    std::sort(points.begin(), points.end(),
              [](const Point& a, const Point& b) { return a.index < b.index; });
    return points;
}
