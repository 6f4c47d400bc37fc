#include "net/relay_session.h"

#include <array>
#include <string_view>

namespace relay {
namespace {

constexpr std::array<std::string_view, 4> kReplyWords{"ALIVE\r\n", "CONNECTED", "LOGINED",
                                                      "FAILED_BELONG_TO_OTHER"};
// A reply never needs more than this to be told apart.
constexpr std::size_t kMaxPartial = 64;

// The text so far could still grow into one of the replies.
bool StartsAReply(std::string_view text)
{
    for (const std::string_view word : kReplyWords)
        if (text.size() < word.size() && word.substr(0, text.size()) == text) return true;
    return false;
}

}  // namespace

void CViewerSession::Connected(Ticks now)
{
    state_ = State::Handshake;
    partial_.clear();
    aliveDue_ = now + period_;
    // The server gets the first keep-alive and one period more; corrections that push the
    // keep-alive back do not push this back.
    handshakeDue_ = now + 2 * period_;
}

CViewerSession::Arrival CViewerSession::OnBlock(std::span<const std::uint8_t> block)
{
    Arrival arrival;
    if (state_ != State::Handshake) return arrival;
    const std::size_t carried = partial_.size();
    partial_.append(reinterpret_cast<const char*>(block.data()), block.size());
    if (partial_.size() < kMaxPartial && StartsAReply(partial_)) {
        arrival.kind = Arrival::Kind::Waiting;
        return arrival;
    }
    const std::string_view text(partial_);
    arrival.reply = ReadReply({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    partial_.clear();
    if (arrival.reply.kind == ReplyKind::BelongsToOther ||
        arrival.reply.kind == ReplyKind::Refused) {
        arrival.kind = Arrival::Kind::Refused;
        Close();
        state_ = State::Refused;
        return arrival;
    }
    arrival.kind = Arrival::Kind::Accepted;
    arrival.skip = arrival.reply.length - carried;
    state_ = State::Streaming;
    handshakeDue_.reset();
    return arrival;
}

void CViewerSession::Sent(Ticks now)
{
    if (aliveDue_) aliveDue_ = now + period_;
}

CViewerSession::Due CViewerSession::Tick(Ticks now)
{
    Due due;
    if (handshakeDue_ && now >= *handshakeDue_) {
        handshakeDue_.reset();
        if (state_ == State::Handshake) {
            due.timedOut = true;
            Close();
            state_ = State::TimedOut;
            return due;
        }
    }
    if (aliveDue_ && now >= *aliveDue_) {
        due.sendAlive = true;
        ++alives_;
        aliveDue_ = now + period_;
    }
    return due;
}

std::optional<CViewerSession::Ticks> CViewerSession::NextDeadline() const
{
    if (aliveDue_ && handshakeDue_) return std::min(*aliveDue_, *handshakeDue_);
    return aliveDue_ ? aliveDue_ : handshakeDue_;
}

void CViewerSession::Close()
{
    state_ = State::Closed;
    aliveDue_.reset();
    handshakeDue_.reset();
    partial_.clear();
}

}  // namespace relay
