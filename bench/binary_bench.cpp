// Throughput of UBX, SBF and GSOF framing and decoding, each on at least 50 MB.
//
// UBX and SBF are real captures, copied end to end; no real GSOF capture exists, so the GSOF stream
// is the receiver simulator's own output (records 1, 2, 8, 9, 12, 16 and 48, multi-page). Run:
// ninja -C build binary_bench && ./build/bench/binary_bench The captures are read from
// $SKARNET2_DATA_DIR (default: ../shared/data next to the repo).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bench_support.h"
#include "decode/gsof_parser.h"
#include "decode/message_loop.h"
#include "decode/sbf_parser.h"
#include "decode/ubx_parser.h"
#include "tool/receiver_simulator.h"

namespace {

// Loaded once each: the 50 MB copies must not be part of any timing.
const bench::Corpus& UbxCorpus()
{
    static const bench::Corpus corpus =
        bench::LoadCapture("ubx/gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log", "UBX");
    return corpus;
}

const bench::Corpus& SbfCorpus()
{
    static const bench::Corpus corpus =
        bench::LoadCapture("sbf/sbfmixer_mosaic_all_blocks.sbf", "SBF");
    return corpus;
}

// The largest SBF capture is mostly almanac and navigation blocks; this one has the blocks
// the decoder reads in every epoch.
const bench::Corpus& SbfPvtCorpus()
{
    static const bench::Corpus corpus =
        bench::LoadCapture("sbf/sbfmixer_mosaic_pvtgeod_dop_chstatus_meas_atteuler.sbf", "SBF");
    return corpus;
}

const bench::Corpus& SimulatedGsofCorpus()
{
    static const bench::Corpus corpus = [] {
        SimulatorOptions options;
        options.seconds = 3600.0;
        CReceiverSimulator simulator(options, SimulatedProtocol::Gsof);
        std::string hour;
        while (simulator.NextEpoch(hour)) {
        }
        return bench::Replicate(std::vector<std::uint8_t>(hour.begin(), hour.end()));
    }();
    return corpus;
}

void Report(benchmark::State& state, const bench::Corpus& corpus, std::uint64_t epochs)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.bytes.size()));
    state.counters["epochs"] =
        benchmark::Counter(static_cast<double>(epochs), benchmark::Counter::kAvgIterations);
    state.counters["epoch_rate"] =
        benchmark::Counter(static_cast<double>(epochs), benchmark::Counter::kIsRate);
}

// blockSize 0: the whole corpus in one call; otherwise fixed blocks as the live intake reads
// them, with the unfinished tail in front of the next one.
template <class Parser>
void Decode(benchmark::State& state, const bench::Corpus& corpus, std::size_t blockSize)
{
    if (!corpus.error.empty()) {
        state.SkipWithError(corpus.error.c_str());
        return;
    }
    const std::span<const std::uint8_t> all(corpus.bytes);
    std::vector<std::uint8_t> intake;
    intake.reserve(2 * bench::kIntakeBlock + 65536);
    std::uint64_t epochs = 0;
    for (auto _ : state) {
        bench::CWindowLikeOwner owner;
        Parser parser(&owner);
        owner.Attach(&parser);
        if (blockSize == 0) {
            benchmark::DoNotOptimize(DecodeMessages(parser, all));
        } else {
            intake.clear();
            for (std::size_t at = 0; at < all.size(); at += blockSize) {
                const auto block = all.subspan(at, std::min(blockSize, all.size() - at));
                intake.insert(intake.end(), block.begin(), block.end());
                const std::size_t done = DecodeMessages(parser, intake);
                intake.erase(intake.begin(), intake.begin() + static_cast<std::ptrdiff_t>(done));
            }
        }
        benchmark::DoNotOptimize(parser.State()->timeOfDayMs);
        epochs += owner.Epochs();
    }
    Report(state, corpus, epochs);
}

void BM_UbxRealCapture(benchmark::State& state) { Decode<CUBXParser>(state, UbxCorpus(), 0); }
void BM_UbxRealCaptureIntakeBlocks(benchmark::State& state)
{
    Decode<CUBXParser>(state, UbxCorpus(), bench::kIntakeBlock);
}
void BM_SbfRealCapture(benchmark::State& state) { Decode<CSBFParser>(state, SbfCorpus(), 0); }
void BM_SbfRealCaptureIntakeBlocks(benchmark::State& state)
{
    Decode<CSBFParser>(state, SbfCorpus(), bench::kIntakeBlock);
}
void BM_SbfRealCapturePvtEpochs(benchmark::State& state)
{
    Decode<CSBFParser>(state, SbfPvtCorpus(), 0);
}
void BM_GsofSimulated(benchmark::State& state)
{
    Decode<CGSOFParser>(state, SimulatedGsofCorpus(), 0);
}
void BM_GsofSimulatedIntakeBlocks(benchmark::State& state)
{
    Decode<CGSOFParser>(state, SimulatedGsofCorpus(), bench::kIntakeBlock);
}

BENCHMARK(BM_UbxRealCapture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UbxRealCaptureIntakeBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SbfRealCapture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SbfRealCaptureIntakeBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SbfRealCapturePvtEpochs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GsofSimulated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GsofSimulatedIntakeBlocks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
