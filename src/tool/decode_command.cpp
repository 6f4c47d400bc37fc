#include "tool/decode_command.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "decode/message_loop.h"
#include "tool/protocol_detector.h"
#include "tool/single_decoder_owner.h"

namespace {

constexpr std::size_t kMaxBlock = std::size_t{64} << 20;
// Bytes without a single checked message start after which the protocol is settled anyway.
constexpr std::size_t kDetectLimit = std::size_t{16} << 20;

// Hands each completed epoch on, as the main window hands its snapshot to the views.
class CEpochCollector final : public CSingleDecoderOwner {
public:
    explicit CEpochCollector(const std::function<void(const GnssReceiverState&)>& onEpoch)
        : onEpoch_(onEpoch)
    {
    }

    std::uint64_t Epochs() const { return epochs_; }

    void OnEpochComplete(CParser& parser) override
    {
        GnssReceiverState& state = *parser.State();
        onEpoch_(state);
        ++epochs_;
        EndEpoch(state);
    }

    // The stream has ended: commit the epoch still being filled, as the idle flush does.
    void Flush()
    {
        if (HasUnfinishedEpoch()) OnEpochComplete(*parser_);
    }

private:
    const std::function<void(const GnssReceiverState&)>& onEpoch_;
    std::uint64_t epochs_ = 0;
};

void PrintEpoch(std::ostream& out, const GnssReceiverState& s)
{
    const std::uint64_t ms = s.timeOfDayMs;
    char line[320];
    const int n = std::snprintf(
        line, sizeof line,
        "%02" PRIu64 "%02" PRIu64 "%02" PRIu64 ".%03" PRIu64
        ",%.9f,%.9f,%.3f,%.3f,%d,%d,%d,%.2f,%.2f,%.3f,%.2f,%d,%d\n",
        ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000, s.latitudeDeg, s.longitudeDeg,
        s.ellipsoidHeight, s.mslAltitude, s.fixQuality, s.fixMode, s.satellitesUsed,
        static_cast<double>(s.hdop), static_cast<double>(s.pdop), static_cast<double>(s.speedKmh),
        static_cast<double>(s.courseDeg), s.inViewTotal, s.usedTotal);
    if (n > 0) out.write(line, std::min<int>(n, sizeof line - 1));
}

// "auto" leaves the choice to the data.
bool ParseProtocol(std::string_view text, LogProtocol& protocol)
{
    static constexpr std::pair<std::string_view, LogProtocol> kNames[] = {
        {"auto", LogProtocol::Unknown},
        {"nmea", LogProtocol::Nmea},
        {"ubx", LogProtocol::Ubx},
        {"sbf", LogProtocol::Sbf},
        {"gsof", LogProtocol::Gsof}};
    for (const auto& [name, value] : kNames) {
        if (text == name) {
            protocol = value;
            return true;
        }
    }
    return false;
}

bool ParseBlockSize(std::string_view text, std::size_t& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && value >= 1 &&
           value <= kMaxBlock;
}

}  // namespace

bool DecodeLog(std::istream& file, std::size_t block, LogProtocol forced,
               const std::function<void(const GnssReceiverState&)>& onEpoch,
               LogDecodeSummary& summary)
{
    summary = LogDecodeSummary();
    CEpochCollector collector(onEpoch);
    if (forced != LogProtocol::Unknown) collector.CreateParser(forced);
    CProtocolDetector detector;
    std::vector<std::uint8_t> buffer;
    for (;;) {
        const std::size_t carried = buffer.size();
        buffer.resize(carried + block);
        file.read(reinterpret_cast<char*>(buffer.data() + carried),
                  static_cast<std::streamsize>(block));
        const auto got = static_cast<std::size_t>(file.gcount());
        buffer.resize(carried + got);
        const bool atEnd = got == 0;
        summary.bytes += got;
        if (!collector.HasParser()) {
            // Everything read so far stays until the decoder is chosen, then it gets it all.
            const LogProtocol protocol =
                detector.Scan(buffer, atEnd || buffer.size() >= kDetectLimit);
            if (protocol == LogProtocol::Unknown) continue;
            collector.CreateParser(protocol);
        } else if (atEnd) {
            break;
        }
        const std::size_t done = DecodeMessages(collector.Parser(), buffer);
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(done));
        collector.Parser().ClearErrorLog();
        if (atEnd) break;
    }
    if (file.bad()) return false;
    if (collector.HasParser()) {
        collector.Flush();
        summary.checksumErrors = collector.Parser().ErrorCount();
    }
    summary.epochs = collector.Epochs();
    return true;
}

int RunDecode(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    std::string path;
    std::size_t block = kDefaultDecodeBlock;
    LogProtocol forced = LogProtocol::Unknown;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--protocol") {
            if (i + 1 >= args.size() || !ParseProtocol(args[i + 1], forced)) {
                err << "skarnet2-tool decode: --protocol must be auto, nmea, ubx, sbf or gsof\n";
                return 2;
            }
            ++i;
        } else if (args[i] == "--block") {
            if (i + 1 >= args.size() || !ParseBlockSize(args[i + 1], block)) {
                err << "skarnet2-tool decode: --block needs a byte count from 1 to " << kMaxBlock
                    << "\n";
                return 2;
            }
            ++i;
        } else if (!args[i].empty() && args[i][0] == '-') {
            err << "skarnet2-tool decode: unknown option '" << args[i] << "'\n";
            return 2;
        } else if (path.empty()) {
            path = args[i];
        } else {
            err << "skarnet2-tool decode: only one log file can be decoded at a time\n";
            return 2;
        }
    }
    if (path.empty()) {
        err << "skarnet2-tool decode: no log file given\n";
        return 2;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        err << "skarnet2-tool decode: cannot open '" << path << "'\n";
        return 1;
    }

    out << "time,latitude,longitude,ellipsoid_height,msl_altitude,fix_quality,fix_mode,"
           "satellites_used,hdop,pdop,speed_kmh,course,in_view_total,used_total\n";
    LogDecodeSummary summary;
    if (!DecodeLog(
            file, block, forced, [&out](const GnssReceiverState& s) { PrintEpoch(out, s); },
            summary)) {
        err << "skarnet2-tool decode: read error on '" << path << "'\n";
        return 1;
    }
    out << "# epochs " << summary.epochs << ", bytes " << summary.bytes << ", checksum errors "
        << summary.checksumErrors << "\n";
    return out ? 0 : 1;
}
