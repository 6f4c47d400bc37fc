#include "tool/decode_command.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "intake/intake_dispatcher.h"
#include "intake/intake_listener.h"
#include "tool/tool_text.h"

namespace {

constexpr std::size_t kMaxBlock = std::size_t{64} << 20;
constexpr std::string_view kPrefix = "skarnet2-tool decode: ";

// Takes what the window's views would: each shown epoch, and the decoders' error lines.
class CEpochListener final : public IIntakeListener {
public:
    explicit CEpochListener(const std::function<void(const GnssReceiverState&)>& onEpoch)
        : onEpoch_(onEpoch)
    {
    }

    bool OnRefreshViews(GnssReceiverState& snapshot) override
    {
        onEpoch_(snapshot);
        ++epochs;
        return snapshot.Has(ContentFlag::Position);
    }
    void OnRawLine(std::string_view, bool) override {}
    void OnErrorLine(std::string_view) override { ++errorLines; }

    std::uint64_t epochs = 0;
    std::uint64_t errorLines = 0;

private:
    const std::function<void(const GnssReceiverState&)>& onEpoch_;
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

bool ParseBlockSize(std::string_view text, std::size_t& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && value >= 1 &&
           value <= kMaxBlock;
}

struct DecodeArgs {
    std::string path;
    std::size_t block = kDefaultDecodeBlock;
    IntakeChoice choice;
};

// One option at args[i]; false with a message on err when it is wrong.
bool ParseOption(std::span<const std::string_view> args, std::size_t& i, DecodeArgs& parsed,
                 std::ostream& err)
{
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    const std::string_view value = hasValue ? args[i + 1] : "";
    if (arg == "--protocol") {
        if (!hasValue || !ParseForcedProtocol(value, parsed.choice.forced)) {
            err << kPrefix << "--protocol must be auto, nmea, ubx, sbf or gsof\n";
            return false;
        }
    } else if (arg == "--sync") {
        const auto sync = ParseSyncProtocol(value);
        if (!sync) {
            err << kPrefix << "--sync must be auto or non-nmea\n";
            return false;
        }
        parsed.choice.syncProtocol = *sync;
    } else if (arg == "--block") {
        if (!hasValue || !ParseBlockSize(value, parsed.block)) {
            err << kPrefix << "--block needs a byte count from 1 to " << kMaxBlock << "\n";
            return false;
        }
    } else {
        err << kPrefix << "unknown option '" << arg << "'\n";
        return false;
    }
    ++i;
    return true;
}

}  // namespace

bool DecodeLog(std::istream& file, std::size_t block, const IntakeChoice& choice,
               const std::function<void(const GnssReceiverState&)>& onEpoch,
               LogDecodeSummary& summary)
{
    summary = LogDecodeSummary();
    CEpochListener listener(onEpoch);
    CIntakeDispatcher intake(listener);
    choice.ApplyTo(intake);
    std::vector<std::uint8_t> buffer(block);
    for (;;) {
        file.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(block));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0) break;
        summary.bytes += got;
        intake.Arrive(std::span<const std::uint8_t>(buffer).first(got));
    }
    if (file.bad()) return false;
    intake.IdleFlush();
    summary.epochs = listener.epochs;
    summary.checksumErrors = listener.errorLines;
    return true;
}

int RunDecode(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    DecodeArgs parsed;
    if (!ParseLogArguments(args, parsed.path, kPrefix, "decoded", err,
                           [&](std::size_t& i) { return ParseOption(args, i, parsed, err); }))
        return 2;
    std::ifstream file(parsed.path, std::ios::binary);
    if (!file) {
        err << kPrefix << "cannot open '" << parsed.path << "'\n";
        return 1;
    }

    out << "time,latitude,longitude,ellipsoid_height,msl_altitude,fix_quality,fix_mode,"
           "satellites_used,hdop,pdop,speed_kmh,course,in_view_total,used_total\n";
    LogDecodeSummary summary;
    if (!DecodeLog(
            file, parsed.block, parsed.choice,
            [&out](const GnssReceiverState& s) { PrintEpoch(out, s); }, summary)) {
        err << kPrefix << "read error on '" << parsed.path << "'\n";
        return 1;
    }
    out << "# epochs " << summary.epochs << ", bytes " << summary.bytes << ", checksum errors "
        << summary.checksumErrors << "\n";
    return out ? 0 : 1;
}
