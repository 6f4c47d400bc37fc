#include "geo/coord_converter.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kDegToRad = kCoordPi / 180.0;
constexpr double kRadToDeg = 180.0 / kCoordPi;
constexpr double kFootpointTolerance = 1e-10;
constexpr int kFootpointPasses = 7;

}  // namespace

CoordConverter::CoordConverter(int sourceRow, int destinationRow)
{
    SelectSource(sourceRow);
    SelectDestination(destinationRow);
}

bool CoordConverter::SelectSource(int row) { return Derive(row, source_); }

bool CoordConverter::SelectDestination(int row) { return Derive(row, destination_); }

bool CoordConverter::Derive(int row, Side& side)
{
    side = Side{};
    const CoordSystem* system = FindCoordSystem(row);
    if (system == nullptr) return false;
    const Ellipsoid& ellipsoid = kEllipsoids[static_cast<std::size_t>(system->ellipsoid)];
    const double ratio = ellipsoid.b / ellipsoid.a;
    side.row = row;
    side.system = system;
    side.a = ellipsoid.a;
    side.es = 1.0 - ratio * ratio;
    side.eps = side.es / (1.0 - side.es);
    side.series = MakeSeriesConstants(side.es);
    side.m0 = MeridianArc(side.a, side.series, system->originLatitude);
    return true;
}

void CoordConverter::Forward(const Side& side, double lon, double lat, double& easting,
                             double& northing)
{
    const CoordSystem& cs = *side.system;
    const double sinLat = std::sin(lat);
    const double cosLat = std::cos(lat);
    const double tanLat = std::tan(lat);
    const double n = side.a / std::sqrt(1.0 - side.es * sinLat * sinLat);
    const double t = tanLat * tanLat;
    const double c = side.eps * cosLat * cosLat;
    const double a = (lon - cs.centralMeridian) * cosLat;
    const double a2 = a * a;
    const double m = MeridianArc(side.a, side.series, lat);

    easting = cs.scale * n * a *
                  (1.0 + a2 / 6.0 *
                             (1.0 - t + c +
                              a2 / 20.0 * (5.0 - 18.0 * t + t * t + 72.0 * c - 58.0 * side.eps))) +
              cs.falseEasting;
    northing =
        cs.scale *
            (m - side.m0 +
             n * tanLat * a2 *
                 (0.5 +
                  a2 / 24.0 *
                      (5.0 - t + 9.0 * c + 4.0 * c * c +
                       a2 / 30.0 * (61.0 - 58.0 * t + t * t + 600.0 * c - 330.0 * side.eps)))) +
        cs.falseNorthing;
}

CoordConverter::Status CoordConverter::Inverse(const Side& side, double easting, double northing,
                                               double& lon, double& lat)
{
    const CoordSystem& cs = *side.system;
    const SeriesConstants& k = side.series;
    const double x = easting - cs.falseEasting;
    const double y = northing - cs.falseNorthing;
    const double mu = (side.m0 + y / cs.scale) / side.a;

    double phi = mu;
    bool converged = false;
    for (int pass = 0; pass < kFootpointPasses && !converged; ++pass) {
        const double delta = (mu + k.e1 * std::sin(2.0 * phi) - k.e2 * std::sin(4.0 * phi) +
                              k.e3 * std::sin(6.0 * phi)) /
                                 k.e0 -
                             phi;
        phi += delta;
        // A NaN delta fails this test too, so non-finite input ends here.
        converged = std::fabs(delta) <= kFootpointTolerance;
    }
    // A footpoint past a pole is no latitude at all (only absurd northings get there).
    const double halfPi = kCoordPi / 2.0;
    if (!converged || std::fabs(phi) > halfPi + 1e-12) return Status{kLatitudeFailedToConverge};
    // At a pole the series below would divide by cos(phi): the point is the pole itself.
    if (std::fabs(phi) >= halfPi - 1e-12) {
        lat = std::copysign(halfPi, phi);
        lon = cs.centralMeridian;
        return Status{};
    }

    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double tanPhi = std::tan(phi);
    const double c1 = side.eps * cosPhi * cosPhi;
    const double t1 = tanPhi * tanPhi;
    const double w = 1.0 - side.es * sinPhi * sinPhi;
    const double n1 = side.a / std::sqrt(w);
    const double r1 = n1 * (1.0 - side.es) / w;
    const double d = x / (n1 * cs.scale);
    const double d2 = d * d;

    lat = phi - (n1 * tanPhi / r1) * d2 *
                    (0.5 - d2 / 24.0 *
                               (5.0 + 3.0 * t1 + 10.0 * c1 - 4.0 * c1 * c1 - 9.0 * side.eps -
                                d2 / 30.0 *
                                    (61.0 + 90.0 * t1 + 298.0 * c1 + 45.0 * t1 * t1 -
                                     252.0 * side.eps - 3.0 * c1 * c1)));
    lon = cs.centralMeridian + d *
                                   (1.0 - d2 / 6.0 *
                                              (1.0 + 2.0 * t1 + c1 -
                                               d2 / 20.0 *
                                                   (5.0 - 2.0 * c1 + 28.0 * t1 - 3.0 * c1 * c1 +
                                                    8.0 * side.eps + 24.0 * t1 * t1))) /
                                   cosPhi;
    return Status{};
}

CoordConverter::Status CoordConverter::Convert(double in1, double in2, double& out1,
                                               double& out2) const
{
    out1 = std::numeric_limits<double>::quiet_NaN();
    out2 = out1;
    if (source_.system == nullptr || destination_.system == nullptr) {
        return Status{kUnknownCoordSystem};
    }
    const bool sourceGeographic = source_.system->kind == ProjectionKind::kGeographic;
    const bool destinationGeographic = destination_.system->kind == ProjectionKind::kGeographic;

    // Without a datum shift, geographic to geographic is the identity (not a projection
    // onto the geographic row's zero origin).
    if (sourceGeographic && destinationGeographic) {
        out1 = in1;
        out2 = in2;
        return Status{};
    }
    if (sourceGeographic) {
        Forward(destination_, in1 * kDegToRad, in2 * kDegToRad, out1, out2);
        return Status{};
    }

    double lon = 0;
    double lat = 0;
    const Status status = Inverse(source_, in1, in2, lon, lat);
    if (!status.Ok()) return status;
    if (destinationGeographic) {
        out1 = lon * kRadToDeg;
        out2 = lat * kRadToDeg;
    } else {
        Forward(destination_, lon, lat, out1, out2);
    }
    return Status{};
}
