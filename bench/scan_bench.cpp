// Throughput of the replay scan over a ~1 GB log made of a real capture repeated, for NMEA
// (GGA epoch rule) and UBX (NAV-PVT epochs), and the index memory per epoch.
//
// Run: ninja -C build-rel scan_bench && ./build-rel/bench/scan_bench
// The captures are read from $SKARNET2_DATA_DIR (default: ../shared/data next to the repo);
// SKARNET2_SCAN_BENCH_MB changes the log size (default 1024).

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_support.h"
#include "logio/replay_scanner.h"

namespace {

std::size_t TargetBytes()
{
    const char* env = std::getenv("SKARNET2_SCAN_BENCH_MB");
    const long mb = (env && *env) ? std::atol(env) : 1024;
    return static_cast<std::size_t>(mb > 0 ? mb : 1024) << 20;
}

// Whole copies of the capture until the log reaches the target size.
bench::Corpus LargeLog(const std::string& relative)
{
    bench::Corpus corpus;
    const std::string path = bench::DataDir() + "/" + relative;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    if (file.empty()) {
        corpus.error = path + " is missing or empty (set SKARNET2_DATA_DIR)";
        return corpus;
    }
    const std::size_t target = TargetBytes();
    corpus.bytes.reserve(target + file.size());
    while (corpus.bytes.size() < target)
        corpus.bytes.insert(corpus.bytes.end(), file.begin(), file.end());
    return corpus;
}

void RunScan(benchmark::State& state, const bench::Corpus& corpus)
{
    if (!corpus.error.empty()) {
        state.SkipWithError(corpus.error.c_str());
        return;
    }
    std::size_t epochs = 0;
    std::size_t indexBytes = 0;
    for (auto _ : state) {
        CMemoryByteSource source(corpus.bytes);
        const ScanResult result = CReplayScanner(ScanSettings{}).Scan(source);
        if (result.status != ScanStatus::Ok) {
            state.SkipWithError("scan failed");
            return;
        }
        epochs = result.index.Size();
        indexBytes = result.index.MemoryBytes();
        benchmark::DoNotOptimize(result.statistics.horizontalRms);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.bytes.size()));
    state.counters["epochs"] = static_cast<double>(epochs);
    state.counters["index_bytes_per_epoch"] =
        epochs > 0 ? static_cast<double>(indexBytes) / static_cast<double>(epochs) : 0.0;
}

void BM_ScanNmea(benchmark::State& state)
{
    static const bench::Corpus corpus = LargeLog("nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    RunScan(state, corpus);
}
BENCHMARK(BM_ScanNmea)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ScanUbx(benchmark::State& state)
{
    static const bench::Corpus corpus =
        LargeLog("ubx/gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log");
    RunScan(state, corpus);
}
BENCHMARK(BM_ScanUbx)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
