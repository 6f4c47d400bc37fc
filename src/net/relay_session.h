#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "net/relay_protocol.h"

namespace relay {

// The viewer's side of one connection to the relay server: the handshake, the keep-alive and
// the handshake deadline. Time comes in as ticks from any steady clock; the owner sends what
// it is told and wakes the session at NextDeadline().
class CViewerSession {
public:
    using Ticks = std::chrono::milliseconds;
    static constexpr Ticks kAlivePeriod{10000};

    enum class State { Closed, Handshake, Streaming, Refused, TimedOut };

    struct Arrival {
        enum class Kind {
            Data,      // receiver bytes, all of them
            Waiting,   // the start of a reply; nothing to pass on yet
            Accepted,  // the reply took the first `skip` bytes; the rest is receiver data
            Refused,   // the server said no: close the link
        };
        Kind kind = Kind::Data;
        std::size_t skip = 0;
        Reply reply;
    };

    struct Due {
        bool sendAlive = false;
        bool timedOut = false;  // no accepted reply in time: close the link
    };

    explicit CViewerSession(Ticks alivePeriod = kAlivePeriod) : period_(alivePeriod) {}

    // The link is up and the introduction went out: wait for the reply, keep the link alive.
    void Connected(Ticks now);
    // A block from the server.
    Arrival OnBlock(std::span<const std::uint8_t> block);
    // Bytes went out (corrections): the keep-alive period starts again.
    void Sent(Ticks now);
    Due Tick(Ticks now);
    // When Tick has something to do next; nothing while closed.
    std::optional<Ticks> NextDeadline() const;
    void Close();

    State GetState() const { return state_; }
    bool HandshakePending() const { return state_ == State::Handshake; }
    std::uint64_t AlivesSent() const { return alives_; }

private:
    Ticks period_;
    State state_ = State::Closed;
    std::optional<Ticks> aliveDue_;
    std::optional<Ticks> handshakeDue_;
    std::string partial_;  // a reply cut short by the network
    std::uint64_t alives_ = 0;
};

}  // namespace relay
