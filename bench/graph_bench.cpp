// The graph tool windows (headless): samples added per second, one paint of a full window of
// each graph, and the memory a day of samples (864,000) takes per graph.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <memory>

#include "views/graphs/graph_ctrls.h"
#include "views/graphs/heading_ctrl.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;

std::unique_ptr<CGraphCtrl> MakeGraph(int which)
{
    switch (which) {
        case 0:
            return std::make_unique<CPosDevGraphCtrl>(QStringLiteral("N-S 그래프"),
                                                      QStringLiteral("N"), QStringLiteral("S"));
        case 1: return std::make_unique<CSpeedGraphCtrl>();
        case 2: return std::make_unique<CDistanceGraphCtrl>();
        case 3: return std::make_unique<CElevationGraphCtrl>();
        default: break;
    }
    return std::make_unique<CHdgDevGraphCtrl>();
}

const char* GraphName(int which)
{
    static const char* const kNames[] = {"posdev", "speed", "distance", "elevation", "hdg"};
    return kNames[which];
}

// A wandering signal of the graph's kind, worked out before timing; every class shows up.
class CFeeder {
public:
    explicit CFeeder(CGraphCtrl& graph)
        : value_(dynamic_cast<CValueGraphCtrl*>(&graph)),
          hdg_(dynamic_cast<CHdgDevGraphCtrl*>(&graph))
    {
        const bool deviation = dynamic_cast<CPosDevGraphCtrl*>(&graph) != nullptr;
        for (std::size_t i = 0; i < kTable; ++i) {
            const double t = static_cast<double>(i);
            a_[i] = hdg_        ? std::fmod(t * 0.37, 360.0)
                    : deviation ? 1950000.0 + 0.02 * std::sin(t * 0.01)
                                : 40.0 + 30.0 * std::sin(t * 0.01);
            b_[i] = std::fmod(t * 0.41, 360.0);
        }
    }
    void Feed(std::size_t i)
    {
        const std::size_t k = i & (kTable - 1);
        const int fix = 2 + static_cast<int>(k % 5);
        if (hdg_)
            hdg_->AddValues(a_[k], b_[k], fix, false);
        else
            value_->AddValue(a_[k], true, fix, false);
    }

private:
    static constexpr std::size_t kTable = 4096;
    CValueGraphCtrl* value_;
    CHdgDevGraphCtrl* hdg_;
    double a_[kTable];
    double b_[kTable];
};

long RssBytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

void BM_AddSamples(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    state.SetLabel(GraphName(which));
    auto graph = MakeGraph(which);
    auto feeder = std::make_unique<CFeeder>(*graph);
    std::size_t i = 0;
    for (auto _ : state) feeder->Feed(i++);
    state.counters["samples/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PaintFullWindow(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    state.SetLabel(GraphName(which));
    auto graph = MakeGraph(which);
    graph->resize(kWidth, kHeight);
    CFeeder feeder(*graph);
    for (std::size_t i = 0; i < 2 * graph->WindowLength(); ++i) feeder.Feed(i);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        graph->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_PaintGauge(benchmark::State& state)
{
    CHeadingCtrl gauge;
    gauge.SetAnimation(false);
    gauge.SetAngles(123.4, 234.5);
    gauge.resize(300, 360);
    QImage image(300, 360, QImage::Format_RGB32);
    for (auto _ : state) {
        gauge.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_DayOfSamples(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    state.SetLabel(GraphName(which));
    double ringBytes = 0.0;
    double rssDelta = 0.0;
    for (auto _ : state) {
        // Memory freed by earlier runs would otherwise be reused unseen.
        malloc_trim(0);
        const long before = RssBytes();
        auto graph = MakeGraph(which);
        auto feeder = std::make_unique<CFeeder>(*graph);
        for (std::size_t i = 0; i < kMaxGraphSamples; ++i) feeder->Feed(i);
        rssDelta = static_cast<double>(RssBytes() - before);
        ringBytes = static_cast<double>(graph->Ring().MemoryBytes());
    }
    state.counters["ring_bytes"] = ringBytes;
    state.counters["rss_delta_bytes"] = rssDelta;
}

}  // namespace

BENCHMARK(BM_AddSamples)->DenseRange(0, 4);
BENCHMARK(BM_PaintFullWindow)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintGauge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DayOfSamples)->DenseRange(0, 4)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
