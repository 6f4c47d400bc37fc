// Throughput of NMEA framing, decoding and time indexing on a real capture.
//
// Run: ninja -C build nmea_bench && ./build/bench/nmea_bench
// The capture is read from $SKARNET2_DATA_DIR (default: ../shared/data next to the repo).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "bench_support.h"
#include "decode/message_loop.h"
#include "decode/nmea_parser.h"

namespace {

using bench::CWindowLikeOwner;
using bench::kIntakeBlock;

constexpr const char* kCapture = "nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log";

// Loaded once: the 50 MB copy must not be part of any timing.
const bench::Corpus& LoadCorpus()
{
    static const bench::Corpus corpus = bench::LoadCapture(kCapture, "NMEA");
    return corpus;
}

void BM_DecodeWholeBuffer(benchmark::State& state)
{
    const bench::Corpus& corpus = LoadCorpus();
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
    const bench::Corpus& corpus = LoadCorpus();
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
    const bench::Corpus& corpus = LoadCorpus();
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
