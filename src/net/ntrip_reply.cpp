#include "net/ntrip_reply.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == kCr))
        text.remove_suffix(1);
    return text;
}

// "HTTP/1.1 200 OK" -> 200; 0 when the line is no HTTP status line.
int HttpStatus(std::string_view line)
{
    if (!StartsWith(line, "HTTP/") || line.size() < 12 || line[8] != ' ') return 0;
    int status = 0;
    for (std::size_t i = 9; i < 12; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        status = status * 10 + (line[i] - '0');
    }
    return status;
}

}  // namespace

void CNtripReplyReader::Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out)
{
    std::size_t at = 0;
    while (at < bytes.size()) {
        switch (state_) {
            case State::StatusLine:
            case State::Headers: HeaderByte(bytes[at++]); break;
            case State::AfterIcy: {
                // Some NTRIP 1 casters end their one-line header with an empty line.
                const char c = static_cast<char>(bytes[at]);
                if (c == kCr && !icyCarriageReturn_) {
                    icyCarriageReturn_ = true;
                    ++at;
                    break;
                }
                state_ = State::Body;
                if (c == kLf) {
                    ++at;
                } else if (icyCarriageReturn_) {
                    const std::uint8_t cr = kCr;  // it was body after all
                    Body({&cr, 1}, out);
                }
                break;
            }
            case State::Body: Body(bytes.subspan(at), out); return;
            case State::Closed: {
                // A refusal: keep some of it for the operator's message.
                const std::size_t room = kMaxKeptReply - std::min(kMaxKeptReply, header_.size());
                const std::size_t n = std::min(bytes.size() - at, room);
                header_.append(reinterpret_cast<const char*>(bytes.data() + at), n);
                return;
            }
        }
    }
}

void CNtripReplyReader::HeaderByte(std::uint8_t byte)
{
    const char c = static_cast<char>(byte);
    header_.push_back(c);
    if (header_.size() > kMaxHeader) {
        kind_ = NtripReplyKind::Refused;
        state_ = State::Closed;
        return;
    }
    if (c != kLf) {
        line_.push_back(c);
        return;
    }
    std::string line = std::move(line_);
    line_.clear();
    if (!line.empty() && line.back() == kCr) line.pop_back();
    if (state_ == State::StatusLine) {
        statusLine_ = line;
        TakeStatusLine();
    } else {
        TakeHeaderLine(line);
    }
}

void CNtripReplyReader::TakeStatusLine()
{
    const std::string_view line = statusLine_;
    const int status = HttpStatus(line);
    if (StartsWith(line, "ICY 200")) {
        kind_ = NtripReplyKind::Stream;
        state_ = State::AfterIcy;
    } else if (StartsWith(line, "SOURCETABLE 200")) {
        kind_ = NtripReplyKind::SourceTable;
        state_ = State::Headers;
    } else if (status == 200) {
        kind_ = NtripReplyKind::Stream;  // the headers may still make it a source table
        state_ = State::Headers;
    } else {
        const bool unauthorized = status == 401 || StartsWith(line, "ICY 401") ||
                                  line.find("401 Unauthorized") != std::string_view::npos;
        kind_ = unauthorized ? NtripReplyKind::Unauthorized : NtripReplyKind::Refused;
        state_ = State::Closed;
    }
}

void CNtripReplyReader::TakeHeaderLine(std::string_view line)
{
    if (line.empty()) {
        state_ = State::Body;
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string name = Lower(Trim(line.substr(0, colon)));
    const std::string value = Lower(Trim(line.substr(colon + 1)));
    if (name == "transfer-encoding" && value.find("chunked") != std::string::npos) chunked_ = true;
    if (name == "content-type" && value.find("gnss/sourcetable") != std::string::npos) {
        kind_ = NtripReplyKind::SourceTable;
    }
}

void CNtripReplyReader::Body(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out)
{
    if (chunked_) {
        chunkedDecoder_.Feed(bytes, out);
        return;
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
}

std::string CNtripReplyReader::ReplyText() const
{
    std::string text;
    for (const char c : header_) {
        if (text.size() >= kMaxReplyText) {
            text += "...";
            break;
        }
        const auto u = static_cast<unsigned char>(c);
        if (c == kCr) continue;
        if (c == kLf || (u >= 0x20 && u < 0x7F)) {
            text.push_back(c);
        } else {
            text.push_back('.');
        }
    }
    while (!text.empty() && (text.back() == kLf || text.back() == ' ')) text.pop_back();
    return text;
}
