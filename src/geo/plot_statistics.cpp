#include "geo/plot_statistics.h"

#include "geo/distance.h"

void CPlotStatistics::Add(double easting, double northing, double latitude, double longitude)
{
    ++count_;
    if (count_ == 1) {
        averageEasting_ = easting;
        averageNorthing_ = northing;
        averageLatitude_ = latitude;
        averageLongitude_ = longitude;
        return;
    }
    const double w = 1.0 - 1.0 / static_cast<double>(count_);
    averageEasting_ = w * averageEasting_ + (1.0 - w) * easting;
    averageNorthing_ = w * averageNorthing_ + (1.0 - w) * northing;
    averageLatitude_ = w * averageLatitude_ + (1.0 - w) * latitude;
    averageLongitude_ = w * averageLongitude_ + (1.0 - w) * longitude;
}

void CPlotStatistics::Add(double easting, double northing, double latitude, double longitude,
                          double centreLatitude, double centreLongitude)
{
    Add(easting, northing, latitude, longitude);
    const double d = Distance(latitude, longitude, centreLatitude, centreLongitude);
    if (d > maxDistance_) {
        maxDistance_ = d;
        maxErrorLatitude_ = latitude;
        maxErrorLongitude_ = longitude;
    }
}

void CPlotStatistics::Clear() { *this = CPlotStatistics(); }
