#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "logio/log_recorder.h"

// Copies the messages of one chosen type from a replay into their own file, unchanged.
// "LOGS" is different: the raw-log window writes its lines into the file itself, so the
// writer only creates it and names it.
class CExtractionWriter {
public:
    static constexpr std::string_view kBinaryType = "BIN";
    static constexpr std::string_view kLogsType = "LOGS";

    CExtractionWriter() = default;
    CExtractionWriter(const CExtractionWriter&) = delete;
    CExtractionWriter& operator=(const CExtractionWriter&) = delete;

    // Closes an earlier extraction, then creates the file. An empty type creates nothing and
    // returns Idle.
    RecordStatus Start(const std::filesystem::path& path, std::string_view type);
    void Stop();
    bool IsRunning() const { return running_; }
    const std::string& Type() const { return type_; }
    const std::filesystem::path& Path() const { return path_; }
    std::int64_t ByteCount() const { return byteCount_; }

    // True for "LOGS": the caller opens Path() for appending and hands it to the raw-log
    // window; WriteMessage then writes nothing.
    bool HandsLinesToRawLog() const { return running_ && type_ == kLogsType; }

    // One decoded message of the replayed frame, written whole when it matches the type.
    RecordStatus WriteMessage(std::span<const std::uint8_t> message);

    // "BIN" takes every message not starting with '$'; other types take text messages
    // whose own text contains the type ("GGA" takes "$GPGGA,...").
    static bool Matches(std::span<const std::uint8_t> message, std::string_view type);

private:
    FilePtr file_;
    std::filesystem::path path_;
    std::string type_;
    std::int64_t byteCount_ = 0;
    bool running_ = false;
};
