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
#include "support/recording_owner.h"
#include "support/test_data.h"
#include "views/plot_texts.h"
#include "views/plots_view.h"
#include "views/reference_stations.h"

namespace {

constexpr int kW = 400;
constexpr int kH = 300;
constexpr double kLon = 127.0;
constexpr double kLat = 37.5;
const QColor kWhite(255, 255, 255);
const QColor kLiveGrey(0x80, 0x80, 0x80);
const QColor kLiveRed(0xFF, 0, 0);
const QColor kGreen(0, 0xFF, 0);

struct Grid {
    double e;
    double n;
};

// The default coordinate system 4 is the corrected central origin, row 5.
Grid Project(double lon, double lat, int row = 5)
{
    Grid g{};
    EXPECT_TRUE(CoordConverter(10, row).Convert(lon, lat, g.e, g.n).Ok());
    return g;
}

// Pixel of a point dE/dN metres from the centre, from the plot's geometry rules.
QPoint ExpectedPixel(int scaleIndex, double dE, double dN, QPoint pan = {})
{
    const int cx = kW / 2;
    const int cy = kH / 2;
    const int r = std::min(kW, kH) / 2 - 10;
    const double range = 3.0 * kPlotScales[static_cast<std::size_t>(scaleIndex)];
    return QPoint(static_cast<int>(cx + r * dE / range + 0.5) + pan.x(),
                  static_cast<int>(cy - r * dN / range + 0.5) + pan.y());
}

QImage Render(CPlotsView& view)
{
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    view.render(&image);
    return image;
}

QColor At(const QImage& image, QPoint p) { return QColor(image.pixel(p)); }

// The legend's swatches show every live colour: look only outside it.
bool AnyPixelOutsideLegend(const QImage& image, const QColor& colour, int lineHeight)
{
    const QRect legend(0, 0, 5 * lineHeight + 5, 11 * lineHeight + 5);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (legend.contains(x, y)) continue;
            if (QColor(image.pixel(x, y)) == colour) return true;
        }
    }
    return false;
}

bool NearPixel(const QImage& image, QPoint p, const QColor& colour)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (At(image, p + QPoint(dx, dy)) == colour) return true;
        }
    }
    return false;
}

void SendMouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), QPointF(w.mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

void SendWheel(QWidget& w, int delta)
{
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
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

    QTemporaryDir dir;
    CSettingsStore store{dir.filePath("s.conf")};
    CPlotsView view;
};

}  // namespace

TEST(PlotTexts, ScaleLabelsAndLevels)
{
    struct Case {
        int index;
        const char* label;
        const char* level;
    };
    const Case cases[] = {
        {0, "1cm", "Level: 28/28"},   {2, "3cm", "Level: 26/28"},   {7, "50cm", "Level: 21/28"},
        {8, "1m", "Level: 20/28"},    {19, "500m", "Level: 09/28"}, {20, "1km", "Level: 08/28"},
        {27, "50km", "Level: 01/28"}, {-4, "1cm", "Level: 28/28"},  {99, "50km", "Level: 01/28"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlotScaleLabel(c.index), QString::fromUtf8(c.label)) << c.index;
        EXPECT_EQ(PlotLevelLine(c.index), QString::fromUtf8(c.level)) << c.index;
    }
}

TEST(PlotTexts, TextLines)
{
    EXPECT_EQ(PlotCountLine(360000), "Count: 360000");
    EXPECT_EQ(PlotEastingText(0.0), "E:0.0000000m");
    EXPECT_EQ(PlotNorthingText(-12.5), "N:-12.5000000m");
    EXPECT_EQ(PlotEllipsoidLabel(), QString::fromUtf8("타원체:WGS84"));
    EXPECT_EQ(PlotCoordSystemLabel(0), QString::fromUtf8("좌표계:UTM-K"));
    EXPECT_EQ(PlotCoordSystemLabel(6), QString::fromUtf8("좌표계:동해원점"));
    EXPECT_TRUE(PlotCoordSystemName(7).isEmpty());
    // Zero-padded to 10 and 11 characters with seven decimals.
    EXPECT_EQ(PlotAverageLine(5.1, 127.25), "Avg Lat/Lon: 05.1000000/127.2500000");
    EXPECT_EQ(PlotMaxErrorLine(37.5, 99.0), "Max.Err Lat/Lon: 37.5000000/099.0000000");
    EXPECT_EQ(PlotBlankMaxErrorLine(), QString(33, QLatin1Char(' ')));
    EXPECT_EQ(PlotLegendLabel(2), "Float");
    EXPECT_TRUE(PlotLegendLabel(5).isEmpty());
}

TEST(PlotTexts, ClassSlotsAndColours)
{
    EXPECT_EQ(PlotSlotOfClass(2), PlotClassSlot::kDgps);
    EXPECT_EQ(PlotSlotOfClass(5), PlotClassSlot::kFloat);
    EXPECT_EQ(PlotSlotOfClass(4), PlotClassSlot::kRtk);
    EXPECT_EQ(PlotSlotOfClass(6), PlotClassSlot::kDr);
    for (int other : {0, 1, 3, 7, 9, -1}) EXPECT_EQ(PlotSlotOfClass(other), PlotClassSlot::kGps);
    // 0x00BBGGRR: red in the low byte.
    EXPECT_EQ(ColorFromColorRef(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColorFromColorRef(0xFF8000), QColor(0, 0x80, 0xFF));
    EXPECT_EQ(ColorRefFromColor(QColor(1, 2, 3)), 0x030201U);
}

TEST(ReferenceStations, ParsedPositions)
{
    const auto first = StationPosition(0);
    ASSERT_TRUE(first.has_value());
    EXPECT_NEAR(first->longitude, 126 + 54 / 60.0 + 33.73742 / 3600.0, 1e-12);
    EXPECT_NEAR(first->latitude, 37 + 28 / 60.0 + 7.16509 / 3600.0, 1e-12);
    for (int row = 0; row < kReferenceStationCount; ++row) {
        const auto station = StationPosition(row);
        ASSERT_TRUE(station.has_value()) << row;
        EXPECT_TRUE(station->latitude > 33.0 && station->latitude < 39.0) << row;
        EXPECT_TRUE(station->longitude > 124.0 && station->longitude < 132.0) << row;
    }
    EXPECT_FALSE(StationPosition(8).has_value());
    EXPECT_FALSE(StationPosition(-1).has_value());
}

TEST_F(PlotViewTest, LoadSettingsReadsAndClampsTheStore)
{
    EXPECT_EQ(view.EastingText(), "E:0.0000000m");
    store.Write(settings::kRefPointCoordSys, 0);
    store.Write(settings::kRefPointDmsType, 2);
    store.Write(settings::kPlotPixelSize, 4);
    store.Write(settings::kPlotRgbGps, 0x112233);
    store.Write(settings::kRefPointLongitude, QStringLiteral("128.5"));
    Load(3, 5);
    EXPECT_EQ(view.ScaleIndex(), 5);
    EXPECT_EQ(view.Mode(), CPlotsView::CentreMode::kArbitraryPoint);
    EXPECT_EQ(view.CoordSystemLabel(), QString::fromUtf8("좌표계:UTM-K"));
    EXPECT_EQ(view.DegreeTextStyle(), 2);
    EXPECT_EQ(view.PointSize(), 4);
    EXPECT_EQ(view.ClassColour(1), QColor(0x33, 0x22, 0x11));
    EXPECT_EQ(view.ClassColour(4), QColor(0xFF, 0x80, 0x80));  // default RGB_RTK 0x8080FF
    EXPECT_DOUBLE_EQ(view.CentreLongitude(), 128.5);

    // Values from outside the tables fall back inside them.
    store.Write(settings::kRefPointCoordSys, 9);
    store.Write(settings::kPlotPixelSize, 0);
    Load(7, 99);
    EXPECT_EQ(view.ScaleIndex(), 27);
    EXPECT_EQ(view.Mode(), CPlotsView::CentreMode::kNewestPoint);
    EXPECT_EQ(view.CoordSystem(), 4);
    EXPECT_EQ(view.PointSize(), 1);

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
    ASSERT_TRUE(view.AddPosition(126.5, kLat, 1, 1, true));
    EXPECT_EQ(view.EastingText(), PlotEastingText(Project(126.5, kLat, 12).e));
    ASSERT_TRUE(view.AddPosition(125.5, kLat, 1, 1, true));
    EXPECT_EQ(view.EastingText(), PlotEastingText(Project(125.5, kLat, 11).e));
}

TEST_F(PlotViewTest, NewestPointSitsAtTheCentreInModeTwo)
{
    Load(2, 8);
    const Grid newest = Project(kLon, kLat);
    const Grid older = Project(kLon + 0.00001, kLat + 0.00001);
    ASSERT_TRUE(view.AddPosition(kLon + 0.00001, kLat + 0.00001, 1, 1, true));
    ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 4, true));
    const QImage image = Render(view);
    EXPECT_EQ(At(image, QPoint(kW / 2, kH / 2)), kLiveRed);
    EXPECT_EQ(At(image, ExpectedPixel(8, older.e - newest.e, older.n - newest.n)), kLiveGrey);
    EXPECT_EQ(At(image, ExpectedPixel(8, 0.9, 0.9)), kWhite);
}

TEST_F(PlotViewTest, FirstPointIsTheAverageInModeZero)
{
    Load(0, 8);
    ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 1, true));
    EXPECT_EQ(At(Render(view), QPoint(kW / 2, kH / 2)), kLiveGrey);
}

TEST_F(PlotViewTest, ClassThreeUsesTheGpsColours)
{
    Load(2, 8);
    const std::vector<GeoPoint> replay{GeoPoint(kLon + 0.00001, kLat, 0.0f, 0, 3)};
    view.SetReplayPositionList(&replay);
    ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 3, true));
    ASSERT_TRUE(view.AddReplayPoint(0));
    EXPECT_FALSE(view.AddReplayPoint(1));
    EXPECT_FALSE(view.AddReplayPoint(-1));
    const Grid live = Project(kLon, kLat);
    const Grid replayed = Project(kLon + 0.00001, kLat);
    const QImage image = Render(view);
    EXPECT_EQ(At(image, QPoint(kW / 2, kH / 2)), kLiveGrey);
    const QColor gpsClass(0xC0, 0xC0, 0xC0);
    EXPECT_EQ(At(image, ExpectedPixel(8, replayed.e - live.e, replayed.n - live.n)), gpsClass);
    // The replay legend column shows the class colours and answers a double click.
    const QRect swatch = view.LegendRect(1);
    ASSERT_FALSE(swatch.isEmpty());
    EXPECT_EQ(At(image, swatch.center()), gpsClass);
    int requested = 0;
    QObject::connect(&view, &CPlotsView::ClassColourRequested, [&](int c) { requested = c; });
    SendMouse(view, QEvent::MouseButtonDblClick, view.LegendRect(4).center(), Qt::LeftButton);
    EXPECT_EQ(requested, 4);
}

TEST_F(PlotViewTest, ClassColourIsKeptAndStored)
{
    Load(2, 8);
    EXPECT_FALSE(view.SetClassColour(0, Qt::red, store));
    EXPECT_FALSE(view.SetClassColour(6, Qt::red, store));
    ASSERT_TRUE(view.SetClassColour(4, QColor(1, 2, 3), store));
    EXPECT_EQ(store.Get(settings::kPlotRgbRtk), 0x030201);
    const std::vector<GeoPoint> replay{GeoPoint(kLon, kLat, 0.0f, 0, 4)};
    view.SetReplayPositionList(&replay);
    ASSERT_TRUE(view.AddPosition(kLon + 0.0001, kLat, 1, 1, true));
    ASSERT_TRUE(view.AddReplayPoint(0));
    EXPECT_EQ(At(Render(view), view.LegendRect(4).center()), QColor(1, 2, 3));
    // LoadSettings empties the replay points (and with them the legend column).
    view.LoadSettings(store);
    EXPECT_EQ(view.ReplayCount(), 0U);
    EXPECT_TRUE(view.LegendRect(4).isEmpty());
}

TEST_F(PlotViewTest, CirclesOnlyAroundAFixedCentre)
{
    store.Write(settings::kRefPointLongitude, QString::number(kLon, 'f', 7));
    store.Write(settings::kRefPointLatitude, QString::number(kLat, 'f', 7));
    for (int mode = 0; mode <= 3; ++mode) {
        Load(mode, 8);
        view.Clear(true);
        view.SetErrorCircles(1.5, 0.6);  // 70 and 28 pixels at 1 m per step
        ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 1, true));
        ASSERT_TRUE(view.AddPosition(kLon + 0.00001, kLat, 1, 1, true));
        const QImage image = Render(view);
        const bool fixed = mode == 1 || mode == 3;
        const int h = view.fontMetrics().height();
        EXPECT_EQ(AnyPixelOutsideLegend(image, kGreen, h), fixed) << mode;
        EXPECT_EQ(AnyPixelOutsideLegend(image, kLiveRed, h), fixed) << mode;
        EXPECT_EQ(view.Statistics().MaxDistance() > 0.0, fixed) << mode;
        if (!fixed) continue;
        EXPECT_TRUE(NearPixel(image, QPoint(kW / 2 + 70, kH / 2), kGreen)) << mode;
        EXPECT_TRUE(NearPixel(image, QPoint(kW / 2, kH / 2 - 70), kGreen)) << mode;
        const Grid centre = Project(kLon, kLat);
        const Grid far = Project(kLon + 0.00001, kLat);
        const QPoint average = ExpectedPixel(8, (far.e - centre.e) / 2, (far.n - centre.n) / 2);
        EXPECT_TRUE(NearPixel(image, average + QPoint(0, 28), kLiveRed)) << mode;
    }
}

TEST_F(PlotViewTest, DragPansAndButtonsReset)
{
    Load(2, 8);
    ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 4, true));
    const QPoint centre(kW / 2, kH / 2);
    SendMouse(view, QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton);
    SendMouse(view, QEvent::MouseMove, QPoint(130, 80), Qt::LeftButton);
    // The plot follows the cursor before the button is released.
    EXPECT_EQ(At(Render(view), centre + QPoint(30, -20)), kLiveRed);
    SendMouse(view, QEvent::MouseButtonRelease, QPoint(130, 80), Qt::NoButton);
    EXPECT_EQ(view.PanOffset(), QPoint(30, -20));
    QImage image = Render(view);
    EXPECT_EQ(At(image, centre + QPoint(30, -20)), kLiveRed);
    EXPECT_NE(At(image, centre), kLiveRed);

    view.SetMouseLock(true);
    SendMouse(view, QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton);
    SendMouse(view, QEvent::MouseMove, QPoint(150, 150), Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonRelease, QPoint(150, 150), Qt::NoButton);
    EXPECT_EQ(view.PanOffset(), QPoint(30, -20));

    view.findChild<QToolButton*>("resetPan")->click();
    EXPECT_EQ(view.PanOffset(), QPoint());
    EXPECT_EQ(At(Render(view), centre), kLiveRed);
    view.findChild<QToolButton*>("clear")->click();
    EXPECT_EQ(view.LiveCount(), 0U);
    EXPECT_EQ(view.Statistics().Count(), 0);
}

TEST_F(PlotViewTest, WheelAndButtonsZoom)
{
    Load(2, 9);
    int changes = 0;
    QObject::connect(&view, &CPlotsView::ScaleIndexChanged, [&](int) { ++changes; });
    ASSERT_TRUE(view.AddPosition(kLon + 0.00001, kLat, 1, 1, true));
    ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 1, true));
    const Grid a = Project(kLon + 0.00001, kLat);
    const Grid b = Project(kLon, kLat);
    EXPECT_EQ(At(Render(view), ExpectedPixel(9, a.e - b.e, a.n - b.n)), kLiveGrey);
    SendWheel(view, 120);
    EXPECT_EQ(view.ScaleIndex(), 8);
    EXPECT_EQ(At(Render(view), ExpectedPixel(8, a.e - b.e, a.n - b.n)), kLiveGrey);
    SendWheel(view, -120);
    SendWheel(view, -120);
    EXPECT_EQ(view.ScaleIndex(), 10);
    SendWheel(view, 0);
    EXPECT_EQ(view.ScaleIndex(), 10);
    EXPECT_EQ(changes, 3);

    for (int i = 0; i < 40; ++i) view.findChild<QToolButton*>("zoomOut")->click();
    EXPECT_EQ(view.ScaleIndex(), 27);
    for (int i = 0; i < 40; ++i) view.findChild<QToolButton*>("zoomIn")->click();
    EXPECT_EQ(view.ScaleIndex(), 0);
}

TEST_F(PlotViewTest, UnusablePositionsAreSkippedOrClipped)
{
    Load(3, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(view.AddPosition(nan, kLat, 1, 4, true));
    EXPECT_FALSE(view.AddPosition(kLon, inf, 1, 4, false));
    EXPECT_EQ(view.LiveCount(), 0U);
    const std::vector<GeoPoint> replay{GeoPoint(nan, nan, 0.0f, 0, 4)};
    view.SetReplayPositionList(&replay);
    EXPECT_FALSE(view.AddReplayPoint(0));

    // Thousands of kilometres away at 1 cm per step: far outside any pixel range.
    view.AddPosition(kLon + 40.0, kLat - 30.0, 1, 4, true);
    view.AddPosition(kLon, 1e300, 1, 4, true);
    view.SetErrorCircles(1e12, 1e-300);
    EXPECT_FALSE(AnyPixelOutsideLegend(Render(view), kLiveRed, view.fontMetrics().height()));
    view.resize(5, 5);
    Render(view);
    view.resize(kW, kH);
}

TEST_F(PlotViewTest, ManyPointsKeepTheNewestOnTop)
{
    Load(2, 8);
    // A static receiver at 100 Hz: the same few pixels over and over, DGPS and RTK in turn,
    // RTK last at every place; then one GPS fix on the first place.
    for (int i = 0; i < 20000; ++i) {
        view.AddPosition(kLon + (i % 4) * 2e-6, kLat, 1, ((i / 4) % 2) != 0 ? 4 : 2, true);
    }
    ASSERT_TRUE(view.AddPosition(kLon, kLat, 1, 1, true));
    EXPECT_EQ(view.LiveCount(), 20001U);
    const QImage image = Render(view);
    EXPECT_EQ(At(image, QPoint(kW / 2, kH / 2)), kLiveGrey);
    const Grid first = Project(kLon, kLat);
    for (int k = 1; k < 4; ++k) {
        const Grid place = Project(kLon + k * 2e-6, kLat);
        EXPECT_EQ(At(image, ExpectedPixel(8, place.e - first.e, place.n - first.n)), kLiveRed);
    }
    view.Clear(true);
    EXPECT_EQ(view.LiveCount(), 0U);
    EXPECT_EQ(view.Statistics().AverageLatitude(), 0.0);
}

namespace {

struct Fix {
    double lon;
    double lat;
    int fixClass;
};

// Every capture with positions, each moved so that it starts on kLon/kLat: real scatter,
// jumps and repeated positions, all around one spot.
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

// A static receiver (RTK, float, DGPS and GPS spells, positions on a 1e-8 degree raster so
// that some repeat) or a driving one; two positions thousands of kilometres away.
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

// Some pixel in a colour of its own: a mark (text, grid and GPS marks are grey).
bool AnyColour(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c(image.pixel(x, y));
            if (c.red() != c.green() || c.green() != c.blue()) return true;
        }
    }
    return false;
}

struct WalkCase {
    const std::vector<Fix>* track;
    int mode;
    bool clearHalfway;
    int pointSize;
    int lead;  // replay points ahead of (or, below 0, behind) the live ones
};

class PlotWalkTest : public PlotViewTest {
protected:
    // The marks found through the point trees paint exactly what walking every point paints:
    // at every scale, panned or not, with replay points hidden until the live ones catch up
    // or shown behind them, after the live points are cleared, and when a paint only adds
    // the marks of points that came since the last one.
    void ExpectTreePaintsLikeWalk(const WalkCase& c)
    {
        store.Write(settings::kRefPointRefSite, 0);
        store.Write(settings::kRefPointLongitude, QString::number(kLon + 2e-6, 'f', 9));
        store.Write(settings::kRefPointLatitude, QString::number(kLat - 3e-6, 'f', 9));
        store.Write(settings::kPlotPixelSize, c.pointSize);
        Load(c.mode, 0);
        // Twice the track, so that replay points keep coming after the first pass.
        std::vector<GeoPoint> replay;
        for (int pass = 0; pass < 2; ++pass) {
            for (const Fix& f : *c.track) {
                replay.emplace_back(f.lon + 3e-7, f.lat, 0.0f, 0,
                                    static_cast<std::uint32_t>(f.fixClass));
            }
        }
        view.SetReplayPositionList(&replay);
        for (int i = 0; i < c.lead; ++i) view.AddReplayPoint(i);
        std::size_t next = 0;
        auto feed = [&] {
            const Fix& f = (*c.track)[next % c.track->size()];
            view.AddPosition(f.lon, f.lat, 1, f.fixClass, true);
            const auto index = static_cast<long long>(next) + c.lead;
            if (index >= 0 && static_cast<std::size_t>(index) < replay.size()) {
                view.AddReplayPoint(static_cast<int>(index));
            }
            ++next;
        };
        while (next < c.track->size()) {
            feed();
            if (c.clearHalfway && next == c.track->size() / 2) view.ClearLivePoints();
        }
        int coloured = 0;
        for (int scale = 0; scale < kPlotScaleCount; ++scale) {
            const QPoint pan = scale % 2 == 0 ? QPoint() : QPoint(137, -61);
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " scale " << scale);
            view.findChild<QToolButton*>("resetPan")->click();
            SendMouse(view, QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton);
            SendMouse(view, QEvent::MouseMove, QPoint(100, 100) + pan, Qt::LeftButton);
            // Two paints by one rule, then new points: the next paint may only add their marks.
            Render(view);
            Render(view);
            for (int k = 0; k < 5; ++k) feed();
            const QImage tree = Render(view);
            view.SetWalkEveryPoint(true);
            const QImage walk = Render(view);
            view.SetWalkEveryPoint(false);
            ASSERT_EQ(tree, walk);
            SendMouse(view, QEvent::MouseButtonRelease, QPoint(100, 100), Qt::NoButton);
            coloured += AnyColour(walk) ? 1 : 0;
            view.ZoomOut();
        }
        // Not a comparison of empty plots.
        EXPECT_GT(coloured, kPlotScaleCount / 4) << "mode " << c.mode;
    }
};

}  // namespace

TEST_F(PlotWalkTest, TreePaintsLikeTheWalkOnSimulatedTracks)
{
    const std::vector<Fix> still = Simulated(false), driving = Simulated(true);
    const WalkCase cases[] = {
        {&still, 0, true, 2, 50},     {&still, 1, false, 1, 50},   {&still, 2, false, 7, -20},
        {&still, 3, false, 2, -20},   {&driving, 0, false, 2, 50}, {&driving, 1, true, 4, 50},
        {&driving, 2, false, 2, -20}, {&driving, 3, false, 1, 50},
    };
    for (const WalkCase& c : cases) ExpectTreePaintsLikeWalk(c);
}

TEST_F(PlotWalkTest, TreePaintsLikeTheWalkOnRealTracks)
{
    SKIP_WITHOUT_DATA();
    const std::vector<Fix> real = RealTracks();
    ASSERT_GT(real.size(), 1000U);
    for (const WalkCase& c : {WalkCase{&real, 0, false, 2, 50}, WalkCase{&real, 1, false, 1, -20},
                              WalkCase{&real, 2, true, 3, 50}, WalkCase{&real, 3, false, 2, 50}}) {
        ExpectTreePaintsLikeWalk(c);
    }
}
