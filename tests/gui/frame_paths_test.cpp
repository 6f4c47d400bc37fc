#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <sstream>

#include "app/epoch_fan_out.h"
#include "app/main_frame.h"
#include "decode/gnss_receiver_state.h"
#include "settings/settings_store.h"
#include "support/test_data.h"
#include "tool/decode_command.h"
#include "tool/receiver_simulator.h"

namespace {

GnssReceiverState StateAt(double latitude, double longitude, double height)
{
    GnssReceiverState s{};
    s.Clear();
    s.latitudeDeg = latitude;
    s.longitudeDeg = longitude;
    s.ellipsoidHeight = height;
    return s;
}

TEST(EpochFanOut, SinksRunInStageOrderWhateverOrderTheyCameIn)
{
    CEpochFanOut fanOut;
    QStringList calls;
    std::uint32_t panelSaw = 0;
    const auto sink = [&](const char* name) {
        return [&calls, name](EpochRefresh& epoch) {
            calls << QString::fromLatin1(name);
            epoch.state.contentFlags = 0;  // a sink that consumes everything
        };
    };
    fanOut.Add(EpochStage::StatusPanel, QStringLiteral("panel"),
               [&](EpochRefresh& epoch) { panelSaw = epoch.delivered; });
    fanOut.Add(EpochStage::Plot, QStringLiteral("plot"), sink("plot"));
    fanOut.Add(EpochStage::Satellites, QStringLiteral("sky"), sink("sky"));
    fanOut.Add(EpochStage::NtripUpload, QStringLiteral("gga"), sink("gga"));
    fanOut.Add(EpochStage::Plot, QStringLiteral("plot 2"), sink("plot 2"));
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
    const struct {
        double latitude, longitude, height;
        bool valid;
    } cases[] = {
        {37.5, 127.0, 50.0, true}, {-33.9, -70.6, -12.0, true}, {0.0, 127.0, 50.0, false},
        {37.5, 0.0, 50.0, false},  {37.5, 127.0, 0.0, false},   {nan, 127.0, 50.0, false},
        {37.5, inf, 50.0, false},  {37.5, 127.0, -inf, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CEpochFanOut::HasValidPosition(StateAt(c.latitude, c.longitude, c.height)),
                  c.valid)
            << c.latitude << ' ' << c.longitude << ' ' << c.height;
    }
}

class FramePathsTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("SKARNET2_NO_MESSAGE_BOXES", "1"); }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
};

TEST_F(FramePathsTest, EachEpochGoesFromSatellitesToThePanelInTheRefreshOrder)
{
    CMainFrame frame(store_);
    EXPECT_EQ(frame.EpochSinkNames(),
              (QStringList{"NTRIP GGA upload", "sky map and signal bars", "latest logging",
                           "graphs", "web map", "plot", "replay point", "status panel"}));
}

struct Shown {
    std::uint64_t time;
    double latitude;
    double longitude;
    bool operator==(const Shown&) const = default;
};

std::vector<std::uint8_t> SimulatedGsof()
{
    SimulatorOptions options;
    options.rateHz = 5;
    options.seconds = 20;
    CReceiverSimulator simulator(options, SimulatedProtocol::Gsof);
    std::string bytes;
    while (simulator.NextEpoch(bytes)) {
    }
    return {bytes.begin(), bytes.end()};
}

// The tool and the window read the same bytes through the same intake: the epochs decode
// prints are the epochs the window shows, and the report agrees with decode's summary.
TEST_F(FramePathsTest, DecodeShowsTheEpochsOfTheWindow)
{
    SKIP_WITHOUT_DATA();
    const auto data = *testdata::DataDir();
    const std::pair<const char*, std::vector<std::uint8_t>> logs[] = {
        {"NMEA", testdata::ReadBytes(data / "nmea" / "gpsd_trimble_rtkfix_10hz.log")},
        {"UBX", testdata::ReadBytes(data / "ubx" / "gpsd_ublox-neo-m8l_esf-status_hnr.log")},
        {"NMEA+UBX", testdata::ReadBytes(data / "mixed" / "pyubx2_ublox-m8_nmea_ubx_39s.log")},
        {"SBF", testdata::ReadBytes(data / "sbf" /
                                    "sbfmixer_mosaic_pvtgeod_dop_chstatus_meas_atteuler.sbf")},
        {"GSOF (simulated)", SimulatedGsof()},
    };
    for (const auto& [name, bytes] : logs) {
        std::vector<Shown> decoded;
        LogDecodeSummary summary;
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        ASSERT_TRUE(DecodeLog(
            in, kDefaultDecodeBlock, IntakeChoice{},
            [&](const GnssReceiverState& s) {
                decoded.push_back({s.timeOfDayMs, s.latitudeDeg, s.longitudeDeg});
            },
            summary));
        ASSERT_GT(decoded.size(), 5u) << name;

        CMainFrame frame(store_);
        std::vector<Shown> shown;
        QObject::connect(&frame, &CMainFrame::epochShown, [&](qint64 t, double lat, double lon) {
            shown.push_back({static_cast<std::uint64_t>(t), lat, lon});
        });
        for (std::size_t at = 0; at < bytes.size(); at += 1024) {
            frame.FeedSerialBytes(std::span<const std::uint8_t>(bytes).subspan(
                at, std::min<std::size_t>(1024, bytes.size() - at)));
        }
        QElapsedTimer quiet;  // the line goes quiet: the idle flush shows the last epoch
        quiet.start();
        while (quiet.elapsed() < 2 * CMainFrame::kIdleFlushMs) QCoreApplication::processEvents();
        EXPECT_EQ(shown, decoded) << name;
        const QStringList report = frame.ReportLines();
        EXPECT_EQ(report[0], QStringLiteral("epochs: %1").arg(summary.epochs)) << name;
        EXPECT_EQ(report[3], QStringLiteral("errors: %1").arg(summary.checksumErrors)) << name;
    }
}

// The program as a script runs it: a replay, a quit after a while, the report on stdout.
TEST(ProgramReport, ReplayHeadlessPrintsOneFactPerLine)
{
    SKIP_WITHOUT_DATA();
    const auto log = *testdata::DataDir() / "nmea" / "gpsd_trimble_rtkfix_10hz.log";
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), config.path());
    env.insert(QStringLiteral("SKARNET2_NO_MESSAGE_BOXES"), QStringLiteral("1"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(SKARNET2_PROGRAM),
                  {QStringLiteral("--no-splash"), QStringLiteral("--replay"),
                   QString::fromStdString(log.string()), QStringLiteral("--replay-speed"),
                   QStringLiteral("x20"), QStringLiteral("--quit-after"), QStringLiteral("3"),
                   QStringLiteral("--report")});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QStringList lines =
        QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 5) << lines.join('|').toStdString();
    ASSERT_TRUE(lines[0].startsWith(QStringLiteral("epochs: ")));
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

// Both programs answer --version and --help in a terminal without a display, from one
// version in the build; every tool command answers --help with its own usage.
TEST(ProgramText, VersionAndHelpWithoutADisplay)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const QString program = QStringLiteral(SKARNET2_PROGRAM);
    const QString tool = QStringLiteral(SKARNET2_TOOL);
    const struct {
        QString binary;
        QStringList args;
        const char* start;
    } cases[] = {
        {program, {"--version"}, "skarnet2 2.09 (20230531)\n"},
        {program, {"--help"}, "Usage: "},
        {tool, {"--version"}, "skarnet2-tool 2.09 (20230531)\n"},
        {tool, {"--help"}, "usage: skarnet2-tool simulate"},
        {tool, {"simulate", "--help"}, "usage: skarnet2-tool simulate"},
        {tool, {"serve", "--help"}, "usage: skarnet2-tool serve"},
        {tool, {"export", "-h"}, "usage: skarnet2-tool export"},
        {tool, {"ntrip", "--help"}, "usage: skarnet2-tool ntrip"},
    };
    for (const auto& c : cases) {
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(c.binary, c.args);
        ASSERT_TRUE(run.waitForFinished(20000)) << c.args.join(' ').toStdString();
        const std::string out = run.readAllStandardOutput().toStdString();
        EXPECT_EQ(run.exitCode(), 0) << c.args.join(' ').toStdString();
        EXPECT_EQ(out.rfind(c.start, 0), 0u) << c.args.join(' ').toStdString() << ": " << out;
        if (c.args.size() == 2) {  // one command's usage, not the others'
            EXPECT_EQ(out.find("skarnet2-tool decode"),
                      c.args[0] == "decode" ? 0u : std::string::npos)
                << out;
        }
    }
}

}  // namespace
