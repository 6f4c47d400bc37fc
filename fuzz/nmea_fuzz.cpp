// libFuzzer target for the NMEA decoder: framing and decoding as the live intake does it,
// time indexing and indexed decoding as replay does it, and the raw entry points.
//
// Run: ninja -C build-fuzz nmea_fuzz && ./build-fuzz/fuzz/nmea_fuzz -max_len=4096 CORPUS SEEDS

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "decode/nmea_parser.h"
#include "decode/parser_owner.h"
#include "fuzz_support.h"

namespace {

using fuzz::CFuzzOwner;
using fuzz::CheckState;
using fuzz::Expect;

// What a decoded message must leave true.
void CheckMessage(CNmeaParser& parser, std::span<const std::uint8_t> message)
{
    const std::int32_t used = parser.ParseMessage(message, false);
    Expect(used >= 0 && static_cast<std::size_t>(used) <= message.size());
}

void DecodeWhole(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CNmeaParser parser(&owner);
    owner.Attach(&parser);
    owner.SetIntakeEnd(input.data() + input.size());
    fuzz::FrameAndDecode(parser, input, CheckMessage);
    std::array<double, 3> position{};
    parser.GetPosition(position);
}

void RawEntryPoints(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CNmeaParser parser(&owner);
    owner.Attach(&parser);
    parser.VerifyChecksum(input);
    const std::int32_t used = parser.ParseMessage(input, false);
    Expect(used >= 0 && static_cast<std::size_t>(used) <= input.size());
    CheckState(*parser.State());
    CNmeaParser::Recognize(input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::RunAll<CNmeaParser>(data, size, DecodeWhole, CheckMessage, RawEntryPoints);
}
