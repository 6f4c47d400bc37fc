#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <limits>
#include <sstream>
#include <tuple>

#include "app/epoch_fan_out.h"
#include "decode/gnss_receiver_state.h"
#include "support/frame_support.h"
#include "support/tool_run.h"

namespace {

GnssReceiverState StateAt(double latitude, double longitude, double height)
{
    GnssReceiverState s{};
    s.Clear();
    std::tie(s.latitudeDeg, s.longitudeDeg, s.ellipsoidHeight) =
        std::tuple(latitude, longitude, height);
    return s;
}

// Sinks run in stage order, in the order they came within a stage; the panel, last, is told
// what was delivered even when an earlier sink consumed the flags.
TEST(EpochFanOut, SinksRunInStageOrderWhateverOrderTheyCameIn)
{
    CEpochFanOut fanOut;
    QStringList calls;
    std::uint32_t panelSaw = 0;
    const auto sink = [&](EpochStage stage, const char* name) {
        fanOut.Add(stage, QLatin1String(name), [&calls, name](EpochRefresh& epoch) {
            calls << QString::fromLatin1(name);
            epoch.state.contentFlags = 0;
        });
    };
    fanOut.Add(EpochStage::StatusPanel, QStringLiteral("panel"),
               [&](EpochRefresh& epoch) { panelSaw = epoch.delivered; });
    sink(EpochStage::Plot, "plot");
    sink(EpochStage::Satellites, "sky");
    sink(EpochStage::NtripUpload, "gga");
    sink(EpochStage::Plot, "plot 2");
    EXPECT_EQ(fanOut.Names(), (QStringList{"gga", "sky", "plot", "plot 2", "panel"}));
    GnssReceiverState s = StateAt(37.5, 127.0, 50.0);
    s.contentFlags = ContentFlag::Position | ContentFlag::SatellitesInView;
    EXPECT_TRUE(fanOut.Refresh(s));
    EXPECT_EQ(calls, (QStringList{"gga", "sky", "plot", "plot 2"}));
    EXPECT_EQ(panelSaw, ContentFlag::Position | ContentFlag::SatellitesInView);
}

TEST(EpochFanOut, ValidPositionNeedsThreeUsableNumbers)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::tuple<double, double, double, bool> cases[] = {
        {37.5, 127.0, 50.0, true}, {-33.9, -70.6, -12.0, true}, {0.0, 127.0, 50.0, false},
        {37.5, 0.0, 50.0, false},  {37.5, 127.0, 0.0, false},   {nan, 127.0, 50.0, false},
        {37.5, inf, 50.0, false},  {37.5, 127.0, -inf, false},
    };
    for (const auto& [latitude, longitude, height, valid] : cases)
        EXPECT_EQ(CEpochFanOut::HasValidPosition(StateAt(latitude, longitude, height)), valid)
            << latitude << ' ' << longitude << ' ' << height;
}

using FramePathsTest = FrameTest;

// The tool and the window read the same bytes through the same intake: the epochs decode
// prints are the epochs the window shows, and the report agrees with decode's summary.
TEST_F(FramePathsTest, DecodeShowsTheEpochsOfTheWindow)
{
    SKIP_WITHOUT_DATA();
    const std::string gsof = Simulated({.rateHz = 5, .seconds = 20}, SimulatedProtocol::Gsof);
    const std::pair<const char*, std::vector<std::uint8_t>> logs[] = {
        {"NMEA", Capture("nmea/gpsd_trimble_rtkfix_10hz.log")},
        {"UBX", Capture("ubx/gpsd_ublox-neo-m8l_esf-status_hnr.log")},
        {"NMEA+UBX", Capture("mixed/pyubx2_ublox-m8_nmea_ubx_39s.log")},
        {"SBF", Capture("sbf/sbfmixer_mosaic_pvtgeod_dop_chstatus_meas_atteuler.sbf")},
        {"GSOF (simulated)", {gsof.begin(), gsof.end()}},
    };
    for (const auto& [name, bytes] : logs) {
        SCOPED_TRACE(name);
        std::vector<Shown> decoded;
        LogDecodeSummary summary;
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        const auto keep = [&](const GnssReceiverState& s) {
            decoded.push_back({static_cast<qint64>(s.timeOfDayMs), s.latitudeDeg, s.longitudeDeg});
        };
        ASSERT_TRUE(DecodeLog(in, kDefaultDecodeBlock, IntakeChoice{}, keep, summary));
        ASSERT_GT(decoded.size(), 5u);
        CMainFrame frame(store_);
        std::vector<Shown> shown;
        RecordShown(frame, shown);
        FeedAll(frame, bytes);
        EXPECT_EQ(shown, decoded);
        const QStringList report = frame.ReportLines();
        ASSERT_GE(report.size(), 4);
        EXPECT_EQ(report[0], QStringLiteral("epochs: %1").arg(summary.epochs));
        EXPECT_EQ(report[3], QStringLiteral("errors: %1").arg(summary.checksumErrors));
    }
}

// The program as a script runs it: a replay, a quit after a while, the report on stdout.
TEST(ProgramReport, ReplayHeadlessPrintsOneFactPerLine)
{
    SKIP_WITHOUT_DATA();
    const auto log = *testdata::DataDir() / "nmea" / "gpsd_trimble_rtkfix_10hz.log";
    const QTemporaryDir home;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SKARNET2_NO_MESSAGE_BOXES", "1");
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) env.insert(name, home.path());
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(SKARNET2_PROGRAM),
                  {"--no-splash", "--replay", QString::fromStdString(log.string()),
                   "--replay-speed", "x20", "--quit-after", "3", "--report"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QStringList lines =
        QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 5) << lines.join('|').toStdString();
    // A 10 Hz log at x1 plays at most 30 epochs in 3 s; x20 plays far more even when the
    // machine is busy.
    EXPECT_GT(lines[0].mid(8).toInt(), 50);
    // "last: hhmmss.sss,LAT,LON,FIXQ" at the receiver's place, in DGPS or RTK.
    const QStringList last = lines[1].mid(6).split(',');
    ASSERT_EQ(last.size(), 4) << lines[1].toStdString();
    EXPECT_EQ(last[0].size(), 10);
    EXPECT_NEAR(last[1].toDouble(), 41.5749, 1e-3);
    EXPECT_NEAR(last[2].toDouble(), -93.7506, 1e-3);
    EXPECT_TRUE(last[3] == QStringLiteral("2") || last[3] == QStringLiteral("4"))
        << last[3].toStdString();
    EXPECT_EQ(lines[2], QStringLiteral("link: none"));
    EXPECT_EQ(lines[3], QStringLiteral("errors: 0"));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("replay: "))) << lines[4].toStdString();
    // The web map is the stored view: the page started and got the replayed positions.
    const QStringList map = lines.filter(QRegularExpression(QStringLiteral("^map: [1-9]")));
    EXPECT_EQ(map.size(), 1) << lines.join('|').toStdString();
}

}  // namespace
