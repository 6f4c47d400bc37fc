#include "app/main_frame.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>
#include <random>

#include "app/command_ids.h"
#include "app/connection_times.h"
#include "app/launch_options.h"
#include "app/link_controller.h"
#include "app/main_layout.h"
#include "app/record_controller.h"
#include "app/replay_controller.h"
#include "app/replay_player.h"
#include "app/version.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"
#include "support/recording_owner.h"
#include "support/test_data.h"
#include "views/multi_line_list_box.h"
#include "views/nmea_data_wnd.h"
#include "views/nmea_log_dlg.h"
#include "views/plots_view.h"

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("SKARNET2_NO_MESSAGE_BOXES", "1"); }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
};

const std::string kGga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,4,08,0.9,545.4,M,46.9,M,,");

TEST(VersionTexts, TitleAndAbout)
{
    EXPECT_EQ(MainWindowTitle().toStdString(), "Skarnet2 - Velmora (V2.09-20230531)");
    EXPECT_EQ(AboutLine().toStdString(), "Skarnet2 V2.09 20230531");
}

TEST(MainLayoutTest, GridCellsAndArrangements)
{
    const MainLayout layout = ComputeMainLayout(QRect(0, 50, 1001, 701));
    // L = 600, R = 401, U = 490, B = 211, S = 245, G = 245.
    EXPECT_EQ(layout.large, QRect(0, 50, 600, 490));
    EXPECT_EQ(layout.rightTop, QRect(600, 50, 401, 245));
    EXPECT_EQ(layout.rightMiddle, QRect(600, 295, 401, 245));
    EXPECT_EQ(layout.rightBottom, QRect(600, 540, 401, 211));
    EXPECT_EQ(layout.leftBottom, QRect(0, 540, 600, 211));
    EXPECT_EQ(LargePaneContent(0), MainContent::MapAndPlot);
    EXPECT_EQ(LargePaneContent(3), MainContent::RawLog);
    EXPECT_EQ(layout.CellOf(MainContent::MapAndPlot, 3), layout.rightBottom);
    EXPECT_EQ(layout.CellOf(MainContent::SkyMap, 1), layout.large);
    EXPECT_EQ(layout.CellOf(MainContent::MapAndPlot, 2), layout.rightMiddle);
}

TEST(ConnectionTimesTest, FixedTimeWaitsForTwoDimensionalFix)
{
    const QDateTime start(QDate(2026, 12, 6), QTime(10, 0, 0));
    CConnectionTimes times;
    EXPECT_EQ(times.StatusText(start).toStdString(), "시작[-] / Fixed[-] / 경과[-]");
    times.Start(start);
    times.Track(1, 1, start.addSecs(5));
    EXPECT_EQ(times.StatusText(start.addSecs(5)).toStdString(),
              "시작[10:00:00] / Fixed[-] / 경과[00:00:05]");
    EXPECT_EQ(times.FloatTimerText(start.addSecs(65)).toStdString(), "01:05");
    EXPECT_EQ(times.FixedTimerText(start.addSecs(65)).toStdString(), "00:00");
    times.Track(3, 5, start.addSecs(70));  // 3D, float
    EXPECT_EQ(times.StatusText(start.addSecs(3671)).toStdString(),
              "시작[10:00:00] / Fixed[10:01:10] / 경과[01:01:11]");
    EXPECT_TRUE(times.FloatTimerText(start.addSecs(80)).isEmpty());
    EXPECT_EQ(times.FixedTimerText(start.addSecs(80)).toStdString(), "00:10");
    times.Track(3, 4, start.addSecs(90));  // fixed RTK
    EXPECT_TRUE(times.FixedTimerText(start.addSecs(95)).isEmpty());
    times.Track(1, 1, start.addSecs(100));  // fix lost: the fixed time goes
    EXPECT_EQ(times.StatusText(start.addSecs(100)).toStdString(),
              "시작[10:00:00] / Fixed[-] / 경과[00:01:40]");
}

TEST(LaunchOptionsTest, ConnectTargets)
{
    struct Case {
        const char* text;
        bool ok;
        ConnectTarget::Kind kind;
        const char* host;
        int port;
        int baud;
    };
    const Case cases[] = {
        {"tcp://127.0.0.1:9999", true, ConnectTarget::Kind::Tcp, "127.0.0.1", 9999, 0},
        {"tcp://gnss.example:2101", true, ConnectTarget::Kind::Tcp, "gnss.example", 2101, 0},
        {"relay://relay.example:3500", true, ConnectTarget::Kind::Relay, "relay.example", 3500, 0},
        {"relay://:3500", false, {}, "", 0, 0},
        {"tcp://host:0", false, {}, "", 0, 0},
        {"tcp://host:70000", false, {}, "", 0, 0},
        {"tcp://:80", false, {}, "", 0, 0},
        {"serial:/dev/pts/3", true, ConnectTarget::Kind::Serial, "/dev/pts/3", 0, 0},
        {"serial:ttyUSB0@38400", true, ConnectTarget::Kind::Serial, "ttyUSB0", 0, 38400},
        {"serial:ttyUSB0@fast", false, {}, "", 0, 0},
        {"serial:", false, {}, "", 0, 0},
        {"udp://x:1", false, {}, "", 0, 0},
    };
    for (const Case& c : cases) {
        const auto target = ParseConnectTarget(QString::fromLatin1(c.text));
        ASSERT_EQ(target.has_value(), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(target->kind, c.kind) << c.text;
        EXPECT_EQ(target->host.toStdString(), c.host) << c.text;
        EXPECT_EQ(target->port, c.port) << c.text;
        EXPECT_EQ(target->baud, c.baud) << c.text;
    }
    // Whole command lines: accepted or not, and what they set.
    const struct {
        QStringList args;
        bool ok;
        std::function<bool(const LaunchOptions&)> sets;
    } lines[] = {
        {{"--no-splash", "--screenshot", "a.png"},
         true,
         [](const LaunchOptions& o) { return o.noSplash && o.quitAfterMs == 5000; }},
        {{"--quit-after", "-1"}, false, {}},
        {{"--connect", "x"}, false, {}},
        {{"--replay", "a.log"},
         true,
         [](const LaunchOptions& o) {
             return o.replay == "a.log" && o.replaySpeedMs == 0 && !o.ntrip && !o.report;
         }},
        {{"--replay", "a.log", "--replay-speed", "x20"},
         true,
         [](const LaunchOptions& o) { return o.replaySpeedMs == 50; }},
        {{"--replay-speed", "fastest", "--replay", "a.log"},
         true,
         [](const LaunchOptions& o) { return o.replaySpeedMs == 1; }},
        {{"--replay", "a.log", "--replay-speed", "x3"}, false, {}},
        {{"--replay-speed", "x2"}, false, {}},  // nothing to play
        {{"--ntrip", "--report"}, true, [](const LaunchOptions& o) { return o.ntrip && o.report; }},
        {{"--lang", "en"}, true, [](const LaunchOptions& o) { return o.language == "en"; }},
        {{"--lang", "de"}, false, {}},
        {{"--progress", "36000"},
         true,
         [](const LaunchOptions& o) { return o.progressEvery == 36000; }},
        {{"--progress", "0"}, false, {}},
        {{"--replay", "a.log", "--connect", "tcp://h:1"}, false, {}},
    };
    for (const auto& line : lines) {
        LaunchOptions options;
        bool help = false;
        QString helpText;
        const QString error =
            ParseLaunchOptions(QStringList{"skarnet2"} + line.args, options, help, helpText);
        const std::string name = line.args.join(' ').toStdString();
        EXPECT_EQ(error.isEmpty(), line.ok) << name << ": " << error.toStdString();
        if (line.ok && line.sets) {
            EXPECT_TRUE(line.sets(options)) << name;
        }
    }
}

TEST_F(MainFrameTest, StartsWithTheTitlePanesAndTheStopCommandsDisabled)
{
    CMainFrame frame(store_);
    EXPECT_EQ(frame.windowTitle().toStdString(), "Skarnet2 - Velmora (V2.09-20230531)");
    EXPECT_EQ(frame.StatusPaneText(1).toStdString(), "Not Connected");
    EXPECT_EQ(frame.StatusPaneText(3).toStdString(), "시작[-] / Fixed[-] / 경과[-]");
    EXPECT_EQ(frame.StatusPaneText(4).toStdString(), "NTRIP : Not Connected");
    EXPECT_EQ(frame.StatusPaneText(5).toStdString(), "RTCM Recv : 0");
    for (const int id : {command::kNtripStop, command::kRecordStop, command::kReplayStop}) {
        EXPECT_FALSE(frame.Action(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(frame.Action(command::kNtripStart)->isEnabled());
    EXPECT_TRUE(frame.Action(command::kRecordStart)->isEnabled());
    EXPECT_TRUE(frame.Action(command::kReplayStart)->isEnabled());
    EXPECT_TRUE(frame.Action(command::kOpenPort)->isEnabled());
    EXPECT_FALSE(frame.Action(command::kClosePort)->isEnabled());
    EXPECT_EQ(frame.Action(command::kOpenPort)->text().toStdString(), "컴포트 열기(&O)");
}

TEST_F(MainFrameTest, FourPressesOfNextViewComeBackAndTheLargePaneFollows)
{
    CMainFrame frame(store_);
    frame.resize(1200, 900);
    frame.show();
    const auto large = [&] { return ComputeMainLayout(frame.ViewArea()->rect()).large; };
    EXPECT_EQ(frame.PlotView()->geometry(), large());
    frame.OnNextMainView();
    frame.OnNextMainView();
    frame.OnNextMainView();
    EXPECT_EQ(frame.MainViewIndex(), 3);
    frame.resize(1000, 800);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame.RawLog()->geometry(), large());
    frame.OnNextMainView();
    EXPECT_EQ(frame.MainViewIndex(), 0);
    EXPECT_EQ(frame.PlotView()->geometry(), large());
    EXPECT_EQ(frame.StatusPanel()->geometry(),
              ComputeMainLayout(frame.ViewArea()->rect()).leftBottom);
}

TEST_F(MainFrameTest, GpsToggleTakesSbasAlongAndConstellationTogglesHideTheirGsvTalker)
{
    CMainFrame frame(store_);
    frame.Action(command::kGps)->setChecked(false);
    EXPECT_FALSE(frame.Action(command::kSbas)->isChecked());
    frame.Action(command::kSbas)->setChecked(true);
    EXPECT_TRUE(frame.Action(command::kGps)->isChecked());
    frame.Action(command::kGlonass)->setChecked(false);
    const std::string text =
        Sentence("GPGSV,1,1,01,01,40,083,46") + Sentence("GLGSV,1,1,01,65,40,083,46") + kGga;
    frame.FeedSerialBytes(Bytes(text));
    const CMultiLineListBox* lines = frame.RawLog()->LineList();
    ASSERT_EQ(lines->GetCount(), 2);
    EXPECT_TRUE(lines->GetText(0).startsWith(QStringLiteral("$GPGSV")));
    EXPECT_TRUE(lines->GetText(1).startsWith(QStringLiteral("$GPGGA")));
}

TEST_F(MainFrameTest, QuietLineShowsTheEpochOnceAfterTheIdleFlush)
{
    CMainFrame frame(store_);
    frame.FeedSerialBytes(Bytes(kGga));
    EXPECT_EQ(frame.EpochsShown(), 0u);
    EXPECT_TRUE(WaitFor([&] { return frame.EpochsShown() == 1; }, 2000));
    WaitFor([] { return false; }, 2 * CMainFrame::kIdleFlushMs);
    EXPECT_EQ(frame.EpochsShown(), 1u);
    EXPECT_NEAR(frame.StatusPanel()->State().latitudeDeg, 48.1173, 1e-9);
    EXPECT_EQ(frame.PlotView()->LiveCount(), 1u);
}

// The last GGA time of a capture, read without the decoder.
std::string LastGgaTime(const std::vector<std::uint8_t>& bytes)
{
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t at = text.rfind("GGA,");
    return at == std::string::npos ? "" : text.substr(at + 4, 6);
}

TEST_F(MainFrameTest, RealCaptureInRandomPiecesReachesTheViews)
{
    SKIP_WITHOUT_DATA();
    const auto bytes =
        testdata::ReadBytes(*testdata::DataDir() / "nmea" / "gpsd_trimble_rtkfix_10hz.log");
    CMainFrame frame(store_);
    std::mt19937 random(3);
    std::uniform_int_distribution<std::size_t> size(1, 1024);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = std::min(size(random), bytes.size() - at);
        frame.FeedSerialBytes(std::span<const std::uint8_t>(bytes).subspan(at, n));
        at += n;
    }
    ASSERT_TRUE(WaitFor(
        [&] { return frame.StatusPanel()->State().timeText.rfind(LastGgaTime(bytes), 0) == 0; }));
    EXPECT_EQ(frame.PlotView()->LiveCount(), frame.EpochsShown());
    EXPECT_GT(frame.RawLog()->LineList()->GetCount(), 0);
}

TEST_F(MainFrameTest, BinaryReceiverReachesEveryView)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "ubx" /
                                           "gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log");
    CMainFrame frame(store_);
    for (std::size_t at = 0; at < bytes.size(); at += 1024) {
        frame.FeedSerialBytes(std::span<const std::uint8_t>(bytes).subspan(
            at, std::min<std::size_t>(1024, bytes.size() - at)));
    }
    ASSERT_TRUE(WaitFor([&] { return frame.EpochsShown() >= 290; }));
    EXPECT_NE(frame.StatusPanel()->State().latitudeDeg, 0.0);
    EXPECT_EQ(frame.StatusPanel()->State().latitudeDeg, frame.Snapshot().latitudeDeg);
    EXPECT_GE(frame.PlotView()->LiveCount(), 290u);
    EXPECT_GT(frame.RawLog()->LineList()->GetCount(), 0);
}

struct ShownEpoch {
    qint64 time;
    double latitude;
    double longitude;
    bool operator==(const ShownEpoch&) const = default;
};

TEST_F(MainFrameTest, RecordedLogIsTheBytesSentAndReplaysTheSameEpochs)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "nmea" /
                                           "gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    const QString log = dir_.filePath(QStringLiteral("recorded.txt"));
    CMainFrame frame(store_);
    std::vector<ShownEpoch> live;
    std::vector<ShownEpoch> replayed;
    std::vector<ShownEpoch>* into = &live;
    QObject::connect(&frame, &CMainFrame::epochShown, [&](qint64 t, double lat, double lon) {
        into->push_back({t, lat, lon});
    });
    ASSERT_TRUE(frame.Recording().Start(log));
    EXPECT_FALSE(frame.Action(command::kReplayStart)->isEnabled());
    std::mt19937 random(5);
    std::uniform_int_distribution<std::size_t> size(1, 1024);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = std::min(size(random), bytes.size() - at);
        frame.FeedSerialBytes(std::span<const std::uint8_t>(bytes).subspan(at, n));
        at += n;
    }
    WaitFor([] { return false; }, 2 * CMainFrame::kIdleFlushMs);  // the last epoch
    frame.Recording().Stop();
    EXPECT_EQ(testdata::ReadBytes(QFile::encodeName(log).toStdString()), bytes);

    into = &replayed;
    bool ready = false;
    QObject::connect(&frame.Replay(), &CReplayController::replayReady,
                     [&](bool ok) { ready = ok; });
    ASSERT_TRUE(frame.Replay().Start(log));
    ASSERT_TRUE(WaitFor([&] { return ready; }, 10000));
    EXPECT_TRUE(frame.Replay().IsReplaying());
    CReplayPlayer* player = frame.Replay().Player();
    while (player->FrameIndex() < player->FrameCount() - 1) player->Tick();
    player->Tick();  // the last entry
    ASSERT_FALSE(live.empty());
    EXPECT_EQ(replayed, live);
    frame.Replay().Stop();
    EXPECT_FALSE(frame.Replay().IsReplaying());
    EXPECT_TRUE(frame.Action(command::kReplayStart)->isEnabled());
}

TEST_F(MainFrameTest, RecordingThatCannotWriteStopsWithOneMessage)
{
    CMainFrame frame(store_);
    int messages = 0;
    QObject::connect(&frame, &CMainFrame::messageShown, [&](const QString&) { ++messages; });
    ASSERT_TRUE(frame.Recording().Start(QStringLiteral("/dev/full")));
    frame.FeedSerialBytes(Bytes(kGga));
    frame.FeedSerialBytes(Bytes(kGga));
    EXPECT_EQ(messages, 1);
    EXPECT_FALSE(frame.Recording().IsRecording());
    EXPECT_TRUE(frame.Action(command::kRecordStart)->isEnabled());
    EXPECT_FALSE(frame.Recording().Start(dir_.filePath(QStringLiteral("no/such/folder/x.txt"))));
    EXPECT_EQ(messages, 2);
}

TEST_F(MainFrameTest, SecondLogBecomesThePlotsTrack)
{
    SKIP_WITHOUT_DATA();
    const auto main = *testdata::DataDir() / "nmea" / "gpsd_ublox-neo-m9n_nmea41_gst_zda.log";
    const auto second = *testdata::DataDir() / "nmea" / "gpsd_trimble_rtkfix_10hz.log";
    const ScanResult expected = CReplayScanner(ScanSettings{}).ScanFile(second.string());
    ASSERT_EQ(expected.status, ScanStatus::Ok);
    CMainFrame frame(store_);
    bool ready = false;
    int track = -1;
    QObject::connect(&frame.Replay(), &CReplayController::replayReady,
                     [&](bool ok) { ready = ok; });
    QObject::connect(&frame.Replay(), &CReplayController::secondaryTrackLoaded,
                     [&](int n) { track = n; });
    ASSERT_TRUE(frame.Replay().Start(QString::fromStdString(main.string()),
                                     QString::fromStdString(second.string())));
    ASSERT_TRUE(WaitFor([&] { return ready && track >= 0; }, 10000));
    EXPECT_EQ(track, static_cast<int>(expected.index.Size()));
    ASSERT_EQ(frame.Replay().Track().Size(), expected.index.Size());
    EXPECT_EQ(frame.Replay().Track().At(0).latitude, expected.index.At(0).latitude);
    frame.Replay().Player()->Tick();
    EXPECT_EQ(frame.PlotView()->ReplayCount(), 1u);
    frame.Replay().Stop();
    EXPECT_TRUE(frame.Replay().Track().Empty());
}

TEST_F(MainFrameTest, ReplayOfAFileWithoutPositionsSaysSo)
{
    const QString log = dir_.filePath(QStringLiteral("noise.txt"));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(5000, 'x'));
    file.close();
    CMainFrame frame(store_);
    QString shown;
    QObject::connect(&frame, &CMainFrame::messageShown, [&](const QString& text) { shown = text; });
    bool finished = false;
    QObject::connect(&frame.Replay(), &CReplayController::replayReady,
                     [&](bool) { finished = true; });
    ASSERT_TRUE(frame.Replay().Start(log));
    ASSERT_TRUE(WaitFor([&] { return finished; }, 10000));
    EXPECT_FALSE(frame.Replay().IsReplaying());
    EXPECT_TRUE(shown.contains(QStringLiteral("NMEA/ UBX/ GSOF/ SBF"))) << shown.toStdString();
}

TEST_F(MainFrameTest, TcpReceiverFollowedAndPeerCloseReported)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "nmea" /
                                           "gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    store_.Write(settings::kCommTxMode, 0);
    store_.Write(settings::kCommHostAddr, QStringLiteral("127.0.0.1"));
    store_.Write(settings::kCommHostPort, QString::number(server.serverPort()));
    CMainFrame frame(store_);
    ASSERT_TRUE(frame.Links().ConnectFromSettings());
    EXPECT_EQ(frame.StatusPaneText(1).toStdString(), "Connected");
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    ASSERT_TRUE(WaitFor(
        [&] { return frame.StatusPanel()->State().timeText.rfind(LastGgaTime(bytes), 0) == 0; }));
    EXPECT_TRUE(frame.ReportLines().contains(QStringLiteral("link: tcp connected")));
    peer->close();
    EXPECT_TRUE(
        WaitFor([&] { return frame.Links().ConnectedLink() == CLinkController::Link::None; }));
    EXPECT_EQ(frame.StatusPaneText(1).toStdString(), "Not Connected");
    EXPECT_TRUE(frame.ReportLines().contains(QStringLiteral("link: tcp closed")));
    EXPECT_TRUE(frame.Action(command::kOpenPort)->isEnabled());
}

TEST_F(MainFrameTest, SerialReceiverOnAPseudoTerminalAndPullingItAway)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "nmea" /
                                           "gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    store_.Write(settings::kCommTxMode, 1);
    store_.Write(settings::kCommPort, QString::fromLocal8Bit(name));
    CMainFrame frame(store_);
    ASSERT_TRUE(frame.Links().ConnectFromSettings());
    EXPECT_EQ(frame.Links().ConnectedLink(), CLinkController::Link::Serial);
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n =
            ::write(master, bytes.data() + at, std::min<std::size_t>(4096, bytes.size() - at));
        ASSERT_GT(n, 0);
        at += static_cast<std::size_t>(n);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitFor(
        [&] { return frame.StatusPanel()->State().timeText.rfind(LastGgaTime(bytes), 0) == 0; }));
    ::close(slave);
    ::close(master);
    EXPECT_TRUE(
        WaitFor([&] { return frame.Links().ConnectedLink() == CLinkController::Link::None; }));
    EXPECT_EQ(frame.StatusPaneText(1).toStdString(), "Not Connected");
}

}  // namespace
