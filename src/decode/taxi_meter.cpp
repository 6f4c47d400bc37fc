#include "decode/taxi_meter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "decode/gnss_receiver_state.h"
#include "geo/distance.h"

namespace {

constexpr double kKmhPerMps = 3.6;
constexpr std::int64_t kSecondsPerDay = 86400;
// A time this far behind the last one means the day rolled over, not a late sentence.
constexpr std::int64_t kRollOverSlackSec = 10;
constexpr std::int64_t kNoTimeSec = -1;

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The whole text must be a finite number; from_chars keeps this independent of the locale.
bool ReadDouble(std::string_view text, double& value)
{
    text = Trim(text);
    if (text.empty()) return false;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

// Integer settings may be typed with a fraction ("132.0"); the fraction is dropped.
bool ReadInt(std::string_view text, std::int32_t& value)
{
    double v = 0.0;
    if (!ReadDouble(text, v)) return false;
    v = std::trunc(v);
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// hhmmss[.ss] to whole seconds of the day; kNoTimeSec when the text is not a time.
std::int64_t ParseSeconds(std::string_view text)
{
    if (text.size() < 6) return kNoTimeSec;
    for (std::size_t i = 0; i < 6; ++i)
        if (!IsDigit(text[i])) return kNoTimeSec;
    const auto two = [&](std::size_t i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
    const std::int64_t hh = two(0), mm = two(2), ss = two(4);
    if (hh > 23 || mm > 59 || ss > 60) return kNoTimeSec;  // 60: leap second
    return (hh * 60 + mm) * 60 + ss;
}

void AppendFixed(std::string& out, double value)
{
    char buffer[400];  // the widest double in fixed notation with six decimals fits
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec == std::errc{}) out.append(buffer, end);
}

}  // namespace

TaxiMeterSettings ReadTaxiMeterSettings(const TaxiMeterSettingTexts& texts)
{
    TaxiMeterSettings s;
    s.operationType = texts.operationType;
    ReadDouble(texts.basicDistance, s.basicDistanceM);
    ReadInt(texts.basicFee, s.basicFee);
    ReadDouble(texts.minSpeed, s.minSpeedKmh);
    ReadInt(texts.unitFee, s.unitFee);
    ReadInt(texts.unitDistance, s.unitDistanceM);
    s.displaySpeedLimitIndex = texts.displaySpeedLimitIndex;
    s.gpsModule = texts.gpsModule;
    return s;
}

CTaxiMeter::CTaxiMeter() { LoadSettings(TaxiMeterSettings{}); }

void CTaxiMeter::LoadSettings(const TaxiMeterSettings& settings)
{
    settings_ = settings;
    settings_.displaySpeedLimitIndex =
        std::clamp(settings.displaySpeedLimitIndex, 0, kMaxSpeedLimitIndex);
    minSpeedMps_ = settings_.minSpeedKmh / kKmhPerMps;
    movingThresholdKmh_ = settings_.displaySpeedLimitIndex * kThresholdStepKmh;
    lastMovingStep_ = 0.0;
    totalMovingDistance_ = 0.0;
    basicDistanceUsed_ = 0.0;
    extraDistance_ = 0.0;
    extraFare_ = 0;
}

void CTaxiMeter::ResetSamples()
{
    lastMoving_ = Sample{};
    last_ = Sample{};
}

bool CTaxiMeter::Unusable(const Sample& s)
{
    return s.timeSec == kNoTimeSec || s.latitudeDeg == 0.0 || s.longitudeDeg == 0.0 ||
           s.heightM == 0.0;
}

double CTaxiMeter::Between(const Sample& p, const Sample& q)
{
    return Distance3D(p.latitudeDeg, p.longitudeDeg, p.heightM, q.latitudeDeg, q.longitudeDeg,
                      q.heightM);
}

void CTaxiMeter::Step(const GnssReceiverState& state)
{
    const Sample s{state.latitudeDeg, state.longitudeDeg, state.ellipsoidHeight,
                   static_cast<double>(state.speedKmh), ParseSeconds(state.timeText)};
    if (diagnostics_) diagnostics_("TAXI[" + state.timeText + "] ");

    if (s.timeSec == last_.timeSec || Unusable(s) || Unusable(last_)) {
        lastMoving_ = s;
        last_ = s;
        return;
    }

    const bool moving = s.speedKmh >= movingThresholdKmh_;
    double d1 = 0.0;
    if (moving) {
        lastMovingStep_ = Between(lastMoving_, s);
        totalMovingDistance_ += lastMovingStep_;
        d1 = lastMoving_.timeSec != last_.timeSec ? Between(last_, s) : lastMovingStep_;
    }

    std::int64_t seconds = s.timeSec - last_.timeSec;
    if (s.timeSec + kRollOverSlackSec < last_.timeSec) seconds += kSecondsPerDay;
    // A late sentence gives a negative d2; d1 >= 0 outweighs it, so the meter never runs back.
    const double d2 = static_cast<double>(seconds) * minSpeedMps_;
    Charge(d2 > d1 ? d2 : d1);

    last_ = s;
    if (moving) lastMoving_ = s;
}

void CTaxiMeter::Charge(double d)
{
    const double basic = settings_.basicDistanceM;
    if (basicDistanceUsed_ < basic) {
        if (basicDistanceUsed_ + d >= basic) {
            extraDistance_ = d - (basic - basicDistanceUsed_);
            basicDistanceUsed_ = basic;
            extraFare_ = FareFor(extraDistance_);
        } else {
            basicDistanceUsed_ += d;
        }
    } else {
        extraDistance_ += d;
        extraFare_ = FareFor(extraDistance_);
    }

    if (diagnostics_) {
        std::string line;
        AppendFixed(line, d);
        line += ", [";
        AppendFixed(line, extraDistance_);
        line += " / ";
        line += std::to_string(extraFare_);
        line += "]\r\n";
        diagnostics_(line);
    }
}

std::int32_t CTaxiMeter::FareFor(double extraDistance) const
{
    // Without a unit distance there is nothing to count units of.
    if (settings_.unitDistanceM <= 0) return 0;
    const double fare = std::trunc(extraDistance / settings_.unitDistanceM) *
                        static_cast<double>(settings_.unitFee);
    if (!std::isfinite(fare)) return 0;
    // Saturate: converting an out-of-range double to an integer is undefined.
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(fare, kMin, kMax));
}
