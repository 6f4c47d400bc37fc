// The live intake end to end: serial-sized arrivals through protocol detection, the carried
// bytes, the message loop and one snapshot per epoch, for a plain NMEA receiver and for a
// u-blox receiver that sends NMEA and UBX with raw measurements on one link. The argument is
// the arrival size: a serial port at a high baud rate often hands over a few bytes per read.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <span>

#include "bench_support.h"
#include "intake/intake_dispatcher.h"

namespace {

class CCountingListener final : public IIntakeListener {
public:
    bool OnRefreshViews(GnssReceiverState& snapshot) override
    {
        ++epochs;
        return snapshot.latitudeDeg != 0.0;
    }
    void OnRawLine(std::string_view, bool) override { ++lines; }
    void OnErrorLine(std::string_view) override {}

    std::uint64_t epochs = 0;
    std::uint64_t lines = 0;
};

// Small arrivals feed only the start of the corpus, so that one iteration stays short.
constexpr std::size_t kSmallArrival = 64;
constexpr std::size_t kSmallArrivalBytes = 4u * 1024u * 1024u;

void RunIntake(benchmark::State& state, const bench::Corpus& corpus, bool rawLog)
{
    if (!corpus.error.empty()) {
        state.SkipWithError(corpus.error.c_str());
        return;
    }
    const auto arrival = static_cast<std::size_t>(state.range(0));
    std::span<const std::uint8_t> all(corpus.bytes);
    if (arrival < kSmallArrival) all = all.first(std::min(all.size(), kSmallArrivalBytes));
    std::uint64_t epochs = 0;
    for (auto _ : state) {
        CCountingListener listener;
        CIntakeDispatcher intake(listener);
        intake.SetRawLogEnabled(rawLog);
        for (std::size_t at = 0; at < all.size(); at += arrival) {
            intake.Arrive(all.subspan(at, std::min(arrival, all.size() - at)));
        }
        intake.IdleFlush();
        epochs += listener.epochs;
        benchmark::DoNotOptimize(listener.lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
    state.counters["epochs"] =
        benchmark::Counter(static_cast<double>(epochs), benchmark::Counter::kIsRate);
}

const bench::Corpus& NmeaCorpus()
{
    static const bench::Corpus corpus =
        bench::LoadCapture("nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log", "NMEA");
    return corpus;
}

const bench::Corpus& MixedCorpus()
{
    static const bench::Corpus corpus =
        bench::LoadCapture("mixed/gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log", "NMEA+UBX");
    return corpus;
}

void BM_IntakeNmea(benchmark::State& state) { RunIntake(state, NmeaCorpus(), false); }
void BM_IntakeNmeaWithRawLog(benchmark::State& state) { RunIntake(state, NmeaCorpus(), true); }
void BM_IntakeNmeaUbxMixed(benchmark::State& state) { RunIntake(state, MixedCorpus(), false); }
void BM_IntakeNmeaUbxMixedWithRawLog(benchmark::State& state)
{
    RunIntake(state, MixedCorpus(), true);
}

constexpr std::int64_t kMaxArrival = CIntakeDispatcher::kMaxArrival;

}  // namespace

BENCHMARK(BM_IntakeNmea)->Arg(1)->Arg(16)->Arg(64)->Arg(kMaxArrival)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntakeNmeaWithRawLog)->Arg(kMaxArrival)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntakeNmeaUbxMixed)
    ->Arg(1)
    ->Arg(16)
    ->Arg(64)
    ->Arg(kMaxArrival)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntakeNmeaUbxMixedWithRawLog)->Arg(kMaxArrival)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
