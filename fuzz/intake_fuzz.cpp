// libFuzzer target for the live intake: protocol detection over a mixed stream, the carried
// bytes, the message loop and the epoch snapshot with its merge, fed in arrivals of varying
// size under both sync settings and with one decoder forced; where each shown epoch ends
// stays inside what was fed and never goes back.
//
// Run: ninja -C build-fuzz intake_fuzz && ./build-fuzz/fuzz/intake_fuzz -max_len=8192 CORPUS

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "fuzz_support.h"
#include "intake/intake_dispatcher.h"

namespace {

class CCheckingListener final : public IIntakeListener {
public:
    bool OnRefreshViews(GnssReceiverState& snapshot) override
    {
        fuzz::CheckState(snapshot);
        const std::uint64_t end = intake->EpochEndOffset();
        fuzz::Expect(end <= fed && end >= lastEnd);
        lastEnd = end;
        return false;
    }
    void OnRawLine(std::string_view line, bool) override { fuzz::Expect(!line.empty()); }
    void OnErrorLine(std::string_view line) override { fuzz::Expect(!line.empty()); }

    const CIntakeDispatcher* intake = nullptr;
    std::uint64_t fed = 0;
    std::uint64_t lastEnd = 0;
};

void Feed(std::span<const std::uint8_t> input, std::int32_t sync, std::size_t piece,
          std::optional<ProtocolId> forced = std::nullopt)
{
    CCheckingListener listener;
    CIntakeDispatcher intake(listener);
    listener.intake = &intake;
    intake.SetSyncProtocol(sync);
    intake.SetForcedProtocol(forced);
    for (std::size_t at = 0; at < input.size(); at += piece) {
        const auto arrival = input.subspan(at, std::min(piece, input.size() - at));
        listener.fed += arrival.size();
        intake.Arrive(arrival);
        fuzz::Expect(intake.CarriedLength() <= CIntakeDispatcher::kBufferSize);
        fuzz::Expect(intake.ParseOffset() <= intake.CarriedLength());
    }
    intake.IdleFlush();
    // The network path reads straight into the buffer.
    const std::span<std::uint8_t> space = intake.ReceiveSpace();
    const std::size_t n = std::min(space.size(), input.size());
    std::copy_n(input.begin(), n, space.begin());
    listener.fed += n;
    intake.Received(n);
    intake.Disconnect();
    fuzz::Expect(intake.ProtocolsSeen() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    // The first byte picks the arrival size, so small and large reads are both explored.
    const std::size_t piece = 1 + data[0] % 64 * 17;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    Feed(input, CIntakeDispatcher::kSyncAuto, piece);
    Feed(input, CIntakeDispatcher::kSyncNonNmea, piece);
    Feed(input, CIntakeDispatcher::kSyncAuto, piece, static_cast<ProtocolId>(data[0] >> 6));
    return 0;
}
