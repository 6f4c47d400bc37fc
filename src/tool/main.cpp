#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tool/convert_command.h"
#include "tool/decode_command.h"
#include "tool/export_command.h"
#include "tool/geoid_command.h"
#include "tool/ntrip_command.h"
#include "tool/rtcm_command.h"
#include "tool/scan_command.h"
#include "tool/serve_command.h"
#include "tool/simulate_command.h"
#include "tool/stats_command.h"
#include "version/program_version.h"

namespace {

void Usage(std::ostream& out);

// The lines of the usage that belong to one command.
void CommandUsage(std::string_view command, std::ostream& out)
{
    std::ostringstream all;
    Usage(all);
    const std::string text = all.str();
    const std::string start = "skarnet2-tool " + std::string(command) + " ";
    std::size_t at = text.find(start);
    if (at == std::string::npos) {
        out << text;
        return;
    }
    const std::size_t end = text.find("skarnet2-tool ", at + start.size());
    out << "usage: "
        << text.substr(
               at, end == std::string::npos ? std::string::npos : text.rfind('\n', end) + 1 - at);
}

bool AsksForHelp(const std::vector<std::string_view>& args)
{
    for (const std::string_view arg : args)
        if (arg == "--help" || arg == "-h") return true;
    return false;
}

void Usage(std::ostream& out)
{
    out << "usage: skarnet2-tool simulate [--rate HZ] [--seconds N] [--start HHMMSS] "
           "[--lat DEG --lon DEG] [--seed N]\n"
           "                              [--protocol nmea|ubx|sbf|gsof|mixed] > FILE\n"
           "       skarnet2-tool decode FILE [--block N] [--sync auto|non-nmea]\n"
           "                              [--protocol auto|nmea|ubx|sbf|gsof]\n"
           "              one CSV line per epoch the window would show; --sync as the window's "
           "setting,\n"
           "              --protocol other than auto makes one decoder take every byte\n"
           "       skarnet2-tool convert --from ROW --to ROW A B\n"
           "              ROW: coordinate-system table row 0..22 (10 = WGS84 latitude/longitude);\n"
           "              A B: LONGITUDE LATITUDE in degrees for row 10 (decimal or \"126도 52분 "
           "52.356초\"),\n"
           "              else EASTING NORTHING in metres\n"
           "       skarnet2-tool stats FILE [--error-base 0|1|2|3] [--ref LAT,LON] "
           "[--sync auto|non-nmea]\n"
           "              error base: 0 average point (default), 1 reference station (needs "
           "--ref),\n"
           "              2 previous epoch, 3 arbitrary point (--ref, default "
           "37.473125,126.881210)\n"
           "       skarnet2-tool geoid LAT LON\n"
           "              geoid height in metres from the Korean EGM96 grid (0.000 outside it)\n"
           "       skarnet2-tool serve FILE (--tcp PORT | --pty LINK | --relay PORT) "
           "[--rate HZ|max | --real-time] [--burst N [--burst-from FILE]] [--loop]\n"
           "                            [--device-channel PORT] [--devices ID1;ID2;...] "
           "[--foreign-device ID] [--corrections FILE]\n"
           "              streams the log epoch by epoch as a receiver would, or as a local "
           "relay server\n"
           "       skarnet2-tool scan FILE [--error-base 0..3] [--ref LAT,LON] "
           "[--sync auto|non-nmea]\n"
           "                            [--check-missing] [--index]\n"
           "              replay scan: frames, frame rate, RMS and CEP, missing epochs, index\n"
           "       skarnet2-tool ntrip --sourcetable HOST:PORT [--version 2] [--tls]\n"
           "       skarnet2-tool ntrip HOST:PORT/MOUNT --user U --password-file F [--version 2] "
           "[--tls]\n"
           "                    [--gga LAT,LON] (--out FILE | --tcp PORT | --pty LINK) "
           "[--seconds N]\n"
           "              an NTRIP caster's mount points, or a mount point's corrections\n"
           "       skarnet2-tool export FILE --format csv|gpx|kml [--grid ROW] [--out PATH]\n"
           "              positions as CSV (time,north,east,altitude,quality) in grid ROW (default "
           "13),\n"
           "              or as a GPX or KML track in WGS84 degrees; PATH defaults to FILE with\n"
           "              the format's extension in place of its own\n"
           "       skarnet2-tool rtcm FILE\n"
           "              RTCM 3 message numbers with counts and bytes, reference stations\n";
}

}  // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    if (argc < 2) {
        Usage(std::cerr);
        return 2;
    }
    const std::string_view command = argv[1];
    std::vector<std::string_view> args(argv + 2, argv + argc);
    if (command == "--version") {
        std::cout << "skarnet2-tool " << program_version::kText << '\n';
        return 0;
    }
    if (AsksForHelp(args)) {
        CommandUsage(command, std::cout);
        return 0;
    }
    if (command == "simulate") return RunSimulate(args, std::cout, std::cerr);
    if (command == "decode") return RunDecode(args, std::cout, std::cerr);
    if (command == "convert") return RunConvert(args, std::cout, std::cerr);
    if (command == "stats") return RunStats(args, std::cout, std::cerr);
    if (command == "geoid") return RunGeoid(args, std::cout, std::cerr);
    if (command == "serve") return RunServe(args, std::cerr);
    if (command == "scan") return RunScan(args, std::cout, std::cerr);
    if (command == "export") return RunExport(args, std::cout, std::cerr);
    if (command == "rtcm") return RunRtcm(args, std::cout, std::cerr);
    if (command == "ntrip") return RunNtrip(args, std::cout, std::cerr);
    if (command == "--help" || command == "-h" || command == "help") {
        Usage(std::cout);
        return 0;
    }
    std::cerr << "skarnet2-tool: unknown command '" << command << "'\n";
    Usage(std::cerr);
    return 2;
}
