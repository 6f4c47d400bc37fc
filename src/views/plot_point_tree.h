#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "views/plot_mark_grid.h"

// The points of one kind (live or replay) in a quadtree over metres. Every node and every
// block of points knows the box its points span and its newest point per class slot, so a
// paint stops at whatever falls within one pixel: its work follows the number of marks to
// draw, not of points. The points live only here, in blocks per leaf.
class CPlotPointTree {
public:
    struct Point {
        double easting = 0.0;
        double northing = 0.0;
        std::uint32_t index = 0;  // the point's number in its list: its drawing order
        std::uint8_t slot = 0;
    };
    // Indexes above this are not kept (over 600 days at 10 Hz).
    static constexpr std::uint32_t kMaxIndex = (1U << 29) - 1;

    // kind 0 live, 1 replay: decides the drawing keys.
    explicit CPlotPointTree(int kind) : kind_(kind) {}

    bool Add(const Point& point);
    // Also gives the memory back.
    void Clear();
    std::size_t Size() const { return size_; }
    // Offers the newest point of every pixel and slot in the view to the grid.
    void Collect(const PlotPixelRule& rule, CPlotMarkGrid& grid) const;
    // Every point, in index order.
    std::vector<Point> Points() const;

private:
    static constexpr int kBlockPoints = 32;
    static constexpr std::uint32_t kLeafPoints = 128;
    static constexpr std::uint32_t kNone = 0xFFFFFFFFU;

    using Keys = std::array<std::uint32_t, CPlotMarkGrid::kSlots>;
    // The box a set of points spans and its newest point per slot.
    struct Summary {
        double minE;
        double maxE;
        double minN;
        double maxN;
        Keys newest;  // per slot, 0 for none
        // A block's points; a leaf's points; an inner node's children holding points, a bit
        // each.
        std::uint32_t count;
        void Include(double e, double n, std::uint32_t slot, std::uint32_t key);
    };
    // One cache line.
    struct alignas(64) Node {
        Summary sum;
        std::uint32_t children;  // first of four, 0 for a leaf
        std::uint32_t block;     // leaf: the newest block, kNone for none
    };
    // Positions are kept on a grid of 2^-20 m (about a micrometre, far below the finest
    // pixel), as whole steps from the block's first point: 12 bytes a point instead of 20.
    static constexpr double kStepsPerMetre = 1048576.0;
    // A block's points in steps of its origin that fit 32 bits (2 km either way).
    static constexpr std::int64_t kMaxOffset = 0x7FFFFFFF;
    // A leaf's points in arrival order; its blocks run from the newest back.
    struct Block {
        Summary sum;
        std::uint32_t next;
        std::int64_t originE;  // in steps
        std::int64_t originN;
        std::array<std::int32_t, kBlockPoints> e;  // steps from the origin
        std::array<std::int32_t, kBlockPoints> n;
        std::array<std::uint32_t, kBlockPoints> tag;  // index << 3 | slot

        double E(std::uint32_t k) const
        {
            return static_cast<double>(originE + e[k]) / kStepsPerMetre;
        }
        double N(std::uint32_t k) const
        {
            return static_cast<double>(originN + n[k]) / kStepsPerMetre;
        }
        bool Fits(double east, double north) const;
    };
    // On the grid: what the tree keeps and gives back for a position.
    static double OnGrid(double metres);
    struct Cell {
        double x;
        double y;
        double size;
    };
    struct Span {
        int x0, x1, y0, y1;
    };
    // Fixed-size chunks: no reallocation copies, no doubling slack, stable references.
    template <class T>
    class Pool {
    public:
        std::uint32_t Add();
        T& operator[](std::uint32_t i) { return chunks_[i >> kBits][i & kMask]; }
        const T& operator[](std::uint32_t i) const { return chunks_[i >> kBits][i & kMask]; }
        std::uint32_t Size() const { return size_; }
        void Clear();

    private:
        static constexpr int kBits = 12;
        static constexpr std::uint32_t kChunk = 1U << kBits;
        static constexpr std::uint32_t kMask = kChunk - 1;
        std::vector<std::unique_ptr<T[]>> chunks_;
        std::uint32_t size_ = 0;
    };

    std::uint32_t Key(std::uint32_t tag) const;
    std::uint32_t NewNode();
    std::uint32_t NewBlock();
    void Grow(double e, double n);
    void Append(std::uint32_t node, double e, double n, std::uint32_t tag);
    void Split(std::uint32_t node, const Cell& cell);
    void Relayout();
    Span SpanOf(const PlotPixelRule& rule, const Summary& sum) const;
    void Offer(const PlotPixelRule& rule, const Span& span, const Summary& sum,
               CPlotMarkGrid& grid) const;
    void Visit(const PlotPixelRule& rule, std::uint32_t item, bool resolving,
               CPlotMarkGrid& grid) const;
    void VisitBlock(const PlotPixelRule& rule, std::uint32_t block, bool resolving,
                    CPlotMarkGrid& grid) const;
    void ScanAll(const PlotPixelRule& rule, const Block& block, CPlotMarkGrid& grid) const;
    void ResolveBlock(const PlotPixelRule& rule, std::uint32_t block, CPlotMarkGrid& grid) const;
    void ScanNewestFirst(const PlotPixelRule& rule, const Block& block, CPlotMarkGrid& grid) const;

    int kind_;
    Pool<Node> nodes_;
    Pool<Block> blocks_;
    std::uint32_t freeBlock_ = kNone;
    Cell root_{};
    std::size_t size_ = 0;
    std::uint32_t laidOut_ = 0;  // nodes at the last Relayout
    // Per-paint scratch: nodes to visit, then nodes and blocks (kBlockItem set) to resolve.
    static constexpr std::uint32_t kBlockItem = 0x80000000U;
    mutable std::vector<std::uint32_t> stack_;
    mutable std::vector<std::uint32_t> deferred_;
};
