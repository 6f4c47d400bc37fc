#pragma once

// Pieces the decoder benchmarks share: test data replicated in memory and an owner that
// treats its decoders as the main window does.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decode/parser.h"
#include "decode/parser_owner.h"

namespace bench {

inline constexpr std::size_t kTargetBytes = 50u * 1024u * 1024u;
inline constexpr std::size_t kIntakeBlock = 10240;

struct Corpus {
    std::vector<std::uint8_t> bytes;
    std::string error;
};

// $SKARNET2_DATA_DIR, else ../shared/data beside the project.
inline std::string DataDir()
{
    const char* env = std::getenv("SKARNET2_DATA_DIR");
    return (env && *env) ? env : SKARNET2_DEFAULT_DATA_DIR;
}

// Whole copies of sample until the corpus holds at least kTargetBytes.
inline Corpus Replicate(const std::vector<std::uint8_t>& sample)
{
    Corpus c;
    c.bytes.reserve(kTargetBytes + sample.size());
    while (!sample.empty() && c.bytes.size() < kTargetBytes)
        c.bytes.insert(c.bytes.end(), sample.begin(), sample.end());
    return c;
}

// A capture from the data folder (relative path), replicated.
inline Corpus LoadCapture(const std::string& relative, const std::string& what)
{
    const std::string path = DataDir() + "/" + relative;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    if (!in.is_open() || file.empty()) {
        Corpus c;
        c.error = what + " capture " + path + " is missing or empty (set SKARNET2_DATA_DIR)";
        return c;
    }
    return Replicate(file);
}

// Behaves as the main window does towards its decoders.
class CWindowLikeOwner final : public IParserOwner {
public:
    void Attach(CParser* parser) { parser_ = parser; }
    std::uint64_t Epochs() const { return epochs_; }

    bool IsNewEpoch(std::uint64_t timeOfDayMs) override
    {
        return !hasLast_ || timeOfDayMs != lastEpochMs_;
    }
    void OnEpochComplete(CParser& parser) override
    {
        ++epochs_;
        lastEpochMs_ = parser.State()->timeOfDayMs;
        hasLast_ = true;
        parser.State()->ClearEpoch();
    }
    void SelectPositionSource(std::int32_t) override
    {
        if (parser_) parser_->SetPositionSource(true);
    }
    bool SkipChecksum() const override { return false; }
    std::uint32_t ProtocolsSeen() const override { return seen_; }
    void MarkProtocolSeen(std::int32_t protocolId) override { seen_ |= 1u << (protocolId & 31); }
    const std::uint8_t* IntakeDataEnd() const override { return nullptr; }
    bool IsReplayRunning() const override { return false; }
    bool HasWindow() const override { return true; }

private:
    CParser* parser_ = nullptr;
    std::uint64_t epochs_ = 0;
    std::uint64_t lastEpochMs_ = 0;
    bool hasLast_ = false;
    std::uint32_t seen_ = 0;
};

}  // namespace bench
