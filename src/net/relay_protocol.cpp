#include "net/relay_protocol.h"

#include <algorithm>
#include <cctype>
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

namespace {

constexpr std::string_view kConnectTo = "CONNECT_TO VIEWER:";
constexpr std::size_t kViewerIdLength = 8;

bool IsHex(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// Anything else could end the reply line early or smuggle a second one in.
bool IsPrintable(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::string CheckedFrame(std::string_view body)
{
    return "[" + std::string(body) + Hex2(Xor(body)) + "]";
}

}  // namespace

std::optional<ViewerIntroduction> ParseIntroduction(std::string_view line)
{
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!StartsWith(line, kConnectTo) || !IsPrintable(line)) return std::nullopt;
    const auto words = Split(line.substr(kConnectTo.size()), ' ');
    if (words[0].size() != kViewerIdLength || !IsHex(words[0])) return std::nullopt;
    ViewerIntroduction introduction;
    introduction.viewerId = words[0];
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const std::size_t colon = word.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = word.substr(0, colon);
        const std::string value(word.substr(colon + 1));
        if (key == "LOGIN") {
            introduction.login = value;
        } else if (key == "DEVICE") {
            introduction.device = value;
        } else if (key == "OUTMSG") {
            introduction.relayedNmea = value;
        }
    }
    return introduction;
}

std::optional<DeviceQuery> ReadDeviceRequest(std::string_view frame)
{
    if (frame.size() < 2 || frame.front() != '[' || frame.back() != ']') return std::nullopt;
    const std::string_view inner = frame.substr(1, frame.size() - 2);
    const std::size_t last = inner.rfind('|');
    if (last == std::string_view::npos) return std::nullopt;
    if (inner.substr(last + 1) != Hex2(Xor(inner.substr(0, last + 1)))) return std::nullopt;
    const auto fields = Split(inner, '|');
    if (fields.size() != 4 || fields[1] != "VS003" || !fields[0].ends_with(','))
        return std::nullopt;
    DeviceQuery query{std::string(fields[0].substr(0, fields[0].size() - 1)),
                      std::string(fields[2])};
    if (query.viewerId.empty() || query.device.empty()) return std::nullopt;
    return query;
}

std::string DeviceAnswer(std::string_view viewerId, std::string_view server,
                         std::string_view status, std::string_view device, std::string_view detail)
{
    std::string body(viewerId);
    body.append("|VS002|").append(server).append("|").append(status).append("|");
    body.append(device).append(",").append(detail).append("|");
    return CheckedFrame(body);
}

}  // namespace relay
