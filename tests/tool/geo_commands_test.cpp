#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/convert_command.h"
#include "tool/decode_command.h"
#include "tool/geoid_command.h"
#include "tool/stats_command.h"

namespace {

double Value(const std::string& out, const std::string& key)
{
    const auto at = out.find("\n" + key + " ");
    return at == std::string::npos ? NAN : std::stod(out.substr(at + key.size() + 2));
}

// Great-circle metres on the 6372797.6 m sphere, written out again here.
double Haversine(double lat1, double lon1, double lat2, double lon2)
{
    const double k = M_PI / 180, dLat = (lat2 - lat1) * k, dLon = (lon2 - lon1) * k;
    const double a = std::pow(std::sin(dLat / 2), 2) +
                     std::cos(lat1 * k) * std::cos(lat2 * k) * std::pow(std::sin(dLon / 2), 2);
    return 2 * std::atan2(std::sqrt(a), std::sqrt(1 - a)) * 6372797.6;
}

TEST(ConvertCommand, KnownPointsAndRoundTrip)
{
    using Args = std::vector<std::string_view>;
    const std::pair<Args, std::vector<std::string_view>> good[] = {
        {{"--from", "10", "--to", "1", "127", "38"}, {"easting 200000.000", "northing 500000.000"}},
        {{"--from", "10", "--to", "13", "126.881210", "37.473125"},
         {"easting 945285.230", "northing 1941724.502"}},
        {{"--to", "13", "--from", "10", "126도 52분 52.356초", "37도 28분 23.25초"},
         {"easting 945285.230", "northing 1941724.502"}},
        {{"--from", "13", "--to", "10", "945285.2304", "1941724.5024"},
         {"longitude 126.881210000 (126도 52분 52.3560초)", "latitude 37.473125000"}},
    };
    for (const auto& [args, expected] : good) {
        const ToolRun run = Tool<RunConvert>(args);
        ASSERT_EQ(run.code, 0) << run.err;
        for (const auto text : expected)
            EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
    }
}

// Only epochs with a position enter the horizontal terms; base 2 measures from the previous one.
TEST(StatsCommand, RealCaptureMatchesAnIndependentSumOfSquares)
{
    SKIP_WITHOUT_DATA();
    const auto path = (*testdata::DataDir() / "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log").string();
    std::vector<std::pair<double, double>> epochs;
    std::ifstream in(path, std::ios::binary);
    LogDecodeSummary summary;
    ASSERT_TRUE(DecodeLog(
        in, 4096, {},
        [&](const GnssReceiverState& s) {
            if (s.latitudeDeg != 0 && s.longitudeDeg != 0)
                epochs.emplace_back(s.latitudeDeg, s.longitudeDeg);
        },
        summary));
    ASSERT_GT(epochs.size(), 10u);
    std::pair<double, double> mean{};
    for (const auto& [lat, lon] : epochs)
        mean.first += lat / epochs.size(), mean.second += lon / epochs.size();
    for (const bool previous : {false, true}) {
        double sum = 0;
        for (std::size_t i = previous; i < epochs.size(); ++i) {
            const auto& ref = previous ? epochs[i - 1] : mean;
            sum += std::pow(Haversine(epochs[i].first, epochs[i].second, ref.first, ref.second), 2);
        }
        const double rms = std::sqrt(sum / static_cast<double>(epochs.size() - previous));
        const ToolRun run = Tool<RunStats>({path, "--error-base", previous ? "2" : "0"});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Value(run.out, "horizontal epochs"), static_cast<double>(epochs.size()));
        EXPECT_NEAR(Value(run.out, "average latitude"), mean.first, 1e-9);
        EXPECT_NEAR(Value(run.out, "horizontal rms"), rms, 1e-3) << run.out;
        EXPECT_NEAR(Value(run.out, "horizontal cep"), 0.833 * rms, 1e-3) << run.out;
    }
    // NON NMEA sync leaves a plain NMEA log without epochs.
    EXPECT_EQ(Value(Tool<RunStats>({path, "--sync", "non-nmea"}).out, "epochs"), 0.0);
}

TEST(GeoidCommand, PrintsMetresWithThreeDecimals)
{
    // Seoul against PROJ (cct vgridshift on egm96_15.gtx: 22.8975 m); 0 outside the grid.
    EXPECT_NEAR(std::stod(Tool<RunGeoid>({"37.5665", "126.9780"}).out), 22.8975, 0.01);
    EXPECT_EQ(Tool<RunGeoid>({"+10", "127"}).out, "0.000\n");
}

}  // namespace
