#include <gtest/gtest.h>

#include <QAction>
#include <QDBusMessage>
#include <QProcess>

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
TEST_F(MapFrameTest, ViewModesPlaceTheMapThePlotAndTheReplayWindow)
{
    store_.Write(settings::kViewMapPlot, 1);
    CMainFrame frame(store_);
    frame.resize(1200, 900);
    QWidget* map = frame.Map().MapWindow();
    const auto layout = [&] { return ComputeMainLayout(frame.ViewArea()->rect()); };
    EXPECT_EQ(std::pair(frame.ViewMode(), map->isHidden()), std::pair(1, true));

    Collect(frame);
    frame.OnNextMainView();
    frame.OnNextMainView();
    Command(frame, command::kMapAndPlot).trigger();  // back to arrangement 0 first
    EXPECT_EQ(frame.MainViewIndex(), 0);
    const QRect pane = layout().large;
    EXPECT_EQ(map->geometry(), QRect(pane.x(), pane.y(), pane.width() / 2, pane.height()));
    EXPECT_EQ(std::pair(frame.PlotView()->geometry().left(), frame.PlotView()->geometry().right()),
              std::pair(pane.x() + pane.width() / 2, pane.right()));
    EXPECT_EQ(frame.Replay().Window()->geometry().width(), pane.width());
    frame.OnNextMainView();
    // Both is not kept.
    EXPECT_EQ(std::pair(frame.MainViewIndex(), store_.Get(settings::kViewMapPlot)),
              std::pair(0, 1));
    EXPECT_EQ(messages_.join("").toStdString(),
              "지도와 PLOT를 동시에 표시될 때는 MainView를 변경할 수 없습니다.");

    Command(frame, command::kWebMap).trigger();
    EXPECT_EQ(std::pair(frame.PlotView()->isHidden(), store_.Get(settings::kViewMapPlot)),
              std::pair(true, 0));
    // The map and the replay window along its bottom follow the map's cell and the size.
    for (int arrangement = 0; arrangement < kMainViewCount; ++arrangement) {
        frame.resize(arrangement % 2 ? QSize(900, 700) : QSize(1200, 900));
        QCoreApplication::processEvents();
        const QRect cell = layout().CellOf(MainContent::MapAndPlot, arrangement);
        const int height = CReplayController::kWindowHeight;
        EXPECT_EQ(map->geometry(), cell) << arrangement;
        EXPECT_EQ(frame.Replay().Window()->geometry(),
                  QRect(cell.x(), cell.bottom() + 1 - height, cell.width(), height))
            << arrangement;
        frame.OnNextMainView();
    }
    Command(frame, command::kPlotMap).trigger();
    EXPECT_EQ(std::pair(map->isHidden(), store_.Get(settings::kViewMapPlot)), std::pair(true, 1));
}

// Epochs with a position wait for the page, and clearing forgets them; once the page is on
// screen, what waited for it to be ready reaches it as a whole burst in one script call.
TEST_F(MapFrameTest, PositionsWaitForThePageAndReachItOnceShown)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = Capture("nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    const auto half = std::span<const std::uint8_t>(bytes).first(bytes.size() / 2);
    CMainFrame frame(store_);
    std::size_t positions = 0;
    QObject::connect(&frame, &CMainFrame::epochShown, [&](qint64, double lat, double lon) {
        if (lat != 0.0 && lon != 0.0) ++positions;
    });
    FeedAll(frame, half, half.size());
    ASSERT_GT(positions, 10u);
    EXPECT_EQ(frame.Map().Waiting(), positions);
    EXPECT_EQ(frame.PlotView()->LiveCount(), positions);
    frame.OnClear();
    EXPECT_EQ(frame.Map().Waiting(), 0u);
    for (const auto& [index, limit] : {std::pair{0, 0}, {1, -1}, {2, 1000}, {7, 0}}) {
        store_.Write(settings::kReplayPositionCountIndex, index);
        EXPECT_EQ(frame.Map().Limit(), limit) << index;
    }

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
    EXPECT_GT(frame.PlotView()->LiveCount(), 10u);
    EXPECT_EQ(pagePoints(), static_cast<int>(frame.PlotView()->LiveCount()));
    EXPECT_LE(frame.Map().ScriptCalls(), 3u);
    frame.OnClear();
    EXPECT_EQ(pagePoints(), 0);
}

// A private session bus: another program clears, shows a point on the map and adds one to
// the plot.
TEST_F(MapFrameTest, ExternalCommandsOnTheSessionBus)
{
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
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
    // clang-format off
    const struct { const char* method; QVariantList args; std::size_t plot, map; } calls[] = {
        {"AddToPlot", {37.5, 127.0}, 1, 0}, {"AddToPlot", {0.0, 127.0}, 1, 0},  // zero is no position
        {"AddToPlot", {qQNaN(), 127.0}, 1, 0}, {"ShowOnMap", {37.5, 127.0}, 1, 1},
        {"ShowOnMap", {qInf(), 127.0}, 1, 1}, {"Clear", {}, 0, 0}};
    // clang-format on
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
    for (const char* name : {"skarnet2", "second", "client"})
        QDBusConnection::disconnectFromBus(name);
    daemon.kill();
    daemon.waitForFinished();
}

}  // namespace
