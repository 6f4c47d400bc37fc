#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "decode/parser.h"
#include "decode/time_index_set.h"

class IParserOwner;

// Trimble GSOF records carried in Trimcomm packets, pages joined into one transmission.
class CGSOFParser final : public CParser {
public:
    static constexpr std::int32_t kPositionTypeCount = 1;
    static constexpr std::uint8_t kStx = 0x02;
    static constexpr std::uint8_t kEtx = 0x03;
    static constexpr std::uint8_t kGsofPacketType = 0x40;
    static constexpr std::size_t kPacketOverhead = 6;
    static constexpr std::size_t kRecordBufferSize = 4096;

    // Kind code of a GSOF record type (0x80000000 for types without one of their own).
    static std::uint32_t KindCode(std::uint8_t recordType);

    explicit CGSOFParser(IParserOwner* owner);

    std::int32_t GetProtocolId() const override
    {
        return static_cast<std::int32_t>(ProtocolId::Gsof);
    }
    // trial false: decodes the joined transmission (the arguments are not used); trial true:
    // decodes the given bytes as a record sequence. Returns the record bytes walked.
    std::int32_t ParseMessage(std::span<const std::uint8_t> message, bool trial) override;
    void Reset() override;
    bool VerifyChecksum(std::span<const std::uint8_t> message) override;
    std::uint32_t FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                              std::size_t& length, bool check, bool stopOnError) override;
    bool FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                             std::size_t& length) override;
    // One line per complete record of the transmission joined so far, each ended by '\r'.
    std::string GetHexText() const override;
    bool IsPartial() const override { return partial_; }
    bool IsPositionSource() const override { return positionSource_; }
    void SetPositionSource(bool source) override { positionSource_ = source; }
    std::int32_t GetPositionTypeIndex() const override { return 0; }
    // Whether the transmission being joined is complete.
    bool IsAtDataEnd(const std::uint8_t* position) const override;
    std::uint64_t GetPosition(std::array<double, 3>& position) const override;
    void BuildTimeIndex(std::span<const std::uint8_t> log, std::uint64_t filePosition,
                        bool incremental) override;
    std::uint64_t DecodeAtTime(std::uint64_t timeOfDayMs, EpochPosition& position,
                               std::span<const std::uint8_t> log, std::uint64_t filePosition,
                               std::uint64_t& epochOffset, std::size_t& epochLength) override;
    void ClearTimeIndex() override { timeIndex_.Clear(); }
    bool FindIndexGaps(std::int32_t positionType, std::vector<IndexGap>& gaps) const override
    {
        return timeIndex_.FindGaps(positionType, gaps);
    }
    std::string_view GetPositionTypeName() const override { return "LLH"; }
    std::string_view GetPositionTypeNameAt(std::int32_t index) const override
    {
        return index == 0 ? "LLH" : "";
    }
    std::int32_t GetPositionTypeCount() const override { return kPositionTypeCount; }
    std::int32_t GetIndexedMessageCount() const override { return timeIndex_.Count(); }

    const CTimeIndexSet& TimeIndexes() const { return timeIndex_; }

private:
    // The pages of one transmission joined into its record sequence.
    struct Joining {
        std::array<std::uint8_t, kRecordBufferSize> records{};
        std::size_t length = 0;
        std::int32_t transmission = -1;  // -1: nothing being joined
        std::uint8_t pageIndex = 0;
        std::uint8_t maxPageIndex = 0;
        bool complete = false;
        // ParseMessage has decoded it: a transmission is decoded once.
        bool consumed = false;

        void Reset();
        std::span<const std::uint8_t> Records() const { return {records.data(), length}; }
    };
    enum class Scan { End, Partial, Packet, BadChecksum };
    enum class Page { OtherType, Dropped, Started, Continued, Overflow };

    // Next Trimcomm packet from pos on: at is its first byte, pos moves behind it (Packet),
    // one byte past a bad one (BadChecksum), or stays at an unfinished one (Partial).
    Scan NextPacket(std::span<const std::uint8_t> buffer, std::size_t& pos, std::size_t& at,
                    bool verify);
    static Page JoinPage(Joining& joining, std::span<const std::uint8_t> packet);

    std::size_t WalkRecords(std::span<const std::uint8_t> records);
    void HandleRecord(std::uint8_t type, std::span<const std::uint8_t> data);
    void HandlePositionTime(std::span<const std::uint8_t> data);
    void HandleLlh(std::span<const std::uint8_t> data);
    void HandleVelocity(std::span<const std::uint8_t> data);
    void HandleDop(std::span<const std::uint8_t> data);
    void HandleSigma(std::span<const std::uint8_t> data);
    void HandleCurrentTime(std::span<const std::uint8_t> data);
    void HandleBase(std::span<const std::uint8_t> data, std::size_t latitudeAt, std::uint32_t flag);
    void HandleAllSatellites(std::span<const std::uint8_t> data);
    // Epoch rule, then the time fields when the time is new.
    void StoreTime(std::uint32_t msOfWeek, std::uint16_t week);
    void OfferPositionSource();

    IParserOwner* owner_;
    bool hasWindow_;
    bool positionSource_ = false;
    bool partial_ = false;
    // Set once a time has been stored, so that 00:00:00.000 still counts as a time.
    bool hasTime_ = false;
    // Trial decoding and indexed replay make no owner callbacks.
    bool quiet_ = false;
    // Header of the last framed packet.
    std::array<std::uint8_t, 7> header_{};
    Joining joining_;
    std::uint32_t gpsMsOfWeek_ = 0;
    std::uint16_t gpsWeek_ = 0;
    CTimeIndexSet timeIndex_{kPositionTypeCount};
};
