#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct GnssReceiverState;

// What the client sends a caster: the request for a mount point and the rover's position.

struct NtripRequestOptions {
    int version = 1;   // 2: HTTP/1.1 with "Ntrip-Version: Ntrip/2.0" and "Host"
    std::string host;  // for version 2's Host line
    std::uint16_t port = 0;
};

// "GET /MOUNT HTTP/1.0", the user agent and Basic authorisation with the Base64 text of
// "identity:password" (encoded by the caller), ended by an empty line.
std::string BuildNtripRequest(std::string_view mountPoint, std::string_view basicCredentials,
                              const NtripRequestOptions& options = {});

// The GGA sentence the caster gets at each epoch, with its checksum and CR LF; nothing when
// the position or the fix is missing (a converted latitude or longitude of 0, fix quality 0).
// Fix quality 9 goes out as 1.
std::optional<std::string> BuildNtripGga(const GnssReceiverState& state);

// Mount points whose name holds "SSR" carry state-space corrections and get no GGA.
bool MountPointWantsGga(std::string_view mountPoint);
