#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/gnss_receiver_state.h"

class IParserOwner;

// Where one indexed position message lies in a log.
struct TimeIndexEntry {
    std::uint64_t filePosition = 0;
    std::uint32_t length = 0;
};
// Time of day in milliseconds to the message that carries it.
using TimeIndex = std::map<std::uint64_t, TimeIndexEntry>;

inline constexpr std::uint64_t kInitialSmallestIntervalMs = 10000;

// One expected epoch that a time index lacks.
struct IndexGap {
    std::uint64_t expectedTimeMs = 0;
    std::int32_t positionType = 0;
    bool operator==(const IndexGap&) const = default;
};

// What DecodeAtTime reports of an indexed epoch.
struct EpochPosition {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double ellipsoidHeight = 0.0;
    std::int32_t fixQuality = 0;
    bool hasFixQuality = false;
};

// A receiver protocol decoder: frames messages in a byte buffer, decodes them into the
// state it owns, and indexes the position messages of a log by time for replay.
class CParser {
public:
    CParser();
    virtual ~CParser() = default;
    CParser(const CParser&) = delete;
    CParser& operator=(const CParser&) = delete;

    virtual std::int32_t GetProtocolId() const = 0;
    virtual std::int32_t ParseMessage(std::span<const std::uint8_t> message, bool trial) = 0;
    virtual void Reset() = 0;
    virtual bool VerifyChecksum(std::span<const std::uint8_t> message) = 0;
    // Frames the next message; returns its kind code (0 when none is complete) with
    // start and length covering it, or covering the unfinished tail when IsPartial().
    virtual std::uint32_t FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                      std::size_t& length, bool check, bool stopOnError) = 0;
    virtual bool FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                     std::size_t& length) = 0;
    virtual std::string GetHexText() const = 0;
    virtual bool IsPartial() const = 0;
    virtual bool IsPositionSource() const = 0;
    virtual void SetPositionSource(bool source) = 0;
    virtual std::int32_t GetPositionTypeIndex() const = 0;
    virtual bool IsAtDataEnd(const std::uint8_t* position) const = 0;
    // Latitude, longitude and ellipsoid height with the time, when the epoch has a position.
    virtual std::uint64_t GetPosition(std::array<double, 3>& position) const = 0;
    virtual void BuildTimeIndex(std::span<const std::uint8_t> log, std::uint64_t filePosition,
                                bool incremental) = 0;
    // Decodes the first indexed epoch at or after timeOfDayMs out of log, which holds the
    // bytes from filePosition on. Returns the epoch's time key, or kNoTime.
    virtual std::uint64_t DecodeAtTime(std::uint64_t timeOfDayMs, EpochPosition& position,
                                       std::span<const std::uint8_t> log,
                                       std::uint64_t filePosition, std::uint64_t& epochOffset,
                                       std::size_t& epochLength) = 0;
    virtual void ClearTimeIndex() = 0;
    virtual bool FindIndexGaps(std::int32_t positionType, std::vector<IndexGap>& gaps) const = 0;
    virtual std::string_view GetPositionTypeName() const = 0;
    virtual std::string_view GetPositionTypeNameAt(std::int32_t index) const = 0;
    virtual std::int32_t GetPositionTypeCount() const = 0;
    virtual std::int32_t GetIndexedMessageCount() const = 0;

    const std::vector<std::string>& ErrorLog() const { return errorLog_; }
    void ClearErrorLog() { errorLog_.clear(); }
    std::uint32_t ErrorCount() const { return errorCount_; }

    GnssReceiverState* State() { return state_; }
    const GnssReceiverState* State() const { return state_; }

    // Receives diagnostic lines (checksum mismatches); silent when unset.
    void SetDiagnosticSink(std::function<void(std::string_view)> sink)
    {
        diagnostics_ = std::move(sink);
    }

protected:
    // Appends "[hhmmss] error" (local clock) to the error log and counts it.
    void LogChecksumError();
    void Diagnostic(std::string_view line) const;
    bool HasDiagnostics() const { return static_cast<bool>(diagnostics_); }
    void ClearErrors();

    // Replay: decodes messages (checksums not checked) from log[begin] until the state holds
    // position and height or limit is reached; returns the end of the last message decoded.
    std::size_t DecodeEpoch(std::span<const std::uint8_t> log, std::size_t begin,
                            std::size_t limit);
    // What DecodeAtTime reports of the state.
    void ReportEpoch(EpochPosition& position) const;
    // DecodeAtTime for every decoder: locates the epoch in the index, lets the decoder go
    // quiet (setQuiet(true): forget the live epoch clock, no owner callbacks), decodes it and
    // reports it. The state is untouched when there is no such epoch.
    template <class Index, class SetQuiet>
    std::uint64_t DecodeIndexedEpoch(const Index& index, std::int32_t type,
                                     std::uint64_t timeOfDayMs, EpochPosition& position,
                                     std::span<const std::uint8_t> log, std::uint64_t filePosition,
                                     std::uint64_t& epochOffset, std::size_t& epochLength,
                                     SetQuiet&& setQuiet)
    {
        const auto epoch = index.Locate(type, timeOfDayMs, log, filePosition);
        if (!epoch) return kNoTime;
        state_->ClearEpoch();
        setQuiet(true);
        const std::size_t end = DecodeEpoch(log, epoch->begin, epoch->limit);
        setQuiet(false);
        ReportEpoch(position);
        epochOffset = epoch->filePosition;
        epochLength = end - epoch->begin;
        return epoch->time;
    }
    // GetPosition as most decoders answer it.
    std::uint64_t PositionOfState(std::array<double, 3>& position) const;
    // IsAtDataEnd for the stream decoders: a replay runs and position lies at most 5 bytes
    // before the end of what the owner last read.
    static bool NearIntakeEnd(const IParserOwner* owner, const std::uint8_t* position);
    // Bytes as upper-case hex pairs separated by spaces, appended to text.
    static void AppendHex(std::string& text, std::span<const std::uint8_t> bytes);

    std::vector<std::string> errorLog_;
    std::uint32_t errorCount_ = 0;
    GnssReceiverState state_storage_;
    GnssReceiverState* state_ = &state_storage_;

private:
    std::function<void(std::string_view)> diagnostics_;
};
