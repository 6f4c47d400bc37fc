#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "decode/frame_check.h"
#include "decode/gnss_receiver_state.h"
#include "decode/parser_owner.h"
#include "intake/intake_listener.h"
#include "intake/start_search.h"

// Which sentence kinds the raw-message window shows; a cleared flag hides them.
struct RawLogFilter {
    bool gga = true;
    bool rmc = true;
    bool gsa = true;
    bool gsv = true;
    bool gpgsv = true;
    bool glgsv = true;
    bool gagsv = true;
    bool gbgsv = true;
    bool gqgsv = true;
};

// The one path every received byte takes: collects arrivals in the intake buffer, picks the
// decoder by start signatures, runs the message loop, and at each epoch takes the snapshot
// from the position source (merging what a second protocol adds) and hands it to the
// listener. Serial, network and replay feed the same object.
class CIntakeDispatcher final : public IParserOwner {
public:
    static constexpr std::size_t kBufferSize = 10240;
    // A serial port hands over at most this much per arrival.
    static constexpr std::size_t kMaxArrival = 1024;
    // Unclaimed bytes wait for more data up to this count, then are dropped.
    static constexpr std::size_t kMaxUnclaimed = 256;
    // Above this fill the unconsumed tail moves to the front of the buffer...
    static constexpr std::size_t kCompactThreshold = 6826;
    // ...if the next arrival still fits behind it; a longer tail is dropped. (A message that
    // long cannot be buffered anyway.)
    static constexpr std::size_t kMaxCarriedTail = kBufferSize - kMaxArrival;
    // Dropped unclaimed bytes keep a tail from the last possible message start this close
    // to their end, so a message arriving in small pieces behind noise is not cut.
    static constexpr std::size_t kMaxStartTail = 120;

    static constexpr std::int32_t kSyncAuto = 0;
    static constexpr std::int32_t kSyncNonNmea = 1;

    explicit CIntakeDispatcher(IIntakeListener& listener);
    ~CIntakeDispatcher() override;

    CIntakeDispatcher(const CIntakeDispatcher&) = delete;
    CIntakeDispatcher& operator=(const CIntakeDispatcher&) = delete;

    void SetSyncProtocol(std::int32_t syncProtocol);
    // One decoder takes every byte, whatever the start signatures say (the tool's --protocol).
    void SetForcedProtocol(std::optional<ProtocolId> protocol) { forced_ = protocol; }
    void SetSkipChecksum(bool skip) { skipChecksum_ = skip; }
    void SetReplayRunning(bool running) { replayRunning_ = running; }
    void SetRawLogFilter(const RawLogFilter& filter) { rawLogFilter_ = filter; }
    // Without a raw-message window no line texts are built.
    void SetRawLogEnabled(bool enabled) { rawLogEnabled_ = enabled; }
    // Runs on each decoder as it is created (the owner attaches the taxi meter to NMEA).
    void SetDecoderSetup(std::function<void(CParser&)> setup) { decoderSetup_ = std::move(setup); }

    // Serial arrival: bytes are taken in pieces of at most kMaxArrival.
    void Arrive(std::span<const std::uint8_t> bytes);
    // Network arrival: the caller reads into ReceiveSpace(), then reports the count.
    std::span<std::uint8_t> ReceiveSpace();
    void Received(std::size_t count);

    // One pass of decoder choice and message loop over bytes; returns the decoder used (null
    // when none) and how many bytes are done with.
    CParser* Dispatch(std::span<const std::uint8_t> bytes, std::size_t& consumed);
    // Replay: one indexed epoch's bytes through the dispatcher until they are used up;
    // returns how many were used.
    std::size_t FeedReplay(std::span<const std::uint8_t> bytes);
    // No data for a while: shows the epoch in progress.
    void IdleFlush();

    void FullReset();
    // Keeps the decoders' framing but forgets the epoch (replay jumps).
    void PartialReset();
    // Link down: decoders released, detection starts from scratch.
    void Disconnect();

    const GnssReceiverState& Snapshot() const { return snapshot_; }
    // Where in the stream of arrivals the epoch being shown ends: at the start of the message
    // that brought its successor, or behind the last message decoded when the epoch closes
    // outside a message (end of a range, idle flush). Counts every byte handed in since the
    // dispatcher was made; meaningful for serial and network arrivals, not for replay.
    std::uint64_t EpochEndOffset() const { return parsing_ ? messageBegin_ : messageEnd_; }
    std::size_t CarriedLength() const { return carried_; }
    std::size_t ParseOffset() const { return parseOffset_; }
    CParser* CurrentDecoder() const { return current_; }
    CParser* Decoder(ProtocolId id) const;
    // The decoder of a protocol, created when it does not exist yet (the replay scan uses it
    // to read a log with a decoder of its choice).
    CParser& EnsureDecoder(ProtocolId id) { return DecoderFor(id); }

    // IParserOwner
    bool IsNewEpoch(std::uint64_t timeOfDayMs) override;
    void OnEpochComplete(CParser& parser) override;
    void SelectPositionSource(std::int32_t protocolId) override;
    bool SkipChecksum() const override { return skipChecksum_; }
    std::uint32_t ProtocolsSeen() const override { return protocolsSeen_; }
    void MarkProtocolSeen(std::int32_t protocolId) override;
    const std::uint8_t* IntakeDataEnd() const override { return dataEnd_; }
    bool IsReplayRunning() const override { return replayRunning_; }
    bool HasWindow() const override { return true; }

private:
    struct Choice {
        CParser* decoder = nullptr;
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    struct Start {
        std::size_t offset = 0;
        ProtocolId protocol = ProtocolId::Nmea;
    };
    // The last choice over arrived bytes and what it depended on besides the starts.
    struct ChoiceMemo {
        bool repeatable = false;
        std::uint64_t offset = 0;
        std::uint32_t protocolsSeen = 0;
        std::int32_t syncProtocol = kSyncAuto;
        CParser* current = nullptr;
        Choice choice;
        bool toEnd = false;  // the choice took every byte
    };

    void Intake(std::size_t length);
    void CarryOver(std::size_t length, const CParser* decoder, std::size_t consumed);
    std::size_t LastPossibleStart(std::size_t length) const;
    // Moves the bytes from 'from' up to length to the front and carries them.
    void KeepFrom(std::size_t length, std::size_t from);
    Choice ChooseDecoder(std::span<const std::uint8_t> bytes);
    Choice ChooseBySignatures(std::span<const std::uint8_t> bytes);
    Choice ChooseFromStarts(std::span<const std::uint8_t> bytes);
    void RecordBinaryStarts(std::span<const std::uint8_t> bytes);
    // The first start of a protocol's message in bytes; CStartSearch::kNone when none.
    std::size_t FindPlausibleStart(ProtocolId id, std::span<const std::uint8_t> bytes);
    std::size_t FindSentenceStart(std::span<const std::uint8_t> bytes);
    // Whether bytes are arrived bytes in the buffer, and where they begin in the stream.
    bool InStream(std::span<const std::uint8_t> bytes, std::uint64_t& offset) const;
    void RecordStart(std::size_t offset, ProtocolId protocol);
    bool HasStart(ProtocolId protocol) const;
    void SearchAlso(std::span<const std::uint8_t> bytes, ProtocolId protocol);
    std::size_t RunMessageLoop(std::span<const std::uint8_t> bytes, CParser& decoder,
                               std::size_t begin, std::size_t end);
    // In bytes the decoder has no use for: where a message still arriving, or one of another
    // protocol, begins; their size when nowhere.
    std::size_t KeptFrom(std::span<const std::uint8_t> bytes, const CParser& decoder);
    void NoteMessage(std::span<const std::uint8_t> message);
    void FeedRawLog(std::span<const std::uint8_t> message, CParser& decoder);
    bool HiddenByFilter(std::string_view text) const;
    void ForwardErrors(CParser& decoder);
    CParser* PositionSourceFor(CParser& parser) const;
    // Copies the position source's epoch (with what a second protocol adds) into the
    // snapshot; false when there is no source or nothing new.
    bool TakeSnapshot(CParser& parser);
    bool ShowEpoch();
    CParser& DecoderFor(ProtocolId id);
    CParser* Existing(ProtocolId id) const;
    bool BinarySeen() const;
    ProtocolId OnlyBinarySeen(bool& exactlyOne) const;

    IIntakeListener& listener_;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::size_t carried_ = 0;
    std::size_t parseOffset_ = 0;
    // Stream offsets: of buffer_[0], of the end of all arrivals, of the message in hand.
    std::uint64_t streamBase_ = 0;
    std::uint64_t streamEnd_ = 0;
    std::uint64_t messageBegin_ = 0;
    std::uint64_t messageEnd_ = 0;
    bool parsing_ = false;
    std::optional<ProtocolId> forced_;

    std::array<std::unique_ptr<CParser>, kProtocolCount> decoders_;
    CParser* current_ = nullptr;
    CParser* source_ = nullptr;     // remembered position source
    CParser* auxiliary_ = nullptr;  // remembered auxiliary decoder
    std::uint32_t protocolsSeen_ = 0;
    std::int32_t syncProtocol_ = kSyncAuto;
    bool skipChecksum_ = false;
    bool replayRunning_ = false;
    const std::uint8_t* dataEnd_ = nullptr;

    // Message starts of the current pass, in offset order.
    std::array<Start, kProtocolCount> starts_{};
    std::size_t startCount_ = 0;
    CFrameCheck frameCheck_;
    CStartSearch startSearch_{frameCheck_, kMaxCarriedTail};
    ChoiceMemo lastChoice_;

    GnssReceiverState snapshot_;
    std::uint64_t lastEpochTime_ = 0;
    RawLogFilter rawLogFilter_;
    bool rawLogEnabled_ = true;
    std::function<void(CParser&)> decoderSetup_;
};
