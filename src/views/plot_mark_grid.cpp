#include "views/plot_mark_grid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace {

// Far beyond any window, yet safely inside int and the raster engine's fixed point.
constexpr double kPixelLimit = 1e6;

int Clamped(double d)
{
    // Also sends NaN beyond the range, where nothing is drawn.
    if (d >= kPixelLimit || d != d) return PlotPixelRule::kBeyondHigh;
    if (d <= -kPixelLimit) return PlotPixelRule::kBeyondLow;
    // Floor, not truncation: left of column 0 a pan or a following centre brings into view,
    // truncation would give column 0 a bin one and a half pixels wide.
    const int i = static_cast<int>(d);
    return d < i ? i - 1 : i;
}

// Below this many marks a comparison sort beats three counting passes.
constexpr std::size_t kRadixFrom = 2048;
constexpr int kRadixBits = 11;
constexpr std::uint32_t kRadixMask = (1U << kRadixBits) - 1;

}  // namespace

// The arithmetic is the plot's own, operation for operation: the same doubles give the same
// pixels as the walk over every point.
int PlotPixelRule::Column(double easting) const
{
    return Clamped(cx + r * (easting - centreEasting) / range + 0.5);
}

int PlotPixelRule::Row(double northing) const
{
    return Clamped(cy - r * (northing - centreNorthing) / range + 0.5);
}

bool PlotPixelRule::VisibleColumn(int column) const
{
    return column != kBeyondLow && column != kBeyondHigh && column + shiftX >= Left() &&
           column + shiftX < Right();
}

bool PlotPixelRule::VisibleRow(int row) const
{
    return row != kBeyondLow && row != kBeyondHigh && row + shiftY >= Top() &&
           row + shiftY < Bottom();
}

PlotPixelRule PlotPixelRule::Widened(int margin) const
{
    PlotPixelRule wide = *this;
    wide.width += 2 * margin;
    wide.height += 2 * margin;
    wide.cx += margin;
    wide.cy += margin;
    return wide;
}

bool PlotPixelRule::SameButShift(const PlotPixelRule& other) const
{
    PlotPixelRule shifted = other;
    shifted.shiftX = shiftX;
    shifted.shiftY = shiftY;
    return *this == shifted;
}

bool PlotPixelRule::ToPixel(double easting, double northing, int& x, int& y) const
{
    const int column = Column(easting);
    const int row = Row(northing);
    if (!VisibleColumn(column) || !VisibleRow(row)) return false;
    x = column + shiftX;
    y = row + shiftY;
    return true;
}

void CPlotMarkGrid::Begin(int width, int height)
{
    const std::size_t area = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (width != width_ || height != height_) {
        cellOf_.assign(area, 0);
        width_ = width;
        height_ = height;
    }
    cells_.clear();
}

void CPlotMarkGrid::Offer(int x, int y, int combo, std::uint32_t key)
{
    std::uint32_t& slot = cellOf_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                  static_cast<std::size_t>(x)];
    if (slot == 0) {
        cells_.push_back(Cell{x, y, {}, {}});
        slot = static_cast<std::uint32_t>(cells_.size());
    }
    Cell& cell = cells_[slot - 1];
    const auto kind = static_cast<std::size_t>(combo / kSlots);
    if (key > cell.keys[kind]) {
        cell.keys[kind] = key;
        cell.slotOf[kind] = static_cast<std::uint8_t>(combo % kSlots);
    }
}

bool CPlotMarkGrid::Holds(const PlotPixelRule& rule, int x0, int x1, int y0, int y1, int kind,
                          const std::array<std::uint32_t, kSlots>& newest) const
{
    const std::uint32_t key = *std::max_element(newest.begin(), newest.end());
    if (key == 0) return true;
    for (int row = y0; row <= y1; ++row) {
        if (!rule.VisibleRow(row)) continue;
        for (int column = x0; column <= x1; ++column) {
            if (!rule.VisibleColumn(column)) continue;
            const std::uint32_t slot = cellOf_[static_cast<std::size_t>(row + rule.shiftY) *
                                                   static_cast<std::size_t>(width_) +
                                               static_cast<std::size_t>(column + rule.shiftX)];
            if (slot == 0 || cells_[slot - 1].keys[static_cast<std::size_t>(kind)] < key) {
                return false;
            }
        }
    }
    return true;
}

void CPlotMarkGrid::Finish(std::vector<PlotMark>& out)
{
    entries_.clear();
    for (std::size_t c = 0; c < cells_.size(); ++c) {
        const Cell& cell = cells_[c];
        cellOf_[static_cast<std::size_t>(cell.y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(cell.x)] = 0;
        for (std::uint32_t kind = 0; kind < cell.keys.size(); ++kind) {
            if (cell.keys[kind] != 0) {
                entries_.push_back(Entry{cell.keys[kind], static_cast<std::uint32_t>(c), kind});
            }
        }
    }
    // Keys are unique: any sort gives the one drawing order.
    if (entries_.size() < kRadixFrom) {
        std::sort(entries_.begin(), entries_.end(),
                  [](const Entry& a, const Entry& b) { return a.key < b.key; });
    } else {
        sorted_.resize(entries_.size());
        std::vector<std::uint32_t> counts(kRadixMask + 1);
        for (int shift = 0; shift < 32; shift += kRadixBits) {
            std::fill(counts.begin(), counts.end(), 0U);
            for (const Entry& e : entries_) ++counts[(e.key >> shift) & kRadixMask];
            std::uint32_t sum = 0;
            for (std::uint32_t& count : counts) sum += std::exchange(count, sum);
            for (const Entry& e : entries_) sorted_[counts[(e.key >> shift) & kRadixMask]++] = e;
            entries_.swap(sorted_);
        }
    }
    out.clear();
    out.reserve(entries_.size());
    for (const Entry& e : entries_) {
        const Cell& cell = cells_[e.cell];
        out.push_back(PlotMark{cell.x, cell.y, static_cast<std::uint8_t>(e.kind),
                               cell.slotOf[e.kind], e.key});
    }
    cells_.clear();
}
