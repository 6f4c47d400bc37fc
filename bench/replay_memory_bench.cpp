// What replaying a day-long log costs in memory: a simulated day at 10 Hz (864,000 epochs of
// GGA and RMC) is scanned and opened by the main window (headless), and the resident memory
// above the window's resting size is reported per epoch, while the replay runs and after it
// stops.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <sstream>
#include <string>

#include "app/main_frame.h"
#include "app/replay_controller.h"
#include "app/skarnet2_app.h"
#include "settings/settings_store.h"
#include "tool/simulate_command.h"

namespace {

double ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() < 2 ? 0.0
                             : fields[1].toDouble() * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// GGA and RMC of a simulated day, hour by hour.
bool WriteLeanDay(const std::string& path)
{
    std::ofstream file(path, std::ios::binary);
    for (int hour = 0; hour < 24 && file; ++hour) {
        std::ostringstream log, err;
        char start[8];
        std::snprintf(start, sizeof start, "%02d0000", hour);
        const std::string_view args[] = {"--protocol", "nmea", "--rate",  "10",
                                         "--seconds",  "3600", "--start", start};
        if (RunSimulate(args, log, err) != 0) return false;
        std::istringstream lines(log.str());
        for (std::string line; std::getline(lines, line);) {
            if (line.compare(3, 3, "GGA") == 0 || line.compare(3, 3, "RMC") == 0)
                file << line << '\n';
        }
    }
    return static_cast<bool>(file);
}

void BM_ReplayDayMemory(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::string log = dir.filePath(QStringLiteral("day.log")).toStdString();
    if (!WriteLeanDay(log)) {
        state.SkipWithError("could not simulate the day");
        return;
    }
    CSettingsStore store(dir.filePath(QStringLiteral("bench.conf")));
    store.Write(settings::kViewMapPlot, 1);
    for (auto _ : state) {
        CMainFrame frame(store);
        QCoreApplication::processEvents();
        const double resting = ResidentBytes();
        bool ready = false;
        QEventLoop loop;
        QObject::connect(&frame.Replay(), &CReplayController::replayReady, &loop, [&](bool ok) {
            ready = ok;
            loop.quit();
        });
        QTimer::singleShot(300000, &loop, &QEventLoop::quit);
        if (!frame.Replay().Start(QString::fromStdString(log))) {
            state.SkipWithError("the replay did not start");
            return;
        }
        loop.exec();
        if (!ready) {
            state.SkipWithError("the replay did not become ready");
            return;
        }
        QCoreApplication::processEvents();
        const double running = ResidentBytes();
        const double epochs = frame.Replay().Player()->FrameCount();
        frame.Replay().Stop();
        QCoreApplication::processEvents();
        const double stopped = ResidentBytes();
        state.counters["epochs"] = epochs;
        state.counters["bytes_per_epoch_running"] = (running - resting) / epochs;
        state.counters["bytes_per_epoch_after_stop"] = (stopped - resting) / epochs;
        state.counters["resting_MiB"] = resting / (1024.0 * 1024.0);
    }
}

}  // namespace

BENCHMARK(BM_ReplayDayMemory)->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv)
{
    ReturnLargeBlocksWhenFreed();  // as the program does
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SKARNET2_NO_MESSAGE_BOXES", "1");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
