#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "geo/geo_point.h"

// What the horizontal error of a replayed log is measured from; the values are those of the
// profile key ERROR_CAL/ERROR_BASE.
enum class ErrorReference : std::int32_t {
    AveragePoint = 0,
    ReferenceStation = 1,
    PreviousEpoch = 2,
    ArbitraryPoint = 3,
};

// Metres; zero means not computed.
struct ReplayResults {
    double horizontalRms = 0.0;
    double verticalRms = 0.0;
    double horizontalCep = 0.0;
    double verticalCep = 0.0;
};

// Scatter of a whole log: a first pass collects the epochs and their average position, a
// second pass measures every epoch against the chosen reference.
class CReplayStatistics {
public:
    static constexpr std::int64_t kDayMs = 86'400'000;
    static constexpr double kCepPerRms = 0.833;

    // Empties the position list and zeroes every sum, count, average and result.
    void Clear();

    // First pass, one epoch. False when its time equals the previous epoch's (not added). A
    // time below the previous one is taken as the next day, so stored times never decrease.
    bool AddEpoch(double latitude, double longitude, float altitude, std::int64_t timeMs,
                  std::uint32_t fixQuality);

    // End of the first pass. An average whose count is zero stays 0.
    void Average();

    // Second pass, after Average(). The reference point is used for ReferenceStation and
    // ArbitraryPoint only. Nothing for a value outside ErrorReference.
    std::optional<ReplayResults> Compute(std::int32_t errorReference, double referenceLatitude,
                                         double referenceLongitude);

    const std::vector<GeoPoint>& Positions() const { return positions_; }
    std::int32_t EpochCount() const { return epochCount_; }
    std::int32_t HorizontalCount() const { return horizontalCount_; }
    std::int32_t VerticalCount() const { return verticalCount_; }
    double LatitudeSum() const { return latitudeSum_; }
    double LongitudeSum() const { return longitudeSum_; }
    float AltitudeSum() const { return altitudeSum_; }
    double AverageLatitude() const { return averageLatitude_; }
    double AverageLongitude() const { return averageLongitude_; }
    float AverageAltitude() const { return averageAltitude_; }
    const ReplayResults& Results() const { return results_; }

private:
    std::vector<GeoPoint> positions_;
    std::int64_t dayOffsetMs_ = 0;
    std::int32_t epochCount_ = 0;
    std::int32_t horizontalCount_ = 0;
    std::int32_t verticalCount_ = 0;
    double latitudeSum_ = 0.0;
    double longitudeSum_ = 0.0;
    float altitudeSum_ = 0.0f;
    double averageLatitude_ = 0.0;
    double averageLongitude_ = 0.0;
    float averageAltitude_ = 0.0f;
    ReplayResults results_;
};

// Figures derived from the receiver's own 1-sigma estimates (metres).
struct ReceiverEstimate {
    double horizontalDrms = 0.0;
    double verticalDrms = 0.0;
    double horizontalTwoDrms = 0.0;
    double verticalTwoDrms = 0.0;
    double horizontalCep = 0.0;
    double verticalCep = 0.0;
};

// Nothing unless both horizontal sigmas are non-zero; the caller then keeps its stored values.
std::optional<ReceiverEstimate> ReceiverEstimateStatistics(float sigmaLongitude,
                                                           float sigmaLatitude, float sigmaHeight);
