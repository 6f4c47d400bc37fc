// libFuzzer target for the UBX decoder: framing and decoding as the live intake does it,
// time indexing and indexed decoding as replay does it, the position look-ahead and the raw
// entry points.
//
// Run: ninja -C build-fuzz ubx_fuzz && ./build-fuzz/fuzz/ubx_fuzz -max_len=4096 CORPUS SEEDS

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "decode/parser_owner.h"
#include "decode/ubx_parser.h"
#include "fuzz_support.h"

namespace {

using fuzz::CFuzzOwner;
using fuzz::CheckState;
using fuzz::Expect;

void CheckParser(const CUBXParser& parser)
{
    CheckState(*parser.State());
    const std::int32_t calibrated = parser.CalibratedSensorCount();
    Expect(calibrated >= 0 && calibrated <= static_cast<std::int32_t>(CUBXParser::kMaxSensors));
    const std::int32_t flag = parser.State()->sensorsCalibrated;
    Expect(flag == 0 || flag == 1);
}

// What a decoded message must leave true.
void CheckMessage(CUBXParser& parser, std::span<const std::uint8_t> message)
{
    Expect(message.size() >= CUBXParser::kFrameOverhead && message[0] == CUBXParser::kSync1);
    parser.ParseMessage(message, false);
    CheckParser(parser);
    Expect(!parser.GetHexText().empty());
}

void DecodeWhole(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CUBXParser parser(&owner);
    owner.Attach(&parser);
    owner.SetIntakeEnd(input.data() + input.size());
    fuzz::FrameAndDecode(parser, input, CheckMessage);
    std::array<double, 3> position{};
    parser.GetPosition(position);

    std::size_t start = 0, length = 0;
    parser.Reset();
    parser.FindPositionMessage(input, start, length);
    Expect(start <= input.size() && length <= input.size() - start);
    CheckParser(parser);
}

void RawEntryPoints(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CUBXParser parser(&owner);
    owner.Attach(&parser);
    parser.VerifyChecksum(input);
    parser.ParseMessage(input, false);
    parser.ParseMessage(input, true);
    CheckParser(parser);
    if (input.size() >= 2)
        CUBXParser::KindCode(static_cast<std::uint16_t>(input[0] << 8 | input[1]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::RunAll<CUBXParser>(data, size, DecodeWhole, CheckMessage, RawEntryPoints);
}
