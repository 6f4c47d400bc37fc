#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "net/rtcm3_framer.h"

// What arrived of a correction stream, by message number, for the RTCM monitor: counts, last
// arrivals, the bit rate over the last ten seconds, the reference station and how far the
// rover is from it. Times are milliseconds of any steady clock.
class CRtcmMonitor {
public:
    static constexpr std::int64_t kWindowMs = 10000;  // bit rate window, and when a stream is stale

    struct TypeRow {
        std::uint16_t type = 0;
        std::uint64_t count = 0;
        std::int64_t lastMs = 0;
    };
    struct Snapshot {
        std::vector<TypeRow> types;  // by message number
        std::uint64_t frames = 0;
        std::uint64_t crcFailures = 0;
        double bitsPerSecond = 0.0;
        bool stale = true;  // nothing for kWindowMs, or nothing yet
        std::optional<std::int64_t> lastArrivalMs;
        std::optional<rtcm3::StationPosition> station;
        std::optional<double> baselineM;  // station to rover, when both are known
    };

    // Bytes as they were forwarded, framed here.
    void Feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs);
    void SetRover(double latitudeDeg, double longitudeDeg, double heightM);
    Snapshot Take(std::int64_t nowMs) const;
    void Clear();

private:
    void Expire(std::int64_t nowMs);

    CRtcm3Framer framer_;
    std::map<std::uint16_t, TypeRow> types_;
    std::deque<std::pair<std::int64_t, std::size_t>> arrivals_;  // time, bytes
    std::optional<std::int64_t> lastArrivalMs_;
    std::optional<rtcm3::StationPosition> station_;
    std::optional<std::array<double, 3>> rover_;
};
