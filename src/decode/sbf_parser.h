#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/byte_reader.h"
#include "decode/parser.h"
#include "decode/time_index_set.h"

class IParserOwner;

// Septentrio SBF blocks: DOP, PVTGeodetic, ChannelStatus and MeasEpoch.
class CSBFParser final : public CParser {
public:
    static constexpr std::int32_t kPositionTypeCount = 1;
    static constexpr std::size_t kHeaderLength = 8;

    // Block numbers (the low 13 bits of the block id).
    static constexpr std::uint16_t kDop = 4001;
    static constexpr std::uint16_t kPvtGeodetic = 4007;
    static constexpr std::uint16_t kChannelStatus = 4013;
    static constexpr std::uint16_t kMeasEpoch = 4027;
    static constexpr std::uint16_t kStepOver = 4201;
    static constexpr std::uint16_t kVelCovGeodetic = 5908;
    static constexpr std::uint16_t kAttEuler = 5938;

    // Kind code of a block number: 0 for blocks that are stepped over, 0x80000000 for blocks
    // without one of their own.
    static std::uint32_t KindCode(std::uint16_t blockNumber);
    // CRC-16-CCITT as XMODEM computes it (polynomial 0x1021, start 0).
    static std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

    explicit CSBFParser(IParserOwner* owner);

    std::int32_t GetProtocolId() const override
    {
        return static_cast<std::int32_t>(ProtocolId::Sbf);
    }
    std::int32_t ParseMessage(std::span<const std::uint8_t> message, bool trial) override;
    void Reset() override;
    bool VerifyChecksum(std::span<const std::uint8_t> message) override;
    std::uint32_t FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                              std::size_t& length, bool check, bool stopOnError) override;
    bool FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                             std::size_t& length) override;
    std::string GetHexText() const override;
    bool IsPartial() const override { return partial_; }
    bool IsPositionSource() const override { return positionSource_; }
    void SetPositionSource(bool source) override { positionSource_ = source; }
    std::int32_t GetPositionTypeIndex() const override { return 0; }
    bool IsAtDataEnd(const std::uint8_t* position) const override;
    // The ellipsoid height comes rounded to single precision.
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
    std::string_view GetPositionTypeName() const override { return "PVTGeod"; }
    std::string_view GetPositionTypeNameAt(std::int32_t index) const override
    {
        return index == 0 ? "PVTGeod" : "";
    }
    std::int32_t GetPositionTypeCount() const override { return kPositionTypeCount; }
    std::int32_t GetIndexedMessageCount() const override { return timeIndex_.Count(); }

    const CTimeIndexSet& TimeIndexes() const { return timeIndex_; }

private:
    enum class Frame { NotBlock, Partial, Complete };
    // What lies at data[at] == '$': a block (its length in blockLength), the start of one that
    // the buffer has not wholly received, or no block.
    static Frame FrameAt(std::span<const std::uint8_t> buffer, std::size_t at,
                         std::size_t& blockLength);

    // Moves the clock to the block's time, completing the owner's epoch first when due.
    void TakeTime(const CByteReader& block);
    // Each handler returns the kind bits the block delivered.
    std::uint32_t HandleDop(const CByteReader& block);
    std::uint32_t HandlePvtGeodetic(const CByteReader& block);
    std::uint32_t HandleChannelStatus(const CByteReader& block);
    std::uint32_t HandleMeasEpoch(const CByteReader& block);
    // Index of the satellite in its row, appending a blank entry when it is not there.
    std::int32_t FindOrAppendSatellite(std::int32_t row, std::int32_t svid);

    IParserOwner* owner_;
    bool hasWindow_;
    bool positionSource_ = false;
    bool partial_ = false;
    // Set once a time has been stored, so that 00:00:00.000 still counts as a time.
    bool hasTime_ = false;
    bool suppressEpochCallbacks_ = false;
    // The last framed block; its hex text is rendered only when asked for.
    std::vector<std::uint8_t> lastFrame_;
    CTimeIndexSet timeIndex_{kPositionTypeCount};
};
