#include "tool/scan_command.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "logio/missing_check.h"
#include "logio/replay_scanner.h"
#include "tool/intake_choice.h"
#include "tool/tool_text.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool scan: ";

struct ScanArgs {
    std::string path;
    ScanSettings settings;
    bool hasRef = false;
    bool index = false;
};

// One option at args[i]; false with a message on err when it is wrong.
bool ParseOption(std::span<const std::string_view> args, std::size_t& i, ScanArgs& parsed,
                 std::ostream& err)
{
    const std::string_view arg = args[i];
    const std::string_view value = i + 1 < args.size() ? args[i + 1] : "";
    if (arg == "--error-base") {
        if (value.size() != 1 || value[0] < '0' || value[0] > '3') {
            err << kPrefix << "--error-base must be 0, 1, 2 or 3\n";
            return false;
        }
        parsed.settings.errorBase = value[0] - '0';
        ++i;
    } else if (arg == "--ref") {
        if (!ParseReference(value, parsed.settings.referenceLatitude,
                            parsed.settings.referenceLongitude)) {
            err << kPrefix << "--ref needs LAT,LON in degrees\n";
            return false;
        }
        parsed.hasRef = true;
        ++i;
    } else if (arg == "--sync") {
        const auto sync = ParseSyncProtocol(value);
        if (!sync) {
            err << kPrefix << "--sync must be auto or non-nmea\n";
            return false;
        }
        parsed.settings.syncProtocol = *sync;
        ++i;
    } else if (arg == "--check-missing") {
        parsed.settings.checkMissing = true;
    } else if (arg == "--index") {
        parsed.index = true;
    } else {
        err << kPrefix << "unknown option '" << arg << "'\n";
        return false;
    }
    return true;
}

void PrintSummary(const ScanResult& result, std::ostream& out)
{
    out << "frames: " << result.index.Size() << '\n'
        << "interval_ms: " << result.frameIntervalMs << '\n'
        << "rate: " << result.RateText() << '\n'
        << "horizontal_rms: " << Fixed(result.statistics.horizontalRms, 4) << '\n'
        << "vertical_rms: " << Fixed(result.statistics.verticalRms, 4) << '\n'
        << "horizontal_cep: " << Fixed(result.statistics.horizontalCep, 4) << '\n'
        << "vertical_cep: " << Fixed(result.statistics.verticalCep, 4) << '\n';
    for (const std::string& line : result.missingLines) out << line << '\n';
}

void PrintIndex(const CEpochIndex& index, std::ostream& out)
{
    for (std::size_t n = 0; n < index.Size(); ++n) {
        const EpochEntry e = index.At(n);
        out << FormatMissingTime(e.timeMs) << ',' << Fixed(e.latitude, 9) << ','
            << Fixed(e.longitude, 9) << ',' << Fixed(e.altitude, 3) << ',' << e.fixQuality << ','
            << e.offset << ',' << e.length << '\n';
    }
}

}  // namespace

int RunScan(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    ScanArgs parsed;
    if (!ParseLogArguments(args, parsed.path, kPrefix, "scanned", err,
                           [&](std::size_t& i) { return ParseOption(args, i, parsed, err); }))
        return 2;
    // Without a station table the station comes from --ref.
    parsed.settings.hasReferenceStation = parsed.hasRef;
    CReplayScanner scanner(parsed.settings);
    const ScanResult result = scanner.ScanFile(parsed.path);
    if (result.status != ScanStatus::Ok) {
        err << kPrefix << ScanStatusMessage(result.status, parsed.path) << '\n';
        return 1;
    }
    PrintSummary(result, out);
    if (parsed.index) PrintIndex(result.index, out);
    return 0;
}
