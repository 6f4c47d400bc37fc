// libFuzzer target for the SBF decoder: framing and decoding as the live intake does it,
// time indexing and indexed decoding as replay does it, the position search and the raw
// entry points.
//
// Run: ninja -C build-fuzz sbf_fuzz && ./build-fuzz/fuzz/sbf_fuzz -max_len=4096 CORPUS SEEDS

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "decode/parser_owner.h"
#include "decode/sbf_parser.h"
#include "fuzz_support.h"

namespace {

using fuzz::CFuzzOwner;
using fuzz::CheckState;
using fuzz::Expect;

// What a decoded message must leave true.
void CheckMessage(CSBFParser& parser, std::span<const std::uint8_t> message)
{
    Expect(message.size() >= CSBFParser::kHeaderLength && message.size() % 4 == 0);
    parser.ParseMessage(message, false);
}

void DecodeWhole(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CSBFParser parser(&owner);
    owner.Attach(&parser);
    owner.SetIntakeEnd(input.data() + input.size());
    fuzz::FrameAndDecode(parser, input, CheckMessage);
    std::array<double, 3> position{};
    parser.GetPosition(position);
    parser.GetHexText();
    std::size_t start = 0, length = 0;
    if (parser.FindPositionMessage(input, start, length))
        Expect(start < input.size() && length > 0 && length <= input.size() - start);
    else
        Expect(start == 0 && length == input.size());
}

void RawEntryPoints(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CSBFParser parser(&owner);
    owner.Attach(&parser);
    parser.VerifyChecksum(input);
    parser.ParseMessage(input, false);
    CheckState(*parser.State());
    // The input as the body of every block the decoder reads, so that the handlers see
    // fuzzed sub-blocks without the fuzzer having to find a matching CRC.
    if (input.size() < CSBFParser::kHeaderLength) return;
    std::vector<std::uint8_t> block(input.begin(), input.end());
    for (const std::uint16_t number :
         {CSBFParser::kDop, CSBFParser::kPvtGeodetic, CSBFParser::kChannelStatus,
          CSBFParser::kMeasEpoch, CSBFParser::kVelCovGeodetic, CSBFParser::kAttEuler}) {
        block[4] = static_cast<std::uint8_t>(number);
        block[5] = static_cast<std::uint8_t>((number >> 8) | (input[5] & 0xE0));
        parser.ParseMessage(block, (input[1] & 1) != 0);
        CheckState(*parser.State());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::RunAll<CSBFParser>(data, size, DecodeWhole, CheckMessage, RawEntryPoints);
}
