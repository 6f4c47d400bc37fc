#include "tool/geoid_command.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>
#include <string_view>
#include <system_error>

#include "geo/geoid_grid.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool geoid: ";

// Whole text must be a finite number; from_chars keeps this independent of the locale.
std::optional<double> ParseDegrees(std::string_view text)
{
    double value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;  // from_chars takes no leading plus sign
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc{} || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

int RunGeoid(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 2) {
        err << kPrefix << "expected LAT LON in degrees\n";
        return 2;
    }
    const auto lat = ParseDegrees(args[0]);
    const auto lon = ParseDegrees(args[1]);
    if (!lat || !lon) {
        err << kPrefix << "'" << (lat ? args[1] : args[0]) << "' is not a number of degrees\n";
        return 2;
    }
    if (std::abs(*lat) > 90 || std::abs(*lon) > 180) {
        err << kPrefix << "latitude must lie within ±90 and longitude within ±180 degrees\n";
        return 2;
    }
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, GeoidHeight(*lat, *lon),
                                         std::chars_format::fixed, 3);
    out << std::string_view(text, ec == std::errc{} ? end : text) << "\n";
    return 0;
}
