#pragma once

// What the graph tool windows store and compute, free of widgets: the bounded sample history,
// the full-scale rules, the visible window, the axis and value texts and the gauge stepper.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// One epoch of a graph. The heading graph uses both values (yaw, heading).
struct GraphSample {
    double value = 0.0;
    float second = 0.0f;
    std::uint8_t fixClass = 0;
    std::uint8_t flags = 0;  // kSampleValid, kSampleSecondValid

    bool Valid() const { return (flags & 1u) != 0; }
    bool SecondValid() const { return (flags & 2u) != 0; }
};
inline constexpr std::uint8_t kSampleValid = 1;
inline constexpr std::uint8_t kSampleSecondValid = 2;
static_assert(sizeof(GraphSample) <= 16, "a day of samples must stay small");

// 24 h at 10 Hz.
inline constexpr std::size_t kMaxGraphSamples = 864000;

// The newest samples up to a bound; the oldest drops out. Indices are counted from the last
// reset, so the time axis keeps counting after the ring is full. Storage comes in chunks as it
// fills, so memory follows the samples kept and growing never copies a day of samples. Fields
// are kept apart (10 bytes a sample instead of 16), and the second value only in chunks that
// ever held one: only the heading graph has it.
class CSampleRing {
public:
    explicit CSampleRing(std::size_t bound = kMaxGraphSamples) : bound_(bound ? bound : 1) {}

    void Push(const GraphSample& sample);
    void Clear();

    std::size_t Count() const { return count_; }  // pushed since the last Clear
    std::size_t Kept() const { return kept_; }
    std::size_t Bound() const { return bound_; }
    std::size_t OldestIndex() const { return count_ - kept_; }
    // keptIndex 0 is the oldest kept sample.
    GraphSample Kept(std::size_t keptIndex) const
    {
        std::size_t slot = head_ + keptIndex;
        if (slot >= kept_) slot -= kept_;
        const Chunk& chunk = chunks_[slot >> kChunkBits];
        const std::size_t i = slot & (kChunkSize - 1);
        return {chunk.value[i], chunk.second ? chunk.second[i] : 0.0f, chunk.fixClass[i],
                chunk.flags[i]};
    }
    // A sample index in [OldestIndex(), Count()).
    GraphSample At(std::size_t index) const { return Kept(index - OldestIndex()); }
    // Bytes of sample storage allocated.
    std::size_t MemoryBytes() const { return memory_; }

private:
    static constexpr std::size_t kChunkBits = 16;
    static constexpr std::size_t kChunkSize = std::size_t{1} << kChunkBits;
    struct Chunk {
        std::size_t size = 0;
        std::unique_ptr<double[]> value;
        std::unique_ptr<std::uint8_t[]> fixClass;
        std::unique_ptr<std::uint8_t[]> flags;
        std::unique_ptr<float[]> second;  // null until a sample had one
    };

    std::vector<Chunk> chunks_;
    std::size_t allocated_ = 0;  // samples
    std::size_t memory_ = 0;     // bytes
    std::size_t head_ = 0;       // slot of the oldest once the ring is full
    std::size_t kept_ = 0;
    std::size_t count_ = 0;
    std::size_t bound_;
};

// The four value graphs differ in these rules only.
enum class ValueGraphKind { kDeviation, kSpeed, kDistance, kElevation };

double InitialFullScale(ValueGraphKind kind);
// The value as stored (speed and elevation are clamped).
double ClampGraphValue(ValueGraphKind kind, double value);
// The scale after a magnitude (|deviation| or the value itself) has been seen; never smaller.
double GrownFullScale(ValueGraphKind kind, double scale, double magnitude);

// Full scale and deviation reference of a value graph.
class CValueScale {
public:
    explicit CValueScale(ValueGraphKind kind) : kind_(kind), scale_(InitialFullScale(kind)) {}

    // Returns the value to store.
    double Add(double value, bool valid);
    void Reset();

    ValueGraphKind Kind() const { return kind_; }
    double FullScale() const { return scale_; }
    bool HasReference() const { return reference_.has_value(); }
    double Reference() const { return reference_.value_or(0.0); }
    bool Centred() const { return kind_ == ValueGraphKind::kDeviation; }
    // Height fraction (0 bottom, 1 top) of a stored value; centred graphs put 0.5 at the
    // reference. Unclamped.
    double Fraction(double stored) const;

private:
    ValueGraphKind kind_;
    double scale_;
    std::optional<double> reference_;  // the first valid sample of a deviation graph
};

// A horizontal grid line at a height fraction, with its label (may be empty).
struct GridLine {
    double fraction = 0.0;
    QString label;
    bool zero = false;
};
std::vector<GridLine> ValueGridLines(ValueGraphKind kind, double scale);
std::vector<GridLine> HeadingGridLines();

// The large newest-value text: deviation from the reference, or the value itself.
QString ValueText(ValueGraphKind kind, double scale, double shown);
QString HeadingValueText(double degrees);

// First and last sample index shown. Following: the window ends at the newest sample; pinned:
// it ends at pinnedLast, kept inside [oldest kept .. newest].
struct GraphWindow {
    std::size_t first = 0;
    std::size_t last = 0;
};
GraphWindow VisibleGraphWindow(std::size_t count, std::size_t oldestKept, std::size_t span,
                               std::optional<std::size_t> pinnedLast);

// A time-axis tick at a sample index, labelled in minutes (or hours).
struct TimeTick {
    std::size_t index = 0;
    QString label;
};
std::vector<TimeTick> TimeTicks(const GraphWindow& window, std::size_t span,
                                double samplesPerSecond, bool allowHours);

// The gauge needles' animation: 30 steps the short way round, one per timer tick.
class CHeadingStepper {
public:
    static constexpr int kSteps = 30;

    // Returns true when an animation starts (the caller runs its timer).
    bool SetTargets(double course, double heading);
    // One step; returns true while more steps remain.
    bool Tick();
    void SetAnimation(bool on);

    bool Animation() const { return animation_; }
    bool Animating() const { return ticks_ < kSteps; }
    double Course() const { return course_; }
    double Heading() const { return heading_; }
    double TargetCourse() const { return targetCourse_; }
    double TargetHeading() const { return targetHeading_; }

private:
    void Snap();

    bool animation_ = true;
    int ticks_ = kSteps;
    double course_ = 0.0;
    double heading_ = 0.0;
    double targetCourse_ = 0.0;
    double targetHeading_ = 0.0;
    double courseStep_ = 0.0;
    double headingStep_ = 0.0;
};

double NormalisedDegrees(double degrees);  // into [0, 360)
// Delta from shown to target the short way round.
double ShortWayDelta(double shown, double target);
QString CourseText(double degrees);
QString HeadingText(double degrees);
