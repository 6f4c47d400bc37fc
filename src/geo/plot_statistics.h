#pragma once

#include <cstdint>

// Running average of the plotted positions and the point farthest from a fixed centre.
class CPlotStatistics {
public:
    // A plotted point, centre being a moving one (average or newest point).
    void Add(double easting, double northing, double latitude, double longitude);
    // A plotted point around a fixed centre (reference station or arbitrary point).
    void Add(double easting, double northing, double latitude, double longitude,
             double centreLatitude, double centreLongitude);
    // Averages, largest distance and maximum-error point back to 0; the count restarts.
    void Clear();

    std::int64_t Count() const { return count_; }
    double AverageEasting() const { return averageEasting_; }
    double AverageNorthing() const { return averageNorthing_; }
    double AverageLatitude() const { return averageLatitude_; }
    double AverageLongitude() const { return averageLongitude_; }
    double MaxDistance() const { return maxDistance_; }
    double MaxErrorLatitude() const { return maxErrorLatitude_; }
    double MaxErrorLongitude() const { return maxErrorLongitude_; }

private:
    std::int64_t count_ = 0;
    double averageEasting_ = 0.0;
    double averageNorthing_ = 0.0;
    double averageLatitude_ = 0.0;
    double averageLongitude_ = 0.0;
    double maxDistance_ = 0.0;
    double maxErrorLatitude_ = 0.0;
    double maxErrorLongitude_ = 0.0;
};
