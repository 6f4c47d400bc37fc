#include "decode/taxi_meter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "support/recording_owner.h"

namespace {

// Arc length of one degree of latitude on the sphere of radius 6372797.6 m.
constexpr double kMetresPerDegree = 6372797.6 * std::numbers::pi / 180.0;
constexpr double kMinSpeedMps = 15.32 / 3.6;

struct Fix {
    const char* time;
    double metresNorth;  // along the meridian 127 E from 37 N
    double speedKmh = 60.0;
    int zeroed = 0;  // 1, 2, 3: latitude, longitude or height reads 0
};

void Drive(CTaxiMeter& meter, const std::vector<Fix>& fixes)
{
    for (const Fix& f : fixes) {
        GnssReceiverState s;
        s.timeText = f.time;
        s.latitudeDeg = f.zeroed == 1 ? 0.0 : 37.0 + f.metresNorth / kMetresPerDegree;
        s.longitudeDeg = f.zeroed == 2 ? 0.0 : 127.0;
        s.ellipsoidHeight = f.zeroed == 3 ? 0.0 : 50.0;
        s.speedKmh = static_cast<float>(f.speedKmh);
        meter.Step(s);
    }
}

TEST(TaxiMeter, FaresAlongTheRoad)
{
    // What, fixes, basic distance used, extra distance, fare.
    const std::tuple<const char*, std::vector<Fix>, double, double, std::int32_t> cases[] = {
        {"short of basic", {{"120000", 0}, {"120001", 1999.9}}, 1999.9, 0, 0},
        {"basic driven", {{"120000", 0}, {"120001", 2000.5}}, 2000, 0.5, 0},
        {"short of a unit", {{"120000", 0}, {"120001", 2000}, {"120002", 2131.5}}, 2000, 131.5, 0},
        {"one unit", {{"120000", 0}, {"120001", 2000}, {"120002", 2132.5}}, 2000, 132.5, 100},
        {"two units", {{"120000", 0}, {"120001", 2000}, {"120002", 2264.5}}, 2000, 264.5, 200},
        {"standing 60 s", {{"120000", 0, 0}, {"120100", 0, 0}}, 60 * kMinSpeedMps, 0, 0},
        {"day rolls over", {{"235958", 0, 0}, {"000005", 0, 0}}, 7 * kMinSpeedMps, 0, 0},
        {"late sentence", {{"120000", 0, 0}, {"115955", 0, 0}}, 0, 0, 0},
        {"lat 0", {{"120000", 0}, {"120010", 0, 0, 1}, {"120020", 0}, {"120021", 9}}, 9, 0, 0},
        {"no time", {{"120000", 0}, {"12a001", 5}, {"120002", 10}, {"120003", 210}}, 200, 0, 0},
        {"lon 0", {{"120000", 0}, {"120010", 0, 0, 2}, {"120020", 0}, {"120021", 9}}, 9, 0, 0},
        {"height 0", {{"120000", 0}, {"120010", 0, 0, 3}, {"120020", 0}, {"120021", 9}}, 9, 0, 0},
        {"hour 24", {{"120000", 0}, {"240001", 5}, {"120002", 10}, {"120003", 210}}, 200, 0, 0},
        {"same time", {{"120000", 0}, {"120000", 500}, {"120001", 600}}, 100, 0, 0},
    };
    for (const auto& [what, fixes, basicUsed, extra, fare] : cases) {
        SCOPED_TRACE(what);
        CTaxiMeter meter;
        Drive(meter, fixes);
        EXPECT_NEAR(meter.BasicDistanceUsed(), basicUsed, 1e-6);
        EXPECT_NEAR(meter.ExtraDistance(), extra, 1e-6);
        EXPECT_EQ(meter.ExtraFare(), fare);
    }
}

TEST(TaxiMeter, SlowTimeAndSettings)
{
    // 300 m north in 10 s; below the threshold only the time at minimum speed counts.
    // {settings, speed, basic distance used, extra distance, moving distance, fare}
    // clang-format off
    const std::tuple<TaxiMeterSettingTexts, double, double, double, double, std::int32_t> cases[] = {
        {{}, 20, 300, 0, 300, 0},
        {{.displaySpeedLimitIndex = 2}, 9, 10 * kMinSpeedMps, 0, 0, 0},  // below 10 km/h
        {{.displaySpeedLimitIndex = 9}, 20, 300, 0, 300, 0},             // index past the list
        {{.basicDistance = " 100.5", .unitFee = "250", .unitDistance = "99.9"}, 20, 100.5, 199.5, 300, 500},
        {{.basicDistance = "100", .unitDistance = "0"}, 20, 100, 200, 300, 0},
        {{.minSpeed = "36", .displaySpeedLimitIndex = 1}, 4, 100, 0, 0, 0},
    };
    // clang-format on
    for (const auto& [texts, speed, basicUsed, extra, moving, fare] : cases) {
        CTaxiMeter meter;
        meter.LoadSettings(ReadTaxiMeterSettings(texts));
        Drive(meter, {{"120000", 0, speed}, {"120010", 300, speed}});
        SCOPED_TRACE(std::to_string(speed) + " " + std::to_string(fare));
        EXPECT_NEAR(meter.BasicDistanceUsed(), basicUsed, 1e-6);
        EXPECT_NEAR(meter.ExtraDistance(), extra, 1e-6);
        EXPECT_NEAR(meter.TotalMovingDistance(), moving, 1e-6);
        EXPECT_EQ(meter.ExtraFare(), fare);
    }
    // Creeping: measured from the last moving fix.
    CTaxiMeter meter;
    meter.LoadSettings({.displaySpeedLimitIndex = 1});
    Drive(meter, {{"120000", 0, 20}, {"120001", 50, 20}, {"120002", 60, 3}, {"120003", 160, 20}});
    EXPECT_NEAR(meter.LastMovingStep(), 110, 1e-6);
    EXPECT_NEAR(meter.TotalMovingDistance(), 160, 1e-6);
    EXPECT_NEAR(meter.BasicDistanceUsed(), 50 + kMinSpeedMps + 100, 1e-6);
}

TEST(TaxiMeter, SettingTextsReloadAndDiagnostics)
{
    const TaxiMeterSettings defaults{0, 2000.0, 3800, 15.32, 100, 132, 0, 0};
    EXPECT_EQ(ReadTaxiMeterSettings({}), defaults);
    TaxiMeterSettings odd = defaults;
    odd.basicFee = 4800;
    // clang-format off
    EXPECT_EQ(ReadTaxiMeterSettings({.basicDistance = "2km", .basicFee = "4800.0", .minSpeed = "inf", .unitFee = "1e12", .unitDistance = ""}), odd);
    // clang-format on
    std::vector<std::string> lines;
    const auto sink = [&](std::string_view l) { lines.emplace_back(l); };
    CTaxiMeter meter;
    meter.SetDiagnosticSink(sink);
    Drive(meter, {{"120000", 0}, {"120001", 2500}});
    EXPECT_EQ(meter.ExtraFare(), 300);
    EXPECT_EQ(lines.front(), "TAXI[120000] ");
    meter.LoadSettings({});
    EXPECT_EQ(std::tuple(meter.ExtraFare(), meter.TotalMovingDistance(), meter.BasicDistanceUsed()),
              std::tuple(0, 0.0, 0.0));
    CTaxiMeter standing;
    lines.clear();
    standing.SetDiagnosticSink(sink);
    Drive(standing, {{"120000", 0, 0}, {"120100", 0, 0}});
    EXPECT_EQ(lines, (std::vector<std::string>{"TAXI[120000] ", "TAXI[120100] ",
                                               "255.333333, [0.000000 / 0]\r\n"}));
}

TEST(TaxiMeter, RunsOnTheNmeaDecoder)
{
    RecordingOwner owner;
    CTaxiMeter meter;
    owner.parser.SetTaxiMeter(&meter);
    owner.parser.SetOperationType(1);
    // 0.06' of latitude a second, 40 kn; the first RMC has no height yet.
    for (int i = 0; i < 5; ++i) {
        char lat[16];
        std::snprintf(lat, sizeof lat, "3700.%04d", i * 600);
        const std::string t = "12000" + std::to_string(i) + ".00";
        owner.Feed(Sentence("GPRMC," + t + ",A," + lat + ",N,12700.0000,E,40.0,0.0,061226,,,A"));
        owner.Feed(Sentence("GPGGA," + t + "," + lat + ",N,12700.0000,E,1,10,0.9,30.0,M,20.0,M,,"));
    }
    const double expected = 4 * 0.001 * kMetresPerDegree;
    EXPECT_NEAR(meter.TotalMovingDistance(), expected, 1e-6);
    EXPECT_NEAR(meter.BasicDistanceUsed(), expected, 1e-6);

    // After a reset the next fix starts over instead of measuring from the last one.
    owner.parser.Reset();
    owner.Feed(Sentence("GPGGA,120010.00,3701.0000,N,12700.0000,E,1,10,0.9,30.0,M,20.0,M,,"));
    EXPECT_NEAR(meter.BasicDistanceUsed(), expected, 1e-6);
}

}  // namespace
