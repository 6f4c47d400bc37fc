#include "net/relay_protocol.h"

#include <algorithm>
#include <cstdio>

namespace relay {
namespace {

// The fifth field holds the device; the checksum comes after it, so at least six fields.
constexpr std::size_t kMinFields = 6;

std::uint16_t AddressSum(const std::vector<std::uint8_t>& address)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < address.size(); ++i)
        sum += i % 2 == 0 ? address[i] : static_cast<std::uint32_t>(address[i]) << 8;
    return static_cast<std::uint16_t>(sum);
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t next = text.find(separator, at);
        parts.push_back(text.substr(at, next - at));
        if (next == std::string_view::npos) return parts;
        at = next + 1;
    }
}

std::uint8_t Xor(std::string_view text)
{
    std::uint8_t sum = 0;
    for (const char c : text) sum ^= static_cast<std::uint8_t>(c);
    return sum;
}

std::string Hex2(std::uint8_t value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Up to and including the first line end, or the whole block.
std::size_t LineLength(std::string_view text)
{
    const std::size_t end = text.find('\n');
    return end == std::string_view::npos ? text.size() : end + 1;
}

}  // namespace

std::string ViewerId(std::span<const std::vector<std::uint8_t>> hardwareAddresses)
{
    const std::uint16_t first = hardwareAddresses.empty() ? 0 : AddressSum(hardwareAddresses[0]);
    const std::uint16_t second =
        hardwareAddresses.size() < 2 ? 0 : AddressSum(hardwareAddresses[1]);
    char text[9];
    std::snprintf(text, sizeof text, "%04x%04x", std::min(first, second), std::max(first, second));
    return text;
}

std::string Introduction(std::string_view viewerId, std::string_view login, std::string_view device,
                         std::string_view relayedNmea)
{
    std::string line = "CONNECT_TO VIEWER:";
    line.append(viewerId);
    if (!login.empty()) line.append(" LOGIN:").append(login);
    if (!device.empty()) line.append(" DEVICE:").append(device);
    if (!login.empty()) line.append(" OUTMSG:").append(relayedNmea);
    return line;
}

Reply ReadReply(std::span<const std::uint8_t> block)
{
    const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
    Reply reply;
    if (StartsWith(text, kAlive)) {
        reply.kind = ReplyKind::Alive;
        reply.length = kAlive.size();
    } else if (StartsWith(text, "CONNECTED")) {
        reply.kind = ReplyKind::Connected;
        reply.length = LineLength(text);
    } else if (StartsWith(text, "LOGINED")) {
        reply.kind = ReplyKind::Logined;
        reply.length = LineLength(text);
        std::string_view line = text.substr(0, reply.length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        std::vector<std::string_view> words;
        for (const std::string_view word : Split(line, ' '))
            if (!word.empty()) words.push_back(word);
        if (words.size() > 2) {
            for (const std::string_view id : Split(words[2], ';'))
                if (!id.empty()) reply.devices.emplace_back(id);
        }
    } else {
        reply.kind = StartsWith(text, "FAILED_BELONG_TO_OTHER") ? ReplyKind::BelongsToOther
                                                                : ReplyKind::Refused;
        reply.length = text.size();
    }
    return reply;
}

std::string DeviceRequest(std::string_view viewerId, std::string_view device)
{
    std::string body(viewerId);
    body.append(",|VS003|").append(device).append("|");
    return "[" + body + Hex2(Xor(body)) + "]";
}

bool CDeviceChannelDecoder::Accept(std::string_view frame, std::string& device)
{
    if (frame.size() < 2 || frame.front() != '[' || frame.back() != ']') return false;
    const std::string_view inner = frame.substr(1, frame.size() - 2);
    const std::size_t last = inner.rfind('|');
    if (last == std::string_view::npos) return false;
    if (inner.substr(last + 1) != Hex2(Xor(inner.substr(0, last + 1)))) return false;
    const auto fields = Split(inner, '|');
    if (fields.size() < kMinFields || (fields[1] != "VS002" && fields[1] != "VS003")) return false;
    device = std::string(fields[4].substr(0, fields[4].find(',')));
    return !device.empty();
}

}  // namespace relay
