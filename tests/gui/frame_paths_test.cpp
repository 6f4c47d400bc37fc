#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "app/epoch_fan_out.h"
#include "app/main_frame.h"
#include "decode/gnss_receiver_state.h"
#include "settings/settings_store.h"
#include "support/test_data.h"

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
    EXPECT_EQ(frame.EpochSinkNames(), (QStringList{"sky map and signal bars", "latest logging",
                                                   "plot", "replay point", "status panel"}));
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
    env.insert(QStringLiteral("SKARNET2_NO_MESSAGE_BOXES"), QStringLiteral("1"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(SKARNET2_PROGRAM),
                  {QStringLiteral("--no-splash"), QStringLiteral("--replay"),
                   QString::fromStdString(log.string()), QStringLiteral("--quit-after"),
                   QStringLiteral("3"), QStringLiteral("--report")});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QStringList lines =
        QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 5) << lines.join('|').toStdString();
    ASSERT_TRUE(lines[0].startsWith(QStringLiteral("epochs: ")));
    EXPECT_GT(lines[0].mid(8).toInt(), 5);  // a 10 Hz log plays about ten epochs a second
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
}

}  // namespace
