#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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
        FeedFrames(bytes, [&](std::string_view frame) {
            std::string device;
            if (Accept(frame, device)) onDevice(device);
        });
    }
    std::size_t Buffered() const { return frame_.size(); }

    // The same cut, handing on every whole "[...]" frame as it came, checked or not.
    template <class OnFrame>
    void FeedFrames(std::span<const std::uint8_t> bytes, OnFrame&& onFrame)
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
            onFrame(std::string_view(frame_));
            frame_.clear();
        }
    }

    // Whether a whole "[...]" frame holds, with its device ID.
    static bool Accept(std::string_view frame, std::string& device);

private:
    std::string frame_;
};

// What a viewer's introduction says; the server's side of Introduction().
struct ViewerIntroduction {
    std::string viewerId;
    std::string login;  // empty: none given
    std::string device;
    std::string relayedNmea;
};

// Reads "CONNECT_TO VIEWER:<8 hex digits>" and the optional " LOGIN:", " DEVICE:", " OUTMSG:"
// words in any order; one trailing line ending is tolerated, unknown words are skipped.
// Nothing when the prefix or the ID is wrong, or a byte is not printable ASCII.
std::optional<ViewerIntroduction> ParseIntroduction(std::string_view line);

struct DeviceQuery {
    std::string viewerId;
    std::string device;
};

// The server's reading of a DeviceRequest() frame: checksum right, type VS003, viewer ID and
// device present.
std::optional<DeviceQuery> ReadDeviceRequest(std::string_view frame);

// "[<viewer>|VS002|<server>|<status>|<device>,<detail>|<checksum>]", checked like a request,
// so that CDeviceChannelDecoder takes it and hands on the device.
std::string DeviceAnswer(std::string_view viewerId, std::string_view server,
                         std::string_view status, std::string_view device, std::string_view detail);

// Splits what a viewer sends after its introduction into ALIVE lines and correction bytes.
// Every exact "ALIVE\r\n" counts, even cut across reads; the bytes of a partial match are
// held back until the next byte settles them. "ALIVE\r\n" has no prefix that is also its
// suffix, so a mismatching byte can only start a new match, never continue an old one.
class CAliveFilter {
public:
    // onData(span) once per call with the correction bytes settled, onAlive() per line.
    template <class OnData, class OnAlive>
    void Feed(std::span<const std::uint8_t> bytes, OnData&& onData, OnAlive&& onAlive)
    {
        std::vector<std::uint8_t> data;
        data.reserve(bytes.size() + matched_);
        for (const std::uint8_t b : bytes) {
            if (static_cast<char>(b) == kAlive[matched_]) {
                if (++matched_ < kAlive.size()) continue;
                matched_ = 0;
                onAlive();
                continue;
            }
            data.insert(data.end(), kAlive.begin(), kAlive.begin() + matched_);
            matched_ = static_cast<char>(b) == kAlive[0] ? 1 : 0;
            if (matched_ == 0) data.push_back(b);
        }
        if (!data.empty()) onData(std::span<const std::uint8_t>(data));
    }
    // The viewer stopped sending: a partial ALIVE was correction data after all.
    template <class OnData>
    void Finish(OnData&& onData)
    {
        if (matched_ == 0) return;
        const std::vector<std::uint8_t> data(kAlive.begin(), kAlive.begin() + matched_);
        matched_ = 0;
        onData(std::span<const std::uint8_t>(data));
    }
    std::size_t Held() const { return matched_; }

private:
    std::size_t matched_ = 0;
};

}  // namespace relay
