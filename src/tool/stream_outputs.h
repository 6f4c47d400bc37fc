#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Where the stream goes; nothing in it blocks.
class CServeOutput {
public:
    virtual ~CServeOutput() = default;
    virtual bool HasReader() = 0;
    virtual void Send(std::span<const std::uint8_t> epoch) = 0;
    // Waits up to timeout for the descriptors and serves them.
    virtual void Serve(std::chrono::milliseconds timeout) = 0;
    // Whether everything sent has reached the readers (or they left).
    virtual bool Delivered() = 0;
    // Bytes the slowest reader has not taken yet.
    virtual std::size_t Backlog() = 0;
};

// A TCP server on 127.0.0.1:PORT (0: any free port) handing every client the same stream, or
// a raw pseudo-terminal whose slave the symbolic link LINK names; exactly one is given. Says
// where it serves on err ("listening on 127.0.0.1:PORT", "serving on LINK -> /dev/pts/N"), or
// why it cannot (after prefix), and returns nothing then.
std::unique_ptr<CServeOutput> OpenStreamOutput(std::optional<std::uint16_t> tcpPort,
                                               const std::optional<std::string>& ptyLink,
                                               std::string_view prefix, std::ostream& err);
