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
