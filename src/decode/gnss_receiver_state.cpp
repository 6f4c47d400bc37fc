#include "decode/gnss_receiver_state.h"

#include <algorithm>

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
    for (auto& row : usedPrn) std::fill(std::begin(row), std::end(row), 0);
    std::fill(std::begin(usedCount), std::end(usedCount), 0);
    usedTotal = 0;
    for (auto& row : satellitesInView) std::fill(std::begin(row), std::end(row), SatelliteInView{});
    std::fill(std::begin(inViewCount), std::end(inViewCount), 0);
    std::fill(std::begin(lastUpdatedIndex), std::end(lastUpdatedIndex), 0);
    inViewTotal = 0;
    contentFlags = 0;
}
