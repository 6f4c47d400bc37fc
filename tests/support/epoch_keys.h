#pragma once

// What tests compare when the same bytes are decoded in different ways (block sizes, cuts).
#include <tuple>
#include <vector>

#include "decode/gnss_receiver_state.h"

inline auto EpochKey(const GnssReceiverState& s)
{
    return std::tuple(s.timeOfDayMs, s.latitudeDeg, s.longitudeDeg, s.ellipsoidHeight, s.fixQuality,
                      s.fixMode, s.satellitesUsed, s.hdop, s.pdop, s.speedKmh, s.inViewTotal,
                      s.usedTotal, s.contentFlags, s.timeText, s.dateText, s.interferenceFlags,
                      s.sensorsCalibrated);
}

inline auto EpochKeys(const std::vector<GnssReceiverState>& epochs)
{
    std::vector<decltype(EpochKey(epochs.front()))> keys;
    for (const auto& s : epochs) keys.push_back(EpochKey(s));
    return keys;
}

// The satellite prn of constellation row, or null.
inline const SatelliteInView* FindSat(const GnssReceiverState& s, int row, int prn)
{
    for (int i = 0; i < s.inViewCount[row]; ++i)
        if (s.satellitesInView[row][i].prn == prn) return &s.satellitesInView[row][i];
    return nullptr;
}
