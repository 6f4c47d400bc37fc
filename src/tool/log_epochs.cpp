#include "tool/log_epochs.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "decode/parser.h"
#include "intake/intake_dispatcher.h"
#include "intake/intake_listener.h"
#include "tool/decode_command.h"

namespace {

constexpr std::int64_t kDayMs = 86400000;

// Notes where each shown epoch ends in the stream, as decode would count it.
class CEpochCutter final : public IIntakeListener {
public:
    explicit CEpochCutter(const IntakeChoice& choice) : intake_(*this) { choice.ApplyTo(intake_); }

    std::vector<LogEpoch> Cut(std::span<const std::uint8_t> log)
    {
        log_ = log;
        for (std::size_t at = 0; at < log.size(); at += kDefaultDecodeBlock)
            intake_.Arrive(log.subspan(at, std::min(kDefaultDecodeBlock, log.size() - at)));
        intake_.IdleFlush();
        if (epochs_.empty()) {
            if (!log.empty()) epochs_.push_back({0, log.size(), 0, false});
        } else {
            epochs_.back().length = log.size() - epochs_.back().offset;
        }
        return std::move(epochs_);
    }

    bool OnRefreshViews(GnssReceiverState& snapshot) override
    {
        const std::size_t begin =
            epochs_.empty() ? 0 : epochs_.back().offset + epochs_.back().length;
        const std::size_t end =
            std::max<std::size_t>(begin, TransmissionStart(intake_.EpochEndOffset()));
        epochs_.push_back(
            {begin, end - begin, snapshot.timeOfDayMs, snapshot.Has(ContentFlag::TimeOfDay)});
        return snapshot.Has(ContentFlag::Position);
    }
    void OnRawLine(std::string_view, bool) override {}
    void OnErrorLine(std::string_view) override {}
    void OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser) override
    {
        if (parser.GetProtocolId() == static_cast<std::int32_t>(ProtocolId::Gsof) &&
            message.size() > kGsofPage && message[kGsofPage] == 0) {
            firstPage_ = intake_.EpochEndOffset() - message.size();
        }
    }

private:
    // GSOF packet: STX, status, type, length, then transmission number, page, last page.
    static constexpr std::size_t kGsofTransmission = 4;
    static constexpr std::size_t kGsofPage = 5;

    // The GSOF decoder joins a transmission's pages across arrivals, so the epoch its later
    // pages close starts at its first page: a receiver sends the pages together.
    std::size_t TransmissionStart(std::uint64_t at) const
    {
        if (at + kGsofPage >= log_.size() || log_[at] != 0x02 || log_[at + 2] != 0x40 ||
            log_[at + kGsofPage] == 0 || !firstPage_ || *firstPage_ >= at ||
            log_[*firstPage_ + kGsofTransmission] != log_[at + kGsofTransmission]) {
            return at;
        }
        return *firstPage_;
    }

    CIntakeDispatcher intake_;
    std::span<const std::uint8_t> log_;
    std::optional<std::size_t> firstPage_;
    std::vector<LogEpoch> epochs_;
};

// The step from one epoch time to the next, over midnight when the clock wrapped.
std::int64_t TimeStepMs(const LogEpoch& from, const LogEpoch& to)
{
    std::int64_t step =
        static_cast<std::int64_t>(to.timeOfDayMs) - static_cast<std::int64_t>(from.timeOfDayMs);
    if (step < -kDayMs / 2) step += kDayMs;
    return step;
}

std::vector<std::chrono::microseconds> PaceByClock(std::span<const LogEpoch> epochs)
{
    using std::chrono::microseconds;
    std::vector<microseconds> at{microseconds{0}};
    if (epochs.empty()) return at;
    microseconds lastGood = kDefaultEpochStep;
    for (std::size_t i = 1; i < epochs.size(); ++i) {
        const bool timed = epochs[i - 1].hasTime && epochs[i].hasTime;
        const std::int64_t stepMs = timed ? TimeStepMs(epochs[i - 1], epochs[i]) : 0;
        microseconds step = lastGood;
        if (stepMs > 0) {
            step = std::min<microseconds>(std::chrono::milliseconds{stepMs}, kLongestEpochStep);
            if (step < kLongestEpochStep) lastGood = step;
        }
        at.push_back(at.back() + step);
    }
    at.push_back(at.back() + lastGood);
    return at;
}

std::size_t TimedEpochs(const std::vector<LogEpoch>& epochs)
{
    return static_cast<std::size_t>(std::count_if(
        epochs.begin(), epochs.end(), [](const LogEpoch& epoch) { return epoch.hasTime; }));
}

}  // namespace

std::vector<LogEpoch> SplitLogEpochs(std::span<const std::uint8_t> log, const IntakeChoice& choice)
{
    return CEpochCutter(choice).Cut(log);
}

std::vector<LogEpoch> SplitFixedChunks(std::size_t logSize, std::size_t chunkBytes)
{
    std::vector<LogEpoch> chunks;
    if (chunkBytes == 0) return chunks;
    for (std::size_t at = 0; at < logSize; at += chunkBytes)
        chunks.push_back({at, std::min(chunkBytes, logSize - at), 0, false});
    return chunks;
}

std::vector<LogEpoch> ServeEpochs(std::span<const std::uint8_t> log)
{
    std::vector<LogEpoch> epochs = SplitLogEpochs(log);
    if (TimedEpochs(epochs) < 2) return SplitFixedChunks(log.size());
    return epochs;
}

std::vector<std::chrono::microseconds> PaceEpochs(std::span<const LogEpoch> epochs,
                                                  std::optional<double> rateHz)
{
    if (!rateHz) return PaceByClock(epochs);
    std::vector<std::chrono::microseconds> at;
    const double stepUs = 1e6 / *rateHz;
    for (std::size_t i = 0; i <= epochs.size(); ++i)
        at.emplace_back(std::llround(stepUs * static_cast<double>(i)));
    return at;
}
