// libFuzzer target for the live intake: protocol detection over a mixed stream, the carried
// bytes, the message loop and the epoch snapshot with its merge, fed in arrivals of varying
// size under both sync settings.
//
// Run: ninja -C build-fuzz intake_fuzz && ./build-fuzz/fuzz/intake_fuzz -max_len=8192 CORPUS

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "intake/intake_dispatcher.h"

namespace {

class CCheckingListener final : public IIntakeListener {
public:
    bool OnRefreshViews(GnssReceiverState& snapshot) override
    {
        fuzz::CheckState(snapshot);
        return false;
    }
    void OnRawLine(std::string_view line, bool) override { fuzz::Expect(!line.empty()); }
    void OnErrorLine(std::string_view line) override { fuzz::Expect(!line.empty()); }
};

void Feed(std::span<const std::uint8_t> input, std::int32_t sync, std::size_t piece)
{
    CCheckingListener listener;
    CIntakeDispatcher intake(listener);
    intake.SetSyncProtocol(sync);
    for (std::size_t at = 0; at < input.size(); at += piece) {
        intake.Arrive(input.subspan(at, std::min(piece, input.size() - at)));
        fuzz::Expect(intake.CarriedLength() <= CIntakeDispatcher::kBufferSize);
        fuzz::Expect(intake.ParseOffset() <= intake.CarriedLength());
    }
    intake.IdleFlush();
    // The network path reads straight into the buffer.
    const std::span<std::uint8_t> space = intake.ReceiveSpace();
    const std::size_t n = std::min(space.size(), input.size());
    std::copy_n(input.begin(), n, space.begin());
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
    return 0;
}
