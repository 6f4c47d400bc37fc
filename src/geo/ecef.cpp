#include "geo/ecef.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kA = 6378137.0;
constexpr double kF = 1.0 / 298.257223563;
constexpr double kE2 = kF * (2.0 - kF);
constexpr double kDegree = std::numbers::pi / 180.0;
constexpr int kIterations = 8;

double PrimeVerticalRadius(double sinLatitude)
{
    return kA / std::sqrt(1.0 - kE2 * sinLatitude * sinLatitude);
}

}  // namespace

Ecef GeodeticToEcef(const Geodetic& p)
{
    const double lat = p.latitudeDeg * kDegree;
    const double lon = p.longitudeDeg * kDegree;
    const double n = PrimeVerticalRadius(std::sin(lat));
    return {(n + p.heightM) * std::cos(lat) * std::cos(lon),
            (n + p.heightM) * std::cos(lat) * std::sin(lon),
            (n * (1.0 - kE2) + p.heightM) * std::sin(lat)};
}

Geodetic EcefToGeodetic(const Ecef& p)
{
    const double r = std::hypot(p.x, p.y);
    Geodetic g;
    g.longitudeDeg = r > 0.0 ? std::atan2(p.y, p.x) / kDegree : 0.0;
    if (r == 0.0) {
        // On the axis: a pole, or the centre.
        g.latitudeDeg = p.z > 0.0 ? 90.0 : (p.z < 0.0 ? -90.0 : 0.0);
        g.heightM = std::fabs(p.z) - kA * std::sqrt(1.0 - kE2);
        return g;
    }
    double lat = std::atan2(p.z, r * (1.0 - kE2));
    double height = 0.0;
    for (int i = 0; i < kIterations; ++i) {
        const double n = PrimeVerticalRadius(std::sin(lat));
        height = r / std::cos(lat) - n;
        lat = std::atan2(p.z, r * (1.0 - kE2 * n / (n + height)));
    }
    g.latitudeDeg = lat / kDegree;
    g.heightM = height;
    return g;
}

double EcefDistance(const Ecef& a, const Ecef& b)
{
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}
