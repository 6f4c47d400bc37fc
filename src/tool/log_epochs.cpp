#include "tool/log_epochs.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "tool/single_decoder_owner.h"

namespace {

// The log is framed through a window that grows like decode's blocks, so that no framing call
// looks at the whole of a large log.
constexpr std::size_t kWindowBytes = std::size_t{64} << 10;
constexpr std::int64_t kDayMs = 86400000;

// Owns the decoder as decode does; where decode commits an epoch, this cuts the log at the
// start of the message that brought the new time.
class CEpochCutter final : public CSingleDecoderOwner {
public:
    explicit CEpochCutter(LogProtocol protocol) { CreateParser(protocol); }

    std::vector<LogEpoch> Cut(std::span<const std::uint8_t> log)
    {
        std::size_t done = 0;
        for (std::size_t end = 0; end < log.size();) {
            end = std::min(log.size(), end + kWindowBytes);
            done += DecodeWindow(log.subspan(done, end - done), done);
            parser_->ClearErrorLog();
        }
        Finish(log.size());
        return std::move(epochs_);
    }

    void OnEpochComplete(CParser& parser) override
    {
        GnssReceiverState& state = *parser.State();
        Close(messageStart_, state.timeOfDayMs, true);
        EndEpoch(state);
    }

private:
    // The message loop of the intake, noting where each message starts. Returns how many
    // leading bytes are done with.
    std::size_t DecodeWindow(std::span<const std::uint8_t> bytes, std::size_t base)
    {
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            std::size_t start = 0, length = 0;
            const auto rest = bytes.subspan(pos);
            if (parser_->FindMessage(rest, start, length, true, false) == 0)
                return parser_->IsPartial() ? pos + start : bytes.size();
            messageStart_ = base + pos + start;
            parser_->ParseMessage(rest.subspan(start, length), false);
            pos += start + length;
        }
        return pos;
    }

    void Close(std::size_t end, std::uint64_t timeOfDayMs, bool hasTime)
    {
        epochs_.push_back({begin_, end - begin_, timeOfDayMs, hasTime});
        begin_ = end;
    }

    // The epoch still being filled counts when decode's final flush would commit it;
    // otherwise its bytes go with the epoch before.
    void Finish(std::size_t logSize)
    {
        const GnssReceiverState& state = *parser_->State();
        const bool counted = HasUnfinishedEpoch();
        if (counted || (epochs_.empty() && logSize > 0)) {
            Close(logSize, state.timeOfDayMs, counted && state.Has(ContentFlag::TimeOfDay));
        } else if (!epochs_.empty()) {
            epochs_.back().length = logSize - epochs_.back().offset;
        }
    }

    std::vector<LogEpoch> epochs_;
    std::size_t begin_ = 0;
    std::size_t messageStart_ = 0;
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

std::vector<LogEpoch> SplitLogEpochs(std::span<const std::uint8_t> log, LogProtocol forced)
{
    LogProtocol protocol = forced;
    if (protocol == LogProtocol::Unknown) protocol = CProtocolDetector().Scan(log, true);
    return CEpochCutter(protocol).Cut(log);
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
    std::vector<LogEpoch> best = SplitLogEpochs(log);
    // In a log mixing protocols the first message need not be of the one carrying the
    // positions (UBX raw data beside NMEA fixes): then the decoder finding most epochs leads.
    if (TimedEpochs(best) < 2) {
        for (const LogProtocol protocol :
             {LogProtocol::Nmea, LogProtocol::Ubx, LogProtocol::Sbf, LogProtocol::Gsof}) {
            std::vector<LogEpoch> other = SplitLogEpochs(log, protocol);
            if (TimedEpochs(other) > TimedEpochs(best)) best = std::move(other);
        }
    }
    if (TimedEpochs(best) < 2) return SplitFixedChunks(log.size());
    return best;
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
