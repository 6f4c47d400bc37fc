#include "views/plot_mark_grid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace {

// Below this many marks a comparison sort beats three counting passes.
constexpr std::size_t kRadixFrom = 2048;
constexpr int kRadixBits = 11;
constexpr std::uint32_t kRadixMask = (1U << kRadixBits) - 1;

}  // namespace

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
