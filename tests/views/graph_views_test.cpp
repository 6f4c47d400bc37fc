#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cmath>
#include <memory>

#include "views/graphs/graph_ctrls.h"
#include "views/graphs/graph_model.h"
#include "views/graphs/graph_windows.h"
#include "views/graphs/heading_ctrl.h"

namespace {

// UTM-K northings are around two million metres: differences there lose the last bits.
constexpr double kNorthing = 1950000.0;

QImage Render(QWidget& widget, int width = 600, int height = 400)
{
    widget.resize(width, height);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

// Pixels of exactly one colour inside an area, with the first and last row holding one.
int CountColour(const QImage& image, const QRect& area, QRgb colour, int* minY, int* maxY)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == colour) {
                if (minY && count == 0) *minY = y;
                if (maxY) *maxY = y;
                ++count;
            }
    return count;
}

void SendMouse(QWidget& w, QEvent::Type type, int x, Qt::MouseButton button)
{
    const QPointF at(x, 100);
    QMouseEvent event(type, at, w.mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

void Drag(QWidget& w, int fromX, int toX)
{
    SendMouse(w, QEvent::MouseButtonPress, fromX, Qt::LeftButton);
    SendMouse(w, QEvent::MouseMove, toX, Qt::NoButton);
    SendMouse(w, QEvent::MouseButtonRelease, toX, Qt::LeftButton);
}

// --- Deviation graph --------------------------------------------------------------------------

TEST(GraphDeviation, ScaleIsFirstTableStepAtOrAboveDeviation)
{
    struct Case {
        double deviation;
        double scale;
    };
    const Case cases[] = {{0.0, 0.0},   {0.01, 0.01}, {0.0101, 0.05}, {-0.03, 0.05},
                          {0.05, 0.05}, {0.07, 0.1},  {0.3, 0.5},     {-0.9, 1.0},
                          {1.5, 10.0},  {20.0, 50.0}, {75.0, 100.0},  {500.0, 1000.0},
                          {5e3, 1e4},   {5e4, 1e5},   {5e5, 1e6},     {2e6, 0.0}};
    for (const Case& c : cases) {
        CValueScale scale(ValueGraphKind::kDeviation);
        scale.Add(kNorthing, true);
        scale.Add(kNorthing + c.deviation, true);
        EXPECT_DOUBLE_EQ(scale.FullScale(), c.scale) << "deviation " << c.deviation;
    }
}

TEST(GraphDeviation, ScaleNeverShrinksAndIgnoresInvalidSamples)
{
    CValueScale scale(ValueGraphKind::kDeviation);
    scale.Add(999.0, false);  // no fix yet: not the reference
    scale.Add(kNorthing, true);
    scale.Add(kNorthing + 5.0, true);
    scale.Add(kNorthing + 0.02, true);
    scale.Add(kNorthing + 2e6, true);  // beyond the table: unchanged
    EXPECT_DOUBLE_EQ(scale.FullScale(), 10.0);
    EXPECT_DOUBLE_EQ(scale.Reference(), kNorthing);
    scale.Reset();
    EXPECT_DOUBLE_EQ(scale.FullScale(), 0.0);
    EXPECT_FALSE(scale.HasReference());
}

TEST(GraphDeviation, LabelsAndValueTextFollowTheScaleUnit)
{
    struct Case {
        double scale;
        const char* innerPlus;
        const char* outerPlus;
        const char* outerMinus;
        double deviation;
        const char* value;
    };
    const Case cases[] = {
        {0.01, "+2mm", "+10mm", "-10mm", 0.0042, "+4.2 mm"},
        {0.05, "+1cm", "+5cm", "-5cm", -0.0312, "-3.12 cm"},
        {1.0, "+20cm", "+100cm", "-100cm", 0.5, "+50.00 cm"},
        {10.0, "+2m", "+10m", "-10m", 3.25, "+3.25 m"},
        {100.0, "+20m", "+100m", "-100m", -12.5, "-12.50 m"},
        {1000.0, "+200m", "+1000m", "-1000m", 123.26, "+123.3 m"},
        {1e4, "+2km", "+10km", "-10km", 2260.0, "+2.3 km"},
        {1e6, "+200km", "+1000km", "-1000km", -750000.0, "-750.0 km"},
    };
    for (const Case& c : cases) {
        const std::vector<GridLine> lines = ValueGridLines(ValueGraphKind::kDeviation, c.scale);
        ASSERT_EQ(lines.size(), 11u);
        EXPECT_TRUE(lines[0].zero);
        EXPECT_DOUBLE_EQ(lines[1].fraction, 0.6);
        EXPECT_EQ(lines[1].label, QString::fromUtf8(c.innerPlus)) << c.scale;
        EXPECT_EQ(lines[9].label, QString::fromUtf8(c.outerPlus)) << c.scale;
        EXPECT_EQ(lines[10].label, QString::fromUtf8(c.outerMinus)) << c.scale;
        EXPECT_DOUBLE_EQ(lines[10].fraction, 0.0);
        EXPECT_EQ(ValueText(ValueGraphKind::kDeviation, c.scale, c.deviation),
                  QString::fromUtf8(c.value))
            << c.scale;
    }
}

TEST(GraphDeviation, ExactlyOneCentimetreUsesMillimetres)
{
    CPosDevGraphCtrl graph(QStringLiteral("N-S 그래프"), QStringLiteral("N"), QStringLiteral("S"));
    graph.AddValue(kNorthing, true, 4);
    graph.AddValue(kNorthing + 0.01, true, 4);
    EXPECT_DOUBLE_EQ(graph.FullScale(), 0.01);
    EXPECT_TRUE(graph.AxisLabels().contains(QStringLiteral("+10mm")));
    EXPECT_TRUE(graph.AxisLabels().contains(QStringLiteral("-2mm")));
    EXPECT_EQ(graph.NewestText(), QStringLiteral("+10.0 mm"));
    graph.AddValue(kNorthing + 0.0101, true, 4);
    EXPECT_DOUBLE_EQ(graph.FullScale(), 0.05);
    EXPECT_EQ(graph.NewestText(), QStringLiteral("+1.01 cm"));
}

TEST(GraphDeviation, ConstantSeriesKeepsScaleZeroAndLiesOnTheZeroLine)
{
    CPosDevGraphCtrl graph(QStringLiteral("E-W 그래프"), QStringLiteral("E"), QStringLiteral("W"));
    for (int i = 0; i < 50; ++i) graph.AddValue(kNorthing, true, 4, false);
    EXPECT_DOUBLE_EQ(graph.FullScale(), 0.0);
    EXPECT_TRUE(graph.AxisLabels().isEmpty());
    EXPECT_EQ(graph.NewestText(), QStringLiteral("+0.0 mm"));
    const QImage image = Render(graph);
    const QRect plot = graph.PlotRect();
    const int zeroRow = plot.top() + static_cast<int>(std::lround(0.5 * (plot.height() - 1)));
    EXPECT_EQ(graph.FractionToY(0.5), zeroRow);
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(image.pixel(graph.IndexToX(0), zeroRow), red);
    EXPECT_EQ(image.pixel(graph.IndexToX(49), zeroRow), red);
    int minY = -1, maxY = -1;
    EXPECT_GE(CountColour(image, plot, red, &minY, &maxY), 50);
    EXPECT_EQ(minY, zeroRow - 1);  // 3-pixel points centred on the row
    EXPECT_EQ(maxY, zeroRow + 1);
}

TEST(GraphDeviation, KnownSampleLandsOnItsPixelRowInItsClassColour)
{
    CPosDevGraphCtrl graph(QStringLiteral("N-S 그래프"), QStringLiteral("N"), QStringLiteral("S"));
    graph.AddValue(kNorthing, true, 2);
    graph.AddValue(kNorthing + 0.05, true, 5);   // scale 0.05: top row
    graph.AddValue(kNorthing - 0.025, true, 6);  // a quarter of the height up
    const QImage image = Render(graph, 600, 401);
    const QRect plot = graph.PlotRect();
    const int x = plot.left() + static_cast<int>(std::lround(2.0 * (plot.width() - 1) / 599.0));
    const int y = plot.top() + static_cast<int>(std::lround(0.75 * (plot.height() - 1)));
    EXPECT_EQ(graph.IndexToX(2), x);
    EXPECT_EQ(image.pixel(x, y), qRgb(0x40, 0, 0));
    EXPECT_NE(image.pixel(x, y - 2), qRgb(0x40, 0, 0));
    EXPECT_EQ(image.pixel(graph.IndexToX(1), plot.top()), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(graph.IndexToX(0), graph.FractionToY(0.5)), qRgb(0, 0x80, 0));
}

TEST(GraphDeviation, RingKeepsADayAndTheFirstSampleAsReference)
{
    CPosDevGraphCtrl graph(QStringLiteral("N-S 그래프"), QStringLiteral("N"), QStringLiteral("S"));
    const std::size_t total = kMaxGraphSamples + 10;
    for (std::size_t i = 0; i < total; ++i)
        graph.AddValue(kNorthing + 0.001 * static_cast<double>(i % 7), true, 4, false);
    EXPECT_EQ(graph.Count(), total);
    EXPECT_EQ(graph.Kept(), kMaxGraphSamples);
    EXPECT_LE(graph.Ring().MemoryBytes(), kMaxGraphSamples * 16);
    EXPECT_DOUBLE_EQ(graph.Scale().Reference(), kNorthing);
    // Sample 10 is the oldest; the others follow in order across storage chunks.
    for (const std::size_t kept :
         {std::size_t{0}, std::size_t{65535}, std::size_t{65536}, kMaxGraphSamples - 1})
        EXPECT_DOUBLE_EQ(graph.Value(kept),
                         kNorthing + 0.001 * static_cast<double>((kept + 10) % 7))
            << kept;
    EXPECT_DOUBLE_EQ(graph.FullScale(), 0.01);
    EXPECT_EQ(graph.VisibleWindow(), std::make_pair(total - 600, total - 1));
}

TEST(GraphRing, DropsOldestInOrder)
{
    CSampleRing ring(3);
    for (int i = 0; i < 5; ++i) ring.Push(GraphSample{double(i), 0.0f, 0, kSampleValid});
    ASSERT_EQ(ring.Kept(), 3u);
    EXPECT_EQ(ring.Count(), 5u);
    EXPECT_EQ(ring.OldestIndex(), 2u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(ring.Kept(i).value, double(i + 2));
    EXPECT_DOUBLE_EQ(ring.At(4).value, 4.0);
    ring.Clear();
    EXPECT_EQ(ring.Count(), 0u);
    EXPECT_EQ(ring.Kept(), 0u);
}

// --- Visible window ---------------------------------------------------------------------------

TEST(GraphWindowTest, FollowsThenScrollsOnePerSample)
{
    struct Case {
        std::size_t count, oldest, span;
        std::optional<std::size_t> pinned;
        std::size_t first, last;
    };
    const Case cases[] = {
        {1, 0, 600, std::nullopt, 0, 0},     {600, 0, 600, std::nullopt, 0, 599},
        {601, 0, 600, std::nullopt, 1, 600}, {602, 0, 600, std::nullopt, 2, 601},
        {2000, 0, 600, 1000, 401, 1000},     {2000, 0, 600, 5, 0, 599},
        {2000, 1500, 200, 10, 1500, 1699},   {2000, 0, 600, 5000, 1400, 1999},
    };
    for (const Case& c : cases) {
        const GraphWindow w = VisibleGraphWindow(c.count, c.oldest, c.span, c.pinned);
        EXPECT_EQ(w.first, c.first) << c.count;
        EXPECT_EQ(w.last, c.last) << c.count;
    }
    CPosDevGraphCtrl graph(QStringLiteral("N-S 그래프"), QStringLiteral("N"), QStringLiteral("S"));
    for (int i = 0; i < 600; ++i) graph.AddValue(kNorthing, true, 4, false);
    EXPECT_EQ(graph.VisibleWindow(), std::make_pair(std::size_t{0}, std::size_t{599}));
    graph.AddValue(kNorthing, true, 4, false);
    EXPECT_EQ(graph.VisibleWindow(), std::make_pair(std::size_t{1}, std::size_t{600}));
}

TEST(GraphWindowTest, TimeTicksInMinutesAndHours)
{
    auto labels = [](const std::vector<TimeTick>& ticks) {
        QStringList out;
        for (const TimeTick& t : ticks) out << t.label;
        return out.join(',');
    };
    EXPECT_EQ(labels(TimeTicks({0, 599}, 600, 1.0, true)), QStringLiteral("2분,4분,6분,8분"));
    EXPECT_EQ(labels(TimeTicks({0, 199}, 200, 1.0, true)), QStringLiteral("1분,2분,3분"));
    EXPECT_EQ(labels(TimeTicks({0, 14399}, 14400, 1.0, true)), QStringLiteral("1시간,2시간,3시간"));
    EXPECT_EQ(labels(TimeTicks({0, 14399}, 14400, 1.0, false)), QStringLiteral("60분,120분,180분"));
    EXPECT_EQ(labels(TimeTicks({0, 5999}, 6000, 10.0, true)), QStringLiteral("2분,4분,6분,8분"));
}

TEST(GraphWindowTest, DragScrollsBackAndDoubleClickFollows)
{
    CSpeedGraphCtrl graph;
    graph.resize(600, 400);
    for (int i = 0; i < 1000; ++i) graph.AddValue(10.0, true, 4, false);
    Drag(graph, 200, 400);  // to the right: older samples
    EXPECT_FALSE(graph.Following());
    const auto [first, last] = graph.VisibleWindow();
    const double perPixel = 199.0 / (graph.PlotRect().width() - 1);
    EXPECT_EQ(last, 999u - static_cast<std::size_t>(std::lround(200 * perPixel)));
    EXPECT_EQ(last - first, 199u);
    graph.AddValue(10.0, true, 4, false);  // a pinned window stays put
    EXPECT_EQ(graph.VisibleWindow().second, last);
    Drag(graph, 400, 50);  // far back to the left: newest again
    EXPECT_TRUE(graph.Following());
    Drag(graph, 100, 500);
    EXPECT_FALSE(graph.Following());
    SendMouse(graph, QEvent::MouseButtonDblClick, 300, Qt::LeftButton);
    EXPECT_TRUE(graph.Following());
    EXPECT_EQ(graph.VisibleWindow().second, 1000u);

    QWheelEvent out(QPointF(300, 100), graph.mapToGlobal(QPointF(300, 100)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&graph, &out);
    EXPECT_EQ(graph.Span(), 400u);
    EXPECT_EQ(graph.VisibleWindow(), std::make_pair(std::size_t{601}, std::size_t{1000}));
}

// --- Speed, distance, elevation ---------------------------------------------------------------

struct GrowCase {
    double scale;
    double value;
    double expected;
};

void ExpectGrowth(ValueGraphKind kind, std::initializer_list<GrowCase> cases)
{
    for (const GrowCase& c : cases)
        EXPECT_DOUBLE_EQ(GrownFullScale(kind, c.scale, ClampGraphValue(kind, c.value)), c.expected)
            << c.scale << " " << c.value;
}

TEST(GraphSpeed, ScaleStepsAndClamp)
{
    EXPECT_DOUBLE_EQ(InitialFullScale(ValueGraphKind::kSpeed), 1.0);
    ExpectGrowth(ValueGraphKind::kSpeed, {{1, 0.5, 1},
                                          {1, 1.2, 10},
                                          {10, 10, 10},
                                          {10, 55, 60},
                                          {60, 99.1, 100},
                                          {1, 100, 150},
                                          {60, 200, 150},
                                          {150, 149, 150}});
    CSpeedGraphCtrl graph;
    graph.AddValue(200.0, true, 4);
    EXPECT_DOUBLE_EQ(graph.Value(0), 150.0);
    EXPECT_DOUBLE_EQ(graph.FullScale(), 150.0);
    EXPECT_EQ(graph.NewestText(), QStringLiteral("150.000km/h"));
    EXPECT_EQ(graph.AxisLabels().join(','), QStringLiteral("30km/h,60km/h,90km/h,120km/h,150km/h"));
    const QImage image = Render(graph);
    EXPECT_EQ(image.pixel(graph.IndexToX(0), graph.PlotRect().top()), qRgb(255, 0, 0));
    EXPECT_EQ(graph.FractionToY(1.0), graph.PlotRect().top());

    CSpeedGraphCtrl small;
    small.AddValue(0.4, true, 2);
    EXPECT_EQ(small.AxisLabels().join(','), QStringLiteral("1km/h"));  // no repeated 0km/h
}

TEST(GraphDistance, ScaleStepsAndUnits)
{
    EXPECT_DOUBLE_EQ(InitialFullScale(ValueGraphKind::kDistance), 100.0);
    ExpectGrowth(ValueGraphKind::kDistance, {{100, 50, 100},
                                             {100, 150, 200},
                                             {100, 999, 1000},
                                             {1000, 1001, 2000},
                                             {100, 12345, 20000},
                                             {100, 99999, 100000},
                                             {100, 123456, 200000},
                                             {100, 999999, 1000000},
                                             {1000000, 2e6, 1000000}});
    EXPECT_EQ(ValueGridLines(ValueGraphKind::kDistance, 100).back().label, QStringLiteral("100m"));
    EXPECT_EQ(ValueGridLines(ValueGraphKind::kDistance, 1000).front().label,
              QStringLiteral("200m"));
    EXPECT_EQ(ValueGridLines(ValueGraphKind::kDistance, 20000).front().label,
              QStringLiteral("4km"));
    EXPECT_EQ(ValueText(ValueGraphKind::kDistance, 1000, 999.4), QStringLiteral("999m"));
    EXPECT_EQ(ValueText(ValueGraphKind::kDistance, 2000, 1236.0), QStringLiteral("1.24km"));
    CDistanceGraphCtrl graph;
    graph.AddValue(50.0, true, 4);
    EXPECT_DOUBLE_EQ(graph.FullScale(), 100.0);
    graph.AddValue(12345.0, true, 4);
    EXPECT_DOUBLE_EQ(graph.FullScale(), 20000.0);
    EXPECT_EQ(graph.NewestText(), QStringLiteral("12.35km"));
}

TEST(GraphElevation, ScaleStepsAndClamp)
{
    ExpectGrowth(ValueGraphKind::kElevation, {{1, 0.5, 1},
                                              {1, 5, 10},
                                              {10, 150, 160},
                                              {10, 201, 210},
                                              {10, 301, 320},
                                              {10, 399, 400},
                                              {10, 400, 1000},
                                              {10, 5000, 1000}});
    CElevationGraphCtrl graph;
    graph.AddValue(5000.0, true, 4);
    EXPECT_DOUBLE_EQ(graph.Value(0), 1000.0);
    EXPECT_EQ(graph.NewestText(), QStringLiteral("1000.0m"));
    EXPECT_EQ(graph.AxisLabels().front(), QStringLiteral("200m"));
}

// --- Heading graph and gauge ------------------------------------------------------------------

TEST(GraphHeading, SeriesAreStoredAndShownSeparately)
{
    CHdgDevGraphCtrl graph;
    graph.AddValues(90.0, -1.0, 4);
    for (int i = 1; i < 300; ++i) graph.AddValues(-1.0, -1.0, 4, false);  // far apart on x
    graph.AddValues(-1.0, 270.0, 4);
    EXPECT_EQ(graph.Count(), 301u);
    EXPECT_TRUE(graph.SeriesShown(0) && graph.SeriesShown(1));
    EXPECT_EQ(graph.NewestText(), QStringLiteral("90.00°"));
    EXPECT_EQ(graph.AxisLabels().join(','), QStringLiteral("+90°,+180°,+270°,+360°"));
    QImage image = Render(graph);
    const QRgb red = CHdgDevGraphCtrl::kAvrColour.rgb();
    const QRgb blue = CHdgDevGraphCtrl::kHdtColour.rgb();
    EXPECT_EQ(image.pixel(graph.IndexToX(0), graph.FractionToY(0.25)), red);
    EXPECT_EQ(image.pixel(graph.IndexToX(300), graph.FractionToY(0.75)), blue);
    EXPECT_NE(image.pixel(graph.IndexToX(300), graph.FractionToY(0.25)), red);
    graph.SetSeriesShown(1, false);
    image = Render(graph);
    EXPECT_NE(image.pixel(graph.IndexToX(300), graph.FractionToY(0.75)), blue);
    graph.ResetGraph();
    EXPECT_EQ(graph.Count(), 0u);
    EXPECT_TRUE(graph.NewestText().isEmpty());
}

TEST(GraphGauge, ShortWayDelta)
{
    const double cases[][3] = {{350, 10, 20},  {10, 350, -20},  {0, 179, 179},
                               {0, 180, -180}, {90, 270, -180}, {270, 90, 180}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ShortWayDelta(c[0], c[1]), c[2]);
}

TEST(GraphGauge, GoesForwardThroughNorthInThirtySteps)
{
    CHeadingCtrl gauge;
    gauge.SetAnimation(false);
    gauge.SetAngles(350.0, 350.0);
    gauge.SetAnimation(true);
    gauge.SetAngles(10.0, 10.0);
    EXPECT_TRUE(gauge.TimerActive());
    double previous = gauge.ShownCourse();
    for (int i = 1; i < CHeadingStepper::kSteps; ++i) {
        gauge.Tick();
        const double moved = NormalisedDegrees(gauge.ShownCourse() - previous);
        EXPECT_NEAR(moved, 20.0 / 30.0, 1e-9) << i;
        previous = gauge.ShownCourse();
        if (i == 15) {
            EXPECT_NEAR(std::fmod(gauge.ShownCourse() + 1.0, 360.0), 1.0, 1e-9);
        }
    }
    EXPECT_TRUE(gauge.Animating());
    gauge.Tick();
    EXPECT_EQ(gauge.ShownCourse(), 10.0);
    EXPECT_EQ(gauge.ShownHeading(), 10.0);
    EXPECT_FALSE(gauge.Animating());
    EXPECT_FALSE(gauge.TimerActive());
}

TEST(GraphGauge, NewTargetMidAnimationSnapsFirst)
{
    CHeadingCtrl gauge;
    gauge.SetAngles(90.0, 45.0);
    for (int i = 0; i < 10; ++i) gauge.Tick();
    EXPECT_NEAR(gauge.ShownCourse(), 30.0, 1e-9);
    gauge.SetAngles(180.0, 45.0);
    EXPECT_DOUBLE_EQ(gauge.ShownCourse(), 90.0);
    EXPECT_DOUBLE_EQ(gauge.ShownHeading(), 45.0);
    gauge.Tick();
    EXPECT_NEAR(gauge.ShownCourse(), 93.0, 1e-9);
    EXPECT_NEAR(gauge.ShownHeading(), 45.0, 1e-9);
}

TEST(GraphGauge, NegativeAngleShownPlus360AndDrawnThere)
{
    CHeadingCtrl gauge;
    gauge.SetAnimation(false);
    gauge.SetAngles(-90.0, -10.0);
    EXPECT_FALSE(gauge.TimerActive());
    EXPECT_DOUBLE_EQ(gauge.ShownCourse(), 270.0);
    EXPECT_DOUBLE_EQ(gauge.ShownHeading(), 350.0);
    EXPECT_EQ(gauge.CourseLabel(), QStringLiteral("Course : 270.000º"));
    EXPECT_EQ(gauge.HeadingLabel(), QStringLiteral("Heading: 350.000º"));
    EXPECT_EQ(CourseText(5.5), QStringLiteral("Course :   5.500º"));
    const QImage image = Render(gauge, 300, 360);
    // Halfway along the course needle, pointing west.
    const QPoint mid = gauge.NeedleTip(270.0, 0.4);
    EXPECT_EQ(image.pixel(mid), CHeadingCtrl::kCourseColour.rgb());
    EXPECT_NE(image.pixel(gauge.NeedleTip(90.0, 0.4)), CHeadingCtrl::kCourseColour.rgb());
}

// --- Windows and export -----------------------------------------------------------------------

TEST(GraphWindows, CaptionsHiddenModelessWithTheirGraphs)
{
    const CVerPosToolDlg ver;
    const CHorPosToolDlg hor;
    const CSpeedToolDlg speed;
    const CDistanceToolDlg distance;
    const CElevationToolDlg elevation;
    const CHdgAvrToolDlg hdg;
    const CHeadingToolDlg heading;
    const std::pair<const QDialog*, const char*> cases[] = {
        {&ver, "N-S 그래프"},       {&hor, "E-W 그래프"},        {&speed, "속도 그래프"},
        {&distance, "거리 그래프"}, {&elevation, "표고 그래프"}, {&hdg, "HEADING(AVR) 그래프"},
        {&heading, "방향계"}};
    for (const auto& [dialog, caption] : cases) {
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(caption));
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_FALSE(dialog->isModal());
    }
    EXPECT_TRUE(ver.Graph() && hor.Graph() && speed.Graph() && distance.Graph() &&
                elevation.Graph() && hdg.Graph() && heading.Graph());
    EXPECT_EQ(ver.Graph()->WindowLength(), 600u);
    EXPECT_EQ(speed.Graph()->WindowLength(), 200u);
    EXPECT_EQ(hdg.Graph()->WindowLength(), 3600u);
    EXPECT_EQ(ver.Graph()->parentWidget(), &ver);
}

QStringList ReadLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

TEST(GraphExport, CsvRoundTrip)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CPosDevGraphCtrl graph(QStringLiteral("N-S 그래프"), QStringLiteral("N"), QStringLiteral("S"));
    const double values[] = {kNorthing + 0.123456789, kNorthing, 0.0, kNorthing - 1.0 / 3.0};
    const bool valid[] = {true, true, false, true};
    for (int i = 0; i < 4; ++i) graph.AddValue(values[i], valid[i], i + 2, false);
    const QString path = dir.filePath(QStringLiteral("dev.csv"));
    ASSERT_TRUE(graph.ExportCsv(path));
    const QStringList lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("index,value,valid,fix_class"));
    for (int i = 0; i < 4; ++i) {
        const QStringList f = lines[i + 1].split(',');
        ASSERT_EQ(f.size(), 4);
        EXPECT_EQ(f[0].toInt(), i);
        EXPECT_EQ(f[1].toDouble(), values[i]);  // exact: shortest round-trip digits
        EXPECT_EQ(f[2].toInt(), valid[i] ? 1 : 0);
        EXPECT_EQ(f[3].toInt(), i + 2);
    }

    CHdgDevGraphCtrl hdg;
    hdg.AddValues(12.5, -1.0, 4, false);
    hdg.AddValues(-1.0, 300.25, 5, false);
    ASSERT_TRUE(hdg.ExportCsv(dir.filePath(QStringLiteral("hdg.csv"))));
    EXPECT_EQ(ReadLines(dir.filePath(QStringLiteral("hdg.csv"))),
              QStringList({QStringLiteral("index,avr,hdt,fix_class"), QStringLiteral("0,12.5,,4"),
                           QStringLiteral("1,,300.25,5")}));
    EXPECT_FALSE(graph.ExportCsv(dir.filePath(QStringLiteral("missing/dir/x.csv"))));
}

}  // namespace
