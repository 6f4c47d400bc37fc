#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The relay server's viewer protocol: who the viewer is, how it introduces itself, what the
// server answers, and the device channel's "[...]" frames. Bytes in, texts and events out.
namespace relay {

// 8 lower-case hex digits from the first two adapters' hardware addresses: per adapter a
// 16-bit sum, odd bytes shifted left by 8; the smaller sum first. A missing adapter counts 0.
std::string ViewerId(std::span<const std::vector<std::uint8_t>> hardwareAddresses);

// "CONNECT_TO VIEWER:<id>[ LOGIN:<login>][ DEVICE:<device>][ OUTMSG:<nmea>]", the last only
// with a login; no line ending.
std::string Introduction(std::string_view viewerId, std::string_view login, std::string_view device,
                         std::string_view relayedNmea);

inline constexpr std::string_view kAlive = "ALIVE\r\n";

enum class ReplyKind { Alive, Connected, Logined, BelongsToOther, Refused };

struct Reply {
    ReplyKind kind = ReplyKind::Refused;
    // Bytes of the reply itself; what follows in the same block is the receiver's first data.
    std::size_t length = 0;
    std::vector<std::string> devices;  // of a LOGINED reply
};

// The first block the server sends while the viewer waits for the handshake.
Reply ReadReply(std::span<const std::uint8_t> block);

// "[<viewer>,|VS003|<device>|<checksum>]": the checksum is the XOR of everything between "["
// and the last "|", as two upper-case hex digits.
std::string DeviceRequest(std::string_view viewerId, std::string_view device);

// Cuts the device channel into "[...]" frames in arbitrary pieces and hands on the device ID
// of each frame that holds: its checksum right, more than four fields, type VS002 or VS003.
// Bytes before a "[" are dropped; a frame longer than kMaxFrame is given up at the next "[".
class CDeviceChannelDecoder {
public:
    static constexpr std::size_t kMaxFrame = 4096;

    template <class OnDevice>
    void Feed(std::span<const std::uint8_t> bytes, OnDevice&& onDevice)
    {
        for (const std::uint8_t b : bytes) {
            const char c = static_cast<char>(b);
            if (c == '[') {
                frame_.assign(1, c);
                continue;
            }
            if (frame_.empty()) continue;
            if (frame_.size() >= kMaxFrame) {
                frame_.clear();  // no end in sight: wait for the next "["
                continue;
            }
            frame_.push_back(c);
            if (c != ']') continue;
            std::string device;
            if (Accept(frame_, device)) onDevice(device);
            frame_.clear();
        }
    }
    std::size_t Buffered() const { return frame_.size(); }

    // Whether a whole "[...]" frame holds, with its device ID.
    static bool Accept(std::string_view frame, std::string& device);

private:
    std::string frame_;
};

}  // namespace relay
