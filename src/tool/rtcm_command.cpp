#include "tool/rtcm_command.h"

#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "geo/ecef.h"
#include "net/rtcm3_framer.h"
#include "tool/tool_text.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool rtcm: ";
constexpr std::size_t kReadBlock = 65536;

struct TypeCount {
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
};

}  // namespace

int RunRtcm(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    std::string path;
    if (!ParseLogArguments(args, path, kPrefix, "read", err, [&](std::size_t& i) {
            err << kPrefix << "unknown option '" << args[i] << "'\n";
            return false;
        }))
        return 2;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << kPrefix << "cannot open '" << path << "'\n";
        return 1;
    }
    CRtcm3Framer framer;
    std::map<std::uint16_t, TypeCount> types;
    std::map<std::uint16_t, rtcm3::StationPosition> stations;  // the last of each station
    std::vector<std::uint8_t> block(kReadBlock);
    std::uint64_t total = 0;
    while (in) {
        in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        total += got;
        framer.Feed(std::span<const std::uint8_t>(block).first(got),
                    [&](std::span<const std::uint8_t> frame) {
                        TypeCount& count = types[rtcm3::MessageType(frame)];
                        ++count.frames;
                        count.bytes += frame.size();
                        if (const auto station = rtcm3::DecodeStationPosition(frame))
                            stations[station->stationId] = *station;
                    });
    }
    if (in.bad()) {
        err << kPrefix << "read error on '" << path << "'\n";
        return 1;
    }
    out << "type,count,bytes\n";
    for (const auto& [type, count] : types)
        out << type << ',' << count.frames << ',' << count.bytes << '\n';
    for (const auto& [id, s] : stations) {
        const Geodetic g = EcefToGeodetic({s.x, s.y, s.z});
        out << "# station " << id << ": ecef " << Fixed(s.x, 4) << ' ' << Fixed(s.y, 4) << ' '
            << Fixed(s.z, 4) << ", latitude " << Fixed(g.latitudeDeg, 9) << ", longitude "
            << Fixed(g.longitudeDeg, 9) << ", height " << Fixed(g.heightM, 4) << ", antenna height "
            << Fixed(s.antennaHeight, 4) << '\n';
    }
    out << "# frames " << framer.Frames() << ", crc failures " << framer.CrcFailures() << ", bytes "
        << total << ", unframed tail " << framer.Pending() << '\n';
    return out ? 0 : 1;
}
