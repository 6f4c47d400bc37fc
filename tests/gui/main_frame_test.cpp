#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <utility>

#include "app/command_ids.h"
#include "app/connection_times.h"
#include "app/launch_options.h"
#include "app/link_controller.h"
#include "app/main_layout.h"
#include "app/record_controller.h"
#include "app/replay_controller.h"
#include "app/replay_player.h"
#include "support/frame_support.h"
#include "support/recording_owner.h"
#include "support/tool_run.h"
#include "views/multi_line_list_box.h"
#include "views/nmea_log_dlg.h"
#include "views/plots_view.h"

namespace {

using MainFrameTest = FrameTest;

const std::string kGga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,4,08,0.9,545.4,M,46.9,M,,");
constexpr const char* kNmeaLog = "nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log";

TEST(MainLayoutTest, GridCellsAndArrangements)
{
    const MainLayout l = ComputeMainLayout(QRect(0, 50, 1001, 701));
    // L = 600, R = 401, U = 490, B = 211, S = 245, G = 245.
    EXPECT_EQ(
        (std::array{l.large, l.rightTop, l.rightMiddle, l.rightBottom, l.leftBottom}),
        (std::array{QRect(0, 50, 600, 490), QRect(600, 50, 401, 245), QRect(600, 295, 401, 245),
                    QRect(600, 540, 401, 211), QRect(0, 540, 600, 211)}));
    EXPECT_EQ(std::pair(LargePaneContent(0), LargePaneContent(3)),
              std::pair(MainContent::MapAndPlot, MainContent::RawLog));
    EXPECT_EQ((std::array{l.CellOf(MainContent::MapAndPlot, 3), l.CellOf(MainContent::SkyMap, 1),
                          l.CellOf(MainContent::MapAndPlot, 2)}),
              (std::array{l.rightBottom, l.large, l.rightMiddle}));
}

// Pane 3 and the panel's timers; fix mode 2 is the first that counts as fixed.
TEST(ConnectionTimesTest, FixedTimeWaitsForTwoDimensionalFix)
{
    const QDateTime start(QDate(2026, 12, 6), QTime(10, 0, 0));
    const auto at = [&](int seconds) { return start.addSecs(seconds); };
    CConnectionTimes times;
    EXPECT_EQ(times.StatusText(start).toStdString(), "시작[-] / Fixed[-] / 경과[-]");
    times.Start(start);
    times.Track(1, 1, at(5));
    EXPECT_EQ(times.StatusText(at(5)).toStdString(), "시작[10:00:00] / Fixed[-] / 경과[00:00:05]");
    EXPECT_EQ(times.FloatTimerText(at(65)).toStdString(), "01:05");
    EXPECT_EQ(times.FixedTimerText(at(65)).toStdString(), "00:00");
    times.Track(2, 5, at(70));  // 2D, float
    EXPECT_EQ(times.StatusText(at(3671)).toStdString(),
              "시작[10:00:00] / Fixed[10:01:10] / 경과[01:01:11]");
    EXPECT_TRUE(times.FloatTimerText(at(80)).isEmpty());
    EXPECT_EQ(times.FixedTimerText(at(80)).toStdString(), "00:10");
    times.Track(3, 4, at(90));  // fixed RTK
    EXPECT_TRUE(times.FixedTimerText(at(95)).isEmpty());
    times.Track(1, 1, at(100));  // fix lost: the fixed time goes
    EXPECT_EQ(times.StatusText(at(100)).toStdString(),
              "시작[10:00:00] / Fixed[-] / 경과[00:01:40]");
}

TEST(LaunchOptionsTest, ConnectTargetsAndCommandLines)
{
    // A target as "kind host:port@baud", or refused (nullptr).
    // clang-format off
    const std::pair<const char*, const char*> targets[] = {
        {"tcp://127.0.0.1:9999", "0 127.0.0.1:9999@0"}, {"tcp://h:1", "0 h:1@0"}, {"tcp://h:65535", "0 h:65535@0"},
        {"relay://relay.example:3500", "1 relay.example:3500@0"}, {"serial:/dev/pts/3", "2 /dev/pts/3:0@0"},
        {"serial:ttyUSB0@38400", "2 ttyUSB0:0@38400"}, {"relay://:3500", nullptr}, {"tcp://host:0", nullptr},
        {"tcp://host:65536", nullptr}, {"serial:ttyUSB0@fast", nullptr}, {"serial:", nullptr}, {"udp://x:1", nullptr}};
    // clang-format on
    for (const auto& [text, expected] : targets) {
        const auto t = ParseConnectTarget(QString::fromLatin1(text));
        const std::string got = t ? std::to_string(static_cast<int>(t->kind)) + ' ' +
                                        t->host.toStdString() + ':' + std::to_string(t->port) +
                                        '@' + std::to_string(t->baud)
                                  : "";
        EXPECT_EQ(got, expected ? expected : "") << text;
    }
    // Whole command lines: refused (nullptr), or what they set.
    // clang-format off
    const auto summary = [](const LaunchOptions& o) {
        return QStringLiteral("splash=%1 quit=%2 replay=%3 speed=%4 shot=%5 ntrip=%6 report=%7 lang=%8 progress=%9")
            .arg(!o.noSplash).arg(o.quitAfterMs).arg(o.replay).arg(o.replaySpeedMs).arg(o.screenshot)
            .arg(o.ntrip).arg(o.report).arg(o.language).arg(o.progressEvery).toStdString();
    };
    const std::pair<QStringList, const char*> lines[] = {
        {{"--no-splash", "--screenshot", "a.png"}, "splash=0 quit=5000 replay= speed=0 shot=a.png ntrip=0 report=0 lang= progress=0"},
        {{"--quit-after", "0"}, "splash=1 quit=0 replay= speed=0 shot= ntrip=0 report=0 lang= progress=0"},
        {{"--quit-after", "-1"}, nullptr}, {{"--connect", "x"}, nullptr}, {{"--lang", "de"}, nullptr},
        {{"--progress", "0"}, nullptr}, {{"--replay", "a.log", "--connect", "tcp://h:1"}, nullptr},
        {{"--replay", "a.log", "--replay-speed", "x20"}, "splash=1 quit=-1 replay=a.log speed=50 shot= ntrip=0 report=0 lang= progress=0"},
        {{"--replay-speed", "fastest", "--replay", "a.log"}, "splash=1 quit=-1 replay=a.log speed=1 shot= ntrip=0 report=0 lang= progress=0"},
        {{"--replay", "a.log", "--replay-speed", "x3"}, nullptr}, {{"--replay-speed", "x2"}, nullptr},  // nothing to play
        {{"--ntrip", "--report", "--lang", "en", "--progress", "1"}, "splash=1 quit=-1 replay= speed=0 shot= ntrip=1 report=1 lang=en progress=1"},
    };
    // clang-format on
    for (const auto& [args, expected] : lines) {
        SCOPED_TRACE(args.join(' ').toStdString());
        LaunchOptions options;
        bool help = false;
        QString helpText;
        const QString error =
            ParseLaunchOptions(QStringList{"skarnet2"} + args, options, help, helpText);
        EXPECT_EQ(error.isEmpty(), expected != nullptr) << error.toStdString();
        EXPECT_EQ(expected ? summary(options) : "", expected ? expected : "");
    }
}

TEST_F(MainFrameTest, GpsToggleTakesSbasAlongAndConstellationTogglesHideTheirGsvTalker)
{
    CMainFrame frame(store_);
    Command(frame, command::kGps).setChecked(false);
    EXPECT_FALSE(Command(frame, command::kSbas).isChecked());
    Command(frame, command::kSbas).setChecked(true);
    EXPECT_TRUE(Command(frame, command::kGps).isChecked());
    Command(frame, command::kGlonass).setChecked(false);
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
    Pause(CMainFrame::kIdleFlushMs / 2);
    EXPECT_EQ(frame.EpochsShown(), 0u);
    EXPECT_TRUE(WaitFor([&] { return frame.EpochsShown() == 1; }, 2000));
    Pause(2 * CMainFrame::kIdleFlushMs);
    EXPECT_EQ(frame.EpochsShown(), 1u);
    EXPECT_NEAR(frame.StatusPanel()->State().latitudeDeg, 48.1173, 1e-9);
    EXPECT_EQ(frame.PlotView()->LiveCount(), 1u);
}

TEST_F(MainFrameTest, RecordedLogIsTheBytesSentAndReplaysTheSameEpochs)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = Capture(kNmeaLog);
    const QString log = dir_.filePath(QStringLiteral("recorded.txt"));
    CMainFrame frame(store_);
    std::vector<Shown> shown;
    RecordShown(frame, shown);
    ASSERT_TRUE(frame.Recording().Start(log));
    FeedAll(frame, bytes, 0, 5);
    frame.Recording().Stop();
    EXPECT_EQ(testdata::ReadBytes(QFile::encodeName(log).toStdString()), bytes);
    EXPECT_EQ(frame.PlotView()->LiveCount(), frame.EpochsShown());
    EXPECT_GT(frame.RawLog()->LineList()->GetCount(), 0);

    const std::vector<Shown> live = std::exchange(shown, {});
    ASSERT_FALSE(live.empty());
    ASSERT_TRUE(ScanReplay(frame, log).value_or(false));
    CReplayPlayer* player = frame.Replay().Player();
    while (player->FrameIndex() < player->FrameCount() - 1) player->Tick();
    player->Tick();  // the last entry
    EXPECT_EQ(shown, live);
    frame.Replay().Stop();
    EXPECT_FALSE(frame.Replay().IsReplaying());
}

TEST_F(MainFrameTest, SecondLogBecomesThePlotsTrack)
{
    SKIP_WITHOUT_DATA();
    const auto main = *testdata::DataDir() / kNmeaLog;
    const auto second = *testdata::DataDir() / "nmea" / "gpsd_trimble_rtkfix_10hz.log";
    const ScanResult expected = CReplayScanner(ScanSettings{}).ScanFile(second.string());
    ASSERT_EQ(expected.status, ScanStatus::Ok);
    CMainFrame frame(store_);
    int track = -1;
    QObject::connect(&frame.Replay(), &CReplayController::secondaryTrackLoaded,
                     [&](int n) { track = n; });
    ASSERT_TRUE(ScanReplay(frame, QString::fromStdString(main.string()),
                           QString::fromStdString(second.string()))
                    .value_or(false));
    ASSERT_TRUE(WaitFor([&] { return track >= 0; }, 10000));
    EXPECT_EQ(track, static_cast<int>(expected.index.Size()));
    ASSERT_EQ(frame.Replay().Track().Size(), expected.index.Size());
    EXPECT_EQ(frame.Replay().Track().At(0).latitude, expected.index.At(0).latitude);
    frame.Replay().Player()->Tick();
    EXPECT_EQ(frame.PlotView()->ReplayCount(), 1u);
    frame.Replay().Stop();
    EXPECT_TRUE(frame.Replay().Track().Empty());
}

// A receiver on TCP and one on a pseudo-terminal: followed, named in pane 2, and noticed
// when the peer goes away.
TEST_F(MainFrameTest, TcpAndSerialReceiversFollowedUntilThePeerGoes)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = Capture(kNmeaLog);
    for (const bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "tcp");
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        RawPty pty;
        ASSERT_TRUE(pty.Valid());
        store_.Write(settings::kCommTxMode, serial ? 1 : 0);
        store_.Write(settings::kCommHostAddr, QStringLiteral("127.0.0.1"));
        store_.Write(settings::kCommHostPort, QString::number(server.serverPort()));
        store_.Write(settings::kCommPort, pty.slaveName);
        CMainFrame frame(store_);
        ASSERT_TRUE(frame.Links().ConnectFromSettings());
        EXPECT_EQ(frame.StatusPaneText(pane::kConnection).toStdString(), "Connected");
        EXPECT_EQ(frame.StatusPaneText(pane::kPort),
                  serial ? pty.slaveName + QStringLiteral(" / 115200bps")
                         : QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        QTcpSocket* peer = nullptr;
        if (serial) {
            for (std::size_t at = 0; at < bytes.size();) {
                const ssize_t n = ::write(pty.master, bytes.data() + at,
                                          std::min<std::size_t>(4096, bytes.size() - at));
                ASSERT_GT(n, 0);
                at += static_cast<std::size_t>(n);
                QCoreApplication::processEvents();
            }
        } else {
            QByteArray none;
            peer = AcceptPeer(server, none, [](const QByteArray&) { return true; });
            ASSERT_NE(peer, nullptr);
            peer->write(AsBytes(bytes));
        }
        ASSERT_TRUE(ShowsLastGga(frame, bytes));
        if (serial) {
            pty.Close();
        } else {
            EXPECT_TRUE(frame.ReportLines().contains(QStringLiteral("link: tcp connected")));
            peer->close();
        }
        EXPECT_TRUE(
            WaitFor([&] { return frame.Links().ConnectedLink() == CLinkController::Link::None; }));
        EXPECT_EQ(frame.StatusPaneText(pane::kConnection).toStdString(), "Not Connected");
        EXPECT_TRUE(Command(frame, command::kOpenPort).isEnabled());
        EXPECT_EQ(frame.ReportLines().contains(QStringLiteral("link: tcp closed")), !serial);
    }
}

}  // namespace
