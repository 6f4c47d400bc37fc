#pragma once

// What every fuzz target shares: the owner a decoder talks to and the checks of the
// promises a decoder makes about its state.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "decode/parser.h"
#include "decode/parser_owner.h"

namespace fuzz {

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

// Frames and decodes the buffer as the intake does, calling check(parser, message) after
// each decoded message; returns where the unfinished tail starts.
template <class Parser, class Check>
std::size_t FrameAndDecode(Parser& parser, std::span<const std::uint8_t> buffer, Check&& check)
{
    std::size_t pos = 0;
    // Every decoded message takes at least one byte, so this bound is never the limit unless
    // framing stops advancing.
    for (std::size_t round = 0; round <= buffer.size() && pos < buffer.size(); ++round) {
        const auto rest = buffer.subspan(pos);
        std::size_t start = 0, length = 0;
        const std::uint32_t code = parser.FindMessage(rest, start, length, true, false);
        Expect(start <= rest.size() && length <= rest.size() - start);
        if (code == 0) {
            // An unfinished message is kept whole, up to the end of the buffer.
            if (parser.IsPartial()) Expect(start + length == rest.size());
            return parser.IsPartial() ? pos + start : buffer.size();
        }
        Expect(length > 0);
        check(parser, rest.subspan(start, length));
        CheckState(*parser.State());
        pos += start + length;
    }
    Expect(pos >= buffer.size());
    return pos;
}

// Two reads of the intake, the unfinished tail of the first carried in front of the second.
template <class Parser, class Check>
void DecodeInTwoChunks(std::span<const std::uint8_t> input, std::size_t split, bool skipChecksum,
                       Check&& check)
{
    CFuzzOwner owner(skipChecksum);
    Parser parser(&owner);
    owner.Attach(&parser);
    std::vector<std::uint8_t> intake(input.begin(), input.begin() + split);
    owner.SetIntakeEnd(intake.data() + intake.size());
    const std::size_t done = FrameAndDecode(parser, intake, check);
    intake.erase(intake.begin(), intake.begin() + static_cast<std::ptrdiff_t>(done));
    intake.insert(intake.end(), input.begin() + split, input.end());
    owner.SetIntakeEnd(intake.data() + intake.size());
    FrameAndDecode(parser, intake, check);
}

// Replay's use of a decoder: the time index of the whole input, a few indexed epochs decoded,
// the gaps of every type, then the same bytes appended incrementally.
template <class Parser>
void IndexAndReplay(std::span<const std::uint8_t> input, bool skipChecksum)
{
    constexpr std::size_t kIndexedProbes = 4;
    CFuzzOwner owner(skipChecksum);
    Parser parser(&owner);
    owner.Attach(&parser);
    parser.BuildTimeIndex(input, 0, false);

    const std::int32_t type = parser.GetPositionTypeIndex();
    Expect(type >= 0 && type <= parser.GetPositionTypeCount());
    std::vector<std::uint64_t> times{0};
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
    parser.BuildTimeIndex(input, input.size(), true);
}

// One fuzz input through every use of a decoder. The first byte chooses whether checksums
// are skipped and where the intake splits the input in two.
template <class Parser, class DecodeWhole, class Check, class Raw>
int RunAll(const std::uint8_t* data, std::size_t size, DecodeWhole&& decodeWhole, Check&& check,
           Raw&& raw)
{
    const std::span<const std::uint8_t> input(data, size);
    const std::uint8_t first = size > 0 ? data[0] : 0;
    const bool skipChecksum = (first & 1) != 0;
    const std::size_t split = size * first / 256;

    decodeWhole(input, skipChecksum);
    DecodeInTwoChunks<Parser>(input, split, skipChecksum, check);
    IndexAndReplay<Parser>(input, skipChecksum);
    raw(input, skipChecksum);
    return 0;
}

}  // namespace fuzz
