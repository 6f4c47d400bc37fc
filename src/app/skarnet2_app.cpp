#include "app/skarnet2_app.h"

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSplashScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/language.h"
#include "app/link_controller.h"
#include "app/main_frame.h"
#include "app/ntrip_client.h"
#include "app/replay_controller.h"
#include "app/version.h"
#include "link/comm.h"
#include "settings/settings_store.h"
#include "views/plots_view.h"
#include "views/view_fonts.h"
#include "webmap/map_dlg.h"

namespace {

QPixmap SplashPicture()
{
    QPixmap picture(420, 220);
    picture.fill(QColor(0x1D, 0x3A, 0x5F));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    painter.setFont(ViewFont(kFontMalgunGothic, 36, true));
    painter.drawText(QRect(0, 40, 420, 60), Qt::AlignCenter, QStringLiteral("Skarnet2"));
    painter.setFont(ViewFont(kFontMalgunGothic, 16));
    painter.drawText(QRect(0, 100, 420, 30), Qt::AlignCenter, AboutLine());
    return picture;
}

bool Headless() { return QGuiApplication::platformName() == QLatin1String("offscreen"); }

}  // namespace

void PrepareWebMapProcess()
{
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    RegisterMapSchemes();
}

CSkarnet2App::CSkarnet2App(LaunchOptions options) : options_(std::move(options)) {}

CSkarnet2App::~CSkarnet2App() = default;

void CSkarnet2App::Start()
{
    InstallViewFontSubstitutes();
    store_ = std::make_unique<CSettingsStore>();
    const QString language = ChosenLanguage(*store_, options_.language);
    if (!InstallLanguage(language)) {
        std::fprintf(stderr, "skarnet2: no translation for '%s'; the window stays in Korean\n",
                     language.toLocal8Bit().constData());
    }
    if (options_.noSplash) {
        ShowMainFrame();
        return;
    }
    splash_ = std::make_unique<QSplashScreen>(SplashPicture());
    splash_->showMessage(QStringLiteral("Starting application..."),
                         Qt::AlignBottom | Qt::AlignHCenter, Qt::white);
    splash_->show();
    QTimer::singleShot(kSplashMs, [this] {
        splash_->close();
        ShowMainFrame();
    });
}

void CSkarnet2App::ShowMainFrame()
{
    frame_ = std::make_unique<CMainFrame>(*store_);
    if (Headless()) {
        frame_->show();  // an offscreen screen is small; keep the frame's own size
    } else {
        frame_->showMaximized();
    }
    if (options_.connect) ApplyConnectTarget(*options_.connect);
    if (options_.ntrip) frame_->Ntrip().Start();
    if (options_.report) {
        // A window closed by hand quits too; the report comes before the frame goes.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [this] { PrintReport(); });
    }
    if (options_.replaySpeedMs > 0) {
        // The scan runs first; the speed applies once the playback has started.
        QObject::connect(&frame_->Replay(), &CReplayController::replayReady, frame_.get(),
                         [this](bool ok) {
                             if (ok) frame_->Replay().Player()->SetSpeed(options_.replaySpeedMs);
                         });
    }
    if (!options_.replay.isEmpty() && !frame_->Replay().Start(options_.replay)) {
        std::fprintf(stderr, "skarnet2: could not start the replay\n");
    }
    if (options_.progressEvery > 0) {
        nextProgress_ = options_.progressEvery;
        auto* timer = new QTimer(frame_.get());
        QObject::connect(timer, &QTimer::timeout, [this] { PrintProgress(); });
        timer->start(kProgressCheckMs);
    }
    if (options_.quitAfterMs >= 0) QTimer::singleShot(options_.quitAfterMs, [this] { Finish(); });
}

void CSkarnet2App::ApplyConnectTarget(const ConnectTarget& target)
{
    if (target.kind == ConnectTarget::Kind::Tcp) {
        store_->Write(settings::kCommTxMode, 0);
        store_->Write(settings::kCommRelayServerMode, 0);
        store_->Write(settings::kCommHostAddr, target.host);
        store_->Write(settings::kCommHostPort, QString::number(target.port));
    } else if (target.kind == ConnectTarget::Kind::Relay) {
        store_->Write(settings::kCommTxMode, 0);
        store_->Write(settings::kCommRelayServerMode, 1);
        store_->Write(settings::kServerVrsIp, target.host);
        store_->Write(settings::kServerVrsPort, target.port);
    } else {
        store_->Write(settings::kCommTxMode, 1);
        store_->Write(settings::kCommPort, target.host);
        if (target.baud > 0) {
            const auto found = std::find(kCommBaudRates.begin(), kCommBaudRates.end(),
                                         static_cast<std::uint32_t>(target.baud));
            const int index = found == kCommBaudRates.end()
                                  ? -1
                                  : static_cast<int>(found - kCommBaudRates.begin());
            if (index < 0) {
                std::fprintf(stderr, "skarnet2: baud rate %d is not offered\n", target.baud);
            } else {
                store_->Write(settings::kCommBaudRate, index);
            }
        }
    }
    if (!frame_->Links().ConnectFromSettings()) {
        std::fprintf(stderr, "skarnet2: could not open the link\n");
    }
}

void CSkarnet2App::Finish()
{
    if (!options_.screenshot.isEmpty() && frame_) {
        if (!frame_->grab().save(options_.screenshot, "PNG")) {
            std::fprintf(stderr, "skarnet2: could not write %s\n",
                         options_.screenshot.toLocal8Bit().constData());
        }
    }
    PrintReport();
    if (frame_) frame_->close();
    QCoreApplication::quit();
}

namespace {

double ResidentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2) return 0.0;
    return fields[1].toDouble() * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Milliseconds of one full paint of the widget into an image, the best of three.
double PaintMs(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    double best = 0.0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        widget.render(&image);
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        best = i == 0 ? ms : std::min(best, ms);
    }
    return best;
}

}  // namespace

void ReturnLargeBlocksWhenFreed()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void CSkarnet2App::PrintProgress()
{
    const std::uint64_t shown = frame_->EpochsShown();
    if (shown < nextProgress_) return;
    while (nextProgress_ <= shown) nextProgress_ += options_.progressEvery;
    std::printf("epochs: %llu rss: %.1f MiB plot paint: %.2f ms window paint: %.2f ms\n",
                static_cast<unsigned long long>(shown), ResidentMiB(), PaintMs(*frame_->PlotView()),
                PaintMs(*frame_));
    std::fflush(stdout);
}

void CSkarnet2App::PrintReport()
{
    if (!options_.report || reported_ || !frame_) return;
    reported_ = true;
    for (const QString& line : frame_->ReportLines())
        std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}
