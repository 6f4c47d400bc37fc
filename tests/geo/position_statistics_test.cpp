#include "geo/position_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

#include "geo/plot_statistics.h"

namespace {

constexpr double kRadius = 6372797.6;
constexpr double kRad = 3.14159265358979323846 / 180.0;
// 0.001 degree of latitude on the sphere.
constexpr double kMilliDegree = kRadius * kRad * 0.001;

using Epoch = std::tuple<double, double, float>;  // latitude, longitude, altitude

CReplayStatistics Scan(const std::vector<Epoch>& epochs)
{
    CReplayStatistics stats;
    std::int64_t t = 0;
    for (const auto& [lat, lon, alt] : epochs) stats.AddEpoch(lat, lon, alt, t += 1000, 1);
    stats.Average();
    return stats;
}

TEST(ReplayStatistics, RmsAndCepAgainstEachReference)
{
    const std::vector<Epoch> north = {{37.0, 127.0, 100}, {37.001, 127.0, 10}, {37.002, 127.0, 10}};
    const std::vector<Epoch> pole(4, Epoch{90, 45, 5}), south(2, Epoch{-90, -170, 0}),
        seoul(5, Epoch{37.473125, 126.881210, 14.2f});
    const std::vector<Epoch> latZero = {{37.0, 127.0, 10}, {0.0, 127.0, 20}, {37.0, 127.0, 30}};
    const std::vector<Epoch> gap = {{37.0, 127.0, 0}, {0.0, 0.0, 0}, {37.001, 127.0, 0}};
    const std::vector<Epoch> none, zeros(2, Epoch{0, 0, 0});
    // Epochs, error reference, reference point, horizontal RMS, vertical RMS.
    const std::tuple<const std::vector<Epoch>*, int, double, double, double, double> rows[] = {
        // The first epoch only serves as the reference: vertical about 40 m from 10 m twice.
        {&north, 2, 0, 0, kMilliDegree, 30.0},
        {&north, 3, 37.0, 127.0, kMilliDegree * std::sqrt(5.0 / 3), std::sqrt(5400.0 / 3)},
        {&north, 1, 37.002, 127.0, kMilliDegree * std::sqrt(5.0 / 3), std::sqrt(5400.0 / 3)},
        {&north, 0, 0, 0, kMilliDegree * std::sqrt(2.0 / 3), std::sqrt(5400.0 / 3)},
        {&south, 3, -90, -170, 0.0, 0.0},
        // Latitude 0 keeps the epoch out of the horizontal terms only: √(200/3), not 10.
        {&latZero, 0, 0, 0, 0.0, std::sqrt(200.0 / 3)},
        // An epoch without a position is no reference for the next one.
        {&gap, 2, 0, 0, 0.0, 0.0},
        // Nothing to divide by: the results stay 0.
        {&none, 0, 0, 0, 0.0, 0.0},
        {&zeros, 3, 37.0, 127.0, 0.0, 0.0},
    };
    for (const auto& [epochs, reference, lat, lon, horizontal, vertical] : rows) {
        SCOPED_TRACE(testing::Message() << "reference " << reference << " lat " << lat);
        const auto res = Scan(*epochs).Compute(reference, lat, lon);
        ASSERT_TRUE(res);
        EXPECT_NEAR(res->horizontalRms, horizontal, 1e-6);
        EXPECT_NEAR(res->verticalRms, vertical, 1e-4);
        EXPECT_DOUBLE_EQ(res->horizontalCep, 0.833 * res->horizontalRms);
        EXPECT_DOUBLE_EQ(res->verticalCep, 0.833 * res->verticalRms);
    }
    EXPECT_EQ(Scan(pole).Compute(0, 0, 0)->horizontalRms, 0.0);
    EXPECT_NEAR(Scan(seoul).Compute(0, 0, 0)->horizontalRms, 0.0, 1e-6);
    EXPECT_FALSE(Scan(north).Compute(4, 0, 0));  // no such reference
}

TEST(ReplayStatistics, OnlyCountedValuesEnterTheSums)
{
    // A first epoch with only a longitude must not put it into the longitude sum.
    const CReplayStatistics s = Scan({{0.0, 127.0, 5}, {37.0, 128.0, 15}, {37.5, 0.0, 0}});
    EXPECT_EQ(std::tuple(s.EpochCount(), s.HorizontalCount(), s.VerticalCount()),
              std::tuple(3, 1, 2));
    EXPECT_EQ(std::tuple(s.LatitudeSum(), s.LongitudeSum(), s.AltitudeSum(), s.AverageAltitude()),
              std::tuple(37.0, 128.0, 20.0f, 10.0f));
    const CReplayStatistics empty = Scan({});
    EXPECT_EQ(
        std::tuple(empty.AverageLatitude(), empty.AverageLongitude(), empty.AverageAltitude()),
        std::tuple(0.0, 0.0, 0.0f));
}

TEST(ReplayStatistics, TimesKeepIncreasingAcrossMidnights)
{
    // Time handed in, whether it is added, time stored.
    const std::int64_t rows[][3] = {
        {86'398'000, 1, 86'398'000}, {86'399'000, 1, 86'399'000}, {0, 1, 86'400'000},
        {0, 0, 86'400'000},          {1'000, 1, 86'401'000},      {86'399'500, 1, 172'799'500},
        {500, 1, 172'800'500},       {500, 0, 172'800'500},       {2'000, 1, 172'802'000},
    };
    CReplayStatistics stats;
    for (const auto& r : rows) {
        EXPECT_EQ(stats.AddEpoch(37.0, 127.0, 1.0f, r[0], 4), r[1] != 0) << r[0];
        EXPECT_EQ(stats.Positions().back().time, r[2]) << r[0];
    }
    EXPECT_EQ(std::tuple(stats.EpochCount(), stats.Positions().back().fixQuality),
              std::tuple(7, 4u));
}

TEST(ReceiverEstimate, DrmsAndCepFromSigmas)
{
    // σlon, σlat, σh, then DRMS, CEP and vertical CEP; nothing expected when DRMS is 0.
    const double rows[][6] = {
        {0.3, 0.4, 1.0, 0.5, 0.416, 1.18},
        {3.5, 2.3, 4.0, std::sqrt(17.54), 3.386, 4.72},  // the ZED-F9P capture's GST
        {0.0, 0.4, 1.0, 0, 0, 0},
        {0.3, 0.0, 1.0, 0, 0, 0},
    };
    for (const auto& r : rows) {
        const auto e = ReceiverEstimateStatistics(float(r[0]), float(r[1]), float(r[2]));
        ASSERT_EQ(e.has_value(), r[3] != 0) << r[0] << " " << r[1];
        if (!e) continue;
        const double got[] = {e->horizontalDrms, e->horizontalTwoDrms, e->horizontalCep,
                              e->verticalDrms,   e->verticalTwoDrms,   e->verticalCep};
        const double want[] = {r[3], 2 * r[3], r[4], r[2], 2 * r[2], r[5]};
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], 2e-6) << r[0] << " #" << i;
    }
}

TEST(PlotStatistics, RunningAverageAndFarthestPoint)
{
    CPlotStatistics plot;
    for (double lat : {37.0, 37.002, 37.001, 37.0}) plot.Add(lat, 2 * lat, lat, 127.0, 37.0, 127.0);
    const double got[] = {plot.AverageEasting(), plot.AverageNorthing(), plot.AverageLatitude(),
                          plot.AverageLongitude(), plot.MaxDistance()};
    const double want[] = {37.00075, 74.0015, 37.00075, 127.0, 2 * kMilliDegree};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << i;
    EXPECT_EQ(std::tuple(plot.MaxErrorLatitude(), plot.MaxErrorLongitude()),
              std::tuple(37.002, 127.0));
    plot.Clear();
    EXPECT_EQ(std::tuple(plot.MaxDistance(), plot.MaxErrorLatitude(), plot.AverageEasting()),
              std::tuple(0, 0, 0));
    plot.Add(5.0, 6.0, 37.5, 127.5);
    EXPECT_EQ(std::tuple(plot.AverageNorthing(), plot.AverageLatitude(), plot.MaxDistance()),
              std::tuple(6.0, 37.5, 0.0));
}

}  // namespace
