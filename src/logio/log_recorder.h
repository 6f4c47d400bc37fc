#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// What a recording or extraction call did. The two write failures are returned by the one
// call that met them: the file is closed there, so later calls only see Idle and the
// operator gets one message.
enum class RecordStatus {
    Ok,            // written (or started)
    Idle,          // nothing to do: not running, latest-logging mode, filtered out
    CannotCreate,  // the file could not be created; nothing changed
    WriteFailed,   // a write came short (disk full, size limit, device error); stopped
    FileRemoved,   // the file vanished while open; stopped
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Creates (truncating) a file for unbuffered writing, so every short write shows at once.
FilePtr CreateForWriting(const std::filesystem::path& path);

// Writes bytes, adding what reached the file to count; checks the file is still there.
RecordStatus WriteBytes(std::FILE* file, const std::filesystem::path& path,
                        std::span<const std::uint8_t> bytes, std::int64_t& count);

// "Log_%Y%m%d_%H%M%S.txt" of a local time.
std::string AutoLogName(const std::tm& localTime);
// "Ext_%Y%m%d_%H%M%S." followed by the extraction type.
std::string AutoExtractionName(const std::tm& localTime, std::string_view type);
// The leading digits of a time text as hhmmss ("123519.50" -> 123519; "" -> 0).
std::int32_t TimeOfDayNumber(std::string_view timeText);

// The log file of a recording: raw blocks as they arrive, or, in latest-logging mode, the
// message texts of the current second only.
class CLogRecorder {
public:
    CLogRecorder() = default;
    CLogRecorder(const CLogRecorder&) = delete;
    CLogRecorder& operator=(const CLogRecorder&) = delete;

    // Creates the file and starts at 0 bytes; on CannotCreate a running recording goes on.
    RecordStatus Start(const std::filesystem::path& path);
    void Stop();
    bool IsRecording() const { return file_ != nullptr; }
    // Bytes written since the file was created (or since the last latest-logging rewind).
    std::int64_t ByteCount() const { return byteCount_; }
    const std::filesystem::path& Path() const { return path_; }

    void SetLatestLogging(bool on) { latestLogging_ = on; }
    bool IsLatestLogging() const { return latestLogging_; }

    // A received block, before it is decoded; written only with latest logging off.
    RecordStatus WriteBlock(std::span<const std::uint8_t> block);
    // Latest logging: the message text buffer for one decoded message (read up to its first
    // NUL). Texts of 3 characters or fewer are skipped; a text without LF gets one.
    RecordStatus WriteMessageText(std::string_view text);
    // Latest logging: a committed epoch's time text. A new whole second starts the file
    // again, and the file is cut there so it never holds bytes of an older second.
    RecordStatus OnEpochTime(std::string_view timeText);
    // After a replay reset the next epoch always counts as a new second.
    void ResetTimeOfDay() { lastTimeOfDay_ = 0; }

private:
    RecordStatus Write(std::span<const std::uint8_t> bytes);
    RecordStatus Rewind();
    RecordStatus StopWith(RecordStatus status);

    FilePtr file_;
    std::filesystem::path path_;
    std::int64_t byteCount_ = 0;
    bool latestLogging_ = false;
    std::int32_t lastTimeOfDay_ = 0;
};
