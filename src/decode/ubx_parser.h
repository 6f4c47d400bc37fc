#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/parser.h"
#include "decode/time_index_set.h"

class IParserOwner;

// u-blox UBX binary frames: navigation, timing, monitoring and sensor-fusion messages.
class CUBXParser final : public CParser {
public:
    enum PositionType : std::int32_t { PosLlh = 0, Pvt = 1, HpPosLlh = 2, NoPositionType = 3 };
    static constexpr std::int32_t kPositionTypeCount = 3;
    static constexpr std::uint8_t kSync1 = 0xB5;
    static constexpr std::uint8_t kSync2 = 0x62;
    static constexpr std::size_t kHeaderLength = 6;
    static constexpr std::size_t kFrameOverhead = 8;
    static constexpr std::size_t kMaxSensors = 7;

    // Message keys: class x 256 + id.
    static constexpr std::uint16_t kNavPosEcef = 0x0101;
    static constexpr std::uint16_t kNavPosLlh = 0x0102;
    static constexpr std::uint16_t kNavStatus = 0x0103;
    static constexpr std::uint16_t kNavDop = 0x0104;
    static constexpr std::uint16_t kNavPvt = 0x0107;
    static constexpr std::uint16_t kNavVelNed = 0x0112;
    static constexpr std::uint16_t kNavHpPosEcef = 0x0113;
    static constexpr std::uint16_t kNavHpPosLlh = 0x0114;
    static constexpr std::uint16_t kNavTimeUtc = 0x0121;
    static constexpr std::uint16_t kNavSat = 0x0135;
    static constexpr std::uint16_t kNavSig = 0x0143;
    static constexpr std::uint16_t kMonHw = 0x0A09;
    static constexpr std::uint16_t kTimTp = 0x0D01;
    static constexpr std::uint16_t kEsfStatus = 0x1010;

    // Kind code of a message key (0x80000000 for keys without one of their own).
    static std::uint32_t KindCode(std::uint16_t key);

    explicit CUBXParser(IParserOwner* owner);

    std::int32_t GetProtocolId() const override
    {
        return static_cast<std::int32_t>(ProtocolId::Ubx);
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
    std::int32_t GetPositionTypeIndex() const override { return positionType_; }
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
    std::string_view GetPositionTypeName() const override
    {
        return GetPositionTypeNameAt(positionType_);
    }
    std::string_view GetPositionTypeNameAt(std::int32_t index) const override;
    std::int32_t GetPositionTypeCount() const override { return kPositionTypeCount; }
    std::int32_t GetIndexedMessageCount() const override { return timeIndex_.Count(); }

    const CTimeIndexSet& TimeIndexes() const { return timeIndex_; }

    // Inertial sensor status of the last ESF-STATUS, in the order it listed the sensors.
    struct SensorStatus {
        std::uint8_t calibration = 0;  // 2 bits
        std::uint8_t time = 0;         // 2 bits
    };
    const std::array<SensorStatus, kMaxSensors>& Sensors() const { return sensors_; }
    std::int32_t CalibratedSensorCount() const { return calibratedSensors_; }

private:
    // Runs the epoch rule for a NAV message's time of day.
    void NavEpoch(std::uint64_t time);
    // Handlers return the content bits of what they found inside the payload.
    std::uint32_t HandlePosLlh(std::span<const std::uint8_t> payload);
    std::uint32_t HandleStatus(std::span<const std::uint8_t> payload);
    std::uint32_t HandleDop(std::span<const std::uint8_t> payload);
    std::uint32_t HandlePvt(std::span<const std::uint8_t> payload);
    std::uint32_t HandleHpPosLlh(std::span<const std::uint8_t> payload);
    std::uint32_t HandleTimeUtc(std::span<const std::uint8_t> payload);
    std::uint32_t HandleSat(std::span<const std::uint8_t> payload);
    std::uint32_t HandleSig(std::span<const std::uint8_t> payload);
    std::uint32_t HandleMonHw(std::span<const std::uint8_t> payload);
    std::uint32_t HandleTimTp(std::span<const std::uint8_t> payload);
    std::uint32_t HandleEsfStatus(std::span<const std::uint8_t> payload);
    void SetCalendarTexts(std::int32_t year, std::int32_t month, std::int32_t day,
                          std::int32_t hour, std::int32_t minute, std::int32_t second);
    void StoreAccuracy(double horizontal, double vertical);
    void AskForPositionSource();
    void ShowFlagByte(std::uint8_t flags) const;
    bool ChecksumWanted(bool check) const;

    IParserOwner* owner_;
    bool hasWindow_;
    bool positionSource_ = false;
    std::int32_t positionType_ = NoPositionType;
    bool partial_ = false;
    // Set once a time has been stored, so that 00:00:00.000 still counts as a time.
    bool hasTime_ = false;
    // Replay and trial decoding must not complete the owner's epochs.
    bool suppressCallbacks_ = false;
    // The last frame framed with the check flag; rendered only when asked for.
    std::vector<std::uint8_t> lastFrame_;
    std::array<SensorStatus, kMaxSensors> sensors_{};
    std::int32_t calibratedSensors_ = 0;
    CTimeIndexSet timeIndex_{kPositionTypeCount};
};
