#include "tool/stats_command.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "geo/position_statistics.h"
#include "tool/decode_command.h"
#include "tool/tool_text.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool stats: ";
constexpr double kDefaultRefLatitude = 37.473125;
constexpr double kDefaultRefLongitude = 126.881210;

constexpr std::string_view kReferenceNames[] = {"average point", "reference station",
                                                "previous epoch", "arbitrary point"};

}  // namespace

int RunStats(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    std::string path;
    int errorBase = 0;
    bool hasRef = false;
    double refLatitude = kDefaultRefLatitude;
    double refLongitude = kDefaultRefLongitude;
    IntakeChoice choice;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--error-base") {
            const std::string_view text = i + 1 < args.size() ? args[i + 1] : "";
            if (text.size() != 1 || text[0] < '0' || text[0] > '3') {
                err << kPrefix << "--error-base must be 0, 1, 2 or 3\n";
                return 2;
            }
            errorBase = text[0] - '0';
            ++i;
        } else if (args[i] == "--ref") {
            if (i + 1 >= args.size() || !ParseReference(args[i + 1], refLatitude, refLongitude)) {
                err << kPrefix << "--ref needs LAT,LON in degrees\n";
                return 2;
            }
            hasRef = true;
            ++i;
        } else if (args[i] == "--sync") {
            const auto sync = ParseSyncProtocol(i + 1 < args.size() ? args[i + 1] : "");
            if (!sync) {
                err << kPrefix << "--sync must be auto or non-nmea\n";
                return 2;
            }
            choice.syncProtocol = *sync;
            ++i;
        } else if (!args[i].empty() && args[i][0] == '-') {
            err << kPrefix << "unknown option '" << args[i] << "'\n";
            return 2;
        } else if (path.empty()) {
            path = args[i];
        } else {
            err << kPrefix << "only one log file can be analysed at a time\n";
            return 2;
        }
    }
    if (path.empty()) {
        err << kPrefix << "no log file given\n";
        return 2;
    }
    if (errorBase == 1 && !hasRef) {
        err << kPrefix
            << "--error-base 1 needs --ref LAT,LON: there is no reference station table yet\n";
        return 2;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        err << kPrefix << "cannot open '" << path << "'\n";
        return 1;
    }

    CReplayStatistics statistics;
    LogDecodeSummary summary;
    const auto add = [&statistics](const GnssReceiverState& s) {
        // A receiver that sends no MSL altitude still has its ellipsoid height.
        const double altitude = s.mslAltitude != 0.0 ? s.mslAltitude : s.ellipsoidHeight;
        statistics.AddEpoch(s.latitudeDeg, s.longitudeDeg, static_cast<float>(altitude),
                            static_cast<std::int64_t>(s.timeOfDayMs),
                            static_cast<std::uint32_t>(s.fixQuality));
    };
    if (!DecodeLog(file, kDefaultDecodeBlock, choice, add, summary)) {
        err << kPrefix << "read error on '" << path << "'\n";
        return 1;
    }
    statistics.Average();
    const auto results = statistics.Compute(errorBase, refLatitude, refLongitude);
    if (!results) {
        err << kPrefix << "error base " << errorBase << " is not supported\n";
        return 2;
    }

    out << "decoded epochs " << summary.epochs << "\n"
        << "epochs " << statistics.EpochCount() << "\n"
        << "horizontal epochs " << statistics.HorizontalCount() << "\n"
        << "vertical epochs " << statistics.VerticalCount() << "\n"
        << "average latitude " << Fixed(statistics.AverageLatitude(), 9) << "\n"
        << "average longitude " << Fixed(statistics.AverageLongitude(), 9) << "\n"
        << "average altitude " << Fixed(statistics.AverageAltitude(), 3) << "\n"
        << "error base " << errorBase << " (" << kReferenceNames[errorBase];
    if (errorBase == 1 || errorBase == 3) {
        out << " " << Fixed(refLatitude, 9) << "," << Fixed(refLongitude, 9);
    }
    if (errorBase == 1) out << " from --ref: no station table yet";
    out << ")\n"
        << "horizontal rms " << Fixed(results->horizontalRms, 3) << "\n"
        << "vertical rms " << Fixed(results->verticalRms, 3) << "\n"
        << "horizontal cep " << Fixed(results->horizontalCep, 3) << "\n"
        << "vertical cep " << Fixed(results->verticalCep, 3) << "\n";
    return out ? 0 : 1;
}
