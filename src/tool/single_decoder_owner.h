#pragma once

#include <cstdint>
#include <memory>

#include "decode/gnss_receiver_state.h"
#include "decode/parser.h"
#include "decode/parser_owner.h"
#include "tool/protocol_detector.h"

// Owns one decoder the way the main window owns its position source: the decoder is always
// the source, and an epoch completes whenever a position message carries a new time. What
// happens to a completed epoch is the subclass's business (OnEpochComplete, then EndEpoch).
class CSingleDecoderOwner : public IParserOwner {
public:
    void CreateParser(LogProtocol protocol);
    bool HasParser() const { return parser_ != nullptr; }
    CParser& Parser() { return *parser_; }

    bool IsNewEpoch(std::uint64_t timeOfDayMs) override
    {
        return !hasLastEpoch_ || timeOfDayMs != lastEpochMs_;
    }
    void SelectPositionSource(std::int32_t) override { parser_->SetPositionSource(true); }
    bool SkipChecksum() const override { return false; }
    std::uint32_t ProtocolsSeen() const override { return protocolsSeen_; }
    void MarkProtocolSeen(std::int32_t id) override { protocolsSeen_ |= 1u << id; }
    const std::uint8_t* IntakeDataEnd() const override { return nullptr; }
    bool IsReplayRunning() const override { return false; }
    bool HasWindow() const override { return true; }

protected:
    // Remembers the epoch's time and clears its per-epoch part for the next one.
    void EndEpoch(GnssReceiverState& state)
    {
        lastEpochMs_ = state.timeOfDayMs;
        hasLastEpoch_ = true;
        state.ClearEpoch();
    }
    // Whether the decoder holds an epoch that no OnEpochComplete has taken yet.
    bool HasUnfinishedEpoch() const;

    std::unique_ptr<CParser> parser_;

private:
    std::uint32_t protocolsSeen_ = 0;
    std::uint64_t lastEpochMs_ = 0;
    bool hasLastEpoch_ = false;
};
