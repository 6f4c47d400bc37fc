#include "geo/distance.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geo/ecef.h"

namespace {

TEST(Distance, HaversineOnTheSphere)
{
    // One degree of latitude on a sphere of radius 6372797.6 m.
    EXPECT_NEAR(Distance(37.0, 127.0, 38.0, 127.0), 6372797.6 * 0.017453292519943295, 1e-6);
    EXPECT_NEAR(Distance(0.0, 0.0, 0.0, 180.0), 6372797.6 * 3.141592653589793, 1e-6);
    EXPECT_EQ(Distance(90.0, 10.0, 90.0, 10.0), 0.0);
    EXPECT_EQ(Distance(-90.0, 0.0, -90.0, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(Distance(37.5, 127.0, 37.4, 126.9), Distance(37.4, 126.9, 37.5, 127.0));
    const double d = Distance(37.0, 127.0, 37.0, 127.00003);
    EXPECT_NEAR(d, 2.665, 0.001);
    EXPECT_DOUBLE_EQ(Distance3D(37.0, 127.0, 10.0, 37.0, 127.00003, 14.0), std::sqrt(d * d + 16));
    EXPECT_EQ(Distance3D(37.0, 127.0, 10.0, 37.0, 127.0, 500.0), 0.0);
}

// WGS84: the equator at the semi-major axis, the poles at the semi-minor one, and points
// anywhere come back from ECEF where they started.
TEST(Ecef, KnownPointsAndRoundTrips)
{
    EXPECT_NEAR(GeodeticToEcef({0.0, 0.0, 0.0}).x, 6378137.0, 1e-6);
    EXPECT_NEAR(GeodeticToEcef({90.0, 0.0, 0.0}).z, 6356752.314245, 1e-5);
    EXPECT_NEAR(EcefToGeodetic({0.0, 0.0, -6356752.314245 - 10.0}).heightM, 10.0, 1e-6);
    const Geodetic points[] = {{37.473125, 126.88121, 50.0},
                               {-33.8568, -70.6483, 520.0},
                               {89.9, 10.0, -30.0},
                               {0.0, 179.999, 0.0},
                               {53.3448, -2.6405, 8848.0}};
    for (const Geodetic& p : points) {
        const Geodetic back = EcefToGeodetic(GeodeticToEcef(p));
        EXPECT_NEAR(back.latitudeDeg, p.latitudeDeg, 1e-9) << p.latitudeDeg;
        EXPECT_NEAR(back.longitudeDeg, p.longitudeDeg, 1e-9) << p.longitudeDeg;
        EXPECT_NEAR(back.heightM, p.heightM, 1e-4) << p.heightM;
    }
    // 100 m straight up is 100 m away.
    EXPECT_NEAR(
        EcefDistance(GeodeticToEcef({37.5, 127.0, 0.0}), GeodeticToEcef({37.5, 127.0, 100.0})),
        100.0, 1e-6);
}

}  // namespace
