#include "geo/position_statistics.h"

#include <cmath>

#include "geo/distance.h"

namespace {

bool HasPosition(double latitude, double longitude) { return latitude != 0.0 && longitude != 0.0; }

}  // namespace

void CReplayStatistics::Clear() { *this = CReplayStatistics(); }

bool CReplayStatistics::AddEpoch(double latitude, double longitude, float altitude,
                                 std::int64_t timeMs, std::uint32_t fixQuality)
{
    std::int64_t time = timeMs + dayOffsetMs_;
    if (!positions_.empty()) {
        const std::int64_t previous = positions_.back().time;
        if (time == previous) return false;
        // The offset is kept, so the days after a second midnight stay ahead as well.
        if (time < previous) {
            const std::int64_t days = (previous - time) / kDayMs + 1;
            dayOffsetMs_ += days * kDayMs;
            time += days * kDayMs;
        }
    }
    positions_.emplace_back(longitude, latitude, altitude, time, fixQuality);
    ++epochCount_;
    const bool horizontal = HasPosition(latitude, longitude);
    if (horizontal) ++horizontalCount_;
    if (altitude != 0.0f) ++verticalCount_;
    // The first epoch gets the same zero tests as the others: a first epoch with only one
    // coordinate would otherwise put that coordinate into a sum its count leaves out.
    if (horizontal) {
        latitudeSum_ += latitude;
        longitudeSum_ += longitude;
    }
    if (altitude != 0.0f) altitudeSum_ += altitude;
    return true;
}

void CReplayStatistics::Average()
{
    averageLatitude_ = 0.0;
    averageLongitude_ = 0.0;
    averageAltitude_ = 0.0f;
    if (horizontalCount_ > 0) {
        averageLatitude_ = latitudeSum_ / horizontalCount_;
        averageLongitude_ = longitudeSum_ / horizontalCount_;
    }
    if (verticalCount_ > 0) averageAltitude_ = altitudeSum_ / static_cast<float>(verticalCount_);
}

std::optional<ReplayResults> CReplayStatistics::Compute(std::int32_t errorReference,
                                                        double referenceLatitude,
                                                        double referenceLongitude)
{
    if (errorReference < 0 || errorReference > 3) return std::nullopt;
    const auto reference = static_cast<ErrorReference>(errorReference);
    if (reference == ErrorReference::AveragePoint) {
        referenceLatitude = averageLatitude_;
        referenceLongitude = averageLongitude_;
    }
    const bool consecutive = reference == ErrorReference::PreviousEpoch;

    std::int32_t horizontalCount = 0;
    std::int32_t verticalCount = 0;
    double horizontalSum = 0.0;
    double verticalSum = 0.0;
    const GeoPoint* previous = nullptr;
    for (const GeoPoint& p : positions_) {
        // The first epoch only serves as the reference of the second.
        if (consecutive && previous == nullptr) {
            previous = &p;
            continue;
        }
        if (p.altitude != 0.0f) {
            const double dv = static_cast<double>(p.altitude) - averageAltitude_;
            verticalSum += dv * dv;
            ++verticalCount;
        }
        if (HasPosition(p.latitude, p.longitude)) {
            if (consecutive) {
                referenceLatitude = previous->latitude;
                referenceLongitude = previous->longitude;
            }
            // A previous epoch without a position would measure from 0°N 0°E.
            if (!consecutive || HasPosition(referenceLatitude, referenceLongitude)) {
                const double d =
                    Distance(p.latitude, p.longitude, referenceLatitude, referenceLongitude);
                horizontalSum += d * d;
                ++horizontalCount;
            }
        }
        previous = &p;
    }

    results_ = ReplayResults();
    if (horizontalCount > 0) results_.horizontalRms = std::sqrt(horizontalSum / horizontalCount);
    if (verticalCount > 0) results_.verticalRms = std::sqrt(verticalSum / verticalCount);
    results_.horizontalCep = kCepPerRms * results_.horizontalRms;
    results_.verticalCep = kCepPerRms * results_.verticalRms;
    return results_;
}

std::optional<ReceiverEstimate> ReceiverEstimateStatistics(float sigmaLongitude,
                                                           float sigmaLatitude, float sigmaHeight)
{
    if (sigmaLongitude == 0.0f || sigmaLatitude == 0.0f) return std::nullopt;
    const float sumOfSquares = sigmaLongitude * sigmaLongitude + sigmaLatitude * sigmaLatitude;
    ReceiverEstimate e;
    e.horizontalDrms = std::sqrt(static_cast<double>(sumOfSquares));
    e.verticalDrms = sigmaHeight;
    e.horizontalTwoDrms = 2.0 * e.horizontalDrms;
    e.verticalTwoDrms = 2.0 * e.verticalDrms;
    e.horizontalCep = 0.62 * sigmaLatitude + 0.56 * sigmaLongitude;
    e.verticalCep = 1.18 * sigmaHeight;
    return e;
}
