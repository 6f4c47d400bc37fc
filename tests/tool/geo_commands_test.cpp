#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/convert_command.h"
#include "tool/decode_command.h"
#include "tool/geoid_command.h"
#include "tool/receiver_simulator.h"
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

TEST(StatsCommand, RealCaptureMatchesAnIndependentSumOfSquares)
{
    SKIP_WITHOUT_DATA();
    const auto path = (*testdata::DataDir() / "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log").string();
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path;
    struct Epoch {
        double lat, lon;
    };  // only epochs with a position enter the horizontal terms
    std::vector<Epoch> epochs;
    std::ifstream in(path, std::ios::binary);
    LogDecodeSummary summary;
    ASSERT_TRUE(DecodeLog(
        in, 4096, {},
        [&](const GnssReceiverState& s) {
            if (s.latitudeDeg != 0 && s.longitudeDeg != 0)
                epochs.push_back({s.latitudeDeg, s.longitudeDeg});
        },
        summary));
    ASSERT_GT(epochs.size(), 10u);
    double latSum = 0, lonSum = 0;
    for (const Epoch& e : epochs) latSum += e.lat, lonSum += e.lon;
    const Epoch mean{latSum / epochs.size(), lonSum / epochs.size()};
    for (const std::string_view base : {"0", "2"}) {
        double sum = 0;
        for (std::size_t i = base == "2" ? 1 : 0; i < epochs.size(); ++i) {
            const Epoch& ref = base == "2" ? epochs[i - 1] : mean;
            sum += std::pow(Haversine(epochs[i].lat, epochs[i].lon, ref.lat, ref.lon), 2);
        }
        const double rms = std::sqrt(sum / (epochs.size() - (base == "2" ? 1 : 0)));
        const ToolRun run = Tool<RunStats>({path, "--error-base", base});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Value(run.out, "horizontal epochs"), static_cast<double>(epochs.size()));
        EXPECT_NEAR(Value(run.out, "average latitude"), mean.lat, 1e-9);
        EXPECT_NEAR(Value(run.out, "horizontal rms"), rms, 1e-3) << run.out;
        EXPECT_NEAR(Value(run.out, "horizontal cep"), 0.833 * rms, 1e-3) << run.out;
    }
    // NON NMEA sync leaves a plain NMEA log without epochs.
    const ToolRun nonNmea = Tool<RunStats>({path, "--sync", "non-nmea"});
    ASSERT_EQ(nonNmea.code, 0) << nonNmea.err;
    EXPECT_EQ(Value(nonNmea.out, "epochs"), 0.0) << nonNmea.out;
}

TEST(StatsCommand, SimulatedUbxStaysNearItsStart)
{
    SimulatorOptions options;
    options.seconds = 120;
    CReceiverSimulator simulator(options, SimulatedProtocol::Ubx);
    std::string log;
    while (simulator.NextEpoch(log)) {
    }
    const auto path = testdata::UniqueTempPath("sim.ubx").string();
    std::ofstream(path, std::ios::binary) << log;
    const ToolRun run =
        Tool<RunStats>({path, "--error-base", "3", "--ref", "37.473125,126.881210"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Value(run.out, "epochs"), static_cast<double>(simulator.EpochCount()));
    EXPECT_GT(Value(run.out, "horizontal rms"), 0.0);
    EXPECT_LT(Value(run.out, "horizontal rms"), 60.0) << run.out;
}

TEST(GeoidCommand, PrintsMetresWithThreeDecimals)
{
    // Seoul against PROJ (cct vgridshift on egm96_15.gtx: 22.8975 m); 0 outside the grid.
    EXPECT_NEAR(std::stod(Tool<RunGeoid>({"37.5665", "126.9780"}).out), 22.8975, 0.01);
    EXPECT_EQ(Tool<RunGeoid>({"+10", "127"}).out, "0.000\n");
}

using Command = int (*)(std::span<const std::string_view>, std::ostream&, std::ostream&);

TEST(GeoCommands, BadArgumentsGiveOneLineAndCode)
{
    const std::tuple<Command, std::vector<std::string_view>, int> cases[] = {
        {RunConvert, {"--from", "10", "127", "38"}, 2},
        {RunConvert, {"--from", "10", "--to", "23", "1", "2"}, 2},
        {RunConvert, {"--from", "x", "--to", "1", "1", "2"}, 2},
        {RunConvert, {"--from", "10", "--to", "1", "127"}, 2},
        {RunConvert, {"--from", "10", "--to", "1", "1", "2", "3"}, 2},
        {RunConvert, {"--from", "10", "--to", "1", "nan", "2"}, 2},
        {RunConvert, {"--from", "10", "--to", "1", "127", "91"}, 2},
        {RunConvert, {"--from", "1", "--to", "10", "1도 2분 3초", "5"}, 2},
        {RunConvert, {"--from", "10", "--to", "1", "--zone", "1"}, 2},
        {RunConvert, {"--from", "1", "--to", "10", "200000", "1e9"}, 1},
        {RunStats, {}, 2},
        {RunStats, {"a.log", "--error-base", "4"}, 2},
        {RunStats, {"a.log", "--error-base", "1"}, 2},
        {RunStats, {"a.log", "--ref", "95,127"}, 2},
        {RunStats, {"a.log", "--verbose"}, 2},
        {RunStats, {"a.log", "--sync", "ubx"}, 2},
        {RunStats, {"/nonexistent/skarnet2.log"}, 1},
        {RunGeoid, {"37.5665"}, 2},
        {RunGeoid, {"37.5665", "east"}, 2},
        {RunGeoid, {"91", "127"}, 2},
    };
    for (const auto& [command, args, code] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(command(args, out, err), code) << err.str();
        const std::string text = err.str();
        const std::string prefix = command == RunStats   ? "stats: "
                                   : command == RunGeoid ? "geoid: "
                                                         : "convert: ";
        EXPECT_EQ(text.rfind("skarnet2-tool " + prefix, 0), 0u) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_TRUE(out.str().empty());
    }
}

}  // namespace
