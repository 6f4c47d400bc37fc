#include "views/display_toggles.h"

namespace {
bool IsShownRow(std::int32_t row)
{
    return row > static_cast<std::int32_t>(Constellation::Unspecified) && row < kConstellationCount;
}
}  // namespace

CDisplayToggles::CDisplayToggles(QObject* parent) : QObject(parent)
{
    constellationOn_.fill(true);
    constellationOn_[static_cast<std::size_t>(Constellation::Unspecified)] = false;
}

bool CDisplayToggles::IsConstellationOn(Constellation constellation) const
{
    return IsConstellationOn(static_cast<std::int32_t>(constellation));
}

bool CDisplayToggles::IsConstellationOn(std::int32_t constellation) const
{
    return IsShownRow(constellation) && constellationOn_[static_cast<std::size_t>(constellation)];
}

void CDisplayToggles::SetConstellation(Constellation constellation, bool on)
{
    const auto row = static_cast<std::int32_t>(constellation);
    if (!IsShownRow(row) || IsConstellationOn(row) == on) return;
    constellationOn_[static_cast<std::size_t>(row)] = on;
    // SBAS corrections are meaningless without GPS, so the two go together.
    if (constellation == Constellation::Gps || constellation == Constellation::Sbas) {
        constellationOn_[static_cast<std::size_t>(Constellation::Gps)] = on;
        constellationOn_[static_cast<std::size_t>(Constellation::Sbas)] = on;
    }
    emit changed();
}

bool CDisplayToggles::ToggleConstellation(Constellation constellation)
{
    SetConstellation(constellation, !IsConstellationOn(constellation));
    return IsConstellationOn(constellation);
}

bool CDisplayToggles::IsBandOn(Band band) const { return band == Band::L1 ? l1On_ : l2On_; }

void CDisplayToggles::SetBand(Band band, bool on)
{
    bool& value = band == Band::L1 ? l1On_ : l2On_;
    if (value == on) return;
    value = on;
    emit changed();
}

bool CDisplayToggles::ToggleBand(Band band)
{
    SetBand(band, !IsBandOn(band));
    return IsBandOn(band);
}
