#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/tool_run.h"
#include "tool/convert_command.h"
#include "tool/decode_command.h"
#include "tool/export_command.h"
#include "tool/geoid_command.h"
#include "tool/rtcm_command.h"
#include "tool/scan_command.h"
#include "tool/serve_command.h"
#include "tool/simulate_command.h"
#include "tool/stats_command.h"

namespace {

using Command = int (*)(std::span<const std::string_view>, std::ostream&, std::ostream&);

int Serve(std::span<const std::string_view> args, std::ostream&, std::ostream& err)
{
    return RunServe(args, err);
}

// Every command: exit 2 for what was asked wrongly, 1 for what failed; one message line that
// names the command, nothing on standard output, and a file is never touched by a refusal.
TEST(ToolArguments, ErrorsGiveTheirCodeAndOneMessage)
{
    const std::string log = WriteTemp("args.nmea", "$GPGGA\r\n"),
                      empty = WriteTemp("args.empty", "");
    const std::string notLink = WriteTemp("args.notalink", "keep"),
                      same = WriteTemp("same.csv", "x");
    SimulatorOptions options;
    options.seconds = 10;
    const std::string sim = WriteTemp("args_sim.nmea", Simulated(options));
    const struct {
        const char* name;
        Command run;
        std::vector<std::string_view> args;
        int code;
        std::string_view message;
    } cases[] = {
        // clang-format off
        {"decode", RunDecode, {}, 2, "no log file"},
        {"decode", RunDecode, {"a", "b"}, 2, "one log file"},
        {"decode", RunDecode, {"a", "--block", "12x"}, 2, "--block"},
        {"decode", RunDecode, {"a", "--fast"}, 2, "unknown option"},
        {"decode", RunDecode, {"a", "--protocol", "rtcm"}, 2, "--protocol must be auto, nmea, ubx, sbf or gsof"},
        {"decode", RunDecode, {"a", "--sync", "NON-NMEA"}, 2, "--sync must be auto or non-nmea"},
        {"decode", RunDecode, {"a", "--sync"}, 2, "--sync must be auto or non-nmea"},
        {"decode", RunDecode, {"/nonexistent/skarnet2.log", "--sync", "non-nmea"}, 1, "cannot open"},
        {"convert", RunConvert, {"--from", "10", "127", "38"}, 2, "--to"},
        {"convert", RunConvert, {"--from", "10", "--to", "23", "1", "2"}, 2, "--to"},
        {"convert", RunConvert, {"--from", "x", "--to", "1", "1", "2"}, 2, "--from"},
        {"convert", RunConvert, {"--from", "10", "--to", "1", "127"}, 2, "two coordinate values are needed"},
        {"convert", RunConvert, {"--from", "10", "--to", "1", "1", "2", "3"}, 2, "only two coordinate values"},
        {"convert", RunConvert, {"--from", "10", "--to", "1", "nan", "2"}, 2, "'nan' is not a longitude/latitude"},
        {"convert", RunConvert, {"--from", "10", "--to", "1", "127", "91"}, 2, "latitude within ±90"},
        {"convert", RunConvert, {"--from", "1", "--to", "10", "1도 2분 3초", "5"}, 2, "is not a grid value in metres"},
        {"convert", RunConvert, {"--from", "10", "--to", "1", "--zone", "1"}, 2, "--zone"},
        {"convert", RunConvert, {"--from", "1", "--to", "10", "200000", "1e9"}, 1, "Latitude failed to converge"},
        {"stats", RunStats, {}, 2, "no log file given"},
        {"stats", RunStats, {"a.log", "--error-base", "4"}, 2, "--error-base"},
        {"stats", RunStats, {"a.log", "--error-base", "1"}, 2, "--ref"},
        {"stats", RunStats, {"a.log", "--ref", "95,127"}, 2, "--ref"},
        {"stats", RunStats, {"a.log", "--verbose"}, 2, "--verbose"},
        {"stats", RunStats, {"a.log", "--sync", "ubx"}, 2, "--sync"},
        {"stats", RunStats, {"/nonexistent/skarnet2.log"}, 1, "/nonexistent/skarnet2.log"},
        {"geoid", RunGeoid, {"37.5665"}, 2, "expected LAT LON"},
        {"geoid", RunGeoid, {"37.5665", "east"}, 2, "east"},
        {"geoid", RunGeoid, {"91", "127"}, 2, "latitude must lie within ±90"},
        {"scan", RunScan, {}, 2, "no log file given"},
        {"scan", RunScan, {sim, "--error-base", "4"}, 2, "--error-base"},
        {"scan", RunScan, {sim, "--error-base"}, 2, "--error-base"},
        {"scan", RunScan, {sim, "--ref", "91,0"}, 2, "--ref"},
        {"scan", RunScan, {sim, "--ref", "x"}, 2, "--ref"},
        {"scan", RunScan, {sim, "--bogus"}, 2, "--bogus"},
        {"scan", RunScan, {sim, "--sync", "nmea"}, 2, "--sync"},
        {"scan", RunScan, {sim, sim}, 2, "only one log file"},
        {"scan", RunScan, {"/nonexistent/file.log"}, 1, "로그 파일을 열 수 없습니다!"},
        {"scan", RunScan, {sim, "--error-base", "1"}, 1, "기준점 좌표가 설정되지 않았습니다"},
        {"rtcm", RunRtcm, {}, 2, "no log file given"},
        {"rtcm", RunRtcm, {"a", "--x"}, 2, "--x"},
        {"rtcm", RunRtcm, {"/nonexistent/rtcm.txt"}, 1, "cannot open"},
        {"export", RunExport, {}, 2, "no log file given"},
        {"export", RunExport, {"a.log"}, 2, "--format must be csv, gpx or kml"},
        {"export", RunExport, {"a.log", "--format", "txt"}, 2, "--format must be csv, gpx or kml"},
        {"export", RunExport, {"a.log", "--format", "csv", "--grid", "23"}, 2, "--grid needs a table row from 0 to 22"},
        {"export", RunExport, {"a.log", "--format", "csv", "--grid", "1x"}, 2, "--grid needs a table row"},
        {"export", RunExport, {"a.log", "--format", "csv", "--out"}, 2, "--out needs a path"},
        {"export", RunExport, {"a.log", "b.log", "--format", "csv"}, 2, "only one log file can be exported at a time"},
        {"export", RunExport, {"a.log", "--format", "csv", "--fast"}, 2, "unknown option '--fast'"},
        {"export", RunExport, {same, "--format", "csv", "--out", same}, 2, "the output would replace the log"},
        {"export", RunExport, {"/nonexistent/a.log", "--format", "gpx"}, 1, "cannot open"},
        {"simulate", RunSimulate, {"--bogus"}, 2, "--bogus"},
        {"simulate", RunSimulate, {"--rate"}, 2, "--rate"},
        {"simulate", RunSimulate, {"--rate", "0"}, 2, "--rate"},
        {"simulate", RunSimulate, {"--rate", "100.5"}, 2, "--rate"},
        {"simulate", RunSimulate, {"--rate", "10x"}, 2, "--rate"},
        {"simulate", RunSimulate, {"--seconds", "-1"}, 2, "--seconds"},
        {"simulate", RunSimulate, {"--start", "240000"}, 2, "--start"},
        {"simulate", RunSimulate, {"--start", "120060"}, 2, "--start"},
        {"simulate", RunSimulate, {"--lat", "45"}, 2, "--lon"},
        {"simulate", RunSimulate, {"--lat", "91", "--lon", "0"}, 2, "--lat"},
        {"simulate", RunSimulate, {"--seed", "4294967296"}, 2, "--seed"},
        {"simulate", RunSimulate, {"--protocol", "rtcm"}, 2, "--protocol"},
        {"simulate", RunSimulate, {"2"}, 2, "unknown argument '2'"},
        {"serve", Serve, {}, 2, "no log file given"},
        {"serve", Serve, {log}, 2, "give one of --tcp PORT, --pty LINK and --relay PORT"},
        {"serve", Serve, {log, "--tcp", "0", "--relay", "0"}, 2, "give one of"},
        {"serve", Serve, {log, "--tcp", "1", "--pty", "/tmp/x"}, 2, "give one of"},
        {"serve", Serve, {log, "--relay", "x"}, 2, "--relay needs a port from 0 to 65535, not 'x'"},
        {"serve", Serve, {log, "--relay", "0", "--device-channel", "70000"}, 2, "--device-channel needs a port"},
        {"serve", Serve, {log, "--tcp", "0", "--device-channel", "0"}, 2, "--device-channel needs --relay"},
        {"serve", Serve, {log, "--pty", "/tmp/x", "--foreign-device", "D"}, 2, "--foreign-device needs --relay"},
        {"serve", Serve, {log, "--tcp", "0", "--devices", "A"}, 2, "--devices needs --relay"},
        {"serve", Serve, {log, "--tcp", "0", "--corrections", "/tmp/c"}, 2, "--corrections needs --relay"},
        {"serve", Serve, {log, "--relay", "0", "--devices", "A;;B"}, 2, "--devices needs device IDs"},
        {"serve", Serve, {log, "--relay", "0", "--devices", "A B"}, 2, "not 'A B'"},
        {"serve", Serve, {log, "--relay", "0", "--foreign-device", "A|B"}, 2, "--foreign-device needs device"},
        {"serve", Serve, {log, "--relay", "0", "--corrections", ""}, 2, "--corrections needs a file path"},
        {"serve", Serve, {log, "--relay", "0", "--corrections", "/nonexistent/c"}, 1, "cannot create"},
        {"serve", Serve, {log, "--tcp"}, 2, "--tcp needs a value"},
        {"serve", Serve, {log, "--tcp", "65536"}, 2, "--tcp needs a port from 0 to 65535, not '65536'"},
        {"serve", Serve, {log, "--tcp", "80x"}, 2, "not '80x'"},
        {"serve", Serve, {log, "--pty", ""}, 2, "--pty needs a link path"},
        {"serve", Serve, {log, "--tcp", "0", "--rate", "0"}, 2, "--rate must be a number above 0"},
        {"serve", Serve, {log, "--tcp", "0", "--rate", "nan"}, 2, "--rate must be"},
        {"serve", Serve, {empty, "--tcp", "0", "--rate", "100001"}, 2, "--rate must be"},  // no serving if let in
        {"serve", Serve, {log, "--tcp", "0", "--rate", "5", "--real-time"}, 2, "cannot be given together"},
        {"serve", Serve, {log, "--tcp", "0", "--rate", "max", "--real-time"}, 2, "cannot be given together"},
        {"serve", Serve, {log, "--tcp", "0", "--rate", "max", "--burst", "5"}, 2, "--burst goes with"},
        {"serve", Serve, {log, "--tcp", "0", "--burst", "x"}, 2, "--burst needs a number"},
        {"serve", Serve, {log, "--tcp", "0", "--burst-from", log}, 2, "--burst-from needs --burst"},
        {"serve", Serve, {log, "--tcp", "0", "--fast"}, 2, "unknown option '--fast'"},
        {"serve", Serve, {log, log, "--tcp", "0"}, 2, "only one log file"},
        {"serve", Serve, {"/nonexistent/gps.log", "--tcp", "0"}, 1, "cannot read '/nonexistent/gps.log'"},
        {"serve", Serve, {empty, "--tcp", "0"}, 1, "holds nothing to serve"},
        {"serve", Serve, {log, "--pty", notLink}, 1, "exists and is not a symbolic link"},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        const int code = c.run(c.args, out, err);
        const std::string text = err.str();
        SCOPED_TRACE(std::string(c.name) + ": " + text);
        EXPECT_EQ(code, c.code);
        EXPECT_TRUE(out.str().empty());
        EXPECT_EQ(text.rfind("skarnet2-tool " + std::string(c.name) + ": ", 0), 0u);
        EXPECT_NE(text.find(c.message), std::string::npos);
        // serve adds its usage to the wrongly asked, every other command says one line.
        const bool usage = text.find("usage: skarnet2-tool serve") != std::string::npos;
        if (c.run == Serve) {
            EXPECT_EQ(usage, c.code == 2);
        } else {
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
        }
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(notLink)) << "a real file is never replaced";
    std::ifstream kept(same);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "x");
}

}  // namespace
