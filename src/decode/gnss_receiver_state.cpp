#include "decode/gnss_receiver_state.h"

#include <cstring>
#include <type_traits>

std::string_view ProtocolName(ProtocolId id)
{
    static constexpr std::array<std::string_view, kProtocolCount> kNames = {"NMEA", "UBX", "GSOF",
                                                                            "SBF"};
    const auto index = static_cast<std::size_t>(id);
    return index < kNames.size() ? kNames[index] : std::string_view{};
}

std::string_view FixQualityText(std::int32_t code)
{
    // "Simualtion" is the receiver world's spelling the status panel has always shown.
    static constexpr std::array<std::string_view, kFixQualityCount> kTexts = {
        "Invalid",
        "GPS",
        "DGPS",
        "PPS",
        "RTK",
        "Float RTK",
        "estimated (dead reckoning)",
        "Manual input mode",
        "Simualtion mode",
        "SBAS",
    };
    if (code < 0 || code >= kFixQualityCount) return {};
    return kTexts[static_cast<std::size_t>(code)];
}

void GnssReceiverState::Clear()
{
    timeOfDayMs = 0;
    fixQuality = 0;
    satellitesUsed = 0;
    ellipsoidHeight = 0.0;
    geoidSeparation = 0.0;
    mslAltitude = 0.0;
    fixMode = 0;
    speedKmh = 0.0f;
    courseDeg = 0.0f;
    timeOfDaySec = 0;
    latitudeDeg = 0.0;
    longitudeDeg = 0.0;
    baseLatitudeDeg = 0.0;
    baseLongitudeDeg = 0.0;
    baseHeight = 0.0;
    baselineNorth = 0.0;
    baselineEast = 0.0;
    baselineUp = 0.0;
    pdop = 0.0f;
    hdop = 0.0f;
    vdop = 0.0f;
    horizontalAccuracy = 0.0f;
    sigmaLon = 0.0f;
    sigmaLat = 0.0f;
    sigmaAlt = 0.0f;
    headingDeg = -1.0f;
    yawDeg = -1.0f;
    interferenceFlags = 0;
    sensorsCalibrated = 0;
    ClearEpoch();
    timeText.clear();
    dateText.clear();
    stationId.clear();
}

void GnssReceiverState::ClearEpoch()
{
    // Plain data: one memset per table is what keeps a 100 Hz stream cheap.
    static_assert(std::is_trivially_copyable_v<SatelliteInView>);
    std::memset(usedPrn, 0, sizeof usedPrn);
    std::memset(usedCount, 0, sizeof usedCount);
    usedTotal = 0;
    std::memset(satellitesInView, 0, sizeof satellitesInView);
    std::memset(inViewCount, 0, sizeof inViewCount);
    std::memset(lastUpdatedIndex, 0, sizeof lastUpdatedIndex);
    inViewTotal = 0;
    contentFlags = 0;
}
