#include "geo/distance.h"

#include <cmath>

namespace {

constexpr double kEarthRadius = 6372797.6;
constexpr double kDegToRad = 0.017453292519943295;

}  // namespace

double Distance(double lat1, double lon1, double lat2, double lon2)
{
    if (lat1 == lat2 && lon1 == lon2) return 0.0;
    const double phi1 = lat1 * kDegToRad;
    const double phi2 = lat2 * kDegToRad;
    const double sinLat = std::sin((phi2 - phi1) / 2);
    const double sinLon = std::sin((lon2 - lon1) * kDegToRad / 2);
    const double a = sinLat * sinLat + std::cos(phi1) * std::cos(phi2) * sinLon * sinLon;
    return std::fabs(2 * std::atan2(std::sqrt(a), std::sqrt(1 - a)) * kEarthRadius);
}

double Distance3D(double lat1, double lon1, double h1, double lat2, double lon2, double h2)
{
    if (lat1 == lat2 && lon1 == lon2) return 0.0;
    const double d = Distance(lat1, lon1, lat2, lon2);
    const double dh = h2 - h1;
    return std::sqrt(d * d + dh * dh);
}
