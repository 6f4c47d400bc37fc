#include "views/satellite_display.h"

#include <algorithm>

namespace {
constexpr std::array<std::uint32_t, kConstellationCount> kColoursBgr = {
    0x000000,  // unspecified
    0xFF0000,  // GPS, blue
    0xD400D4,  // SBAS, purple
    0x0000FF,  // GLONASS, red
    0x00FF00,  // Galileo, green
    0x004080,  // QZSS, brown
    0xD4D400,  // BeiDou, teal
};

std::size_t RowIndex(std::int32_t row) { return static_cast<std::size_t>(row); }

bool IsRow(std::int32_t row) { return row >= 0 && row < kConstellationCount; }

bool ContainsPrn(const GnssReceiverState& state, std::int32_t row, std::int32_t prn)
{
    const std::int32_t* used = state.usedPrn[RowIndex(row)];
    const int count = UsedCountOf(state, row);
    return std::find(used, used + count, prn) != used + count;
}

bool IsSbasOrQzss(std::int32_t constellation)
{
    return constellation == static_cast<std::int32_t>(Constellation::Sbas) ||
           constellation == static_cast<std::int32_t>(Constellation::Qzss);
}
}  // namespace

QColor ColourFromBgr(std::uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

QColor ConstellationColour(std::int32_t constellation)
{
    return ColourFromBgr(IsRow(constellation) ? kColoursBgr[RowIndex(constellation)] : 0u);
}

bool IsShownConstellation(std::int32_t constellation)
{
    return constellation > static_cast<std::int32_t>(Constellation::Unspecified) &&
           constellation < kConstellationCount;
}

int InViewCountOf(const GnssReceiverState& state, Constellation constellation)
{
    const auto row = static_cast<std::int32_t>(constellation);
    if (!IsRow(row)) return 0;
    return std::clamp(state.inViewCount[RowIndex(row)], 0, kMaxInViewPerConstellation);
}

int UsedCountOf(const GnssReceiverState& state, std::int32_t row)
{
    if (!IsRow(row)) return 0;
    return std::clamp(state.usedCount[RowIndex(row)], 0, kMaxUsedPerConstellation);
}

bool IsSatelliteInUse(const GnssReceiverState& state, const SatelliteInView& satellite)
{
    constexpr auto kCombinedRow = static_cast<std::int32_t>(Constellation::Unspecified);
    if (UsedCountOf(state, kCombinedRow) > 0) {
        if (satellite.constellation == static_cast<std::int32_t>(Constellation::Galileo))
            return false;
        return ContainsPrn(state, kCombinedRow, satellite.prn);
    }
    return IsRow(satellite.constellation) &&
           ContainsPrn(state, satellite.constellation, satellite.prn);
}

QColor SkyLabelColour(Constellation row, const SatelliteInView& satellite)
{
    if (IsShownConstellation(satellite.constellation))
        return ConstellationColour(satellite.constellation);
    return ConstellationColour(static_cast<std::int32_t>(row));
}

QColor SignalBarColour(Constellation row, const SatelliteInView& satellite, bool fromNmea)
{
    if (fromNmea && IsSbasOrQzss(satellite.constellation))
        return ConstellationColour(satellite.constellation);
    return ConstellationColour(static_cast<std::int32_t>(row));
}

SnrBarChoice ChooseSnrBar(const SatelliteInView& satellite, bool l1On, bool l2On)
{
    const int l1 = satellite.snr[0];
    const int l2 = satellite.snr[1];
    SnrBarChoice choice;
    choice.value = l1;
    if (l2On && !l1On && l2 != 0) {
        choice.value = l2;
        choice.l2Bar = true;
    } else if (l1On && l2On) {
        choice.l2Bar = l2 > l1;
        choice.value = choice.l2Bar ? l2 : l1;
        choice.marked = l1 != 0 && l2 != 0;
        choice.weakerIsL1 = choice.l2Bar;
        choice.weakerValue = choice.marked ? (choice.l2Bar ? l1 : l2) : 0;
    }
    return choice;
}

bool CopySatelliteData(GnssReceiverState& view, const GnssReceiverState& epoch)
{
    if (epoch.contentFlags == 0) return false;
    view.satellitesUsed = epoch.satellitesUsed;
    view.contentFlags = epoch.contentFlags;
    view.owner = epoch.owner;
    if (epoch.Has(ContentFlag::SatellitesUsed)) {
        for (int row = 0; row < kConstellationCount; ++row)
            std::copy_n(epoch.usedPrn[row], kMaxUsedPerConstellation, view.usedPrn[row]);
        std::copy_n(epoch.usedCount, kConstellationCount, view.usedCount);
        view.usedTotal = epoch.usedTotal;
    }
    if (epoch.Has(ContentFlag::SatellitesInView)) {
        for (int row = 0; row < kConstellationCount; ++row)
            std::copy_n(epoch.satellitesInView[row], kMaxInViewPerConstellation,
                        view.satellitesInView[row]);
        std::copy_n(epoch.inViewCount, kConstellationCount, view.inViewCount);
        std::copy_n(epoch.lastUpdatedIndex, kConstellationCount, view.lastUpdatedIndex);
        view.inViewTotal = epoch.inViewTotal;
    }
    return true;
}
