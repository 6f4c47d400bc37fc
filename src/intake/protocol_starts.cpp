#include "intake/protocol_starts.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kCr = '\r';
constexpr std::uint8_t kLf = '\n';
// A '$' this far or farther before its line end is no sentence start.
constexpr std::size_t kMaxSentenceSpan = 121;
// The line end sits at least this far into the bytes: "*hh" lies before it.
constexpr std::size_t kMinLineEndIndex = 3;

std::optional<std::size_t> Found(std::span<const std::uint8_t> bytes, std::size_t at)
{
    if (at == bytes.size()) return std::nullopt;
    return at;
}

bool IsTalkerLead(std::uint8_t byte) { return byte == 'B' || byte == 'G' || byte == 'P'; }

std::optional<std::size_t> SentenceStartBefore(std::span<const std::uint8_t> bytes,
                                               std::size_t lineEnd)
{
    const std::size_t earliest = lineEnd >= kMaxSentenceSpan ? lineEnd - kMaxSentenceSpan + 1 : 0;
    for (std::size_t i = lineEnd; i > earliest;) {
        const void* dollar = memrchr(bytes.data() + earliest, '$', i - earliest);
        if (dollar == nullptr) break;
        i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(dollar) - bytes.data());
        if (IsTalkerLead(bytes[i + 1])) return i;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::size_t> FindUbxStart(std::span<const std::uint8_t> bytes)
{
    return Found(bytes, FindBinarySignature(ProtocolId::Ubx, bytes, 0));
}

std::optional<std::size_t> FindGsofStart(std::span<const std::uint8_t> bytes)
{
    return Found(bytes, FindBinarySignature(ProtocolId::Gsof, bytes, 0));
}

std::optional<std::size_t> FindSbfStart(std::span<const std::uint8_t> bytes)
{
    return Found(bytes, FindBinarySignature(ProtocolId::Sbf, bytes, 0));
}

std::optional<std::size_t> FindNmeaStart(std::span<const std::uint8_t> bytes)
{
    // Line ends are CRs, or LFs where the bytes hold no CR.
    const bool hasCr = FindByteIn(bytes, 0, bytes.size(), kCr) < bytes.size();
    std::size_t lineEnd = 0;
    return Found(bytes, FindNmeaStartFrom(bytes, 0, hasCr ? kCr : kLf, lineEnd));
}

std::size_t FindNmeaStartFrom(std::span<const std::uint8_t> bytes, std::size_t from,
                              std::uint8_t lineEndByte, std::size_t& lineEnd)
{
    for (std::size_t i = std::max(from, kMinLineEndIndex); i < bytes.size(); ++i) {
        i = FindByteIn(bytes, i, bytes.size(), lineEndByte);
        if (i == bytes.size() || bytes[i - 3] != '*') continue;
        if (const auto start = SentenceStartBefore(bytes, i)) {
            lineEnd = i;
            return *start;
        }
    }
    return bytes.size();
}

bool StartsLine(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    if (offset == 0) return true;
    if (offset > bytes.size()) return false;
    return bytes[offset - 1] == kCr || bytes[offset - 1] == kLf;
}
