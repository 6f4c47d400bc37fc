#include "tool/scan_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/receiver_simulator.h"

namespace {

ToolRun Scan(std::vector<std::string_view> args) { return Tool<RunScan>(std::move(args)); }

}  // namespace

// Ten seconds at 1 Hz from 12:00:00 without the GGA of 12:00:03: seven summary lines, the gap,
// then one index line per frame, each starting where the one before ended.
TEST(ScanCommand, SummaryMissingLinesAndIndex)
{
    SimulatorOptions options;
    options.seconds = 10;
    options.startHhmmss = 120000;
    std::string log = Simulated(options);
    const std::size_t gga = log.find("$GNGGA,120003");
    ASSERT_NE(gga, std::string::npos);
    log.erase(gga, log.find('\n', gga) + 1 - gga);
    const std::string path = WriteTemp("scan_gap.log", log);

    const ToolRun run = Scan({path, "--index", "--check-missing", "--error-base", "2"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 7u + 1 + 9);
    EXPECT_EQ(lines[0], "frames: 9");
    EXPECT_EQ(lines[1], "interval_ms: 1000");
    EXPECT_EQ(lines[2], "rate: NMEA-GGA@1Hz  /8 Frames ");
    const char* names[] = {
        "horizontal_rms: ", "vertical_rms: ", "horizontal_cep: ", "vertical_cep: "};
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(lines[3 + i].rfind(names[i], 0), 0u) << lines[3 + i];
        values[i] = std::stod(lines[3 + i].substr(std::string(names[i]).size()));
    }
    // CEP is 0.833 of RMS (both printed to 0.1 mm).
    EXPECT_GT(values[0], 0.0);
    EXPECT_NEAR(values[2], 0.833 * values[0], 1e-4);
    EXPECT_NEAR(values[3], 0.833 * values[1], 1e-4);
    EXPECT_EQ(lines[7], "GGA  120003.000 is missing!!");
    std::uint64_t end = 0;
    for (std::size_t i = 8; i < lines.size(); ++i) {
        const auto fields = Fields(lines[i]);
        ASSERT_EQ(fields.size(), 7u) << lines[i];
        EXPECT_EQ(std::stoull(fields[5]), end) << lines[i];
        end = std::stoull(fields[5]) + std::stoull(fields[6]);
    }
    EXPECT_EQ(end, log.size());
    EXPECT_EQ(lines[8].rfind("120000.000,", 0), 0u);
    EXPECT_EQ(lines[16].rfind("120009.000,", 0), 0u);
    EXPECT_EQ(Scan({path, "--error-base", "1", "--ref", "37.5,127.0"}).code, 0);
}

// An F9P base: RMC (157 in the capture) paces the frames under AUTO, NAV-PVT (158) under
// NON NMEA, which cannot scan a plain NMEA log.
TEST(ScanCommand, SyncPicksTheProtocolThatPacesTheFrames)
{
    SKIP_WITHOUT_DATA();
    const auto dir = *testdata::DataDir();
    const std::string mixed =
        (dir / "mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log").string();
    const struct {
        std::vector<std::string_view> args;
        const char* firstLine;
        const char* rate;
    } cases[] = {
        {{mixed}, "frames: 157", "rate: NMEA-RMC@1Hz  /156 Frames "},
        {{mixed, "--sync", "auto"}, "frames: 157", "rate: NMEA-RMC@1Hz  /156 Frames "},
        {{mixed, "--sync", "non-nmea"}, "frames: 158", "rate: UBX@1Hz  /157 Frames "},
    };
    for (const auto& c : cases) {
        const ToolRun run = Scan(c.args);
        ASSERT_EQ(run.code, 0) << run.err;
        const auto lines = Lines(run.out);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], c.firstLine);
        EXPECT_EQ(lines[2], c.rate);
    }
    const std::string nmea = (dir / "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log").string();
    const ToolRun plain = Scan({nmea, "--sync", "non-nmea"});
    EXPECT_EQ(plain.code, 1);
    EXPECT_NE(plain.err.find("NMEA/ UBX/ GSOF/ SBF"), std::string::npos) << plain.err;
}
