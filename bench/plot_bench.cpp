// The position plot (headless): the paint of a new epoch on an 800x600 plot holding 0, a day
// (864,000) or a week (6,048,000) of 10 Hz positions, at every scale level and centre mode,
// with live points only or with as many replay points beside them; a drag (a one-pixel pan,
// nothing new); the rebuild (a zoom, nothing new); and the memory a week takes. Two receivers:
// a static one (RTK, float, DGPS and GPS spells with their typical scatter) and a car driving
// all the time (with dead-reckoning spells too).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "settings/settings_store.h"
#include "views/plots_view.h"
#include "views/reference_stations.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kExtra = 20000;  // epochs arriving while a case is measured
// The epochs each paint case plays: RTK, float and GPS spells of the static receiver, and
// float, DGPS, GPS and RTK ones of the car.
constexpr int kStretch = 8000;
constexpr double kMetresPerDegree = 111195.0;
constexpr double kRad = 3.14159265358979323846 / 180.0;

struct Track {
    std::vector<double> lon, lat;
    std::vector<std::int8_t> fixClass;
    std::vector<GeoPoint> replay;
};

// Spells of a few seconds to a few minutes per class: GPS, DGPS, Float, RTK, DR.
constexpr std::array<int, 5> kClasses{1, 2, 5, 4, 6};
constexpr std::array<double, 5> kScatter{1.5, 0.4, 0.1, 0.008, 3.0};  // metres, per axis

std::unique_ptr<Track> MakeTrack(bool driving, std::size_t count, bool replay)
{
    auto t = std::make_unique<Track>();
    const auto station = StationPosition(0);
    std::mt19937 random(20240611);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> spell(30, 3000);
    // A static receiver never dead-reckons.
    std::discrete_distribution<int> nextClass(
        driving ? std::initializer_list<double>{4, 6, 20, 65, 5}
                : std::initializer_list<double>{5, 10, 20, 65, 0});
    std::size_t cls = 3;
    int left = spell(random);
    // Scatter correlated over about a minute, as multipath makes it.
    constexpr double kKeep = 0.998;
    const double kFresh = std::sqrt(1.0 - kKeep * kKeep);
    double errE = 0.0, errN = 0.0, e = 0.0, n = 0.0, heading = 0.0;
    const std::size_t total = count + kExtra;
    t->lon.reserve(total), t->lat.reserve(total), t->fixClass.reserve(total);
    for (std::size_t i = 0; i < total; ++i) {
        if (--left <= 0) {
            cls = static_cast<std::size_t>(nextClass(random));
            left = spell(random);
        }
        if (driving) {
            heading += 0.02 * unit(random);
            e += 1.5 * std::sin(heading);  // 15 m/s
            n += 1.5 * std::cos(heading);
        }
        errE = kKeep * errE + kFresh * kScatter[cls] * unit(random);
        errN = kKeep * errN + kFresh * kScatter[cls] * unit(random);
        const double lat = station->latitude + (n + errN) / kMetresPerDegree;
        t->lat.push_back(lat);
        t->lon.push_back(station->longitude +
                         (e + errE) / (kMetresPerDegree * std::cos(lat * kRad)));
        t->fixClass.push_back(static_cast<std::int8_t>(kClasses[cls]));
        if (replay) {
            t->replay.emplace_back(t->lon.back(), t->lat.back(), 0.0f, 0,
                                   static_cast<std::uint32_t>(kClasses[cls]));
        }
    }
    return t;
}

// One plot holding a track, kept while consecutive cases share the track and centre mode.
struct Setup {
    std::int64_t key = -1;
    std::unique_ptr<Track> track;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<CSettingsStore> store;
    std::unique_ptr<CPlotsView> view;
    std::size_t count = 0;
    std::size_t next = 0;
    bool replay = false;

    // Point i of the track; past its end, the epochs after the first count come round again.
    void Add()
    {
        const std::size_t size = track->lon.size();
        const std::size_t i = next < size ? next : count + (next - count) % (size - count);
        ++next;
        view->AddPosition(track->lon[i], track->lat[i], 0, track->fixClass[i], true);
        if (replay) view->AddReplayPoint(static_cast<int>(i));
    }
};

Setup& Prepare(bool driving, bool replay, std::size_t count, int mode)
{
    static Setup s;
    const std::int64_t key =
        (static_cast<std::int64_t>(count) << 8) | (driving << 5) | (replay << 4) | mode;
    if (s.key == key) return s;
    s = Setup();
    malloc_trim(0);
    s.key = key;
    s.replay = replay;
    s.count = count;
    s.track = MakeTrack(driving, count, replay);
    s.dir = std::make_unique<QTemporaryDir>();
    s.store = std::make_unique<CSettingsStore>(s.dir->filePath(QStringLiteral("bench.conf")));
    const auto station = StationPosition(0);
    s.store->Write(settings::kRefPointCenter, mode);
    s.store->Write(settings::kRefPointRefSite, 0);
    // The arbitrary point: half a metre east of the station.
    s.store->Write(settings::kRefPointLatitude, QString::number(station->latitude, 'f', 9));
    s.store->Write(settings::kRefPointLongitude,
                   QString::number(station->longitude + 0.5 / (kMetresPerDegree *
                                                               std::cos(station->latitude * kRad)),
                                   'f', 9));
    s.view = std::make_unique<CPlotsView>();
    s.view->resize(kWidth, kHeight);
    s.view->LoadSettings(*s.store);
    s.view->SetReplayPositionList(&s.track->replay);
    for (std::size_t i = 0; i < count; ++i) s.Add();
    return s;
}

void Drag(CPlotsView& view, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(at), QPointF(at), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

void SetScale(CPlotsView& view, int index)
{
    while (view.ScaleIndex() > index) view.ZoomIn();
    while (view.ScaleIndex() < index) view.ZoomOut();
}

// Arguments: driving, replay, points, centre mode, scale index.
void BM_PlotPaint(benchmark::State& state)
{
    const bool driving = state.range(0) != 0;
    const bool replay = state.range(1) != 0;
    const auto count = static_cast<std::size_t>(state.range(2));
    const int mode = static_cast<int>(state.range(3));
    Setup& s = Prepare(driving, replay, count, mode);
    SetScale(*s.view, static_cast<int>(state.range(4)));
    state.SetLabel(std::string(driving ? "driving" : "static") + (replay ? "/replay" : "/live"));
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    // Every case plays the same stretch of the track, spells of every kind: its figure does not
    // depend on the cases run before it. The first paint at a scale is a rebuild
    // (BM_PlotRebuild), not the paint of a new epoch.
    s.next = s.count;
    if (count > 0) s.Add();
    s.view->render(&image);
    for (auto _ : state) {
        state.PauseTiming();
        if (count > 0) s.Add();
        state.ResumeTiming();
        s.view->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// A drag: the same plots repainted with nothing new but a one-pixel pan back and forth.
// Arguments: driving, replay, points, centre mode, scale index.
void BM_PlotDrag(benchmark::State& state)
{
    const bool driving = state.range(0) != 0;
    const bool replay = state.range(1) != 0;
    const auto count = static_cast<std::size_t>(state.range(2));
    Setup& s = Prepare(driving, replay, count, static_cast<int>(state.range(3)));
    SetScale(*s.view, static_cast<int>(state.range(4)));
    state.SetLabel(std::string(driving ? "driving" : "static") + (replay ? "/replay" : "/live"));
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    const QPoint grip(100, 100);
    Drag(*s.view, QEvent::MouseButtonPress, grip);
    int step = 0;
    s.view->render(&image);
    for (auto _ : state) {
        state.PauseTiming();
        Drag(*s.view, QEvent::MouseMove, grip + QPoint(++step % 2, 0));
        state.ResumeTiming();
        s.view->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    Drag(*s.view, QEvent::MouseButtonRelease, grip);
    s.view->ResetPan();
}

// The rebuild, after which every mark is looked for in the trees again: zooming in and out
// between the scale level and the next, nothing new. Arguments as BM_PlotPaint.
void BM_PlotRebuild(benchmark::State& state)
{
    const bool driving = state.range(0) != 0;
    const bool replay = state.range(1) != 0;
    const auto count = static_cast<std::size_t>(state.range(2));
    Setup& s = Prepare(driving, replay, count, static_cast<int>(state.range(3)));
    const int scale = static_cast<int>(state.range(4));
    const int other = scale + 1 < kPlotScaleCount ? scale + 1 : scale - 1;
    state.SetLabel(std::string(driving ? "driving" : "static") + (replay ? "/replay" : "/live"));
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SetScale(*s.view, ++step % 2 == 0 ? scale : other);
        state.ResumeTiming();
        s.view->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

long RssBytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// Resident memory a week of live positions adds, per point (the track itself is made first).
void BM_WeekMemory(benchmark::State& state)
{
    const bool driving = state.range(0) != 0;
    state.SetLabel(driving ? "driving" : "static");
    constexpr std::size_t kWeek = 6048000;
    auto track = MakeTrack(driving, kWeek, false);
    double perPoint = 0.0;
    for (auto _ : state) {
        malloc_trim(0);
        const long before = RssBytes();
        auto view = std::make_unique<CPlotsView>();
        view->resize(kWidth, kHeight);
        for (std::size_t i = 0; i < kWeek; ++i) {
            view->AddPosition(track->lon[i], track->lat[i], 0, track->fixClass[i], true);
        }
        perPoint = static_cast<double>(RssBytes() - before) / static_cast<double>(kWeek);
    }
    state.counters["rss_bytes_per_point"] = perPoint;
}

// Both benchmarks take the same cases.
void Arguments(benchmark::internal::Benchmark* b)
{
    for (int driving : {0, 1}) {
        for (int replay : {0, 1}) {
            for (int points : {0, 864000, 6048000}) {
                for (int mode = 0; mode < 4; ++mode) {
                    for (int scale = 0; scale < kPlotScaleCount; ++scale) {
                        b->Args({driving, replay, points, mode, scale});
                    }
                }
            }
        }
    }
    b->ArgNames({"driving", "replay", "points", "mode", "scale"});
}

}  // namespace

BENCHMARK(BM_PlotPaint)->Apply(Arguments)->Iterations(kStretch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotDrag)->Apply(Arguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotRebuild)->Apply(Arguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WeekMemory)->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
