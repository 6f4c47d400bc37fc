#include "tool/convert_command.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "geo/coord_converter.h"
#include "geo/coord_system_table.h"
#include "geo/dms.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool convert: ";

std::optional<int> ParseRow(std::string_view text)
{
    int row = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), row);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (FindCoordSystem(row) == nullptr) return std::nullopt;
    return row;
}

std::optional<double> ParseNumber(std::string_view text, bool degrees)
{
    double value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars takes no leading plus sign.
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc{} && end == last && std::isfinite(value)) return value;
    if (degrees) {
        if (const auto dms = ParseDms(text); dms && std::isfinite(*dms)) return dms;
    }
    return std::nullopt;
}

// to_chars keeps the decimal point whatever the locale.
std::string Fixed(double value, int decimals)
{
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return ec == std::errc{} ? std::string(text, end) : std::string("nan");
}

std::string DmsText(double value)
{
    int degrees = 0;
    int minutes = 0;
    double seconds = 0;
    if (!ToDms(value, degrees, minutes, seconds)) return "-";
    // Truncation gives every part the sign; the text carries it once.
    std::string text = value < 0 ? "-" : "";
    return text + std::to_string(std::abs(degrees)) + "도 " + std::to_string(std::abs(minutes)) +
           "분 " + Fixed(std::abs(seconds), 4) + "초";
}

}  // namespace

int RunConvert(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    std::optional<int> from;
    std::optional<int> to;
    std::string_view values[2];
    std::size_t valueCount = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--from" || arg == "--to") {
            std::optional<int>& row = arg == "--from" ? from : to;
            if (i + 1 >= args.size() || !(row = ParseRow(args[i + 1]))) {
                err << kPrefix << arg << " needs a table row from 0 to " << kCoordSystemCount - 1
                    << "\n";
                return 2;
            }
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            err << kPrefix << "unknown option '" << arg << "'\n";
            return 2;
        } else if (valueCount < 2) {
            values[valueCount++] = arg;
        } else {
            err << kPrefix << "only two coordinate values can be converted at a time\n";
            return 2;
        }
    }
    if (!from || !to) {
        err << kPrefix << "both --from and --to rows are needed\n";
        return 2;
    }
    if (valueCount != 2) {
        err << kPrefix << "two coordinate values are needed\n";
        return 2;
    }
    const bool sourceGeographic = FindCoordSystem(*from)->kind == ProjectionKind::kGeographic;
    double input[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        const auto value = ParseNumber(values[k], sourceGeographic);
        if (!value) {
            err << kPrefix << "'" << values[k] << "' is not a "
                << (sourceGeographic ? "longitude/latitude in degrees" : "grid value in metres")
                << "\n";
            return 2;
        }
        input[k] = *value;
    }
    if (sourceGeographic && (std::abs(input[0]) > 180.0 || std::abs(input[1]) > 90.0)) {
        err << kPrefix << "longitude must lie within ±180 and latitude within ±90 degrees\n";
        return 2;
    }

    const CoordConverter converter(*from, *to);
    double out1 = 0;
    double out2 = 0;
    if (const auto status = converter.Convert(input[0], input[1], out1, out2); !status.Ok()) {
        err << kPrefix << status.error << "\n";
        return 1;
    }
    if (!std::isfinite(out1) || !std::isfinite(out2)) {
        err << kPrefix << "the point has no finite image in row " << *to << "\n";
        return 1;
    }
    if (FindCoordSystem(*to)->kind == ProjectionKind::kGeographic) {
        out << "longitude " << Fixed(out1, 9) << " (" << DmsText(out1) << ")\n"
            << "latitude " << Fixed(out2, 9) << " (" << DmsText(out2) << ")\n";
    } else {
        out << "easting " << Fixed(out1, 4) << "\nnorthing " << Fixed(out2, 4) << "\n";
    }
    return out ? 0 : 1;
}
