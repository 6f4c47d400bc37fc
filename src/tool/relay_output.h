#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tool/stream_outputs.h"

// A local stand-in for the relay server, for trying the viewer's relay mode against a log.
struct RelayOptions {
    std::uint16_t port = 0;
    std::optional<std::uint16_t> deviceChannelPort;
    std::vector<std::string> devices{"SKN0001"};
    std::optional<std::string> foreignDevice;
    // Created empty at the start; every viewer's corrections are appended as they come.
    std::optional<std::string> correctionsPath;
};

// Viewers on 127.0.0.1:PORT introduce themselves ("CONNECT_TO VIEWER:..."), get CONNECTED,
// LOGINED with the devices, or FAILED_BELONG_TO_OTHER for the foreign device, and then the
// stream as a TCP client gets it. Their ALIVE lines are answered; every other byte they send
// counts as corrections. The optional device channel answers checked VS003 requests for the
// devices with VS002 frames. Says where it listens on err ("relay listening on
// 127.0.0.1:PORT", "device channel listening on 127.0.0.1:PORT"), and once per viewer that
// leaves or is still there at the end "viewer ID LOGIN|- corrections N bytes, alive K".
// Nothing when it cannot start, with the reason after prefix.
std::unique_ptr<CServeOutput> OpenRelayOutput(const RelayOptions& options, std::string_view prefix,
                                              std::ostream& err);
