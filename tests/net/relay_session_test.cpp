#include "net/relay_session.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using relay::CViewerSession;
using Kind = CViewerSession::Arrival::Kind;
using Ticks = CViewerSession::Ticks;

std::span<const std::uint8_t> Bytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A server's reply in the pieces the network handed it over: what the viewer makes of the
// last piece, and how much of that piece was the reply.
TEST(RelaySession, RepliesInPieces)
{
    const struct {
        std::vector<std::string_view> pieces;
        Kind kind;
        std::size_t skip;
        CViewerSession::State state;
    } cases[] = {
        {{"CONNECTED\r\n$GPGGA"}, Kind::Accepted, 11, CViewerSession::State::Streaming},
        {{"CONN", "ECTED\r\n$GP"}, Kind::Accepted, 7, CViewerSession::State::Streaming},
        {{"AL", "IVE\r", "\n$GP"}, Kind::Accepted, 1, CViewerSession::State::Streaming},
        {{"LOGINED kim A;B\r\n"}, Kind::Accepted, 17, CViewerSession::State::Streaming},
        {{"LOGINED kim"}, Kind::Accepted, 11, CViewerSession::State::Streaming},
        {{"CONN"}, Kind::Waiting, 0, CViewerSession::State::Handshake},
        // The longest reply but one byte, still waiting for its end.
        {{"FAILED_BELONG_TO_OTHE", "R\r\n"}, Kind::Refused, 0, CViewerSession::State::Refused},
        {{"CONX"}, Kind::Refused, 0, CViewerSession::State::Refused},
        {{"$GPGGA,1"}, Kind::Refused, 0, CViewerSession::State::Refused},
    };
    for (const auto& c : cases) {
        CViewerSession session;
        session.Connected(Ticks{0});
        CViewerSession::Arrival arrival;
        for (const std::string_view piece : c.pieces) arrival = session.OnBlock(Bytes(piece));
        const std::string label(c.pieces.front());
        EXPECT_EQ(arrival.kind, c.kind) << label;
        EXPECT_EQ(session.GetState(), c.state) << label;
        if (c.kind != Kind::Accepted) continue;
        EXPECT_EQ(arrival.skip, c.skip) << label;
        // Once streaming, everything is the receiver's, even text that looks like a reply.
        EXPECT_EQ(session.OnBlock(Bytes("FAILED")).kind, Kind::Data) << label;
    }
}

// Keep-alive every period, pushed back by each send; the handshake deadline is two periods
// from the connection whatever is sent in between.
TEST(RelaySession, KeepAliveAndHandshakeDeadline)
{
    CViewerSession session(Ticks{100});
    EXPECT_FALSE(session.NextDeadline().has_value());
    session.Connected(Ticks{1000});
    EXPECT_EQ(session.NextDeadline(), Ticks{1100});
    EXPECT_FALSE(session.Tick(Ticks{1099}).sendAlive);
    EXPECT_TRUE(session.Tick(Ticks{1100}).sendAlive);
    session.Sent(Ticks{1150});
    EXPECT_EQ(session.NextDeadline(), Ticks{1200});  // the handshake's
    const auto due = session.Tick(Ticks{1200});
    EXPECT_TRUE(due.timedOut);
    EXPECT_FALSE(due.sendAlive);
    EXPECT_EQ(session.GetState(), CViewerSession::State::TimedOut);
    EXPECT_FALSE(session.NextDeadline().has_value());
    EXPECT_EQ(session.AlivesSent(), 1u);

    // Accepted in time: no timeout, the keep-alive goes on.
    session.Connected(Ticks{0});
    ASSERT_EQ(session.OnBlock(Bytes("CONNECTED")).kind, Kind::Accepted);
    for (int t = 0; t <= 1000; t += 10) EXPECT_FALSE(session.Tick(Ticks{t}).timedOut);
    EXPECT_EQ(session.AlivesSent(), 11u);
    EXPECT_EQ(session.GetState(), CViewerSession::State::Streaming);
    session.Close();
    EXPECT_FALSE(session.Tick(Ticks{5000}).sendAlive);
    session.Sent(Ticks{5000});  // a send after the close keeps nothing alive
    EXPECT_FALSE(session.NextDeadline().has_value());
}

}  // namespace
