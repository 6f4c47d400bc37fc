#include "net/rtcm_monitor.h"

#include <cmath>

#include "geo/ecef.h"

void CRtcmMonitor::Feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs)
{
    if (bytes.empty()) return;
    arrivals_.emplace_back(nowMs, bytes.size());
    lastArrivalMs_ = nowMs;
    framer_.Feed(bytes, [&](std::span<const std::uint8_t> frame) {
        const std::uint16_t type = rtcm3::MessageType(frame);
        TypeRow& row = types_[type];
        row.type = type;
        ++row.count;
        row.lastMs = nowMs;
        if (const auto station = rtcm3::DecodeStationPosition(frame)) station_ = station;
    });
    Expire(nowMs);
}

void CRtcmMonitor::SetRover(double latitudeDeg, double longitudeDeg, double heightM)
{
    if (!std::isfinite(latitudeDeg) || !std::isfinite(longitudeDeg) || !std::isfinite(heightM) ||
        (latitudeDeg == 0.0 && longitudeDeg == 0.0))
        return;
    const Ecef e = GeodeticToEcef({latitudeDeg, longitudeDeg, heightM});
    rover_ = std::array<double, 3>{e.x, e.y, e.z};
}

void CRtcmMonitor::Expire(std::int64_t nowMs)
{
    while (!arrivals_.empty() && arrivals_.front().first <= nowMs - kWindowMs)
        arrivals_.pop_front();
}

CRtcmMonitor::Snapshot CRtcmMonitor::Take(std::int64_t nowMs) const
{
    Snapshot s;
    std::size_t windowBytes = 0;
    for (const auto& [at, bytes] : arrivals_)
        if (at > nowMs - kWindowMs) windowBytes += bytes;
    for (const auto& [type, row] : types_) s.types.push_back(row);
    s.frames = framer_.Frames();
    s.crcFailures = framer_.CrcFailures();
    s.bitsPerSecond = static_cast<double>(windowBytes) * 8.0 * 1000.0 / kWindowMs;
    s.lastArrivalMs = lastArrivalMs_;
    s.stale = !lastArrivalMs_ || nowMs - *lastArrivalMs_ >= kWindowMs;
    s.station = station_;
    if (station_ && rover_) {
        s.baselineM = EcefDistance({station_->x, station_->y, station_->z},
                                   {(*rover_)[0], (*rover_)[1], (*rover_)[2]});
    }
    return s;
}

void CRtcmMonitor::Clear() { *this = CRtcmMonitor(); }
