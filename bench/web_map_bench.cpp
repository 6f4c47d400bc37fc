// The web map over a whole day at 10 Hz: 864,000 positions of a driving receiver (with fix
// class changes) pushed headless through CMapDlg in batches of 1000 (limit 0, keep every
// position), then what a live 10 Hz update costs at the end of that day, how long a full
// redraw and a zoom take, and the page's memory.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "support/headless_home.h"
#include "webmap/map_dlg.h"

namespace {

constexpr int kPositions = 864000;  // 24 h at 10 Hz
constexpr int kBatch = 1000;

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QVariant Eval(CMapDlg& map, const QString& code)
{
    auto result = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
    map.RunScript(code, [result](const QVariant& value) { *result = {true, value}; });
    WaitFor([&] { return result->first; }, 120000);
    return result->second;
}

// A car at about 15 m/s with a slowly wandering heading; mostly RTK FIX, with FLOAT, DGPS,
// GPS and dead-reckoning spells of a few seconds to a few minutes.
std::vector<MapPoint> DayTrack()
{
    std::mt19937 random(20230531);
    std::normal_distribution<double> turn(0.0, 0.02);
    std::uniform_int_distribution<int> spell(30, 3000);
    std::discrete_distribution<int> nextClass({4, 6, 20, 65, 5});
    std::vector<MapPoint> track;
    track.reserve(kPositions);
    double lat = 37.5665, lon = 126.9780, heading = 0.0;
    int fixClass = 3, left = spell(random);
    constexpr double kMetresPerDegree = 111195.0;
    constexpr double kRad = 3.14159265358979323846 / 180.0;
    for (int i = 0; i < kPositions; ++i) {
        heading += turn(random);
        const double step = 1.5;  // metres per 0.1 s
        lat += step * std::cos(heading) / kMetresPerDegree;
        lon += step * std::sin(heading) / (kMetresPerDegree * std::cos(lat * kRad));
        if (--left <= 0) {
            fixClass = nextClass(random);
            left = spell(random);
        }
        track.push_back({lat, lon, fixClass});
    }
    return track;
}

// Resident memory of the WebEngine helper processes below this one, in MB: all of them, and
// the renderer (the page) alone.
std::pair<double, double> WebEngineRssMb()
{
    std::vector<QString> pending{QString::number(QCoreApplication::applicationPid())};
    double all = 0.0, renderer = 0.0;
    while (!pending.empty()) {
        const QString pid = pending.back();
        pending.pop_back();
        const QString proc = QStringLiteral("/proc/") + pid;
        for (const QString& task :
             QDir(proc + "/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(proc + "/task/" + task + "/children");
            if (children.open(QIODevice::ReadOnly))
                for (const QByteArray& child : children.readAll().split(' '))
                    if (!child.trimmed().isEmpty())
                        pending.push_back(QString::fromLatin1(child.trimmed()));
        }
        QFile comm(proc + "/comm");
        if (!comm.open(QIODevice::ReadOnly) || !comm.readAll().startsWith("QtWebEngineProc"))
            continue;
        QFile status(proc + "/status");
        if (!status.open(QIODevice::ReadOnly)) continue;
        double mb = 0.0;
        QByteArray parent;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                mb = line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
            if (line.startsWith("PPid:")) parent = line.mid(5).trimmed();
        }
        all += mb;
        // Renderers are forked by the zygote and keep its command line; their parent tells.
        QFile parentComm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(parent)));
        if (parentComm.open(QIODevice::ReadOnly) &&
            parentComm.readAll().startsWith("QtWebEngineProc"))
            renderer = std::max(renderer, mb);
    }
    return {all, renderer};
}

QString DeadTileUrl()
{
    QTcpServer probe;
    const quint16 port = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 9;
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port);
}

double Number(CMapDlg& map, const char* code)
{
    return Eval(map, QString::fromLatin1(code)).toDouble();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void BM_WebMapDay(benchmark::State& state)
{
    const std::vector<MapPoint> track = DayTrack();
    const std::span<const MapPoint> all(track);
    for (auto _ : state) {
        const QTemporaryDir cache;
        CMapDlg map;
        map.resize(1280, 800);
        map.SetTileUrl(DeadTileUrl());  // offline: tiles fail at once, nothing leaves the machine
        map.SetCacheDir(cache.path());
        map.show();
        map.Load();
        if (!WaitFor([&] { return map.Ready(); }, 60000)) {
            state.SkipWithError("the map page did not load");
            return;
        }
        const double rssStart = WebEngineRssMb().second;

        // The day in batches, with a round trip every ten as a live feed would pace it. The
        // last twenty batches report their update() time (following the position, which has
        // jumped 1.5 km: new tiles, a full redraw).
        std::vector<double> batchUpdates;
        const std::size_t batches = (all.size() + kBatch - 1) / kBatch;
        QElapsedTimer timer;
        timer.start();
        for (std::size_t b = 0; b < batches; ++b) {
            const std::size_t at = b * kBatch;
            map.PushPositions(all.subspan(at, std::min<std::size_t>(kBatch, all.size() - at)), 0);
            if (b + 20 >= batches)
                batchUpdates.push_back(Number(map, "skarnet.lastUpdateMs()"));
            else if (b % 10 == 9)
                Eval(map, QStringLiteral("0"));
        }
        const int kept = Eval(map, QStringLiteral("skarnet.pointCount()")).toInt();
        const double pushSeconds = timer.elapsed() / 1000.0;
        if (kept != kPositions) {
            state.SkipWithError("the page lost positions");
            return;
        }

        // Live at the end of the day: one position per call, following on.
        std::vector<double> updates;
        MapPoint next = track.back();
        for (int i = 0; i < 50; ++i) {
            next.latitude += 1.2e-5;
            map.PushPositions(std::span<const MapPoint>(&next, 1), 0);
            updates.push_back(Number(map, "skarnet.lastUpdateMs()"));
        }

        // Memory while the day is on the map.
        const double heapMb = Number(map, "skarnet.heapBytes() / 1048576");
        const double heapGcMb = Number(map, "(window.gc && gc(), skarnet.heapBytes() / 1048576)");
        const auto [rssAll, rssRenderer] = WebEngineRssMb();

        // A full redraw at the current view and with the whole day in view, and a zoom step.
        const char* redraw =
            "(() => { const r = skarnet.map.getRenderer(L.polyline([]));"
            " const t0 = performance.now(); r._updatePaths(); return performance.now() - t0; })()";
        const double redrawMs = Number(map, redraw);
        const double zoomMs =
            Number(map,
                   "(() => { const m = skarnet.map, z = m.getZoom(), t0 = performance.now();"
                   " m.setZoom(z - 1, {animate: false}); m.setZoom(z, {animate: false});"
                   " return (performance.now() - t0) / 2; })()");
        Eval(map, QStringLiteral(
                      "skarnet.setFollow(false); skarnet.map.fitBounds(L.latLngBounds("
                      "[0, 1e9].map(i => skarnet.position(Math.min(i, skarnet.pointCount() - 1))"
                      ".split(',').slice(0, 2).map(Number))), {animate: false}); 0"));
        const double redrawAllMs = Number(map, redraw);
        const double drawn = Number(map, "skarnet.drawnCount()");
        const double stride = Number(map, "skarnet.stride()");
        const double storeMb = Number(map, "skarnet.storeBytes() / 1048576");

        state.counters["push_s"] = pushSeconds;
        state.counters["positions_per_s"] = kPositions / pushSeconds;
        state.counters["update_ms"] = Median(updates);
        state.counters["update_max_ms"] = *std::max_element(updates.begin(), updates.end());
        state.counters["update_batch_ms"] = Median(batchUpdates);
        state.counters["update_batch_max_ms"] =
            *std::max_element(batchUpdates.begin(), batchUpdates.end());
        state.counters["redraw_ms"] = redrawMs;
        state.counters["redraw_all_ms"] = redrawAllMs;
        state.counters["zoom_ms"] = zoomMs;
        state.counters["drawn_vertices"] = drawn;
        state.counters["stride"] = stride;
        state.counters["js_heap_MB"] = heapMb;
        state.counters["js_heap_gc_MB"] = heapGcMb;
        state.counters["store_MB"] = storeMb;
        state.counters["renderer_rss_start_MB"] = rssStart;
        state.counters["renderer_rss_MB"] = rssRenderer;
        state.counters["webengine_rss_MB"] = rssAll;
    }
}

}  // namespace

BENCHMARK(BM_WebMapDay)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    const QTemporaryDir home;
    if (!UseHeadlessHome(home)) return 1;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // gc() before reading the heap, and heap figures that are not rounded.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") +
                " --js-flags=--expose-gc --enable-precise-memory-info");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    RegisterMapSchemes();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
