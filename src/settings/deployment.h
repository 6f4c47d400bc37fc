#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Values that depend on where the program is deployed rather than on how it works: the
// casters offered in the NTRIP page, the relay server, the map page and the host probed to
// tell whether the internet is reachable. Change them here only.
namespace deployment {

// The NTRIP page offers these two casters; the first is the store's default host.
inline constexpr std::array<std::string_view, 2> kNtripCasterHosts{"rts1.ngii.go.kr",
                                                                   "rts2.ngii.go.kr"};
inline constexpr std::string_view kNtripCasterHost = kNtripCasterHosts[0];
// Port chosen when a listed caster host is picked.
inline constexpr std::int32_t kNtripListedCasterPort = 2101;

// The relay server runs beside the program unless the operator points elsewhere.
inline constexpr std::string_view kRelayServerHost = "127.0.0.1";
inline constexpr std::int32_t kRelayServerPort = 3500;
inline constexpr std::int32_t kRelayDeviceListPort = 3501;

// Map tiles, until the operator names another server; its attribution is shown on the map.
inline constexpr std::string_view kMapTileUrl = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";

// Reachability probe for the internet flag of the status bar.
inline constexpr std::string_view kInternetProbeHost = "www.google.com";
inline constexpr std::int32_t kInternetProbePort = 443;

}  // namespace deployment
