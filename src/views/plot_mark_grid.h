#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

// Where a plot point in metres lands on screen during one paint. Column() never falls as the
// easting grows and Row() never rises as the northing grows, so the pixels of every point in
// a box lie between the pixels of its corners.
struct PlotPixelRule {
    int width = 0;
    int height = 0;
    int cx = 0;
    int cy = 0;
    int r = 1;           // pixels from the centre to the visible range
    double range = 1.0;  // metres shown from the centre to r
    double centreEasting = 0.0;
    double centreNorthing = 0.0;
    int shiftX = 0;  // pan, in whole pixels, added after rounding
    int shiftY = 0;
    // Only the pixels x0 <= x < x1, y0 <= y < y1 of the view count (a strip to redraw).
    int clipX0 = 0;
    int clipY0 = 0;
    int clipX1 = INT_MAX;
    int clipY1 = INT_MAX;

    // Column or row before the pan; beyond the drawable range, one of these stand-ins.
    static constexpr int kBeyondLow = INT_MIN / 4;
    static constexpr int kBeyondHigh = INT_MAX / 4;
    int Column(double easting) const;
    int Row(double northing) const;
    // The pixel in the view, false outside it.
    bool ToPixel(double easting, double northing, int& x, int& y) const;
    // Column or row (before the pan) that lands inside the view and its clip.
    bool VisibleColumn(int column) const;
    bool VisibleRow(int row) const;
    // The view and its clip, in view pixels: left <= x < right, top <= y < bottom.
    int Left() const { return clipX0 > 0 ? clipX0 : 0; }
    int Right() const { return clipX1 < width ? clipX1 : width; }
    int Top() const { return clipY0 > 0 ? clipY0 : 0; }
    int Bottom() const { return clipY1 < height ? clipY1 : height; }
    // The rule of a larger picture around the view, by margin pixels on each side.
    PlotPixelRule Widened(int margin) const;
    bool SameButShift(const PlotPixelRule& other) const;
    bool operator==(const PlotPixelRule&) const = default;
};

// Every point of every paint goes through these, from other files too: inline.
namespace plot_pixels {

// Far beyond any window, yet safely inside int and the raster engine's fixed point.
inline constexpr double kLimit = 1e6;

inline int Clamped(double d)
{
    // Also sends NaN beyond the range, where nothing is drawn.
    if (d >= kLimit || d != d) return PlotPixelRule::kBeyondHigh;
    if (d <= -kLimit) return PlotPixelRule::kBeyondLow;
    // Floor, not truncation: left of column 0 a pan or a following centre brings into view,
    // truncation would give column 0 a bin one and a half pixels wide.
    const int i = static_cast<int>(d);
    return d < i ? i - 1 : i;
}

}  // namespace plot_pixels

// The arithmetic is the plot's own, operation for operation: the same doubles give the same
// pixels as the walk over every point.
inline int PlotPixelRule::Column(double easting) const
{
    return plot_pixels::Clamped(cx + r * (easting - centreEasting) / range + 0.5);
}

inline int PlotPixelRule::Row(double northing) const
{
    return plot_pixels::Clamped(cy - r * (northing - centreNorthing) / range + 0.5);
}

inline bool PlotPixelRule::VisibleColumn(int column) const
{
    return column != kBeyondLow && column != kBeyondHigh && column + shiftX >= Left() &&
           column + shiftX < Right();
}

inline bool PlotPixelRule::VisibleRow(int row) const
{
    return row != kBeyondLow && row != kBeyondHigh && row + shiftY >= Top() &&
           row + shiftY < Bottom();
}

inline bool PlotPixelRule::ToPixel(double easting, double northing, int& x, int& y) const
{
    const int column = Column(easting);
    const int row = Row(northing);
    if (!VisibleColumn(column) || !VisibleRow(row)) return false;
    x = column + shiftX;
    y = row + shiftY;
    return true;
}

// One mark to draw: a live circle (kind 0) or a replay square (kind 1) in a class slot, with
// its drawing key (see CPlotMarkGrid).
struct PlotMark {
    int x = 0;
    int y = 0;
    std::uint8_t kind = 0;
    std::uint8_t slot = 0;
    std::uint32_t key = 0;
    bool operator==(const PlotMark&) const = default;
};

// The newest point per pixel and kind during one paint. Keys order the drawing: live point i
// has key 2i+1, replay point i 2i+2 (0 is "none"), so replay point i is drawn right after live
// point i and a larger key lies on top. Marks of one kind at one pixel cover the same pixels
// whatever their slot, so only the newest of them can show.
class CPlotMarkGrid {
public:
    static constexpr int kSlots = 5;

    void Begin(int width, int height);
    // x, y inside the view; combo is kind * kSlots + slot.
    void Offer(int x, int y, int combo, std::uint32_t key);
    // True when every pixel of the span (before the pan) that lies in the view already holds,
    // for the kind, a key at least as large as the newest of newest (per slot): nothing in the
    // span can change the picture.
    bool Holds(const PlotPixelRule& rule, int x0, int x1, int y0, int y1, int kind,
               const std::array<std::uint32_t, kSlots>& newest) const;
    // The marks, oldest first; empties the grid.
    void Finish(std::vector<PlotMark>& out);

private:
    struct Cell {
        int x = 0;
        int y = 0;
        std::array<std::uint32_t, 2> keys{};  // per kind
        std::array<std::uint8_t, 2> slotOf{};
    };
    struct Entry {
        std::uint32_t key;
        std::uint32_t cell;
        std::uint32_t kind;
    };

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> cellOf_;  // per pixel: cell number + 1, 0 for none
    std::vector<Cell> cells_;
    std::vector<Entry> entries_;
    std::vector<Entry> sorted_;
};

inline void CPlotMarkGrid::Offer(int x, int y, int combo, std::uint32_t key)
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
