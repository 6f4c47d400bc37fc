// libFuzzer target for the GSOF decoder: framing, page joining and decoding as the live intake
// does it, time indexing and indexed decoding as replay does it, and the raw entry points.
//
// Run: ninja -C build-fuzz gsof_fuzz && ./build-fuzz/fuzz/gsof_fuzz -max_len=4096 CORPUS SEEDS

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "decode/gsof_parser.h"
#include "decode/parser_owner.h"
#include "fuzz_support.h"

namespace {

using fuzz::CFuzzOwner;
using fuzz::CheckState;
using fuzz::Expect;

// What a decoded message must leave true: the joined transmission is decoded, once.
void CheckMessage(CGSOFParser& parser, std::span<const std::uint8_t> message)
{
    const std::int32_t used = parser.ParseMessage(message, false);
    Expect(used >= 0 && static_cast<std::size_t>(used) <= CGSOFParser::kRecordBufferSize);
    Expect(parser.ParseMessage(message, false) == 0);
    parser.GetHexText();
}

void DecodeWhole(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CGSOFParser parser(&owner);
    owner.Attach(&parser);
    owner.SetIntakeEnd(input.data() + input.size());
    fuzz::FrameAndDecode(parser, input, CheckMessage);
    std::array<double, 3> position{};
    parser.GetPosition(position);
    parser.IsAtDataEnd(input.data() + input.size());
}

void RawEntryPoints(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CGSOFParser parser(&owner);
    owner.Attach(&parser);
    parser.VerifyChecksum(input);
    Expect(parser.ParseMessage(input, false) == 0);
    const std::int32_t used = parser.ParseMessage(input, true);
    Expect(used >= 0 && static_cast<std::size_t>(used) <= input.size());
    CheckState(*parser.State());
    std::size_t start = 0, length = 0;
    if (parser.FindPositionMessage(input, start, length))
        Expect(start < input.size() && length > 0 && length <= input.size() - start);
    else
        Expect(start == 0 && length == input.size());
    CheckState(*parser.State());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::RunAll<CGSOFParser>(data, size, DecodeWhole, CheckMessage, RawEntryPoints);
}
