#include "tool/tool_text.h"

#include <charconv>
#include <cmath>
#include <ostream>

std::optional<double> ParseDouble(std::string_view text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool ParseReference(std::string_view text, double& latitude, double& longitude)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    const auto lat = ParseDouble(text.substr(0, comma));
    const auto lon = ParseDouble(text.substr(comma + 1));
    if (!lat || !lon || std::abs(*lat) > 90.0 || std::abs(*lon) > 180.0) return false;
    latitude = *lat;
    longitude = *lon;
    return true;
}

// to_chars keeps the decimal point whatever the locale.
std::string Fixed(double value, int decimals)
{
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return ec == std::errc{} ? std::string(text, end) : std::string("nan");
}

bool ParseLogArguments(std::span<const std::string_view> args, std::string& path,
                       std::string_view prefix, std::string_view verb, std::ostream& err,
                       const std::function<bool(std::size_t& i)>& option)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!args[i].empty() && args[i][0] == '-') {
            if (!option(i)) return false;
        } else if (path.empty()) {
            path = args[i];
        } else {
            err << prefix << "only one log file can be " << verb << " at a time\n";
            return false;
        }
    }
    if (path.empty()) {
        err << prefix << "no log file given\n";
        return false;
    }
    return true;
}
