#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/chunked_decoder.h"

// What a caster answered.
enum class NtripReplyKind {
    Pending,       // the status line has not arrived yet
    Stream,        // "ICY 200 OK" or an HTTP 200: corrections follow
    SourceTable,   // "SOURCETABLE 200 OK", or an HTTP 200 with a gnss/sourcetable body
    Unauthorized,  // 401
    Refused,       // any other answer, or no answer that reads as one
};

// Reads a caster's reply in arbitrary pieces: the status line and headers (NTRIP 1 and 2,
// HTTP/1.x), then hands on only the body, undoing chunked transfer coding. The reply header
// never reaches the body, so it is never forwarded to a receiver.
class CNtripReplyReader {
public:
    static constexpr std::size_t kMaxHeader = 8192;
    // What a refusal keeps for the operator's message.
    static constexpr std::size_t kMaxKeptReply = 4096;
    static constexpr std::size_t kMaxReplyText = 240;

    // Appends the body bytes in 'bytes' (corrections, or the source table's text) to out.
    void Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

    NtripReplyKind Kind() const { return kind_; }
    bool HeaderDone() const { return state_ == State::Body || state_ == State::Closed; }
    bool Chunked() const { return chunked_; }
    // The coding of a chunked body broke: what follows is not to be trusted as corrections.
    bool BodyBroken() const { return chunkedDecoder_.Broken(); }
    std::string_view StatusLine() const { return statusLine_; }
    // The reply as an operator may read it: printable text only, at most kMaxReplyText
    // characters.
    std::string ReplyText() const;

private:
    enum class State { StatusLine, Headers, AfterIcy, Body, Closed };

    void TakeStatusLine();
    void TakeHeaderLine(std::string_view line);
    void HeaderByte(std::uint8_t byte);
    void Body(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

    State state_ = State::StatusLine;
    NtripReplyKind kind_ = NtripReplyKind::Pending;
    std::string header_;  // everything up to the body, for the reply text
    std::string line_;
    std::string statusLine_;
    bool chunked_ = false;
    bool icyCarriageReturn_ = false;
    CChunkedDecoder chunkedDecoder_;
};
