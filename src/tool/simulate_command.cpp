#include "tool/simulate_command.h"

#include <charconv>
#include <cstdint>
#include <ostream>
#include <string>

#include "tool/receiver_simulator.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool simulate: ";

// Whole text must be a number; from_chars keeps this independent of the locale.
bool ParseDouble(std::string_view text, double& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParseUnsigned(std::string_view text, std::uint32_t& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, 10);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParseStart(std::string_view text, std::int32_t& hhmmss)
{
    if (text.size() != 6) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const auto pair = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    if (pair(0) >= 24 || pair(2) >= 60 || pair(4) >= 60) return false;
    hhmmss = pair(0) * 10000 + pair(2) * 100 + pair(4);
    return true;
}

// One line: the message, then the offending text in quotes when there is one.
int Fail(std::ostream& err, std::string_view message, std::string_view quoted = {},
         std::string_view after = {})
{
    err << kPrefix << message;
    if (quoted.data()) err << '\'' << quoted << '\'';
    err << after << '\n';
    return 2;
}

}  // namespace

int RunSimulate(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    SimulatorOptions options;
    SimulatedProtocol protocol = SimulatedProtocol::Nmea;
    bool haveLat = false;
    bool haveLon = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        const bool known = name == "--rate" || name == "--seconds" || name == "--start" ||
                           name == "--lat" || name == "--lon" || name == "--seed" ||
                           name == "--protocol";
        if (!known) return Fail(err, "unknown argument ", name);
        if (i + 1 >= args.size()) return Fail(err, name, {}, " needs a value");
        const std::string_view value = args[++i];

        // "!(x > a)" style comparisons also turn away NaN.
        double number = 0.0;
        if (name == "--rate") {
            if (!ParseDouble(value, number) || !(number > 0.0) || !(number <= 100.0)) {
                return Fail(err, "--rate must be a number above 0 and at most 100, not ", value);
            }
            options.rateHz = number;
        } else if (name == "--seconds") {
            if (!ParseDouble(value, number) || !(number > 0.0) || !(number <= 7.0 * 86400.0)) {
                return Fail(err,
                            "--seconds must be a number above 0 and at most 604800 (7 days), "
                            "not ",
                            value);
            }
            options.seconds = number;
        } else if (name == "--start") {
            if (!ParseStart(value, options.startHhmmss)) {
                return Fail(err, "--start must be a valid time as six digits HHMMSS, not ", value);
            }
        } else if (name == "--lat") {
            if (!ParseDouble(value, number) || !(number >= -90.0) || !(number <= 90.0)) {
                return Fail(err, "--lat must be a number from -90 to 90, not ", value);
            }
            options.latitudeDeg = number;
            haveLat = true;
        } else if (name == "--lon") {
            if (!ParseDouble(value, number) || !(number >= -180.0) || !(number <= 180.0)) {
                return Fail(err, "--lon must be a number from -180 to 180, not ", value);
            }
            options.longitudeDeg = number;
            haveLon = true;
        } else if (name == "--protocol") {
            const auto named = ProtocolNamed(value);
            if (!named) {
                return Fail(err, "--protocol must be nmea, ubx, sbf, gsof or mixed, not ", value);
            }
            protocol = *named;
        } else {
            if (!ParseUnsigned(value, options.seed)) {
                return Fail(err, "--seed must be a whole number from 0 to 4294967295, not ", value);
            }
        }
    }
    if (haveLat != haveLon) return Fail(err, "--lat and --lon must be given together");

    CReceiverSimulator simulator(options, protocol);
    std::string epoch;
    while (simulator.NextEpoch(epoch)) {
        out.write(epoch.data(), static_cast<std::streamsize>(epoch.size()));
        epoch.clear();
        // Nobody is reading any more (closed pipe, full disk): stop instead of simulating on.
        if (!out) {
            err << kPrefix << "could not write the output\n";
            return 1;
        }
    }
    out.flush();
    return 0;
}
