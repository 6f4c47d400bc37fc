#include "logio/extraction_writer.h"

namespace {

constexpr std::uint8_t kSentenceStart = '$';

std::string_view AsText(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

RecordStatus CExtractionWriter::Start(const std::filesystem::path& path, std::string_view type)
{
    Stop();
    if (type.empty()) return RecordStatus::Idle;
    FilePtr file = CreateForWriting(path);
    if (!file) return RecordStatus::CannotCreate;
    path_ = path;
    type_ = type;
    byteCount_ = 0;
    running_ = true;
    // The raw-log window opens the file on its own; holding it here too would interleave.
    if (type_ != kLogsType) file_ = std::move(file);
    return RecordStatus::Ok;
}

void CExtractionWriter::Stop()
{
    file_.reset();
    running_ = false;
}

RecordStatus CExtractionWriter::WriteMessage(std::span<const std::uint8_t> message)
{
    if (!file_ || !Matches(message, type_)) return RecordStatus::Idle;
    const RecordStatus status = WriteBytes(file_.get(), path_, message, byteCount_);
    if (status != RecordStatus::Ok) Stop();
    return status;
}

bool CExtractionWriter::Matches(std::span<const std::uint8_t> message, std::string_view type)
{
    if (message.empty() || type.empty() || type == kLogsType) return false;
    // A binary message may hold any byte sequence, so only "BIN" claims it.
    if (message.front() != kSentenceStart) return type == kBinaryType;
    return AsText(message).find(type) != std::string_view::npos;
}
