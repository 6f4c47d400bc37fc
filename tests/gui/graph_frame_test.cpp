#include <gtest/gtest.h>

#include <QAction>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/graph_controller.h"
#include "app/main_frame.h"
#include "decode/gnss_receiver_state.h"
#include "geo/distance.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"
#include "support/test_data.h"
#include "views/graphs/graph_ctrls.h"
#include "views/graphs/graph_windows.h"
#include "views/graphs/heading_ctrl.h"

namespace {

class GraphFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("SKARNET2_NO_MESSAGE_BOXES", "1");
        store_.Write(settings::kViewMapPlot, 1);
    }

    // Feeds a capture the way the serial port would and lets the last epoch out.
    static void Feed(CMainFrame& frame, const std::vector<std::uint8_t>& bytes)
    {
        for (std::size_t at = 0; at < bytes.size(); at += 1024) {
            frame.FeedSerialBytes(std::span<const std::uint8_t>(bytes).subspan(
                at, std::min<std::size_t>(1024, bytes.size() - at)));
        }
        WaitFor([] { return false; }, 2 * CMainFrame::kIdleFlushMs);
    }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
};

// NMEA field reading of its own, as a receiver engineer would check the graphs by hand.
struct Gga {
    double latitude;
    double longitude;
    int quality;
    double altitude;
};

double Degrees(const std::string& value, const std::string& hemisphere)
{
    const double raw = std::stod(value);
    const double degrees = std::floor(raw / 100.0) + std::fmod(raw, 100.0) / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -degrees : degrees;
}

std::vector<Gga> ReadGga(const std::vector<std::uint8_t>& bytes)
{
    std::vector<Gga> fixes;
    const QStringList lines = QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()))
                                  .split('\n');
    for (const QString& line : lines) {
        const QStringList f = line.split(',');
        if (f.size() < 10 || !f[0].endsWith(QLatin1String("GGA")) || f[2].isEmpty()) continue;
        fixes.push_back({Degrees(f[2].toStdString(), f[3].toStdString()),
                         Degrees(f[4].toStdString(), f[5].toStdString()), f[6].toInt(),
                         f[9].toDouble()});
    }
    return fixes;
}

// A real RTK capture: the distance graph holds the summed great-circle steps between fixes,
// the elevation graph the last altitude, the deviation graphs one sample per fix.
TEST_F(GraphFrameTest, NmeaCaptureFillsTheGraphsWithHandComputedValues)
{
    SKIP_WITHOUT_DATA();
    const auto bytes =
        testdata::ReadBytes(*testdata::DataDir() / "nmea" / "gpsd_trimble_rtkfix_10hz.log");
    const std::vector<Gga> fixes = ReadGga(bytes);
    ASSERT_GT(fixes.size(), 100u);
    double distance = 0.0;
    const Gga* previous = nullptr;
    for (const Gga& fix : fixes) {
        if (fix.quality <= 0) continue;
        if (previous != nullptr)
            distance +=
                Distance(previous->latitude, previous->longitude, fix.latitude, fix.longitude);
        previous = &fix;
    }
    CMainFrame frame(store_);
    Feed(frame, bytes);
    CGraphController& graphs = frame.Graphs();
    EXPECT_NEAR(graphs.TotalDistance(), distance, 1e-6 + distance * 1e-9);
    CDistanceGraphCtrl* travelled = graphs.Distance().Graph();
    ASSERT_GT(travelled->Kept(), 0u);
    EXPECT_NEAR(travelled->Value(travelled->Kept() - 1), distance, 1e-6 + distance * 1e-9);
    EXPECT_EQ(graphs.NorthSouth().Graph()->Count(), fixes.size());
    EXPECT_EQ(graphs.EastWest().Graph()->Count(), fixes.size());
    CElevationGraphCtrl* elevation = graphs.Elevation().Graph();
    ASSERT_EQ(elevation->Count(), fixes.size());
    EXPECT_NEAR(elevation->Value(elevation->Kept() - 1), fixes.back().altitude, 1e-3);
    EXPECT_GT(graphs.Speed().Graph()->Count(), 0u);

    // The menu shows a window; clearing empties all but the gauge.
    frame.Action(command::kSpeedGraph)->trigger();
    EXPECT_TRUE(graphs.Speed().isVisible());
    EXPECT_EQ(graphs.Speed().windowTitle().toStdString(), "속도 그래프");
    frame.OnClear();
    EXPECT_EQ(graphs.NorthSouth().Graph()->Count(), 0u);
    EXPECT_EQ(travelled->Count(), 0u);
    EXPECT_EQ(graphs.TotalDistance(), 0.0);
}

// A UBX receiver that loses its fix: the distance stands still while the fix quality is 0
// and sums the steps between the fixes shown otherwise.
TEST_F(GraphFrameTest, UbxCaptureWithFixLossGrowsDistanceOnlyWithAFix)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "ubx" /
                                           "gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log");
    CMainFrame frame(store_);
    struct Fix {
        double latitude;
        double longitude;
        int quality;
    };
    std::vector<Fix> shown;
    QObject::connect(&frame, &CMainFrame::epochShown, [&](qint64, double lat, double lon) {
        shown.push_back({lat, lon, frame.Snapshot().fixQuality});
    });
    Feed(frame, bytes);
    double distance = 0.0;
    std::size_t withFix = 0;
    const Fix* previous = nullptr;
    for (const Fix& fix : shown) {
        if (fix.quality <= 0 || (fix.latitude == 0.0 && fix.longitude == 0.0)) continue;
        if (previous != nullptr)
            distance +=
                Distance(previous->latitude, previous->longitude, fix.latitude, fix.longitude);
        previous = &fix;
        ++withFix;
    }
    // The receiver reports its fix as valid in only 16 of its 299 epochs.
    ASSERT_GT(withFix, 10u);
    ASSERT_GT(shown.size(), 10 * withFix);
    EXPECT_GT(distance, 0.0);
    EXPECT_NEAR(frame.Graphs().TotalDistance(), distance, 1e-6 + distance * 1e-9);
    EXPECT_EQ(frame.Graphs().Distance().Graph()->Count(), withFix);
}

}  // namespace
