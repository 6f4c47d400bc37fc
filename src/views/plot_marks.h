#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "views/plot_mark_grid.h"
#include "views/plot_point_tree.h"

// The points of the position plot and the marks they leave. A mark is the newest point of
// its pixel and kind (older ones there, of any slot, lie wholly under it); marks are drawn
// oldest first, live point i then replay point i, and replay point i only once there are more
// than i live points. The marks come from the point trees, at a cost that follows the number
// of marks, not of points.
class CPlotMarks {
public:
    static constexpr std::uint8_t kLive = 0;
    static constexpr std::uint8_t kReplay = 1;

    // False (nothing kept) only beyond CPlotPointTree::kMaxIndex points.
    bool AddLive(double easting, double northing, std::uint8_t slot);
    bool AddReplay(double easting, double northing, std::uint8_t slot);
    // Replay points stay, hidden until the live points outnumber them again.
    void ClearLive();
    void ClearReplay();
    void Clear();

    std::size_t LiveCount() const { return liveCount_; }
    std::size_t ReplayCount() const { return replayCount_; }

    // Changes with everything but added points.
    std::uint64_t Generation() const { return generation_; }

    // The marks in the view, in drawing order.
    const std::vector<PlotMark>& Collect(const PlotPixelRule& rule);
    // The marks of the points shown since the last Collect or CollectAdded, in drawing order.
    // Each lies on top of every mark before it, so drawing them over the last picture gives the
    // picture of all points. False when too many points came, then Collect.
    bool CollectAdded(const PlotPixelRule& rule, std::vector<PlotMark>& out);
    // The same marks by walking every point, newest first, as a reference for tests.
    const std::vector<PlotMark>& CollectByWalk(const PlotPixelRule& rule);

private:
    struct Shown {
        double easting;
        double northing;
        std::uint32_t key;
        std::uint8_t kind;
        std::uint8_t slot;
    };

    void ShowReplay();
    void NoteShown(const CPlotPointTree::Point& point, std::uint8_t kind);
    void Invalidate(std::uint32_t newestKey);

    CPlotPointTree live_{kLive};
    CPlotPointTree replay_{kReplay};
    // Replay points not drawn yet, in index order from pendingHead_.
    std::vector<CPlotPointTree::Point> pending_;
    std::size_t pendingHead_ = 0;
    std::size_t liveCount_ = 0;
    std::size_t replayCount_ = 0;
    CPlotMarkGrid grid_;
    std::vector<PlotMark> marks_;
    std::uint64_t generation_ = 0;
    std::uint32_t newestKey_ = 0;  // of the points shown
    std::vector<Shown> shown_;     // since the last Collect, until too many
    bool tooManyShown_ = false;
};
