#include "logio/log_recorder.h"

#include <array>

namespace {

// Texts this short are never a whole message (an empty buffer, a stray CR LF).
constexpr std::size_t kMaxSkippedTextLength = 3;
// hhmmss has six digits; more would only risk overflow.
constexpr std::size_t kMaxTimeDigits = 9;
constexpr std::uint8_t kLineFeed = '\n';

std::string FormatLocalTime(const std::tm& localTime, const char* pattern)
{
    std::array<char, 64> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), pattern, &localTime);
    return std::string(text.data(), length);
}

std::span<const std::uint8_t> AsBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

FilePtr CreateForWriting(const std::filesystem::path& path)
{
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (file) std::setvbuf(file.get(), nullptr, _IONBF, 0);
    return file;
}

RecordStatus WriteBytes(std::FILE* file, const std::filesystem::path& path,
                        std::span<const std::uint8_t> bytes, std::int64_t& count)
{
    if (bytes.empty()) return RecordStatus::Ok;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    count += static_cast<std::int64_t>(written);
    if (written != bytes.size()) return RecordStatus::WriteFailed;
    // Writing into an unlinked file succeeds but keeps nothing; stop instead.
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) return RecordStatus::FileRemoved;
    return RecordStatus::Ok;
}

std::string AutoLogName(const std::tm& localTime)
{
    return FormatLocalTime(localTime, "Log_%Y%m%d_%H%M%S.txt");
}

std::string AutoExtractionName(const std::tm& localTime, std::string_view type)
{
    return FormatLocalTime(localTime, "Ext_%Y%m%d_%H%M%S.") + std::string(type);
}

std::int32_t TimeOfDayNumber(std::string_view timeText)
{
    std::int32_t number = 0;
    for (std::size_t i = 0; i < timeText.size() && i < kMaxTimeDigits; ++i) {
        const char c = timeText[i];
        if (c < '0' || c > '9') break;
        number = number * 10 + (c - '0');
    }
    return number;
}

RecordStatus CLogRecorder::Start(const std::filesystem::path& path)
{
    FilePtr file = CreateForWriting(path);
    if (!file) return RecordStatus::CannotCreate;
    file_ = std::move(file);
    path_ = path;
    byteCount_ = 0;
    return RecordStatus::Ok;
}

void CLogRecorder::Stop() { file_.reset(); }

RecordStatus CLogRecorder::WriteBlock(std::span<const std::uint8_t> block)
{
    if (!IsRecording() || latestLogging_) return RecordStatus::Idle;
    return Write(block);
}

RecordStatus CLogRecorder::WriteMessageText(std::string_view text)
{
    if (!IsRecording() || !latestLogging_) return RecordStatus::Idle;
    text = text.substr(0, text.find('\0'));
    if (text.size() <= kMaxSkippedTextLength) return RecordStatus::Idle;
    if (const RecordStatus status = Write(AsBytes(text)); status != RecordStatus::Ok) return status;
    if (text.find('\n') != std::string_view::npos) return RecordStatus::Ok;
    return Write(std::span(&kLineFeed, 1));
}

RecordStatus CLogRecorder::OnEpochTime(std::string_view timeText)
{
    const std::int32_t number = TimeOfDayNumber(timeText);
    RecordStatus status = RecordStatus::Idle;
    if (IsRecording() && latestLogging_ && number != lastTimeOfDay_) status = Rewind();
    if (!timeText.empty()) lastTimeOfDay_ = number;
    return status;
}

RecordStatus CLogRecorder::Write(std::span<const std::uint8_t> bytes)
{
    const RecordStatus status = WriteBytes(file_.get(), path_, bytes, byteCount_);
    return status == RecordStatus::Ok ? status : StopWith(status);
}

RecordStatus CLogRecorder::Rewind()
{
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) return StopWith(RecordStatus::WriteFailed);
    std::error_code error;
    std::filesystem::resize_file(path_, 0, error);
    if (error) return StopWith(RecordStatus::WriteFailed);
    byteCount_ = 0;
    return RecordStatus::Ok;
}

RecordStatus CLogRecorder::StopWith(RecordStatus status)
{
    Stop();
    return status;
}
