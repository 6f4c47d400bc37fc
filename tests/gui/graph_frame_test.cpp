#include <gtest/gtest.h>

#include <QAction>
#include <cmath>

#include "app/command_ids.h"
#include "app/graph_controller.h"
#include "geo/distance.h"
#include "support/frame_support.h"
#include "views/graphs/graph_ctrls.h"
#include "views/graphs/graph_windows.h"

namespace {

class GraphFrameTest : public FrameTest {
protected:
    void SetUp() override { store_.Write(settings::kViewMapPlot, 1); }
};

// NMEA field reading of its own, as a receiver engineer would check the graphs by hand.
struct Gga {
    double latitude, longitude;
    int quality;
    double altitude;
};

// The GGA fixes of a capture; fastestKnots: the highest RMC speed over ground.
std::vector<Gga> ReadGga(const std::vector<std::uint8_t>& bytes, double& fastestKnots)
{
    const auto degrees = [](const QString& value, const QString& hemisphere) {
        const double raw = value.toDouble();
        const double d = std::floor(raw / 100.0) + std::fmod(raw, 100.0) / 60.0;
        return hemisphere == "S" || hemisphere == "W" ? -d : d;
    };
    std::vector<Gga> fixes;
    for (const QString& line : QString::fromLatin1(AsBytes(bytes)).split('\n')) {
        const QStringList f = line.split(',');
        if (f.size() > 7 && f[0].endsWith(QLatin1String("RMC")))
            fastestKnots = std::max(fastestKnots, f[7].toDouble());
        if (f.size() < 10 || !f[0].endsWith(QLatin1String("GGA")) || f[2].isEmpty()) continue;
        fixes.push_back({degrees(f[2], f[3]), degrees(f[4], f[5]), f[6].toInt(), f[9].toDouble()});
    }
    return fixes;
}

// The summed great-circle steps between the fixes with a quality and a position; their number.
std::pair<double, std::size_t> Travelled(const std::vector<Gga>& fixes)
{
    double distance = 0.0;
    std::size_t withFix = 0;
    const Gga* p = nullptr;
    for (const Gga& f : fixes) {
        if (f.quality <= 0 || (f.latitude == 0.0 && f.longitude == 0.0)) continue;
        if (p) distance += Distance(p->latitude, p->longitude, f.latitude, f.longitude);
        p = &f;
        ++withFix;
    }
    return {distance, withFix};
}

// A real RTK capture: the distance graph holds the summed great-circle steps between fixes,
// the elevation graph the last altitude, the deviation graphs one sample per fix.
TEST_F(GraphFrameTest, NmeaCaptureFillsTheGraphsWithHandComputedValues)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = Capture("nmea/gpsd_trimble_rtkfix_10hz.log");
    double fastestKnots = 0.0;
    const std::vector<Gga> fixes = ReadGga(bytes, fastestKnots);
    ASSERT_GT(fixes.size(), 100u);
    const double distance = Travelled(fixes).first;
    CMainFrame frame(store_);
    FeedAll(frame, bytes);
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
    // Speed in km/h: the fastest RMC speed over ground, 1.852 km/h per knot.
    ASSERT_GT(fastestKnots, 3.0);
    CSpeedGraphCtrl* speed = graphs.Speed().Graph();
    double fastest = 0.0;
    for (std::size_t i = 0; i < speed->Kept(); ++i) fastest = std::max(fastest, speed->Value(i));
    EXPECT_NEAR(fastest, fastestKnots * 1.852, 1e-3);

    // The menu shows a window; clearing empties all but the gauge.
    Command(frame, command::kSpeedGraph).trigger();
    EXPECT_TRUE(graphs.Speed().isVisible());
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
    const auto bytes = Capture("ubx/gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log");
    CMainFrame frame(store_);
    std::vector<Gga> shown;
    QObject::connect(&frame, &CMainFrame::epochShown, [&](qint64, double lat, double lon) {
        shown.push_back({lat, lon, frame.Snapshot().fixQuality, 0.0});
    });
    FeedAll(frame, bytes);
    const auto [distance, withFix] = Travelled(shown);
    // The receiver reports its fix as valid in only 16 of its 299 epochs.
    ASSERT_GT(withFix, 10u);
    ASSERT_GT(shown.size(), 10 * withFix);
    EXPECT_GT(distance, 0.0);
    EXPECT_NEAR(frame.Graphs().TotalDistance(), distance, 1e-6 + distance * 1e-9);
    EXPECT_EQ(frame.Graphs().Distance().Graph()->Count(), withFix);
}

}  // namespace
