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

// A 1 Hz NMEA log of ten seconds from 12:00:00 at one fixed position.
std::string SimulatedFile(const std::string& name)
{
    SimulatorOptions options;
    options.seconds = 10;
    options.startHhmmss = 120000;
    CReceiverSimulator simulator(options);
    std::string log;
    while (simulator.NextEpoch(log)) {
    }
    const auto path = testdata::UniqueTempPath(name);
    std::ofstream(path, std::ios::binary) << log;
    return path.string();
}

}  // namespace

TEST(ScanCommand, PrintsTheSummaryLinesInOrder)
{
    const std::string path = SimulatedFile("scan_cmd.log");
    const ToolRun run = Scan({path});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "frames: 10");
    EXPECT_EQ(lines[1], "interval_ms: 1000");
    EXPECT_EQ(lines[2], "rate: NMEA-GGA@1Hz  /9 Frames ");
    const char* names[] = {
        "horizontal_rms: ", "vertical_rms: ", "horizontal_cep: ", "vertical_cep: "};
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(lines[3 + i].rfind(names[i], 0), 0u) << lines[3 + i];
        values[i] = std::stod(lines[3 + i].substr(std::string(names[i]).size()));
        EXPECT_GE(values[i], 0.0);
    }
    // CEP is 0.833 of RMS (both printed to 0.1 mm).
    EXPECT_NEAR(values[2], 0.833 * values[0], 1e-4);
    EXPECT_NEAR(values[3], 0.833 * values[1], 1e-4);
}

TEST(ScanCommand, IndexAndMissingLines)
{
    const std::string path = SimulatedFile("scan_cmd_index.log");
    const ToolRun run = Scan({path, "--index", "--check-missing", "--error-base", "2"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = Lines(run.out);
    // No gaps: seven summary lines, then one CSV line per frame.
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[7].rfind("120000.000,", 0), 0u) << lines[7];
    EXPECT_EQ(lines[16].rfind("120009.000,", 0), 0u) << lines[16];
    std::uint64_t expectedOffset = 0;
    for (std::size_t i = 7; i < lines.size(); ++i) {
        std::vector<std::string> fields;
        std::istringstream in(lines[i]);
        for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
        ASSERT_EQ(fields.size(), 7u) << lines[i];
        // The epochs follow each other without holes.
        if (i > 7) {
            EXPECT_EQ(std::stoull(fields[5]), expectedOffset);
        }
        expectedOffset = std::stoull(fields[5]) + std::stoull(fields[6]);
    }

    std::ifstream in(path, std::ios::binary);
    std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t third = log.find("$GNGGA,120003");
    ASSERT_NE(third, std::string::npos);
    log.erase(third, log.find('\n', third) + 1 - third);
    const auto gappy = testdata::UniqueTempPath("scan_cmd_gap.log");
    std::ofstream(gappy, std::ios::binary) << log;
    const ToolRun gap = Scan({gappy.string(), "--check-missing"});
    ASSERT_EQ(gap.code, 0) << gap.err;
    const auto gapLines = Lines(gap.out);
    ASSERT_EQ(gapLines.size(), 8u);
    EXPECT_EQ(gapLines[7], "GGA  120003.000 is missing!!");
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

TEST(ScanCommand, ArgumentErrorsExitTwoAndScanFailuresOne)
{
    const std::string path = SimulatedFile("scan_cmd_args.log");
    for (const std::vector<std::string_view>& args : {std::vector<std::string_view>{},
                                                      {path, "--error-base", "4"},
                                                      {path, "--error-base"},
                                                      {path, "--ref", "91,0"},
                                                      {path, "--ref", "x"},
                                                      {path, "--bogus"},
                                                      {path, "--sync", "nmea"},
                                                      {path, "--sync"},
                                                      {path, path}}) {
        const ToolRun run = Scan(args);
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(run.out.empty());
        EXPECT_EQ(run.err.rfind("skarnet2-tool scan: ", 0), 0u) << run.err;
    }
    EXPECT_EQ(Scan({"/nonexistent/file.log"}).code, 1);
    const ToolRun noStation = Scan({path, "--error-base", "1"});
    EXPECT_EQ(noStation.code, 1);
    EXPECT_NE(noStation.err.find("기준점 좌표가 설정되지 않았습니다"), std::string::npos);
    EXPECT_EQ(Scan({path, "--error-base", "1", "--ref", "37.5,127.0"}).code, 0);
}
