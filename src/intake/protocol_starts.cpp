#include "intake/protocol_starts.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kUbxSync1 = 0xB5;
constexpr std::uint8_t kUbxSync2 = 0x62;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kGsofStatusBit = 0x08;
constexpr std::uint8_t kCr = '\r';
constexpr std::uint8_t kLf = '\n';
// A '$' this far or farther before its line end is no sentence start.
constexpr std::size_t kMaxSentenceSpan = 121;
// The line end sits at least this far into the bytes: "*hh" lies before it.
constexpr std::size_t kMinLineEndIndex = 3;

std::optional<std::size_t> FindPair(std::span<const std::uint8_t> bytes, auto matches)
{
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (matches(bytes[i], bytes[i + 1])) return i;
    }
    return std::nullopt;
}

bool IsTalkerLead(std::uint8_t byte) { return byte == 'B' || byte == 'G' || byte == 'P'; }

std::optional<std::size_t> SentenceStartBefore(std::span<const std::uint8_t> bytes,
                                               std::size_t lineEnd)
{
    const std::size_t earliest = lineEnd >= kMaxSentenceSpan ? lineEnd - kMaxSentenceSpan + 1 : 0;
    for (std::size_t i = lineEnd; i-- > earliest;) {
        if (bytes[i] == '$' && IsTalkerLead(bytes[i + 1])) return i;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::size_t> FindUbxStart(std::span<const std::uint8_t> bytes)
{
    return FindPair(
        bytes, [](std::uint8_t a, std::uint8_t b) { return a == kUbxSync1 && b == kUbxSync2; });
}

std::optional<std::size_t> FindGsofStart(std::span<const std::uint8_t> bytes)
{
    return FindPair(bytes, [](std::uint8_t a, std::uint8_t b) {
        return a == kStx && (b & kGsofStatusBit) != 0;
    });
}

std::optional<std::size_t> FindSbfStart(std::span<const std::uint8_t> bytes)
{
    return FindPair(bytes, [](std::uint8_t a, std::uint8_t b) { return a == '$' && b == '@'; });
}

std::optional<std::size_t> FindNmeaStart(std::span<const std::uint8_t> bytes)
{
    const bool hasCr = std::find(bytes.begin(), bytes.end(), kCr) != bytes.end();
    const std::uint8_t lineEndByte = hasCr ? kCr : kLf;
    for (std::size_t i = kMinLineEndIndex; i < bytes.size(); ++i) {
        if (bytes[i] != lineEndByte || bytes[i - 3] != '*') continue;
        if (const auto start = SentenceStartBefore(bytes, i)) return start;
    }
    return std::nullopt;
}

bool StartsLine(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    if (offset == 0) return true;
    if (offset > bytes.size()) return false;
    return bytes[offset - 1] == kCr || bytes[offset - 1] == kLf;
}
