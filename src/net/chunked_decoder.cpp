#include "net/chunked_decoder.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
// A chunk larger than this is no correction stream.
constexpr std::size_t kMaxChunk = std::size_t{1} << 24;

}  // namespace

bool CChunkedDecoder::TakeSizeLine()
{
    std::string_view text(line_.data(), line_.size());
    if (!text.empty() && text.back() == kCr) text.remove_suffix(1);
    text = text.substr(0, text.find(';'));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    std::size_t size = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size, 16);
    line_.clear();
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || size > kMaxChunk)
        return false;
    remaining_ = size;
    state_ = size == 0 ? State::Trailer : State::Data;
    return true;
}

bool CChunkedDecoder::Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out)
{
    std::size_t at = 0;
    while (at < bytes.size()) {
        switch (state_) {
            case State::SizeLine:
            case State::Trailer: {
                const char c = static_cast<char>(bytes[at++]);
                if (c != kLf) {
                    if (line_.size() >= kMaxSizeLine) {
                        state_ = State::Broken;
                        return false;
                    }
                    line_.push_back(c);
                    break;
                }
                if (state_ == State::Trailer) {
                    // Trailer fields end with an empty line.
                    const bool empty = line_.empty() || (line_.size() == 1 && line_[0] == kCr);
                    line_.clear();
                    if (empty) state_ = State::Done;
                    break;
                }
                if (!TakeSizeLine()) {
                    state_ = State::Broken;
                    return false;
                }
                break;
            }
            case State::Data: {
                const std::size_t n = std::min(remaining_, bytes.size() - at);
                out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
                at += n;
                remaining_ -= n;
                if (remaining_ == 0) state_ = State::DataEnd;
                break;
            }
            case State::DataEnd: {
                const char c = static_cast<char>(bytes[at++]);
                if (c == kLf) {
                    state_ = State::SizeLine;
                } else if (c != kCr) {
                    state_ = State::Broken;
                    return false;
                }
                break;
            }
            case State::Done: return true;  // anything behind the last chunk is not body
            case State::Broken: return false;
        }
    }
    return state_ != State::Broken;
}
