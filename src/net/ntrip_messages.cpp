#include "net/ntrip_messages.h"

#include <cmath>
#include <cstdio>

#include "decode/gnss_receiver_state.h"

namespace {

constexpr std::int32_t kFixQualitySimulation = 9;
constexpr std::int32_t kFixQualityGps = 1;

// Degrees to NMEA's (d)ddmm.mmmm, without sign.
double NmeaDegreesMinutes(double degrees)
{
    const double magnitude = std::fabs(degrees);
    const double whole = std::floor(magnitude);
    return whole * 100.0 + (magnitude - whole) * 60.0;
}

}  // namespace

std::string BuildNtripRequest(std::string_view mountPoint, std::string_view basicCredentials,
                              const NtripRequestOptions& options)
{
    std::string request = "GET /";
    request.append(mountPoint);
    if (options.version == 2) {
        request += " HTTP/1.1\r\nHost: ";
        request += options.host;
        if (options.port != 0) request += ":" + std::to_string(options.port);
        request += "\r\nNtrip-Version: Ntrip/2.0";
    } else {
        request += " HTTP/1.0";
    }
    request += "\r\nUser-Agent: NTRIP Velmora\r\nAuthorization: Basic ";
    request.append(basicCredentials);
    if (options.version == 2) request += "\r\nConnection: close";
    request += "\r\n\r\n";
    return request;
}

std::optional<std::string> BuildNtripGga(const GnssReceiverState& s)
{
    // Degrees are zero-padded to NMEA's ddmm / dddmm: without it a longitude under 100 or a
    // latitude under 10 degrees reads as another place.
    if (!std::isfinite(s.latitudeDeg) || !std::isfinite(s.longitudeDeg)) return std::nullopt;
    const double latitude = NmeaDegreesMinutes(s.latitudeDeg);
    const double longitude = NmeaDegreesMinutes(s.longitudeDeg);
    if (latitude == 0.0 || longitude == 0.0 || s.fixQuality == 0) return std::nullopt;
    const std::int32_t quality =
        s.fixQuality == kFixQualitySimulation ? kFixQualityGps : s.fixQuality;
    char body[192];
    const int n = std::snprintf(
        body, sizeof body, "GPGGA,%s,%012.7f,%c,%013.7f,%c,%d,%02d,%.1f,%.3f,M,%.3f,M,,",
        s.timeText.substr(0, 16).c_str(), latitude, s.latitudeDeg > 0 ? 'N' : 'S', longitude,
        s.longitudeDeg > 0 ? 'E' : 'W', quality, s.satellitesUsed, static_cast<double>(s.hdop),
        s.mslAltitude, s.geoidSeparation);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof body) return std::nullopt;
    std::uint8_t sum = 0;
    for (int i = 0; i < n; ++i) sum ^= static_cast<std::uint8_t>(body[i]);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + std::string(body, static_cast<std::size_t>(n)) + tail;
}

bool MountPointWantsGga(std::string_view mountPoint)
{
    return mountPoint.find("SSR") == std::string_view::npos;
}
