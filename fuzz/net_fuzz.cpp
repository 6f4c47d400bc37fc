// libFuzzer target for the network protocol cores: a caster's reply (status line, headers,
// chunked body), the source table it may carry, the RTCM 3 framer behind it, and the relay
// server's handshake reply (whole and as the viewer's session takes it in pieces) and
// device-channel frames, all fed in pieces whose size the first byte picks. Whole and pieced
// feeding must agree.
//
// Run: ninja -C build-fuzz net_fuzz && ./build-fuzz/fuzz/net_fuzz -max_len=4096 CORPUS SEEDS

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "net/ntrip_reply.h"
#include "net/relay_protocol.h"
#include "net/relay_session.h"
#include "net/rtcm3_framer.h"
#include "net/source_table.h"

namespace {

using fuzz::Expect;

struct Result {
    NtripReplyKind kind = NtripReplyKind::Pending;
    std::vector<std::uint8_t> body;
    std::uint64_t frames = 0;
};

Result Read(std::span<const std::uint8_t> input, std::size_t piece)
{
    Result result;
    CNtripReplyReader reader;
    CRtcm3Framer framer;
    std::size_t framed = 0;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        reader.Feed(input.subspan(at, std::min(piece, input.size() - at)), result.body);
        framer.Feed(std::span<const std::uint8_t>(result.body).subspan(framed),
                    [&](std::span<const std::uint8_t> frame) {
                        Expect(frame.size() >= rtcm3::kHeaderLength + rtcm3::kCrcLength);
                        Expect(frame[0] == rtcm3::kPreamble);
                        (void)rtcm3::MessageType(frame);
                        (void)rtcm3::DecodeStationPosition(frame);
                    });
        framed = result.body.size();
        Expect(framer.Pending() <= framed);
    }
    result.kind = reader.Kind();
    result.frames = framer.Frames();
    Expect(reader.ReplyText().size() <= CNtripReplyReader::kMaxReplyText + 3);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 32;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    const Result whole = Read(input, input.size() + 1);
    const Result pieced = Read(input, piece);
    Expect(whole.kind == pieced.kind);
    Expect(whole.body == pieced.body);
    Expect(whole.frames == pieced.frames);
    const relay::Reply reply = relay::ReadReply(input);
    Expect(reply.length <= input.size());
    std::vector<std::string> devices[2];
    for (const std::size_t size : {input.size() + 1, piece}) {
        relay::CDeviceChannelDecoder decoder;
        auto& found = devices[size == piece ? 1 : 0];
        for (std::size_t at = 0; at < input.size(); at += size) {
            decoder.Feed(input.subspan(at, std::min(size, input.size() - at)),
                         [&](const std::string& id) { found.push_back(id); });
            Expect(decoder.Buffered() <= relay::CDeviceChannelDecoder::kMaxFrame);
        }
    }
    Expect(devices[0] == devices[1]);
    // The viewer's handshake in pieces: the reply's bytes come off the front, never more
    // than arrived, and once accepted every later byte is the receiver's.
    relay::CViewerSession session;
    session.Connected(relay::CViewerSession::Ticks{0});
    std::size_t passed = 0;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        const auto block = input.subspan(at, std::min(piece, input.size() - at));
        const auto arrival = session.OnBlock(block);
        using Kind = relay::CViewerSession::Arrival::Kind;
        if (arrival.kind == Kind::Accepted) Expect(arrival.skip <= block.size());
        if (arrival.kind == Kind::Data) passed += block.size();
        if (arrival.kind == Kind::Refused) Expect(!session.HandshakePending());
    }
    Expect(passed <= input.size());
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    for (const auto& stream : ParseSourceTable(text))
        Expect(stream.mountPoint.size() <= kMaxMountPoint);
    (void)ParseSourceTableReply(text);
    return 0;
}
