#include "views/plot_marks.h"

#include <algorithm>

namespace {

// Beyond this many points between two paints, collecting all marks again is as quick.
constexpr std::size_t kMaxShown = 4096;

// The drawing order (see CPlotMarkGrid).
std::uint32_t KeyOf(std::size_t index, std::uint8_t kind)
{
    return static_cast<std::uint32_t>(2 * index + 1 + kind);
}

}  // namespace

bool CPlotMarks::AddLive(double easting, double northing, std::uint8_t slot)
{
    const CPlotPointTree::Point point{easting, northing, static_cast<std::uint32_t>(liveCount_),
                                      slot};
    if (!live_.Add(point)) return false;
    NoteShown(point, kLive);
    ++liveCount_;
    ShowReplay();
    return true;
}

bool CPlotMarks::AddReplay(double easting, double northing, std::uint8_t slot)
{
    if (replayCount_ > CPlotPointTree::kMaxIndex) return false;
    pending_.push_back({easting, northing, static_cast<std::uint32_t>(replayCount_), slot});
    ++replayCount_;
    ShowReplay();
    return true;
}

void CPlotMarks::ShowReplay()
{
    while (pendingHead_ < pending_.size() && pending_[pendingHead_].index < liveCount_) {
        NoteShown(pending_[pendingHead_], kReplay);
        replay_.Add(pending_[pendingHead_++]);
    }
    if (pendingHead_ == pending_.size()) {
        pending_.clear();
        pendingHead_ = 0;
        // A long hidden stretch leaves a large allocation behind.
        if (pending_.capacity() > 4096) pending_.shrink_to_fit();
    }
}

// A point drawn under marks already there (a replay point shown behind the live points)
// cannot simply go on top: the picture has to be collected again.
void CPlotMarks::NoteShown(const CPlotPointTree::Point& point, std::uint8_t kind)
{
    const std::uint32_t key = KeyOf(point.index, kind);
    if (key < newestKey_) Invalidate(newestKey_);
    newestKey_ = std::max(newestKey_, key);
    if (shown_.size() < kMaxShown) {
        shown_.push_back(Shown{point.easting, point.northing, key, kind, point.slot});
    } else {
        tooManyShown_ = true;
    }
}

void CPlotMarks::Invalidate(std::uint32_t newestKey)
{
    ++generation_;
    newestKey_ = newestKey;
    shown_.clear();
    tooManyShown_ = false;
}

void CPlotMarks::ClearLive()
{
    Invalidate(0);
    live_.Clear();
    liveCount_ = 0;
    std::vector<CPlotPointTree::Point> hidden = replay_.Points();
    replay_.Clear();
    hidden.insert(hidden.end(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingHead_),
                  pending_.end());
    pending_ = std::move(hidden);
    pendingHead_ = 0;
}

void CPlotMarks::ClearReplay()
{
    Invalidate(liveCount_ == 0 ? 0 : KeyOf(liveCount_ - 1, kLive));
    replay_.Clear();
    pending_ = {};
    pendingHead_ = 0;
    replayCount_ = 0;
}

void CPlotMarks::Clear()
{
    live_.Clear();
    liveCount_ = 0;
    ClearReplay();
    Invalidate(0);
}

const std::vector<PlotMark>& CPlotMarks::Collect(const PlotPixelRule& rule)
{
    shown_.clear();
    tooManyShown_ = false;
    grid_.Begin(rule.width, rule.height);
    live_.Collect(rule, grid_);
    replay_.Collect(rule, grid_);
    grid_.Finish(marks_);
    return marks_;
}

bool CPlotMarks::CollectAdded(const PlotPixelRule& rule, std::vector<PlotMark>& out)
{
    out.clear();
    if (tooManyShown_) return false;
    for (const Shown& point : shown_) {
        int x = 0;
        int y = 0;
        if (rule.ToPixel(point.easting, point.northing, x, y)) {
            out.push_back(PlotMark{x, y, point.kind, point.slot, point.key});
        }
    }
    shown_.clear();
    return true;
}

const std::vector<PlotMark>& CPlotMarks::CollectByWalk(const PlotPixelRule& rule)
{
    const std::vector<CPlotPointTree::Point> live = live_.Points();
    std::vector<CPlotPointTree::Point> replay = replay_.Points();
    replay.insert(replay.end(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingHead_),
                  pending_.end());
    std::vector<std::uint16_t> coverage(
        static_cast<std::size_t>(rule.width) * static_cast<std::size_t>(rule.height), 0);
    marks_.clear();
    auto mark = [&](const CPlotPointTree::Point& point, std::uint8_t kind) {
        int x = 0;
        int y = 0;
        if (!rule.ToPixel(point.easting, point.northing, x, y)) return;
        const auto bit =
            static_cast<std::uint16_t>(1U << (kind * CPlotMarkGrid::kSlots + point.slot));
        std::uint16_t& cell =
            coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(rule.width) +
                     static_cast<std::size_t>(x)];
        if ((cell & bit) != 0) return;
        cell = static_cast<std::uint16_t>(cell | bit);
        marks_.push_back(PlotMark{x, y, kind, point.slot, KeyOf(point.index, kind)});
    };
    // Newest first, so that the first mark seen at a pixel is the one left visible; replay
    // point i is drawn after live point i.
    for (std::size_t i = live.size(); i-- > 0;) {
        if (i < replay.size()) mark(replay[i], kReplay);
        mark(live[i], kLive);
    }
    std::reverse(marks_.begin(), marks_.end());
    return marks_;
}
