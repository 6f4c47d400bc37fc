#include "app/epoch_fan_out.h"

#include <algorithm>
#include <cmath>

#include "decode/gnss_receiver_state.h"

namespace {

bool Usable(double v) { return std::isfinite(v) && v != 0.0; }

}  // namespace

void CEpochFanOut::Add(EpochStage stage, const QString& name, EpochSink sink)
{
    const auto at = std::upper_bound(sinks_.begin(), sinks_.end(), stage,
                                     [](EpochStage s, const Entry& e) { return s < e.stage; });
    sinks_.insert(at, Entry{stage, name, std::move(sink)});
}

bool CEpochFanOut::HasValidPosition(const GnssReceiverState& s)
{
    return Usable(s.latitudeDeg) && Usable(s.longitudeDeg) && Usable(s.ellipsoidHeight);
}

bool CEpochFanOut::Refresh(GnssReceiverState& state) const
{
    EpochRefresh epoch{state, state.contentFlags, HasValidPosition(state)};
    for (const Entry& entry : sinks_) entry.sink(epoch);
    return epoch.validPosition;
}

QStringList CEpochFanOut::Names() const
{
    QStringList names;
    for (const Entry& entry : sinks_) names << entry.name;
    return names;
}

std::int32_t CEpochFanOut::FixClassOf(const GnssReceiverState& s)
{
    constexpr std::int32_t kNoFix = 0;
    constexpr std::int32_t kGps = 1;
    constexpr std::int32_t kFixMode2D = 2;
    if (s.contentFlags & ContentFlag::FixQuality) return s.fixQuality;
    if (s.contentFlags & ContentFlag::FixMode) return s.fixMode >= kFixMode2D ? kGps : kNoFix;
    return kNoFix;
}
