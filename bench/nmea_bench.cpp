// Throughput of NMEA framing, decoding and time indexing on a real capture.
//
// Run: ninja -C build nmea_bench && ./build/bench/nmea_bench
// The capture is read from $SKARNET2_DATA_DIR (default: ../shared/data next to the repo).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "decode/message_loop.h"
#include "decode/nmea_parser.h"
#include "decode/parser_owner.h"

namespace {

constexpr const char* kCapture = "nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log";
constexpr std::size_t kTargetBytes = 50u * 1024u * 1024u;
constexpr std::size_t kIntakeBlock = 10240;

struct Corpus {
    std::vector<std::uint8_t> bytes;
    std::string error;
};

// Loaded once: the 50 MB copy must not be part of any timing.
const Corpus& LoadCorpus()
{
    static const Corpus corpus = [] {
        Corpus c;
        const char* env = std::getenv("SKARNET2_DATA_DIR");
        const std::string dir = (env && *env) ? env : SKARNET2_DEFAULT_DATA_DIR;
        const std::string path = dir + "/" + kCapture;
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
        if (!in.is_open() || file.empty()) {
            c.error = "NMEA capture " + path + " is missing or empty (set SKARNET2_DATA_DIR)";
            return c;
        }
        c.bytes.reserve(kTargetBytes + file.size());
        while (c.bytes.size() < kTargetBytes)
            c.bytes.insert(c.bytes.end(), file.begin(), file.end());
        return c;
    }();
    return corpus;
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

void BM_DecodeWholeBuffer(benchmark::State& state)
{
    const Corpus& corpus = LoadCorpus();
    if (!corpus.error.empty()) {
        state.SkipWithError(corpus.error.c_str());
        return;
    }
    std::uint64_t epochs = 0;
    for (auto _ : state) {
        CWindowLikeOwner owner;
        CNmeaParser parser(&owner);
        owner.Attach(&parser);
        benchmark::DoNotOptimize(DecodeMessages(parser, corpus.bytes));
        benchmark::DoNotOptimize(parser.State()->timeOfDayMs);
        epochs += owner.Epochs();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.bytes.size()));
    state.counters["epochs"] =
        benchmark::Counter(static_cast<double>(epochs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeWholeBuffer)->Unit(benchmark::kMillisecond);

// As the live intake reads: fixed blocks, with the unfinished tail in front of the next one.
void BM_DecodeIntakeBlocks(benchmark::State& state)
{
    const Corpus& corpus = LoadCorpus();
    if (!corpus.error.empty()) {
        state.SkipWithError(corpus.error.c_str());
        return;
    }
    const std::span<const std::uint8_t> all(corpus.bytes);
    std::vector<std::uint8_t> intake;
    intake.reserve(2 * kIntakeBlock);
    std::uint64_t epochs = 0;
    for (auto _ : state) {
        CWindowLikeOwner owner;
        CNmeaParser parser(&owner);
        owner.Attach(&parser);
        intake.clear();
        for (std::size_t at = 0; at < all.size(); at += kIntakeBlock) {
            const auto block = all.subspan(at, std::min(kIntakeBlock, all.size() - at));
            intake.insert(intake.end(), block.begin(), block.end());
            const std::size_t done = DecodeMessages(parser, intake);
            intake.erase(intake.begin(), intake.begin() + static_cast<std::ptrdiff_t>(done));
        }
        benchmark::DoNotOptimize(parser.State()->timeOfDayMs);
        epochs += owner.Epochs();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.bytes.size()));
    state.counters["epochs"] =
        benchmark::Counter(static_cast<double>(epochs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeIntakeBlocks)->Unit(benchmark::kMillisecond);

void BM_BuildTimeIndex(benchmark::State& state)
{
    const Corpus& corpus = LoadCorpus();
    if (!corpus.error.empty()) {
        state.SkipWithError(corpus.error.c_str());
        return;
    }
    CWindowLikeOwner owner;
    CNmeaParser parser(&owner);
    owner.Attach(&parser);
    for (auto _ : state) {
        parser.BuildTimeIndex(corpus.bytes, 0, false);
        benchmark::DoNotOptimize(parser.GetIndexedMessageCount());
        benchmark::DoNotOptimize(parser.GetPositionTypeIndex());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.bytes.size()));
}
BENCHMARK(BM_BuildTimeIndex)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
