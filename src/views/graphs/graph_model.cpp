#include "views/graphs/graph_model.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Floating-point differences of large coordinates (UTM-K northing) are off by far less.
constexpr double kScaleTolerance = 1e-6;

constexpr std::array<double, 12> kDeviationScales{0.01, 0.05, 0.1, 0.5, 1.0, 10.0,
                                                  50.0, 100., 1e3, 1e4, 1e5, 1e6};
constexpr int kValueDivisions = 5;
constexpr double kMaxSpeed = 150.0;
constexpr double kMaxElevation = 1000.0;

double RoundUp(double value, double step) { return step * std::ceil(value / step); }

enum class DevUnit { kMm, kCm, kM, kKm };

DevUnit DeviationUnit(double scale)
{
    if (scale <= 0.01 + kScaleTolerance) return DevUnit::kMm;
    if (scale <= 1.0 + kScaleTolerance) return DevUnit::kCm;
    if (scale <= 1000.0 + kScaleTolerance) return DevUnit::kM;
    return DevUnit::kKm;
}

QString DeviationLabel(double metres, double scale)
{
    const char* sign = metres < 0 ? "-" : "+";
    const double a = std::fabs(metres);
    return QString::fromUtf8(sign) + [&] {
        switch (DeviationUnit(scale)) {
            case DevUnit::kMm: return QString::asprintf("%ldmm", std::lround(a * 1000.0));
            case DevUnit::kCm: return QString::asprintf("%ldcm", std::lround(a * 100.0));
            case DevUnit::kM: return QString::asprintf("%ldm", std::lround(a));
            case DevUnit::kKm: break;
        }
        return QString::asprintf("%ldkm", std::lround(a / 1000.0));
    }();
}

// Labels only where the value is a whole number in the axis unit (a 1 km/h scale would
// otherwise repeat "0km/h").
std::optional<QString> PositiveLabel(ValueGraphKind kind, double scale, double value)
{
    double shown = value;
    const char* format = "%ldm";
    if (kind == ValueGraphKind::kSpeed) format = "%ldkm/h";
    if (kind == ValueGraphKind::kDistance && scale >= 10000.0) {
        shown = value / 1000.0;
        format = "%ldkm";
    }
    const long whole = std::lround(shown);
    if (std::fabs(shown - static_cast<double>(whole)) > 1e-6) return std::nullopt;
    return QString::asprintf(format, whole);
}

}  // namespace

void CSampleRing::Push(const GraphSample& sample)
{
    ++count_;
    std::size_t slot = head_;
    if (kept_ < bound_) {
        slot = kept_++;
        if (slot >= allocated_) {
            // The last chunk ends exactly at the bound.
            Chunk chunk;
            chunk.size = std::min(kChunkSize, bound_ - allocated_);
            chunk.value = std::make_unique<double[]>(chunk.size);
            chunk.fixClass = std::make_unique<std::uint8_t[]>(chunk.size);
            chunk.flags = std::make_unique<std::uint8_t[]>(chunk.size);
            chunks_.push_back(std::move(chunk));
            allocated_ += chunks_.back().size;
            memory_ += chunks_.back().size * (sizeof(double) + 2);
        }
    } else {
        head_ = head_ + 1 == bound_ ? 0 : head_ + 1;
    }
    Chunk& chunk = chunks_[slot >> kChunkBits];
    const std::size_t i = slot & (kChunkSize - 1);
    chunk.value[i] = sample.value;
    chunk.fixClass[i] = sample.fixClass;
    chunk.flags[i] = sample.flags;
    if (!chunk.second && sample.second != 0.0f) {
        chunk.second = std::make_unique<float[]>(chunk.size);
        memory_ += chunk.size * sizeof(float);
    }
    if (chunk.second) chunk.second[i] = sample.second;
}

void CSampleRing::Clear()
{
    chunks_.clear();
    allocated_ = 0;
    memory_ = 0;
    head_ = 0;
    kept_ = 0;
    count_ = 0;
}

double InitialFullScale(ValueGraphKind kind)
{
    switch (kind) {
        case ValueGraphKind::kDeviation: return 0.0;
        case ValueGraphKind::kDistance: return 100.0;
        case ValueGraphKind::kSpeed:
        case ValueGraphKind::kElevation: break;
    }
    return 1.0;
}

double ClampGraphValue(ValueGraphKind kind, double value)
{
    if (kind == ValueGraphKind::kSpeed) return std::min(value, kMaxSpeed);
    if (kind == ValueGraphKind::kElevation) return std::min(value, kMaxElevation);
    return value;
}

double GrownFullScale(ValueGraphKind kind, double scale, double v)
{
    if (!std::isfinite(v)) return scale;
    if (kind == ValueGraphKind::kDeviation) {
        if (v <= scale + kScaleTolerance) return scale;
        for (const double step : kDeviationScales)
            if (step + kScaleTolerance >= v) return step;
        return scale;
    }
    if (v <= scale) return scale;
    switch (kind) {
        case ValueGraphKind::kSpeed:
            if (v < 1.0) return 1.0;
            return v < 100.0 ? RoundUp(v, 10.0) : kMaxSpeed;
        case ValueGraphKind::kDistance:
            if (v < 100.0) return 100.0;
            if (v < 1e3) return RoundUp(v, 100.0);
            if (v < 1e4) return RoundUp(v, 1e3);
            if (v < 1e5) return RoundUp(v, 1e4);
            if (v < 1e6) return RoundUp(v, 1e5);
            return scale;
        case ValueGraphKind::kElevation:
            if (v < 1.0) return 1.0;
            if (v < 100.0) return RoundUp(v, 10.0);
            if (v < 200.0) return RoundUp(v, 20.0);
            if (v < 300.0) return RoundUp(v, 30.0);
            if (v < 400.0) return RoundUp(v, 40.0);
            return kMaxElevation;
        case ValueGraphKind::kDeviation: break;
    }
    return scale;
}

double CValueScale::Add(double value, bool valid)
{
    const double stored = ClampGraphValue(kind_, value);
    if (!valid || !std::isfinite(stored)) return stored;
    if (Centred()) {
        if (!reference_) reference_ = stored;
        scale_ = GrownFullScale(kind_, scale_, std::fabs(stored - *reference_));
    } else {
        scale_ = GrownFullScale(kind_, scale_, stored);
    }
    return stored;
}

void CValueScale::Reset()
{
    scale_ = InitialFullScale(kind_);
    reference_.reset();
}

double CValueScale::Fraction(double stored) const
{
    if (Centred()) {
        // A constant series keeps the scale at 0: it lies on the zero line.
        if (scale_ <= 0.0) return 0.5;
        return 0.5 + (stored - Reference()) / (2.0 * scale_);
    }
    return scale_ > 0.0 ? stored / scale_ : 0.0;
}

std::vector<GridLine> ValueGridLines(ValueGraphKind kind, double scale)
{
    std::vector<GridLine> lines;
    if (kind == ValueGraphKind::kDeviation) {
        lines.push_back({0.5, QString(), true});
        for (int k = 1; k <= kValueDivisions; ++k) {
            const double part = static_cast<double>(k) / kValueDivisions;
            const double metres = part * scale;
            const bool labelled = scale > 0.0;
            lines.push_back(
                {0.5 + part / 2, labelled ? DeviationLabel(metres, scale) : QString(), false});
            lines.push_back(
                {0.5 - part / 2, labelled ? DeviationLabel(-metres, scale) : QString(), false});
        }
        return lines;
    }
    for (int k = 1; k <= kValueDivisions; ++k) {
        const double part = static_cast<double>(k) / kValueDivisions;
        lines.push_back(
            {part, PositiveLabel(kind, scale, part * scale).value_or(QString()), false});
    }
    return lines;
}

std::vector<GridLine> HeadingGridLines()
{
    std::vector<GridLine> lines;
    for (int deg = 90; deg <= 360; deg += 90)
        lines.push_back({deg / 360.0, QString::asprintf("+%d°", deg), false});
    return lines;
}

QString ValueText(ValueGraphKind kind, double scale, double shown)
{
    switch (kind) {
        case ValueGraphKind::kDeviation:
            switch (DeviationUnit(scale)) {
                case DevUnit::kMm: return QString::asprintf("%+.1f mm", shown * 1000.0);
                case DevUnit::kCm: return QString::asprintf("%+.2f cm", shown * 100.0);
                case DevUnit::kM:
                    if (scale >= 1000.0 - kScaleTolerance)
                        return QString::asprintf("%+.1f m", shown);
                    return QString::asprintf("%+.2f m", shown);
                case DevUnit::kKm: break;
            }
            return QString::asprintf("%+.1f km", shown / 1000.0);
        case ValueGraphKind::kSpeed: return QString::asprintf("%.3fkm/h", shown);
        case ValueGraphKind::kDistance:
            if (shown < 1000.0) return QString::asprintf("%ldm", std::lround(shown));
            return QString::asprintf("%.2fkm", shown / 1000.0);
        case ValueGraphKind::kElevation: break;
    }
    return QString::asprintf("%.1fm", shown);
}

QString HeadingValueText(double degrees) { return QString::asprintf("%.2f°", degrees); }

GraphWindow VisibleGraphWindow(std::size_t count, std::size_t oldestKept, std::size_t span,
                               std::optional<std::size_t> pinnedLast)
{
    if (count == 0) return {};
    span = std::max<std::size_t>(span, 1);
    std::size_t last = count - 1;
    if (pinnedLast) {
        // Never scroll back past the oldest kept sample's full window.
        const std::size_t lowest = std::min(last, oldestKept + span - 1);
        last = std::clamp(*pinnedLast, lowest, last);
    }
    const std::size_t first = last + 1 > span ? last + 1 - span : 0;
    return {first, last};
}

std::vector<TimeTick> TimeTicks(const GraphWindow& window, std::size_t span,
                                double samplesPerSecond, bool allowHours)
{
    static constexpr std::array<int, 12> kSpacings{60,   120,  300,   600,   900,   1800,
                                                   3600, 7200, 10800, 21600, 43200, 86400};
    constexpr double kMaxTicks = 6.0;
    std::vector<TimeTick> ticks;
    if (samplesPerSecond <= 0.0) return ticks;
    const double seconds = static_cast<double>(span) / samplesPerSecond;
    int spacing = kSpacings.back();
    for (const int s : kSpacings) {
        if (seconds / s <= kMaxTicks) {
            spacing = s;
            break;
        }
    }
    const double step = spacing * samplesPerSecond;
    const double end = static_cast<double>(window.first + span);
    for (double at = std::ceil(window.first / step) * step; at < end; at += step) {
        const auto index = static_cast<std::size_t>(std::llround(at));
        if (index == 0) continue;
        const long minutes = std::lround(at / samplesPerSecond / 60.0);
        QString label = (allowHours && minutes >= 60 && minutes % 60 == 0)
                            ? QCoreApplication::translate("CGraphCtrl", "%1시간").arg(minutes / 60)
                            : QCoreApplication::translate("CGraphCtrl", "%1분").arg(minutes);
        ticks.push_back({index, label});
    }
    return ticks;
}

double NormalisedDegrees(double degrees)
{
    if (!std::isfinite(degrees)) return 0.0;
    double d = std::fmod(degrees, 360.0);
    if (d < 0.0) d += 360.0;
    return d >= 360.0 ? 0.0 : d;
}

double ShortWayDelta(double shown, double target)
{
    double delta = target - shown;
    if (std::fabs(delta) >= 180.0) delta += delta > 0.0 ? -360.0 : 360.0;
    return delta;
}

bool CHeadingStepper::SetTargets(double course, double heading)
{
    if (Animating()) Snap();  // the previous animation ends where it was going
    targetCourse_ = NormalisedDegrees(course);
    targetHeading_ = NormalisedDegrees(heading);
    if (!animation_) {
        Snap();
        return false;
    }
    courseStep_ = ShortWayDelta(course_, targetCourse_) / kSteps;
    headingStep_ = ShortWayDelta(heading_, targetHeading_) / kSteps;
    ticks_ = 0;
    return true;
}

bool CHeadingStepper::Tick()
{
    if (!Animating()) return false;
    if (++ticks_ >= kSteps) {
        Snap();
        return false;
    }
    course_ = NormalisedDegrees(course_ + courseStep_);
    heading_ = NormalisedDegrees(heading_ + headingStep_);
    return true;
}

void CHeadingStepper::SetAnimation(bool on)
{
    animation_ = on;
    if (!on) Snap();
}

void CHeadingStepper::Snap()
{
    course_ = targetCourse_;
    heading_ = targetHeading_;
    ticks_ = kSteps;
}

QString CourseText(double degrees)
{
    return QString::asprintf("Course : %7.3fº", degrees < 0.0 ? degrees + 360.0 : degrees);
}

QString HeadingText(double degrees)
{
    return QString::asprintf("Heading: %7.3fº", degrees < 0.0 ? degrees + 360.0 : degrees);
}
