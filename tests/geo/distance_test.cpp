#include "geo/distance.h"

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
