#include "tool/decode_command.h"

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

ToolRun Decode(std::vector<std::string_view> args) { return Tool<RunDecode>(std::move(args)); }

std::string SimulatedLog(const SimulatorOptions& options)
{
    CReceiverSimulator simulator(options);
    std::string log;
    while (simulator.NextEpoch(log)) {
    }
    return log;
}

std::string WriteTemp(const std::string& name, const std::string& bytes)
{
    const auto path = testdata::UniqueTempPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST(DecodeCommand, OutputDoesNotDependOnTheBlockSize)
{
    std::vector<std::string> files;
    if (const auto dir = testdata::DataDir()) {
        files.push_back((*dir / "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log").string());
        files.push_back((*dir / "nmea/gpsd_gp-320fw_coldboot_rollover_garbage.log").string());
        files.push_back((*dir / "mixed/gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log").string());
    }
    SimulatorOptions options;
    options.rateHz = 10;
    options.seconds = 20;
    files.push_back(WriteTemp("skarnet2_decode_sim.nmea", SimulatedLog(options)));
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const ToolRun reference = Decode({file});
        ASSERT_EQ(reference.code, 0) << reference.err;
        const auto expected = Lines(reference.out);
        for (const char* block : {"1", "7", "1024", "65536"}) {
            const auto lines = Lines(Decode({file, "--block", block}).out);
            ASSERT_EQ(lines.size(), expected.size()) << block;
            for (std::size_t i = 0; i < lines.size(); ++i)
                ASSERT_EQ(lines[i], expected[i]) << "block " << block << ", line " << i;
        }
    }
}

TEST(DecodeCommand, SimulatedRunDecodesEveryEpoch)
{
    SimulatorOptions options;
    options.rateHz = 5;
    options.seconds = 60;
    options.startHhmmss = 235950;
    const std::string log = SimulatedLog(options);
    const ToolRun run = Decode({WriteTemp("skarnet2_decode_sim5.nmea", log)});
    ASSERT_EQ(run.code, 0);
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 300u + 2);
    EXPECT_EQ(lines.front().rfind("time,latitude,longitude", 0), 0u);
    EXPECT_EQ(lines[1].substr(0, 10), "235950.000");
    EXPECT_EQ(lines[2].substr(0, 10), "235950.200");
    EXPECT_EQ(lines[51].substr(0, 10), "000000.000") << "the day rolls over";
    EXPECT_EQ(lines.back(),
              "# epochs 300, bytes " + std::to_string(log.size()) + ", checksum errors 0");
    // Every epoch near the start point, with a fix.
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        std::istringstream row(lines[i]);
        std::string time, lat, lon, h, msl, quality;
        std::getline(row, time, ',');
        std::getline(row, lat, ',');
        std::getline(row, lon, ',');
        std::getline(row, h, ',');
        std::getline(row, msl, ',');
        std::getline(row, quality, ',');
        EXPECT_NEAR(std::stod(lat), options.latitudeDeg, 0.001) << lines[i];
        EXPECT_NEAR(std::stod(lon), options.longitudeDeg, 0.001) << lines[i];
        EXPECT_GE(std::stoi(quality), 1);
    }
}

TEST(DecodeCommand, BadArguments)
{
    const struct {
        std::vector<std::string_view> args;
        int code;
        const char* message;
    } cases[] = {
        {{}, 2, "no log file"},
        {{"a", "b"}, 2, "one log file"},
        {{"a", "--block", "12x"}, 2, "--block"},
        {{"a", "--fast"}, 2, "unknown option"},
        {{"a", "--protocol", "rtcm"}, 2, "--protocol"},
        {{"/nonexistent/skarnet2.log"}, 1, "cannot open"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Decode(c.args);
        EXPECT_EQ(run.code, c.code);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

}  // namespace
