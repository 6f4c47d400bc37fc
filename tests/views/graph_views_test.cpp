#include <gtest/gtest.h>

#include <cmath>

#include "support/qt_support.h"
#include "views/graphs/graph_ctrls.h"
#include "views/graphs/graph_model.h"
#include "views/graphs/heading_ctrl.h"

namespace {

// UTM-K northings are around two million metres: differences there lose the last bits.
constexpr double kNorthing = 1950000.0;
const QRgb kRed = qRgb(255, 0, 0);

QImage Render(QWidget& w, int wd = 600, int h = 400) { return RenderWidget(w, {wd, h}); }
CPosDevGraphCtrl NorthSouth() { return {"N-S 그래프", "N", "S"}; }
// The pixel row of a fraction of the plot height, from the top.
int RowAt(const QRect& r, double f) { return r.top() + int(std::lround(f * (r.height() - 1))); }

QString Joined(const QStringList& list) { return list.join(','); }

TEST(GraphDeviation, ScaleIsFirstTableStepAtOrAboveDeviation)
{
    // clang-format off
    const std::pair<double, double> cases[] = {{0.0, 0.0}, {0.01, 0.01}, {0.0101, 0.05},
        {-0.03, 0.05}, {0.05, 0.05}, {0.07, 0.1}, {0.3, 0.5}, {-0.9, 1.0}, {1.5, 10.0},
        {20.0, 50.0}, {75.0, 100.0}, {500.0, 1000.0}, {5e3, 1e4}, {5e4, 1e5}, {5e5, 1e6},
        {2e6, 0.0}};
    // clang-format on
    for (const auto& [deviation, full] : cases) {
        CValueScale scale(ValueGraphKind::kDeviation);
        scale.Add(kNorthing, true);
        scale.Add(kNorthing + deviation, true);
        EXPECT_DOUBLE_EQ(scale.FullScale(), full) << "deviation " << deviation;
    }
    // Never shrinks; an invalid sample is not the reference.
    CValueScale scale(ValueGraphKind::kDeviation);
    scale.Add(999.0, false);
    for (double d : {0.0, 5.0, 0.02, 2e6}) scale.Add(kNorthing + d, true);
    EXPECT_DOUBLE_EQ(scale.FullScale(), 10.0);
    EXPECT_DOUBLE_EQ(scale.Reference(), kNorthing);
}

TEST(GraphDeviation, LabelsAndValueTextFollowTheScaleUnit)
{
    // Scale, labels of lines 1, 9 and 10, a deviation and its text; both sides of each unit
    // change: mm to cm, cm to m, m to km, and the m decimals.
    // clang-format off
    const std::tuple<double, const char*, double, const char*> cases[] = {
        {0.01, "+2mm +10mm -10mm", 0.0042, "+4.2 mm"},
        {0.05, "+1cm +5cm -5cm", -0.0312, "-3.12 cm"},
        {1.0, "+20cm +100cm -100cm", 0.5, "+50.00 cm"},
        {10.0, "+2m +10m -10m", 3.25, "+3.25 m"},
        {100.0, "+20m +100m -100m", -12.5, "-12.50 m"},
        {1000.0, "+200m +1000m -1000m", 123.26, "+123.3 m"},
        {1e4, "+2km +10km -10km", 2260.0, "+2.3 km"},
        {1e6, "+200km +1000km -1000km", -750000.0, "-750.0 km"}};
    // clang-format on
    for (const auto& [scale, labels, deviation, value] : cases) {
        SCOPED_TRACE(scale);
        const std::vector<GridLine> lines = ValueGridLines(ValueGraphKind::kDeviation, scale);
        ASSERT_EQ(lines.size(), 11u);
        EXPECT_TRUE(lines[0].zero);
        EXPECT_DOUBLE_EQ(lines[1].fraction, 0.6);
        EXPECT_DOUBLE_EQ(lines[10].fraction, 0.0);
        EXPECT_EQ(lines[1].label + ' ' + lines[9].label + ' ' + lines[10].label,
                  QString::fromUtf8(labels));
        EXPECT_EQ(ValueText(ValueGraphKind::kDeviation, scale, deviation),
                  QString::fromUtf8(value));
    }
}

TEST(GraphDeviation, SamplesLandOnTheirPixelRowsInTheirClassColour)
{
    auto graph = NorthSouth();
    graph.AddValue(kNorthing, true, 2);
    graph.AddValue(kNorthing + 0.05, true, 5);   // scale 0.05: top row
    graph.AddValue(kNorthing - 0.025, true, 6);  // a quarter of the height up
    const QImage image = Render(graph, 600, 401);
    const QRect plot = graph.PlotRect();
    const int x = plot.left() + static_cast<int>(std::lround(2.0 * (plot.width() - 1) / 599.0));
    const int y = RowAt(plot, 0.75);
    EXPECT_EQ(graph.IndexToX(2), x);
    EXPECT_EQ(image.pixel(x, y), qRgb(0x40, 0, 0));
    EXPECT_NE(image.pixel(x, y - 2), qRgb(0x40, 0, 0));
    EXPECT_EQ(image.pixel(graph.IndexToX(1), plot.top()), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(graph.IndexToX(0), graph.FractionToY(0.5)), qRgb(0, 0x80, 0));

    // A constant series keeps scale 0 and lies on the zero line, 3-pixel points on the row.
    auto flat = NorthSouth();
    for (int i = 0; i < 50; ++i) flat.AddValue(kNorthing, true, 4, false);
    EXPECT_DOUBLE_EQ(flat.FullScale(), 0.0);
    EXPECT_TRUE(flat.AxisLabels().isEmpty());
    EXPECT_EQ(flat.NewestText(), QStringLiteral("+0.0 mm"));
    const QImage line = Render(flat);
    const QRect area = flat.PlotRect();
    const int zeroRow = RowAt(area, 0.5);
    EXPECT_EQ(line.pixel(flat.IndexToX(49), zeroRow), kRed);
    const QRect red = ColourBounds(line, kRed, area);
    EXPECT_EQ(std::make_pair(red.top(), red.bottom()), std::make_pair(zeroRow - 1, zeroRow + 1));
}

TEST(GraphDeviation, RingKeepsADayAndTheFirstSampleAsReference)
{
    auto graph = NorthSouth();
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

TEST(GraphWindowTest, FollowsThenScrollsOnePerSampleWithTimeTicks)
{
    // clang-format off
    struct Case { std::size_t count, oldest, span; std::optional<std::size_t> pinned;
                  std::size_t first, last; };
    const Case cases[] = {{1, 0, 600, std::nullopt, 0, 0}, {600, 0, 600, std::nullopt, 0, 599},
        {601, 0, 600, std::nullopt, 1, 600}, {602, 0, 600, std::nullopt, 2, 601},
        {2000, 0, 600, 1000, 401, 1000}, {2000, 0, 600, 5, 0, 599},
        {2000, 1500, 200, 10, 1500, 1699}, {2000, 0, 600, 5000, 1400, 1999}};
    // clang-format on
    for (const Case& c : cases) {
        const GraphWindow w = VisibleGraphWindow(c.count, c.oldest, c.span, c.pinned);
        EXPECT_EQ(std::make_pair(w.first, w.last), std::make_pair(c.first, c.last)) << c.count;
    }
    auto labels = [](std::size_t span, double rate, bool hours) {
        QStringList out;
        for (const TimeTick& t : TimeTicks({0, span - 1}, span, rate, hours)) out << t.label;
        return Joined(out);
    };
    // Time ticks, at most six: 360 s still take minute ticks, 361 s take two-minute ticks.
    // clang-format off
    const std::tuple<std::size_t, double, bool, const char*> ticks[] = {
        {360, 1, true, "1분,2분,3분,4분,5분"}, {361, 1, true, "2분,4분,6분"}, {600, 1, true, "2분,4분,6분,8분"},
        {6000, 10, true, "2분,4분,6분,8분"}, {3600, 5, true, "2분,4분,6분,8분,10분"},
        {14400, 1, true, "1시간,2시간,3시간"}, {14400, 1, false, "60분,120분,180분"}};
    // clang-format on
    for (const auto& [span, rate, hours, text] : ticks)
        EXPECT_EQ(labels(span, rate, hours), QString::fromUtf8(text)) << span;
}

// Scale steps on both sides of every step boundary, and the clamp of stored values.
TEST(GraphValues, ScaleStepsUnitsAndClamp)
{
    constexpr auto kS = ValueGraphKind::kSpeed, kD = ValueGraphKind::kDistance,
                   kE = ValueGraphKind::kElevation;
    // clang-format off
    struct Case { ValueGraphKind kind; double scale, value, expected; };
    const Case cases[] = {
        {kS, 1, 0.5, 1}, {kS, 1, 1.2, 10}, {kS, 10, 10, 10}, {kS, 10, 55, 60}, {kS, 60, 99.1, 100},
        {kS, 1, 100, 150}, {kS, 60, 200, 150}, {kS, 150, 149, 150},
        {kD, 100, 50, 100}, {kD, 100, 150, 200}, {kD, 100, 999, 1000}, {kD, 1000, 1001, 2000},
        {kD, 100, 9999, 10000}, {kD, 100, 12345, 20000}, {kD, 100, 99999, 100000},
        {kD, 100, 123456, 200000}, {kD, 100, 999999, 1000000}, {kD, 1000000, 2e6, 1000000},
        {kE, 1, 0.5, 1}, {kE, 1, 5, 10}, {kE, 10, 99, 100}, {kE, 10, 101, 120}, {kE, 10, 150, 160},
        {kE, 10, 201, 210}, {kE, 10, 301, 320}, {kE, 10, 399, 400}, {kE, 10, 400, 1000},
        {kE, 10, 5000, 1000}};
    // clang-format on
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(GrownFullScale(c.kind, c.scale, ClampGraphValue(c.kind, c.value)),
                         c.expected)
            << static_cast<int>(c.kind) << ": " << c.scale << " " << c.value;
    // Distance labels switch to km from a 10 km scale; the value text at 1000 m.
    EXPECT_EQ(ValueGridLines(kD, 9000).front().label, QStringLiteral("1800m"));
    EXPECT_EQ(ValueGridLines(kD, 10000).front().label, QStringLiteral("2km"));
    EXPECT_EQ(ValueText(kD, 1000, 999.4), QStringLiteral("999m"));
    EXPECT_EQ(ValueText(kD, 2000, 1000.0), QStringLiteral("1.00km"));
    EXPECT_EQ(ValueText(kD, 2000, 1236.0), QStringLiteral("1.24km"));

    CSpeedGraphCtrl speed;
    speed.AddValue(200.0, true, 4);  // clamped to 150
    EXPECT_EQ(speed.NewestText(), QStringLiteral("150.000km/h"));
    EXPECT_EQ(Joined(speed.AxisLabels()), QStringLiteral("30km/h,60km/h,90km/h,120km/h,150km/h"));
    speed.AddValue(75.0, true, 4);
    const QImage image = Render(speed);
    EXPECT_EQ(image.pixel(speed.IndexToX(0), speed.PlotRect().top()), kRed);
    EXPECT_EQ(image.pixel(speed.IndexToX(1), RowAt(speed.PlotRect(), 0.5)), kRed);
    CSpeedGraphCtrl small;
    small.AddValue(0.4, true, 2);
    EXPECT_EQ(Joined(small.AxisLabels()), QStringLiteral("1km/h"));  // no repeated 0km/h
}

TEST(GraphHeading, SeriesAreStoredAndShownSeparately)
{
    CHdgDevGraphCtrl graph;
    graph.AddValues(90.0, -1.0, 4);
    for (int i = 1; i < 300; ++i) graph.AddValues(-1.0, -1.0, 4, false);  // far apart on x
    graph.AddValues(-1.0, 270.0, 4);
    EXPECT_EQ(graph.NewestText(), QStringLiteral("90.00°"));
    EXPECT_EQ(Joined(graph.AxisLabels()), QStringLiteral("+90°,+180°,+270°,+360°"));
    QImage image = Render(graph);
    const QRgb red = CHdgDevGraphCtrl::kAvrColour.rgb();
    const QRgb blue = CHdgDevGraphCtrl::kHdtColour.rgb();
    EXPECT_EQ(image.pixel(graph.IndexToX(0), graph.FractionToY(0.25)), red);
    EXPECT_EQ(image.pixel(graph.IndexToX(300), graph.FractionToY(0.75)), blue);
    EXPECT_NE(image.pixel(graph.IndexToX(300), graph.FractionToY(0.25)), red);
    graph.SetSeriesShown(1, false);
    image = Render(graph);
    EXPECT_NE(image.pixel(graph.IndexToX(300), graph.FractionToY(0.75)), blue);
}

TEST(GraphGauge, StepsTheShortWayAndShowsNegativeAnglesPlus360)
{
    const double cases[][3] = {{350, 10, 20}, {10, 350, -20}, {0, 179, 179}, {0, 180, -180}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ShortWayDelta(c[0], c[1]), c[2]);
    CHeadingCtrl gauge;
    gauge.SetAnimation(false);
    gauge.SetAngles(350.0, 350.0);
    gauge.SetAnimation(true);
    gauge.SetAngles(10.0, 10.0);  // forward through north in equal steps
    for (int i = 1; i < CHeadingStepper::kSteps; ++i) gauge.Tick();
    EXPECT_NEAR(gauge.ShownCourse(), 10.0 - 20.0 / CHeadingStepper::kSteps, 1e-9);
    gauge.Tick();
    EXPECT_EQ(gauge.ShownCourse(), 10.0);
    EXPECT_FALSE(gauge.TimerActive());
    // A negative angle is shown plus 360 and drawn there.
    gauge.SetAnimation(false);
    gauge.SetAngles(-90.0, -10.0);
    EXPECT_EQ(gauge.CourseLabel(), QStringLiteral("Course : 270.000º"));
    EXPECT_EQ(gauge.HeadingLabel(), QStringLiteral("Heading: 350.000º"));
    const QImage image = Render(gauge, 300, 360);
    // Halfway along the course needle, pointing west.
    EXPECT_EQ(image.pixel(gauge.NeedleTip(270.0, 0.4)), CHeadingCtrl::kCourseColour.rgb());
    EXPECT_NE(image.pixel(gauge.NeedleTip(90.0, 0.4)), CHeadingCtrl::kCourseColour.rgb());
}

}  // namespace
