#include <gtest/gtest.h>

#include <QAction>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>

#include "app/command_ids.h"
#include "app/external_commands.h"
#include "app/main_layout.h"
#include "app/map_controller.h"
#include "app/network_monitor.h"
#include "app/replay_controller.h"
#include "support/frame_support.h"
#include "views/plots_view.h"
#include "views/replay_dlg.h"

namespace {

using MapFrameTest = FrameTest;

// Web map, plot, or both in the large pane; only the first two are kept for the next start.
// The frame is never shown here, so the page itself never starts.
TEST_F(MapFrameTest, ViewModesPlaceTheMapAndThePlot)
{
    store_.Write(settings::kViewMapPlot, 1);
    CMainFrame frame(store_);
    frame.resize(1200, 900);
    QWidget* map = frame.Map().MapWindow();
    const auto large = [&] { return ComputeMainLayout(frame.ViewArea()->rect()).large; };
    EXPECT_EQ(frame.ViewMode(), 1);
    EXPECT_TRUE(map->isHidden());
    EXPECT_TRUE(Command(frame, command::kPlotMap).isChecked());

    Collect(frame);
    frame.OnNextMainView();
    frame.OnNextMainView();
    Command(frame, command::kMapAndPlot).trigger();  // back to arrangement 0 first
    EXPECT_EQ(frame.MainViewIndex(), 0);
    EXPECT_EQ(frame.ViewMode(), 2);
    const QRect pane = large();
    EXPECT_EQ(map->geometry(), QRect(pane.x(), pane.y(), pane.width() / 2, pane.height()));
    EXPECT_EQ(frame.PlotView()->geometry().left(), pane.x() + pane.width() / 2);
    EXPECT_EQ(frame.PlotView()->geometry().right(), pane.right());
    EXPECT_FALSE(map->isHidden() || frame.PlotView()->isHidden());
    frame.OnNextMainView();
    EXPECT_EQ(frame.MainViewIndex(), 0);
    EXPECT_EQ(messages_.join("").toStdString(),
              "지도와 PLOT를 동시에 표시될 때는 MainView를 변경할 수 없습니다.");
    EXPECT_EQ(store_.Get(settings::kViewMapPlot), 1);  // both is not kept

    Command(frame, command::kWebMap).trigger();
    EXPECT_EQ(map->geometry(), large());
    EXPECT_TRUE(frame.PlotView()->isHidden());
    EXPECT_EQ(store_.Get(settings::kViewMapPlot), 0);
    EXPECT_TRUE(Command(frame, command::kWebMap).isChecked());
    EXPECT_FALSE(Command(frame, command::kMapAndPlot).isChecked());
    frame.OnNextMainView();  // the map moves with its cell
    EXPECT_EQ(map->geometry(), ComputeMainLayout(frame.ViewArea()->rect()).rightTop);

    Command(frame, command::kPlotMap).trigger();
    EXPECT_TRUE(map->isHidden());
    EXPECT_EQ(store_.Get(settings::kViewMapPlot), 1);
    EXPECT_EQ(frame.Map().Page(), nullptr);
    CMainFrame again(store_);
    EXPECT_EQ(again.ViewMode(), 1);

    // The replay window lies along the bottom of the map cell in every arrangement and size,
    // across the whole large pane when map and plot share it.
    for (const QSize size : {QSize(1200, 900), QSize(900, 700)}) {
        frame.resize(size);
        for (int arrangement = 0; arrangement < kMainViewCount; ++arrangement) {
            QCoreApplication::processEvents();
            const QRect cell = ComputeMainLayout(frame.ViewArea()->rect())
                                   .CellOf(MainContent::MapAndPlot, frame.MainViewIndex());
            const int height = CReplayController::kWindowHeight;
            EXPECT_EQ(frame.Replay().Window()->geometry(),
                      QRect(cell.x(), cell.bottom() + 1 - height, cell.width(), height))
                << frame.MainViewIndex();
            frame.OnNextMainView();
        }
    }
    Command(frame, command::kMapAndPlot).trigger();
    EXPECT_EQ(frame.Replay().Window()->geometry().width(), large().width());
}

// Epochs with a position wait for the page in order; clearing forgets them.
TEST_F(MapFrameTest, PositionsWaitForThePageAndClearingForgetsThem)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = Capture("nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    CMainFrame frame(store_);
    std::size_t positions = 0;
    QObject::connect(&frame, &CMainFrame::epochShown, [&](qint64, double lat, double lon) {
        if (lat != 0.0 && lon != 0.0) ++positions;
    });
    FeedAll(frame, bytes, bytes.size());
    ASSERT_GT(positions, 10u);
    EXPECT_EQ(frame.Map().Waiting(), positions);
    EXPECT_EQ(frame.PlotView()->LiveCount(), positions);
    frame.OnClear();
    EXPECT_EQ(frame.Map().Waiting(), 0u);
    const struct {
        int index;
        int limit;
    } limits[] = {{0, 0}, {1, -1}, {2, 1000}, {7, 0}};
    for (const auto& c : limits) {
        store_.Write(settings::kReplayPositionCountIndex, c.index);
        EXPECT_EQ(frame.Map().Limit(), c.limit) << c.index;
    }
}

// The map on screen: the page starts, the positions shown before it was ready reach it, a
// whole burst of epochs goes in one script call, and clearing empties it.
TEST_F(MapFrameTest, ShownPageGetsTheTrack)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = Capture("nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    const auto half = std::span<const std::uint8_t>(bytes).first(bytes.size() / 2);
    CMainFrame frame(store_);
    frame.FeedSerialBytes(half);  // before the page exists
    frame.show();
    ASSERT_NE(frame.Map().Page(), nullptr);
    FeedAll(frame, std::span<const std::uint8_t>(bytes).subspan(half.size()), bytes.size());
    ASSERT_TRUE(WaitFor([&] { return frame.Map().Page()->Ready(); }, 20000));
    ASSERT_TRUE(WaitFor([&] { return frame.Map().Waiting() == 0; }));
    const auto pagePoints = [&] {
        int points = -1;
        frame.Map().Page()->RunScript(QStringLiteral("skarnet.pointCount()"),
                                      [&](const QVariant& v) { points = v.toInt(); });
        WaitFor([&] { return points >= 0; });
        return points;
    };
    EXPECT_EQ(pagePoints(), static_cast<int>(frame.PlotView()->LiveCount()));
    EXPECT_GT(frame.PlotView()->LiveCount(), 10u);
    EXPECT_LE(frame.Map().ScriptCalls(), 3u);
    frame.OnClear();
    EXPECT_EQ(pagePoints(), 0);
}

// Pane 7 follows a probe to a listening port and to a closed one, and a lost network at once.
TEST_F(MapFrameTest, InternetPaneFollowsTheProbe)
{
    CMainFrame frame(store_);
    CNetworkMonitor& monitor = frame.Network();
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost));
    const quint16 closed = FreePort();
    const struct {
        quint16 port;
        const char* pane;
    } cases[] = {{listening.serverPort(), "인터넷 연결됨"}, {closed, "인터넷 안됨"}};
    for (const auto& c : cases) {
        monitor.SetProbeTarget(QStringLiteral("127.0.0.1"), c.port, 2000);
        monitor.Test();
        ASSERT_TRUE(WaitFor([&] { return !monitor.Probing(); }));
        EXPECT_EQ(frame.StatusPaneText(pane::kInternet).toStdString(), c.pane);
    }
    monitor.SetProbeTarget(QStringLiteral("127.0.0.1"), listening.serverPort(), 2000);
    monitor.Test();
    ASSERT_TRUE(WaitFor([&] { return monitor.InternetReachable(); }));
    monitor.OnNetworkLost();
    EXPECT_EQ(frame.StatusPaneText(pane::kInternet).toStdString(), "인터넷 안됨");
    // A host that cannot be found is given up, without holding the window.
    monitor.SetProbeTarget(QStringLiteral("probe.invalid"), 9, 300);
    monitor.Test();
    EXPECT_TRUE(WaitFor([&] { return !monitor.Probing(); }, 2000));
    EXPECT_FALSE(monitor.InternetReachable());
}

// A private session bus: another program clears, shows a point on the map and adds one to
// the plot.
TEST_F(MapFrameTest, ExternalCommandsOnTheSessionBus)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    if (!daemon.waitForStarted()) GTEST_SKIP() << "dbus-daemon (package dbus-daemon) is missing";
    QByteArray address;
    ASSERT_TRUE(WaitFor([&] {
        address += daemon.readAllStandardOutput();
        return address.contains('\n');
    }));
    const QString bus = QString::fromLatin1(address.trimmed());
    CMainFrame frame(store_);
    ASSERT_TRUE(frame.External().Attach(QDBusConnection::connectToBus(bus, "skarnet2")));
    QDBusConnection client = QDBusConnection::connectToBus(bus, "client");
    const struct {
        const char* method;
        QVariantList args;
        std::size_t plot;
        std::size_t map;
    } calls[] = {
        {"AddToPlot", {37.5, 127.0}, 1, 0},
        {"AddToPlot", {0.0, 127.0}, 1, 0},  // zero is no position
        {"AddToPlot", {qQNaN(), 127.0}, 1, 0},
        {"ShowOnMap", {37.5, 127.0}, 1, 1},
        {"ShowOnMap", {qInf(), 127.0}, 1, 1},
        {"Clear", {}, 0, 0},
    };
    for (const auto& c : calls) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            CExternalCommands::kService, QStringLiteral("/"), CExternalCommands::kService,
            QString::fromLatin1(c.method));
        call.setArguments(c.args);
        // The frame answers on this thread, so the wait must keep the event loop running.
        const QDBusMessage reply = client.call(call, QDBus::BlockWithGui);
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage)
            << c.method << reply.errorMessage().toStdString();
        EXPECT_EQ(frame.PlotView()->LiveCount(), c.plot) << c.method;
        EXPECT_EQ(frame.Map().Waiting(), c.map) << c.method;
    }
    EXPECT_TRUE(
        frame.ReportLines().contains(QStringLiteral("external: org.velmora.Skarnet2, 6 commands")));
    // A second copy of the program finds the name taken and goes on without it.
    CMainFrame second(store_);
    EXPECT_FALSE(second.External().Attach(QDBusConnection::connectToBus(bus, "second")));
    QDBusConnection::disconnectFromBus("skarnet2");
    QDBusConnection::disconnectFromBus("second");
    QDBusConnection::disconnectFromBus("client");
    daemon.kill();
    daemon.waitForFinished();
}

// The README's example: gdbus calls from another program reach the running program on the
// session bus dbus-run-session gives it.
TEST(ExternalCommandsProgram, GdbusCallsReachTheRunningProgram)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("gdbus")).isEmpty()) {
        GTEST_SKIP() << "dbus-run-session or gdbus (dbus-daemon, libglib2.0-bin) is missing";
    }
    QTemporaryDir home;
    QProcessEnvironment env = ProgramEnvironment(home.path());
    env.insert(QStringLiteral("SKARNET2_PROGRAM"), QStringLiteral(SKARNET2_PROGRAM));
    const QString script = QStringLiteral(
        "\"$SKARNET2_PROGRAM\" --no-splash --quit-after 8 --report &\n"
        "for i in $(seq 100); do\n"
        "  gdbus introspect --session --dest org.velmora.Skarnet2 --object-path / >/dev/null "
        "2>&1 && break\n"
        "  sleep 0.1\n"
        "done\n"
        "gdbus call --session --dest org.velmora.Skarnet2 --object-path / "
        "--method org.velmora.Skarnet2.AddToPlot 37.5 127.0 >/dev/null\n"
        "gdbus call --session --dest org.velmora.Skarnet2 --object-path / "
        "--method org.velmora.Skarnet2.ShowOnMap 37.5 127.0 >/dev/null\n"
        "wait\n");
    QProcess session;
    session.setProcessEnvironment(env);
    session.start(QStringLiteral("dbus-run-session"),
                  {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), script});
    ASSERT_TRUE(session.waitForFinished(60000));
    const QString out = QString::fromUtf8(session.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("external: org.velmora.Skarnet2, 2 commands")))
        << out.toStdString() << session.readAllStandardError().toStdString();
}

}  // namespace
