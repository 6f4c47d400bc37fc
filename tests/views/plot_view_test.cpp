#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "geo/coord_converter.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"
#include "support/recording_owner.h"
#include "support/test_data.h"
#include "views/plot_texts.h"
#include "views/plots_view.h"
#include "views/reference_stations.h"

namespace {

constexpr int kW = 400, kH = 300;
constexpr double kLon = 127.0, kLat = 37.5;
const QColor kLiveGrey(0x80, 0x80, 0x80), kLiveRed(0xFF, 0, 0), kGreen(0, 0xFF, 0);

struct Grid {
    double e, n;
};

// The default coordinate system 4 is the corrected central origin, row 5.
Grid Project(double lon, double lat, int row = 5)
{
    Grid g{};
    EXPECT_TRUE(CoordConverter(10, row).Convert(lon, lat, g.e, g.n).Ok());
    return g;
}

// Pixel of a point dE/dN metres from the centre: 3 grid steps in min(w, h) / 2 - 10 pixels.
QPoint ExpectedPixel(int scaleIndex, double dE, double dN, QPoint pan = {})
{
    const int r = std::min(kW, kH) / 2 - 10;
    const double range = 3.0 * kPlotScales[static_cast<std::size_t>(scaleIndex)];
    return QPoint(static_cast<int>(kW / 2 + r * dE / range + 0.5) + pan.x(),
                  static_cast<int>(kH / 2 - r * dN / range + 0.5) + pan.y());
}

QImage Render(CPlotsView& view) { return RenderWidget(view, view.size(), Qt::black); }

QColor At(const QImage& image, QPoint p) { return QColor(image.pixel(p)); }

// Some pixel outside the legend (its swatches show every live colour) passes the test.
template <class Test>
bool AnyPixel(const QImage& image, int lineHeight, Test test)
{
    const QRect legend(0, 0, 5 * lineHeight + 5, 11 * lineHeight + 5);
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QPoint p(i % image.width(), i / image.width());
        if (!legend.contains(p) && test(At(image, p))) return true;
    }
    return false;
}

bool NearPixel(const QImage& image, QPoint p, const QColor& colour)
{
    for (int d = 0; d < 9; ++d) {
        if (At(image, p + QPoint(d % 3 - 1, d / 3 - 1)) == colour) return true;
    }
    return false;
}

void SendMouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), QPointF(w.mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

// Press at from and move to to, released unless held.
void Drag(QWidget& w, QPoint from, QPoint to, bool held = false)
{
    SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(w, QEvent::MouseMove, to, Qt::LeftButton);
    if (!held) SendMouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

void SendWheel(QWidget& w, int delta)
{
    QWheelEvent event({10, 10}, {10, 10}, {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&w, &event);
}

class PlotViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        view.resize(kW, kH);
    }
    void Load(int centreMode, int scaleIndex)
    {
        store.Write(settings::kRefPointCenter, centreMode);
        store.Write(settings::kPlotScaleIndex, scaleIndex);
        view.LoadSettings(store);
    }
    void Click(const char* button, int times = 1)
    {
        auto* b = view.findChild<QToolButton*>(button);
        ASSERT_NE(b, nullptr) << button;
        for (int i = 0; i < times; ++i) b->click();
    }

    QTemporaryDir dir;
    CSettingsStore store{dir.filePath("s.conf")};
    CPlotsView view;
};

}  // namespace

TEST(PlotTexts, LabelsLinesAndSlots)
{
    // Both sides of the cm/m and m/km label changes; levels clamp to the table.
    const std::pair<int, const char*> labels[] = {
        {7, "50cm"}, {8, "1m"}, {19, "500m"}, {20, "1km"}};
    for (const auto& [index, label] : labels) EXPECT_EQ(PlotScaleLabel(index), label) << index;
    for (const auto& [index, level] : {std::pair{-4, "28"}, {19, "09"}, {99, "01"}})
        EXPECT_EQ(PlotLevelLine(index), QString("Level: %1/28").arg(level));
    // Zero-padded to 10 and 11 characters with seven decimals.
    EXPECT_EQ(PlotAverageLine(5.1, 27.25), "Avg Lat/Lon: 05.1000000/027.2500000");
    using S = PlotClassSlot;
    const std::pair<int, S> classSlots[] = {{2, S::kDgps}, {5, S::kFloat}, {4, S::kRtk},
                                            {6, S::kDr},   {1, S::kGps},   {7, S::kGps}};
    for (const auto& [fixClass, slot] : classSlots) EXPECT_EQ(PlotSlotOfClass(fixClass), slot);
}

TEST(ReferenceStations, ParsedPositions)
{
    EXPECT_FALSE(StationPosition(-1) || StationPosition(kReferenceStationCount));
    ASSERT_TRUE(StationPosition(0) && StationPosition(kReferenceStationCount - 1));
    EXPECT_NEAR(StationPosition(0)->longitude, 126 + 54 / 60.0 + 33.73742 / 3600.0, 1e-12);
    EXPECT_NEAR(StationPosition(0)->latitude, 37 + 28 / 60.0 + 7.16509 / 3600.0, 1e-12);
}

TEST_F(PlotViewTest, LoadSettingsReadsAndClampsTheStore)
{
    store.Write(settings::kRefPointCoordSys, 0);
    store.Write(settings::kPlotRgbGps, 0x112233);  // 0x00BBGGRR: red in the low byte
    store.Write(settings::kRefPointLongitude, QStringLiteral("128.5"));
    Load(3, 5);
    EXPECT_EQ(view.ClassColour(1), QColor(0x33, 0x22, 0x11));
    EXPECT_DOUBLE_EQ(view.CentreLongitude(), 128.5);
    // Values from outside the tables fall back inside them.
    store.Write(settings::kRefPointCoordSys, 9);
    store.Write(settings::kPlotPixelSize, 0);
    Load(7, 99);
    EXPECT_EQ(std::tuple(view.ScaleIndex(), view.Mode(), view.CoordSystem(), view.PointSize()),
              std::tuple(27, CPlotsView::CentreMode::kNewestPoint, 4, 1));
    // Reference station mode takes the station; without one, the stored point.
    store.Write(settings::kRefPointRefSite, 2);
    Load(1, 8);
    EXPECT_DOUBLE_EQ(view.CentreLongitude(), StationPosition(2)->longitude);
    store.Write(settings::kRefPointRefSite, 8);
    Load(1, 8);
    EXPECT_DOUBLE_EQ(view.CentreLongitude(), 128.5);
}

TEST_F(PlotViewTest, ProjectionFollowsTheSelectedSystem)
{
    view.LoadSettings(store);
    // From another process: always GRS80 UTM-K (known point of that grid).
    ASSERT_TRUE(view.AddPosition(126.881210, 37.473125, 1, 1, false));
    EXPECT_NEAR(view.EastingText().mid(2).chopped(1).toDouble(), 945285.230, 0.001);
    EXPECT_NEAR(view.NorthingText().mid(2).chopped(1).toDouble(), 1941724.502, 0.001);
    store.Write(settings::kRefPointCoordSys, 2);  // UTM: zone from the longitude
    view.LoadSettings(store);
    for (const auto& [lon, row] : {std::pair{126.5, 12}, {125.5, 11}}) {
        ASSERT_TRUE(view.AddPosition(lon, kLat, 1, 1, true));
        EXPECT_EQ(view.EastingText(), PlotEastingText(Project(lon, kLat, row).e)) << lon;
    }
}

TEST_F(PlotViewTest, ReplayClassColoursAndLegend)
{
    Load(2, 8);
    EXPECT_FALSE(view.SetClassColour(6, Qt::red, store));
    ASSERT_TRUE(view.SetClassColour(4, QColor(1, 2, 3), store));
    EXPECT_EQ(store.Get(settings::kPlotRgbRtk), 0x030201);
    // Class 3 takes the GPS colours.
    const std::vector<GeoPoint> replay{GeoPoint(kLon + 0.00001, kLat, 0.0f, 0, 3),
                                       GeoPoint(kLon, kLat + 0.00001, 0.0f, 0, 4)};
    view.SetReplayPositionList(&replay);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 3, true));
        ASSERT_TRUE(view.AddReplayPoint(i));
    }
    EXPECT_FALSE(view.AddReplayPoint(2));
    EXPECT_FALSE(view.AddReplayPoint(-1));
    const Grid live = Project(kLon, kLat), gps = Project(kLon + 0.00001, kLat),
               rtk = Project(kLon, kLat + 0.00001);
    const QImage image = Render(view);
    const QColor gpsClass(0xC0, 0xC0, 0xC0);
    EXPECT_EQ(At(image, QPoint(kW / 2, kH / 2)), kLiveGrey);
    EXPECT_EQ(At(image, ExpectedPixel(8, gps.e - live.e, gps.n - live.n)), gpsClass);
    EXPECT_EQ(At(image, ExpectedPixel(8, rtk.e - live.e, rtk.n - live.n)), QColor(1, 2, 3));
    ASSERT_FALSE(view.LegendRect(4).isEmpty());
    EXPECT_EQ(At(image, view.LegendRect(4).center()), QColor(1, 2, 3));
    // LoadSettings empties the replay points (and with them the legend column).
    view.LoadSettings(store);
    EXPECT_EQ(view.ReplayCount(), 0U);
    EXPECT_TRUE(view.LegendRect(4).isEmpty());
}

// The centre: the average (mode 0), the stored point (1 without a station, 3) or the newest
// point (2); error circles only around a fixed centre.
TEST_F(PlotViewTest, CentreAndCirclesPerMode)
{
    store.Write(settings::kRefPointLongitude, QString::number(kLon, 'f', 7));
    store.Write(settings::kRefPointLatitude, QString::number(kLat, 'f', 7));
    const Grid first = Project(kLon, kLat), second = Project(kLon + 0.00001, kLat);
    const double dE = second.e - first.e, dN = second.n - first.n;
    const QPoint secondAt[] = {ExpectedPixel(8, dE / 2, dN / 2), ExpectedPixel(8, dE, dN),
                               QPoint(kW / 2, kH / 2), ExpectedPixel(8, dE, dN)};
    for (int mode = 0; mode <= 3; ++mode) {
        Load(mode, 8);
        view.Clear(true);
        view.SetErrorCircles(1.5, 0.6);  // 70 and 28 pixels at 1 m per step
        ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 1, true));
        ASSERT_TRUE(view.AddPosition(kLon + 0.00001, kLat, 1, 4, true));
        const QImage image = Render(view);
        EXPECT_EQ(At(image, secondAt[mode]), kLiveRed) << mode;
        const bool fixed = mode == 1 || mode == 3;
        EXPECT_EQ(
            AnyPixel(image, view.fontMetrics().height(), [](QColor c) { return c == kGreen; }),
            fixed);
        EXPECT_EQ(view.Statistics().MaxDistance() > 0.0, fixed) << mode;
        if (mode == 2) {
            // Tens of kilometres north-east: the view follows by whole pixels, and so far from
            // where it began that it must start again from the new point.
            ASSERT_TRUE(view.AddPosition(kLon + 0.3, kLat + 0.2, 1, 4, true));
            EXPECT_EQ(At(Render(view), QPoint(kW / 2, kH / 2)), kLiveRed);
        }
        if (!fixed) continue;
        EXPECT_EQ(At(image, QPoint(kW / 2, kH / 2)), kLiveGrey) << mode;
        EXPECT_TRUE(NearPixel(image, QPoint(kW / 2 + 70, kH / 2), kGreen)) << mode;
        EXPECT_TRUE(NearPixel(image, QPoint(kW / 2, kH / 2 - 70), kGreen)) << mode;
        // The CEP circle (red) around the average.
        EXPECT_TRUE(NearPixel(image, secondAt[0] + QPoint(0, 28), kLiveRed)) << mode;
    }
}

TEST_F(PlotViewTest, DragPansWheelAndButtonsZoom)
{
    Load(2, 9);
    int changes = 0;
    QObject::connect(&view, &CPlotsView::ScaleIndexChanged, [&](int) { ++changes; });
    ASSERT_TRUE(view.AddPosition(kLon + 0.00001, kLat, 1, 1, true));
    ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 4, true));
    const Grid a = Project(kLon + 0.00001, kLat), b = Project(kLon, kLat);
    EXPECT_EQ(At(Render(view), ExpectedPixel(9, a.e - b.e, a.n - b.n)), kLiveGrey);
    SendWheel(view, 120);
    const QPoint older = ExpectedPixel(8, a.e - b.e, a.n - b.n), pan(30, -20);
    EXPECT_EQ(At(Render(view), older), kLiveGrey);
    Drag(view, QPoint(100, 100), QPoint(100, 100) + pan, true);
    // The plot follows the cursor before the button is released.
    EXPECT_EQ(At(Render(view), older + pan), kLiveGrey);
    SendMouse(view, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::NoButton);
    EXPECT_EQ(view.PanOffset(), pan);
    EXPECT_EQ(At(Render(view), QPoint(kW / 2, kH / 2) + pan), kLiveRed);
    view.SetMouseLock(true);
    Drag(view, QPoint(100, 100), QPoint(150, 150));
    EXPECT_EQ(view.PanOffset(), pan);
    for (int delta : {-120, -120, 0}) SendWheel(view, delta);  // 0: no vertical delta, no zoom
    EXPECT_EQ(view.ScaleIndex(), 10);
    EXPECT_EQ(changes, 3);
    Click("zoomOut", 40);
    EXPECT_EQ(view.ScaleIndex(), 27);
    Click("zoomIn", 40);
    EXPECT_EQ(view.ScaleIndex(), 0);
    Click("clear");
    EXPECT_EQ(view.LiveCount() + view.Statistics().Count(), 0U);
}

TEST_F(PlotViewTest, UnusablePositionsAreSkippedOrClipped)
{
    Load(3, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(view.AddPosition(nan, kLat, 1, 4, true));
    EXPECT_FALSE(view.AddPosition(kLon, std::numeric_limits<double>::infinity(), 1, 4, false));
    EXPECT_EQ(view.LiveCount(), 0U);
    // Thousands of kilometres away at 1 cm per step: far outside any pixel range.
    view.AddPosition(kLon + 40.0, kLat - 30.0, 1, 4, true);
    view.SetErrorCircles(1e12, 1e-300);
    EXPECT_FALSE(AnyPixel(Render(view), view.fontMetrics().height(),
                          [](QColor c) { return c == kLiveRed; }));
}

// While the view and its kept layer stay, marks arriving just inside and just outside its
// edges show as walking every point shows them (those centred outside not at all).
TEST_F(PlotViewTest, NewMarksAtTheEdgesOfAStillView)
{
    store.Write(settings::kRefPointRefSite, 0);
    store.Write(settings::kRefPointLongitude, QString::number(kLon, 'f', 9));
    store.Write(settings::kRefPointLatitude, QString::number(kLat, 'f', 9));
    Load(3, 10);
    const double pixel = 3.0 * kPlotScales[10] / (std::min(kW, kH) / 2 - 10);
    const double east = pixel / (111195.0 * std::cos(kLat * 3.14159265358979 / 180.0));
    const double north = pixel / 111195.0;
    view.AddPosition(kLon, kLat, 1, 4, true);
    for (int k = 0; k < 2; ++k) Render(view);
    for (double p = -6.0; p < 6.0; p += 0.3) {
        view.AddPosition(kLon + (kW / 2 + p) * east, kLat + p * north, 1, 4, true);
        view.AddPosition(kLon + p * east, kLat - (kH / 2 + p) * north, 1, 2, true);
    }
    const QImage fast = Render(view);
    view.SetWalkEveryPoint(true);
    EXPECT_EQ(fast, Render(view));
}

namespace {

struct Fix {
    double lon, lat;
    int fixClass;
};

// Every capture with positions, each moved to start on kLon/kLat: real scatter and jumps.
std::vector<Fix> RealTracks()
{
    std::vector<Fix> fixes;
    for (const char* folder : {"nmea", "mixed"}) {
        for (const auto& path : testdata::FilesIn(folder)) {
            RecordingOwner owner;
            owner.FeedInBlocks(testdata::ReadBytes(path), 4096);
            std::optional<Fix> first;
            for (const GnssReceiverState& s : owner.epochs) {
                if (!s.Has(ContentFlag::Position)) continue;
                if (!first) first = Fix{s.longitudeDeg, s.latitudeDeg, 0};
                fixes.push_back({s.longitudeDeg - first->lon + kLon,
                                 s.latitudeDeg - first->lat + kLat, s.fixQuality});
            }
        }
    }
    return fixes;
}

// A static receiver (RTK, float, DGPS and GPS spells on a 1e-8 degree raster, so that some
// repeat) or a driving one; two positions thousands of kilometres away.
std::vector<Fix> Simulated(bool driving)
{
    std::mt19937 random(7);
    std::normal_distribution<double> unit(0.0, 1.0);
    constexpr int kClasses[] = {4, 5, 2, 1};
    constexpr double kScatter[] = {0.005, 0.05, 0.4, 1.5};
    std::vector<Fix> fixes;
    double e = 0.0, n = 0.0, heading = 0.0;
    for (int i = 0; i < 20000; ++i) {
        const int c = (i / 500) % 4;
        if (driving) {
            heading += 0.05 * unit(random);
            e += 1.5 * std::sin(heading);
            n += 1.5 * std::cos(heading);
        }
        const double far = (i == 7000 || i == 13001) ? 40.0 : 0.0;
        fixes.push_back({kLon + far + std::round((e + kScatter[c] * unit(random)) * 1.1e3) / 1e8,
                         kLat - far + std::round((n + kScatter[c] * unit(random)) * 0.9e3) / 1e8,
                         kClasses[c]});
    }
    return fixes;
}

struct WalkCase {
    const std::vector<Fix>* track;
    int mode, pointSize;
    bool replay;
    int lead;  // replay points ahead of (or, below 0, behind) the live ones
    bool clearHalfway;
};

class PlotWalkTest : public PlotViewTest {
protected:
    // The fast paint (point trees, kept layers) shows exactly what walking every point and
    // drawing each mark shows: at every scale, panned or not, after new epochs arrive, after
    // the plot scrolls, with replay points hidden until the live ones catch up or shown
    // behind them, and after the live points are cleared.
    void ExpectFastPaintLikeWalk(const WalkCase& c)
    {
        store.Write(settings::kRefPointRefSite, 0);
        store.Write(settings::kRefPointLongitude, QString::number(kLon + 2e-6, 'f', 9));
        store.Write(settings::kRefPointLatitude, QString::number(kLat - 3e-6, 'f', 9));
        store.Write(settings::kPlotPixelSize, c.pointSize);
        store.Write(settings::kPlotRgbGps, 0x0080FF);  // replayed GPS fixes not grey
        Load(c.mode, 0);
        // Twice the track, so that replay points keep coming after the first pass.
        std::vector<GeoPoint> replay;
        for (std::size_t i = 0; c.replay && i < 2 * c.track->size(); ++i) {
            const Fix& f = (*c.track)[i % c.track->size()];
            replay.emplace_back(f.lon + 3e-7, f.lat, 0.0f, 0,
                                static_cast<std::uint32_t>(f.fixClass));
        }
        view.SetReplayPositionList(&replay);
        for (int i = 0; i < c.lead; ++i) view.AddReplayPoint(i);
        std::size_t next = 0;
        auto feed = [&](int epochs) {
            for (int k = 0; k < epochs; ++k, ++next) {
                const Fix& f = (*c.track)[next % c.track->size()];
                view.AddPosition(f.lon, f.lat, 1, f.fixClass, true);
                const long long index = static_cast<long long>(next) + c.lead;
                if (index >= 0) view.AddReplayPoint(static_cast<int>(index));
            }
        };
        while (next < c.track->size()) {
            feed(1);
            if (c.clearHalfway && next == c.track->size() / 2) view.ClearLivePoints();
        }
        int coloured = 0;
        auto expectLikeWalk = [&](const char* when) {
            const QImage fast = Render(view);
            view.SetWalkEveryPoint(true);
            const QImage walk = Render(view);
            view.SetWalkEveryPoint(false);
            EXPECT_EQ(fast, walk) << when;
            // A mark in a colour of its own (text, grid and GPS marks are grey).
            coloured += AnyPixel(walk, view.fontMetrics().height(), [](const QColor& p) {
                return p.red() != p.green() || p.green() != p.blue();
            });
        };
        const QPoint grip(100, 100);
        for (int scale = 0; scale < kPlotScaleCount; ++scale, view.ZoomOut()) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " scale " << scale);
            const QPoint pan = scale % 2 == 0 ? QPoint() : QPoint(137, -61);
            Click("resetPan");
            Drag(view, grip, grip + pan, true);
            // Paints by one rule, then new epochs one paint at a time.
            for (int k = 0; k < 2; ++k) Render(view);
            feed(1);
            expectLikeWalk("one new epoch");
            feed(5);
            expectLikeWalk("five new epochs");
            // New epochs and a scroll by whole pixels before the next paint, then a new epoch on
            // the scrolled plot.
            feed(2);
            const QPoint scroll = scale % 2 == 0 ? QPoint(-7, 3) : QPoint(5, -4);
            SendMouse(view, QEvent::MouseMove, grip + pan + scroll, Qt::LeftButton);
            expectLikeWalk("new epochs and a scroll");
            feed(1);
            expectLikeWalk("new epoch after the scroll");
            // Far enough that the kept layer moves and what comes in is looked for again.
            feed(1);
            SendMouse(view, QEvent::MouseMove, grip + pan + scroll + QPoint(150, -140),
                      Qt::LeftButton);
            expectLikeWalk("a scroll beyond the kept margin");
            // On the same way, within the moved layer: over what came in on both sides.
            SendMouse(view, QEvent::MouseMove, grip + pan + scroll + QPoint(250, -240),
                      Qt::LeftButton);
            expectLikeWalk("over what came in");
            SendMouse(view, QEvent::MouseButtonRelease, grip, Qt::NoButton);
        }
        // Not a comparison of empty plots.
        EXPECT_GT(coloured, 0) << "mode " << c.mode;
    }
};

}  // namespace

TEST_F(PlotWalkTest, FastPaintLikeTheWalkOnSimulatedTracks)
{
    const std::vector<Fix> still = Simulated(false), driving = Simulated(true);
    const WalkCase cases[] = {{&still, 0, 2, true, 50, true},
                              {&driving, 1, 4, true, 50, true},
                              {&still, 2, 7, true, -20, false},
                              {&driving, 3, 1, true, 50, false},
                              {&driving, 0, 2, false, 0, false}};
    for (const WalkCase& c : cases) ExpectFastPaintLikeWalk(c);
}

// A view dragged one way paint after paint (as a centre following a moving receiver goes)
// keeps showing what walking every point shows, while it leaves each kept margin within a
// few paints and after it stops.
TEST_F(PlotWalkTest, FastPaintLikeTheWalkWhileTheViewKeepsMoving)
{
    const std::vector<Fix> still = Simulated(false);
    store.Write(settings::kRefPointRefSite, 0);
    store.Write(settings::kRefPointLongitude, QString::number(kLon, 'f', 9));
    store.Write(settings::kRefPointLatitude, QString::number(kLat, 'f', 9));
    Load(3, 2);
    for (std::size_t i = 0; i < 4000; ++i) {
        view.AddPosition(still[i].lon, still[i].lat, 1, still[i].fixClass, true);
    }
    const QPoint grip(100, 100);
    SendMouse(view, QEvent::MouseButtonPress, grip, Qt::LeftButton);
    QPoint at = grip;
    for (int paint = 0; paint < 40; ++paint) {
        const int sign = (paint + 3) % 4 < 2 ? 1 : -1;
        at += paint < 30 ? QPoint(70, 20) * sign : QPoint(3, 0) * sign;
        SendMouse(view, QEvent::MouseMove, at, Qt::LeftButton);
        view.AddPosition(still[4000 + static_cast<std::size_t>(paint)].lon,
                         still[4000 + static_cast<std::size_t>(paint)].lat, 1, 4, true);
        const QImage fast = Render(view);
        if (paint % 5 != 4) continue;
        view.SetWalkEveryPoint(true);
        EXPECT_EQ(fast, Render(view)) << "paint " << paint;
        view.SetWalkEveryPoint(false);
    }
}

// A view dragged to and fro over a dense cloud, as a centre following a float fix at a fine
// scale goes, takes a wider layer after it has wandered out of the first one; moving that
// layer keeps showing what walking every point shows.
TEST_F(PlotWalkTest, FastPaintLikeTheWalkWhileTheViewWandersOverACloud)
{
    store.Write(settings::kRefPointRefSite, 0);
    store.Write(settings::kRefPointLongitude, QString::number(kLon, 'f', 9));
    store.Write(settings::kRefPointLatitude, QString::number(kLat, 'f', 9));
    Load(3, 2);
    // About one point per eight pixels over a square three times the view's width.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> metres(-0.45, 0.45);
    constexpr double kPerDegree = 111195.0;
    for (int i = 0; i < 200000; ++i) {
        view.AddPosition(kLon + metres(random) / (kPerDegree * std::cos(kLat * M_PI / 180.0)),
                         kLat + metres(random) / kPerDegree, 1, 1 + i % 5, true);
    }
    const QPoint grip(100, 100);
    SendMouse(view, QEvent::MouseButtonPress, grip, Qt::LeftButton);
    Render(view);
    // Out of the first layer, to and fro inside the next, out again (now wider), and beyond
    // the wider margin both ways.
    const QPoint moves[] = {{150, 60},  {-100, -40}, {100, 40},   {-100, -40},
                            {100, 40},  {-100, 40},  {200, -180}, {60, 20},
                            {-300, 90}, {280, -120}, {-20, 270},  {10, -5}};
    QPoint at = grip;
    int step = 0;
    for (const QPoint& move : moves) {
        at += move;
        SendMouse(view, QEvent::MouseMove, at, Qt::LeftButton);
        const QImage fast = Render(view);
        view.SetWalkEveryPoint(true);
        EXPECT_EQ(fast, Render(view)) << "move " << step++;
        view.SetWalkEveryPoint(false);
    }
}

TEST_F(PlotWalkTest, FastPaintLikeTheWalkOnRealTracks)
{
    SKIP_WITHOUT_DATA();
    const std::vector<Fix> real = RealTracks();
    ASSERT_GT(real.size(), 1000U);
    const WalkCase cases[] = {{&real, 0, 2, true, 50, false},
                              {&real, 1, 1, true, -20, false},
                              {&real, 2, 3, true, 50, true},
                              {&real, 3, 2, false, 0, false}};
    for (const WalkCase& c : cases) ExpectFastPaintLikeWalk(c);
}
