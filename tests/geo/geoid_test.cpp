#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geo/geoid_grid.h"

namespace {

// Reference heights from PROJ's own bilinear interpolation of the same EGM96 grid:
//   echo "LON LAT 0" | cct -d 4 +proj=vgridshift +grids=egm96_15.gtx +multiplier=1
// (with +multiplier=1 the output height is +N, the geoid above the ellipsoid).
struct Point {
    const char* name;
    double lat, lon, n;
};
// clang-format off
constexpr Point kPoints[] = {
    {"Seoul", 37.5665, 126.9780, 22.8975}, {"Busan", 35.1796, 129.0756, 29.2787},
    {"Jeju", 33.4996, 126.5312, 25.5639}, {"Dokdo", 37.2426, 131.8666, 28.7704},
    {"node r300 c250", 38.08592, 127.09, 23.0384}, {"east edge", 37.0, 131.998, 29.1278},
    {"south edge", 32.0, 127.0, 26.3136}, {"south-east corner", 32.0, 131.998, 25.8176},
    {"north-west corner", 42.99392, 123.0, 7.6511}, {"north-east corner", 42.99392, 131.998, 26.2580},
    {"south-west corner", 32.0, 123.0, 15.1729},
};
// clang-format on

TEST(GeoidGrid, MatchesProjWithinOneCentimetre)
{
    for (const Point& p : kPoints) EXPECT_NEAR(GeoidHeight(p.lat, p.lon), p.n, 0.01) << p.name;
}

TEST(GeoidGrid, OutsideTheGridOrNotANumberGivesZero)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const double outside[][2] = {{31.999, 127.0},  {42.994, 127.0}, {37.0, 122.999},
                                 {37.0, 131.9981}, {-37.0, 127.0},  {37.0, -127.0},
                                 {nan, 127.0},     {37.0, nan},     {INFINITY, INFINITY}};
    for (const auto& [lat, lon] : outside)
        EXPECT_EQ(GeoidHeight(lat, lon), 0.0) << lat << " " << lon;
}

TEST(GeoidGrid, HoldsEveryNodeAndReadsTheEdgesInsideTheGrid)
{
    const auto values = GeoidGridValues();
    ASSERT_EQ(values.size(), 673u * 551u);
    // EGM96 falls to 7.65 m at the north-west corner (inland China), hence 5 m, not 15 m.
    for (const float v : values) EXPECT_TRUE(v == kGeoidNoData || (v > 5 && v < 40)) << v;
    // Run under ASan: the last row and column have no south or east neighbour to read.
    for (double lat = 32.0; lat <= 42.99392; lat += 0.1) EXPECT_GT(GeoidHeight(lat, 131.998), 0);
    for (double lon = 123.0; lon <= 131.998; lon += 0.1) EXPECT_GT(GeoidHeight(32.0, lon), 0);
    // A node returns its own value: the last one, the south-east corner.
    EXPECT_NEAR(GeoidHeight(32.0, 131.998), values.back(), 1e-4);
}

}  // namespace
