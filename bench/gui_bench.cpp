// The whole live path with every view updating: a 10 Hz RTK receiver's capture fed through
// CMainFrame (headless) as fast as it goes, in serial-sized arrivals, with the event loop
// running between arrivals so the views paint as they would on screen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <ctime>
#include <span>

#include "app/main_frame.h"
#include "bench_support.h"
#include "settings/settings_store.h"

namespace {

const bench::Corpus& Capture()
{
    static const bench::Corpus corpus = [] {
        bench::Corpus c = bench::LoadCapture("nmea/gpsd_trimble_rtkfix_10hz.log", "NMEA 10 Hz");
        // A few megabytes are plenty: painting, not parsing, is what this measures.
        if (c.bytes.size() > 4u * 1024u * 1024u) c.bytes.resize(4u * 1024u * 1024u);
        return c;
    }();
    return corpus;
}

void BM_MainFrameLive(benchmark::State& state)
{
    const bench::Corpus& corpus = Capture();
    if (!corpus.error.empty()) {
        state.SkipWithError(corpus.error.c_str());
        return;
    }
    QTemporaryDir dir;
    CSettingsStore store(dir.filePath(QStringLiteral("bench.conf")));
    const std::span<const std::uint8_t> all(corpus.bytes);
    std::uint64_t epochs = 0;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        CMainFrame frame(store);
        frame.show();
        for (std::size_t at = 0; at < all.size(); at += CIntakeDispatcher::kMaxArrival) {
            frame.FeedSerialBytes(
                all.subspan(at, std::min(CIntakeDispatcher::kMaxArrival, all.size() - at)));
            QCoreApplication::processEvents();
        }
        epochs += frame.EpochsShown();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.bytes.size()));
    state.counters["epochs"] =
        benchmark::Counter(static_cast<double>(epochs), benchmark::Counter::kIsRate);
    // Process CPU time, so the painting Qt does on its own threads counts too.
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    state.counters["cpu_us_per_epoch"] =
        epochs == 0 ? 0.0 : cpuSeconds * 1e6 / static_cast<double>(epochs);
}

}  // namespace

BENCHMARK(BM_MainFrameLive)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
