#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "decode/parser.h"
#include "decode/time_index_set.h"

class IParserOwner;
class ITaxiMeterStep;

// NMEA 0183 sentences: GGA, RMC, GNS, GLL, VTG, GSA, GSV, GST, HDT, ZDA from any "G?"
// talker, and the Trimble PTNL,AVR / BPQ / VGK sentences.
class CNmeaParser final : public CParser {
public:
    enum PositionType : std::int32_t { Gga = 0, Rmc = 1, Gns = 2, Gll = 3, NoPositionType = 4 };
    static constexpr std::int32_t kPositionTypeCount = 4;
    static constexpr std::size_t kWorkBufferSize = 2560;
    static constexpr std::size_t kMaxFields = 64;
    // A "$" with this many bytes behind it and no complete "*hh" is not waited for.
    static constexpr std::size_t kAbandonLength = 120;

    // Sentence kind codes returned by framing.
    static constexpr std::uint32_t kCodeGga = 0x02130001;
    static constexpr std::uint32_t kCodeRmc = 0x00F10002;
    static constexpr std::uint32_t kCodeGns = 0x02130004;
    static constexpr std::uint32_t kCodeGll = 0x00110008;
    static constexpr std::uint32_t kCodeVtg = 0x00400020;
    static constexpr std::uint32_t kCodeGsa = 0x14000040;
    static constexpr std::uint32_t kCodeGst = 0x20000080;
    static constexpr std::uint32_t kCodeGsv = 0x08000100;
    static constexpr std::uint32_t kCodeAvr = 0x01000200;
    static constexpr std::uint32_t kCodeHdt = 0x01000400;
    static constexpr std::uint32_t kCodeZda = 0x00300800;
    static constexpr std::uint32_t kCodeBpq = 0x00001000;
    static constexpr std::uint32_t kCodeVgk = 0x00002000;
    static constexpr std::uint32_t kCodePashrPos = 0x02D30000;
    static constexpr std::uint32_t kCodeUnknown = 0x80000000;

    explicit CNmeaParser(IParserOwner* owner);

    std::int32_t GetProtocolId() const override
    {
        return static_cast<std::int32_t>(ProtocolId::Nmea);
    }
    std::int32_t ParseMessage(std::span<const std::uint8_t> message, bool trial) override;
    void Reset() override;
    bool VerifyChecksum(std::span<const std::uint8_t> message) override;
    std::uint32_t FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                              std::size_t& length, bool check, bool stopOnError) override;
    bool FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                             std::size_t& length) override;
    std::string GetHexText() const override { return {}; }
    bool IsPartial() const override { return partial_; }
    bool IsPositionSource() const override { return positionSource_; }
    void SetPositionSource(bool source) override { positionSource_ = source; }
    std::int32_t GetPositionTypeIndex() const override { return positionType_; }
    bool IsAtDataEnd(const std::uint8_t* position) const override;
    std::uint64_t GetPosition(std::array<double, 3>& position) const override;
    void BuildTimeIndex(std::span<const std::uint8_t> log, std::uint64_t filePosition,
                        bool incremental) override;
    std::uint64_t DecodeAtTime(std::uint64_t timeOfDayMs, EpochPosition& position,
                               std::span<const std::uint8_t> log, std::uint64_t filePosition,
                               std::uint64_t& epochOffset, std::size_t& epochLength) override;
    void ClearTimeIndex() override;
    bool FindIndexGaps(std::int32_t positionType, std::vector<IndexGap>& gaps) const override;
    std::string_view GetPositionTypeName() const override
    {
        return GetPositionTypeNameAt(positionType_);
    }
    std::string_view GetPositionTypeNameAt(std::int32_t index) const override;
    std::int32_t GetPositionTypeCount() const override { return kPositionTypeCount; }
    std::int32_t GetIndexedMessageCount() const override { return timeIndex_.Count(); }

    // Kind code of the sentence starting at text[0] == '$' (0: not a sentence).
    static std::uint32_t Recognize(std::span<const std::uint8_t> text);

    const CTimeIndexSet& TimeIndexes() const { return timeIndex_; }
    const TimeIndex& GetTimeIndex(std::int32_t positionType) const
    {
        return timeIndex_.Get(positionType);
    }
    std::uint64_t GetSmallestInterval(std::int32_t positionType) const
    {
        return timeIndex_.SmallestInterval(positionType);
    }

    void SetTaxiMeter(ITaxiMeterStep* meter) { taxiMeter_ = meter; }
    void SetTaxiMeterSwitch(bool on) { taxiMeterSwitch_ = on; }
    // Section "NMEA", key "OPERATION_TYPE"; 1 runs the taxi meter.
    void SetOperationType(std::int32_t type) { operationType_ = type; }

private:
    struct Fields;

    std::int32_t Dispatch(std::uint32_t code, const Fields& fields, std::size_t consumed);
    // Runs the epoch rule for a sentence's time field; returns the time or kNoTime.
    std::uint64_t PositionEpoch(std::int32_t type, std::string_view timeField);
    void StorePositionAt(std::uint64_t time, std::string_view lat, std::string_view ns,
                         std::string_view lon, std::string_view ew);

    void HandleGga(const Fields& f);
    void HandleRmc(const Fields& f);
    void HandleGns(const Fields& f);
    void HandleGll(const Fields& f);
    void HandleVtg(const Fields& f);
    void HandleGsa(const Fields& f);
    void HandleGsv(const Fields& f);
    void HandleGst(const Fields& f);
    void HandleHdt(const Fields& f);
    void HandleAvr(const Fields& f);
    void HandleBpq(const Fields& f);
    void HandleVgk(const Fields& f);
    void HandleZda(const Fields& f);

    bool ChecksumDigitsValid(std::span<const std::uint8_t> sentence) const;

    IParserOwner* owner_;
    bool hasWindow_;
    bool positionSource_ = false;
    std::int32_t positionType_ = NoPositionType;
    bool partial_ = false;
    // Set once a time has been stored, so that 00:00:00.000 still counts as a time.
    bool hasTime_ = false;
    // Time of the last stored position; a ZDA that moved the clock first must not keep the
    // epoch's GGA from storing its position.
    std::uint64_t positionTimeMs_ = kNoTime;
    // A position sentence has carried a time: from then on ZDA only brings the date.
    bool positionClockSeen_ = false;
    bool suppressEpochCallbacks_ = false;

    CTimeIndexSet timeIndex_{kPositionTypeCount};

    bool taxiMeterSwitch_ = true;
    // Off until the taxi meter settings have been loaded.
    std::int32_t operationType_ = -1;
    ITaxiMeterStep* taxiMeter_ = nullptr;
};
