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

namespace {

constexpr std::size_t kIndexedProbes = 4;

// Aborts so that libFuzzer keeps the input: the decoder broke one of its own promises.
void Expect(bool condition)
{
    if (!condition) std::abort();
}

class CFuzzOwner final : public IParserOwner {
public:
    explicit CFuzzOwner(bool skipChecksum) : skipChecksum_(skipChecksum) {}
    void Attach(CParser* parser) { parser_ = parser; }
    void SetIntakeEnd(const std::uint8_t* end) { intakeEnd_ = end; }

    bool IsNewEpoch(std::uint64_t timeOfDayMs) override
    {
        return !hasLast_ || timeOfDayMs != lastEpochMs_;
    }
    void OnEpochComplete(CParser& parser) override
    {
        lastEpochMs_ = parser.State()->timeOfDayMs;
        hasLast_ = true;
        parser.State()->ClearEpoch();
    }
    void SelectPositionSource(std::int32_t) override
    {
        if (parser_) parser_->SetPositionSource(true);
    }
    bool SkipChecksum() const override { return skipChecksum_; }
    std::uint32_t ProtocolsSeen() const override { return seen_; }
    void MarkProtocolSeen(std::int32_t protocolId) override { seen_ |= 1u << (protocolId & 31); }
    const std::uint8_t* IntakeDataEnd() const override { return intakeEnd_; }
    bool IsReplayRunning() const override { return false; }
    bool HasWindow() const override { return true; }

private:
    CParser* parser_ = nullptr;
    const std::uint8_t* intakeEnd_ = nullptr;
    std::uint64_t lastEpochMs_ = 0;
    bool hasLast_ = false;
    bool skipChecksum_;
    std::uint32_t seen_ = 0;
};

// Table counts index fixed arrays; out of range they would write into neighbouring fields,
// which ASan cannot see.
void CheckState(const GnssReceiverState& s)
{
    Expect(s.usedTotal >= 0 && s.inViewTotal >= 0);
    for (int r = 0; r < kConstellationCount; ++r) {
        Expect(s.usedCount[r] >= 0 && s.usedCount[r] < kMaxUsedPerConstellation);
        Expect(s.inViewCount[r] >= 0 && s.inViewCount[r] < kMaxInViewPerConstellation);
        Expect(s.lastUpdatedIndex[r] >= 0 && s.lastUpdatedIndex[r] < kMaxInViewPerConstellation);
    }
}

// Frames and decodes the buffer; returns where its unfinished tail starts.
std::size_t FrameAndDecode(CGSOFParser& parser, std::span<const std::uint8_t> buffer)
{
    std::size_t pos = 0;
    // Every decoded sentence takes at least one byte, so this bound is never the limit
    // unless framing stops advancing.
    for (std::size_t round = 0; round <= buffer.size() && pos < buffer.size(); ++round) {
        const auto rest = buffer.subspan(pos);
        std::size_t start = 0, length = 0;
        const std::uint32_t code = parser.FindMessage(rest, start, length, true, false);
        Expect(start <= rest.size() && length <= rest.size() - start);
        if (code == 0) return parser.IsPartial() ? pos + start : buffer.size();
        Expect(length > 0);
        const auto message = rest.subspan(start, length);
        // The joined transmission is decoded, not the message bytes.
        const std::int32_t used = parser.ParseMessage(message, false);
        Expect(used >= 0 && static_cast<std::size_t>(used) <= CGSOFParser::kRecordBufferSize);
        Expect(parser.ParseMessage(message, false) == 0);
        parser.GetHexText();
        CheckState(*parser.State());
        pos += start + length;
    }
    Expect(pos >= buffer.size());
    return pos;
}

void DecodeWhole(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CGSOFParser parser(&owner);
    owner.Attach(&parser);
    owner.SetIntakeEnd(input.data() + input.size());
    FrameAndDecode(parser, input);
    std::array<double, 3> position{};
    parser.GetPosition(position);
    parser.IsAtDataEnd(input.data() + input.size());
}

// Two reads of the intake, the unfinished tail of the first carried in front of the second.
void DecodeInTwoChunks(std::span<const std::uint8_t> input, std::size_t split, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CGSOFParser parser(&owner);
    owner.Attach(&parser);
    std::vector<std::uint8_t> intake(input.begin(), input.begin() + split);
    owner.SetIntakeEnd(intake.data() + intake.size());
    const std::size_t done = FrameAndDecode(parser, intake);
    intake.erase(intake.begin(), intake.begin() + static_cast<std::ptrdiff_t>(done));
    intake.insert(intake.end(), input.begin() + split, input.end());
    owner.SetIntakeEnd(intake.data() + intake.size());
    FrameAndDecode(parser, intake);
}

void IndexAndReplay(std::span<const std::uint8_t> input, bool skipChecksum)
{
    CFuzzOwner owner(skipChecksum);
    CGSOFParser parser(&owner);
    owner.Attach(&parser);
    parser.BuildTimeIndex(input, 0, false);

    const std::int32_t type = parser.GetPositionTypeIndex();
    std::vector<std::uint64_t> times{0};
    Expect(type == 0);
    for (const auto& [time, entry] : parser.TimeIndexes().Get(type)) {
        if (times.size() > kIndexedProbes) break;
        Expect(entry.filePosition < input.size() && entry.length > 0);
        times.push_back(time);
    }
    for (const std::uint64_t time : times) {
        EpochPosition position;
        std::uint64_t offset = 0;
        std::size_t length = 0;
        const std::uint64_t found = parser.DecodeAtTime(time, position, input, 0, offset, length);
        if (found != kNoTime) Expect(offset <= input.size() && length <= input.size() - offset);
        CheckState(*parser.State());
    }
    for (std::int32_t t = -1; t <= parser.GetPositionTypeCount(); ++t) {
        std::vector<IndexGap> gaps;
        parser.FindIndexGaps(t, gaps);
        parser.GetPositionTypeNameAt(t);
        parser.TimeIndexes().SmallestInterval(t);
    }
    // Appending the same bytes again goes the incremental way.
    parser.BuildTimeIndex(input, input.size(), true);
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
    const std::span<const std::uint8_t> input(data, size);
    const std::uint8_t first = size > 0 ? data[0] : 0;
    const bool skipChecksum = (first & 1) != 0;
    const std::size_t split = size * first / 256;

    DecodeWhole(input, skipChecksum);
    DecodeInTwoChunks(input, split, skipChecksum);
    IndexAndReplay(input, skipChecksum);
    RawEntryPoints(input, skipChecksum);
    return 0;
}
