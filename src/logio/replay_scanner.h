#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geo/position_statistics.h"
#include "i18n/translatable.h"
#include "logio/epoch_index.h"

// Texts of the replay's warning boxes; %s stands for the log's path.
inline constexpr std::string_view kReplayCannotOpenText =
    SKARNET2_TRANSLATABLE("ReplayScan", "로그 파일을 열 수 없습니다!");
inline constexpr std::string_view kReplayNotRecognisedText = SKARNET2_TRANSLATABLE(
    "ReplayScan",
    "%s\r\n는 인지할 수 있는 GPS data가 아닐 수 있습니다.\nNMEA/ UBX/ GSOF/ SBF 만 인식 "
    "가능합니다.");
inline constexpr std::string_view kReplayNoPositionText = SKARNET2_TRANSLATABLE(
    "ReplayScan",
    "%s\r\n에 위치정보 또는 시각 정보가 없습니다.\n필요한 경우, 설정-위치출력에서 SYNC "
    "Protocol을 변경하세요!");
inline constexpr std::string_view kReplayNoReferenceText =
    SKARNET2_TRANSLATABLE("ReplayScan", "설정-PlotView에서 기준점 좌표가 설정되지 않았습니다.!");

enum class ScanStatus {
    Ok,
    CannotOpen,
    NotRecognised,
    NoPositionOrTime,
    NoReferenceStation,
    Cancelled,
};

// The warning text for a failed scan with the path filled in; empty for Ok and Cancelled.
std::string ScanStatusMessage(ScanStatus status, std::string_view path);

// "NMEA-GGA@10Hz  /599 Frames ", "UBX@1Hz  /38 Frames ", "NMEA-RMC@2Sec  /9 Frames ".
std::string FrameRateText(std::string_view protocolName, std::string_view syncSentence,
                          std::int64_t frameIntervalMs, std::int64_t frameCount);

// What the scan is told; the caller reads the settings store (the scan never does).
struct ScanSettings {
    std::int32_t syncProtocol = 0;  // REPLAY/SYNCPROT: 0 AUTO, 1 NON NMEA
    std::int32_t errorBase = 0;     // ERROR_CAL/ERROR_BASE
    // Reference point for error bases 1 (a station, which must be given) and 3.
    bool hasReferenceStation = false;
    double referenceLatitude = 37.473125;
    double referenceLongitude = 126.881210;
    bool checkMissing = false;  // REPLAY/CHECK_MISSING_FRAMES
};

struct ScanResult {
    ScanStatus status = ScanStatus::Ok;
    CEpochIndex index;
    std::int64_t frameIntervalMs = 10000;
    std::string protocolName;  // "NMEA", "UBX", "GSOF", "SBF"
    std::string syncSentence;  // "GGA", "RMC", "GNS", "GLL" under the NMEA epoch rule
    ReplayResults statistics;
    bool missingChecked = false;
    std::vector<std::string> missingLines;  // every gap; the window lists IsListedMissingLine
    std::uint64_t bytesRead = 0;

    std::string RateText() const
    {
        return FrameRateText(protocolName, syncSentence, frameIntervalMs,
                             static_cast<std::int64_t>(index.Size()));
    }
};

// Where the scan's bytes come from, block by block.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Fills the start of into; 0 at the end.
    virtual std::size_t Read(std::span<std::uint8_t> into) = 0;
    // Expected total, for progress only (a log being written may grow past it).
    virtual std::uint64_t SizeHint() const = 0;
    // Back to the first byte, for another scan with a different decoder.
    virtual bool Rewind() = 0;
};

class CFileByteSource final : public IByteSource {
public:
    explicit CFileByteSource(const std::string& path);
    bool IsOpen() const { return in_.is_open(); }
    std::size_t Read(std::span<std::uint8_t> into) override;
    std::uint64_t SizeHint() const override { return size_; }
    bool Rewind() override;

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

class CMemoryByteSource final : public IByteSource {
public:
    explicit CMemoryByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t Read(std::span<std::uint8_t> into) override;
    std::uint64_t SizeHint() const override { return bytes_.size(); }
    bool Rewind() override
    {
        at_ = 0;
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// Scans a log once before replay: builds the epoch index, finds the frame interval, computes
// the replay statistics and optionally the missing-message lines. Runs on any thread; it
// owns its decoders.
class CReplayScanner {
public:
    static constexpr std::size_t kReadBlock = 10240;
    // A message tail longer than this waiting for its end is given up.
    static constexpr std::size_t kMaxCarry = std::size_t{1} << 20;
    static constexpr std::size_t kEntriesForInterval = 12;

    // pass 0 builds the index, pass 1 computes the statistics; permille 0..1000.
    using ProgressCallback = std::function<void(int pass, int permille)>;

    CReplayScanner(const ScanSettings& settings, const std::atomic<bool>& cancel,
                   ProgressCallback progress = {});
    explicit CReplayScanner(const ScanSettings& settings, ProgressCallback progress = {});

    ScanResult Scan(IByteSource& source);
    ScanResult ScanFile(const std::string& path);

private:
    class Run;

    ScanSettings settings_;
    std::atomic<bool> neverCancelled_{false};
    const std::atomic<bool>& cancel_;
    ProgressCallback progress_;
};
