#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPaintEvent>
#include <QRegion>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdint>
#include <memory>
#include <ostream>
#include <tuple>
#include <vector>

#include "geo/distance.h"
#include "geo/geoid_grid.h"
#include "geo/position_statistics.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "support/paint_counter.h"
#include "support/qt_support.h"
#include "views/nmea_data_wnd.h"
#include "views/status_texts.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

struct TextCase {
    QString actual;
    const char* expected;
};

void ExpectTexts(const std::vector<TextCase>& cases)
{
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(cases[i].actual, QString::fromUtf8(cases[i].expected)) << "case " << i;
}

std::unique_ptr<GnssReceiverState> StateAt(double latitude, double longitude)
{
    auto s = std::make_unique<GnssReceiverState>();
    s->latitudeDeg = latitude;
    s->longitudeDeg = longitude;
    s->contentFlags = ContentFlag::Position;
    return s;
}

}  // namespace

TEST(StatusTexts, StatusCell)
{
    GnssReceiverState s;
    s.fixMode = 3;
    s.fixQuality = 4;
    const QString rtk = StatusValueText(s);
    s.interferenceFlags = 3;
    const auto alarm = [](std::uint32_t flags) {
        return InterferenceAlarmText(flags).value_or("-");
    };
    // clang-format off
    ExpectTexts({{QualityText(0), "-"}, {QualityText(9), "SBAS(9)"}, {QualityText(10), "etc(10)"},
        {QualityText(-1), "etc(-1)"}, {FixModeText(1), "Invalid"}, {FixModeText(2), "2D"},
        {rtk, "3D / RTK(4)"}, {StatusValueText(s), "Jamming Warning !"},  // bit 0 wins
        {alarm(0x0C), "-"}, {alarm(2), "Jamming Critical !"}, {alarm(0x30), "Spoofing Indicated !"},
        {alarm(0x20), "Multiple Spoofing Indicated !"}});
    // clang-format on
}

TEST(StatusTexts, LocalTimeIsNineHoursAhead)
{
    const auto d = [](const char* date, const char* time) { return LocalDateText(date, time); };
    const auto t = [](const char* time) { return LocalTimeText(time); };
    // clang-format off
    ExpectTexts({
        // Both sides of midnight local time, into the leap day and out of it.
        {d("311226", "150000.00"), "2027-01-01"}, {t("150000"), "00:00:00.000"},
        {d("311226", "145959.99"), "2026-12-31"}, {t("145959.99"), "23:59:59.990"},
        {d("280224", "160000"), "2024-02-29"}, {d("290224", "150000"), "2024-03-01"},
        {d("280223", "223000"), "2023-03-01"}, {d("311299", "235959"), "2100-01-01"},
        // Zero day and month count as the first; ZDA writes the year first.
        {d("000000", "010203"), "2000-01-01"}, {d("20261231", "150000"), "2027-01-01"},
        {d("", "120000"), "00:00:00"}, {t("12:00"), "00:00:00"},
        // One digit is tenths of a second; a third digit is dropped.
        {t("150000.5"), "00:00:00.500"}, {t("010203.456"), "10:02:03.450"}});
    // clang-format on
}

TEST(StatusTexts, NumberFormatsAndUnits)
{
    // clang-format off
    ExpectTexts({
        {LongitudeText(-126.5), "W 126.500000000º"}, {LatitudeText(37.473125), "N 37.473125000º"},
        {LatitudeText(-33.25), "S 33.250000000º"}, {LatitudeDmsText(37.5), "N 37º 30' 0.00000\""},
        // 0.88121° = 52.8726' = 52' 52.356"; seconds that round to 60 carry into the minutes.
        {LongitudeDmsText(126.88121), "E 126º 52' 52.35600\""},
        {DmsText(10.999999999), "11º 0' 0.00000\""},
        {LongitudeDmsText(-0.5), "W 0º 30' 0.00000\""}, {MetresText(-12.3456), "-12.346 m"},
        {DirectionText(5.25f), "005.250º"}, {DirectionText(-1.0f), "-01.000º"},
        {SpeedText(5.5f), "005.500 km/h"}, {SpeedText(123.4567f), "123.457 km/h"},
        {DopText(1.26f, 0.8f, 2.04f), "1.3 / 0.8 / 2.0"}, {StationIdText(""), "-"}});
    // clang-format on
}

// A known scan: 37.000, 37.001, 37.002 °N at 100, 10, 10 m, measured from their average.
TEST(StatusTexts, StatisticsRowsFromAKnownReplayAndFromReceiverEstimates)
{
    CReplayStatistics scan;
    const double latitudes[] = {37.0, 37.001, 37.002};
    const float altitudes[] = {100.0f, 10.0f, 10.0f};
    for (int i = 0; i < 3; ++i) scan.AddEpoch(latitudes[i], 127.0, altitudes[i], 1000 * i, 4);
    scan.Average();
    const auto r = scan.Compute(0, 0.0, 0.0);
    ASSERT_TRUE(r);
    // Two epochs 0.001° from the average, one on it; heights 60 m and twice 30 m off.
    const double h = Distance(37.0, 127.0, 37.001, 127.0) * std::sqrt(2.0 / 3.0);
    const double v = std::sqrt(5400.0 / 3.0);
    ASSERT_NEAR(h, 90.8, 0.1);
    const auto pair = [](double a, double b) {
        return QString::asprintf("%.4fm / (V)%.4fm", a, b).toStdString();
    };
    const PanelStatistics shown{r->horizontalRms, r->verticalRms, r->horizontalCep, r->verticalCep};
    const auto cells = MainCells(GnssReceiverState{}, shown, false);
    EXPECT_EQ(cells[5].value.toStdString(), pair(2 * h, 2 * v));  // 2DRMS
    EXPECT_EQ(cells[6].value.toStdString(), pair(h, v));          // DRMS
    EXPECT_EQ(cells[7].value.toStdString(), pair(0.833 * h, 0.833 * v));
    // Rows wait for a horizontal value.
    const PanelStatistics vOnly{0.0, 1.5, 0.0, 2.0}, noCep{0.5, 1.0, 0.0, 1.18};
    for (const QString& t : {TwoDrmsText(vOnly), DrmsText(vOnly), CepText(vOnly), CepText(noCep)})
        EXPECT_EQ(t, "-");

    // The receiver's own estimates replace stored values unless a replay runs without GST.
    GnssReceiverState s;
    std::tie(s.sigmaLon, s.sigmaLat, s.sigmaAlt) = std::tuple(0.3f, 0.4f, 1.0f);
    const auto live = MainCells(s, PaintTimeStatistics(shown, s, false, false), false);
    // CEP 0.62 σlat + 0.56 σlon = 0.416 (0.404 with the sigmas swapped).
    ExpectTexts({{live[5].value, "1.0000m / (V)2.0000m"},
                 {live[6].value, "0.5000m / (V)1.0000m"},
                 {live[7].value, "0.4160m / (V)1.1800m"}});
    EXPECT_EQ(PaintTimeStatistics(shown, s, true, false).horizontalDrms, r->horizontalRms);
    EXPECT_NEAR(PaintTimeStatistics(shown, s, true, true).horizontalDrms, 0.5, 1e-6);
    s.sigmaLat = 0.0f;
    EXPECT_EQ(PaintTimeStatistics(shown, s, false, false).horizontalCep, r->horizontalCep);
}

TEST(StatusTexts, GeoidCorrection)
{
    auto s = StateAt(50.0, 10.0);  // outside the grid: the receiver's figures stay
    std::tie(s->ellipsoidHeight, s->geoidSeparation, s->mslAltitude) =
        std::tuple(100.0, 40.0, 60.0);
    EXPECT_EQ(GeoidCorrectedHeights(*s).geoidSeparation, 40.0);
    std::tie(s->latitudeDeg, s->longitudeDeg, s->geoidSeparation) = std::tuple(37.5, 127.0, 0.0);
    const double n = GeoidHeight(37.5, 127.0);
    ASSERT_TRUE(n > 15.0 && n < 34.0) << n;
    EXPECT_EQ(GeoidCorrectedHeights(*s).geoidSeparation, n);
    EXPECT_DOUBLE_EQ(GeoidCorrectedHeights(*s).mslAltitude, 100.0 - n);
    // Within a millimetre the receiver's own figures stay; a millimetre off they do not.
    s->geoidSeparation = n + 0.0009;
    EXPECT_EQ(GeoidCorrectedHeights(*s).mslAltitude, 60.0);
    EXPECT_EQ(MainCells(*s, {}, false)[13].value, MetresText(n + 0.0009));
    s->geoidSeparation = n + 0.0011;
    EXPECT_DOUBLE_EQ(GeoidCorrectedHeights(*s).mslAltitude, 100.0 - n);
}

TEST(StatusTexts, CellTables)
{
    auto s = StateAt(37.5, 127.25);
    std::tie(s->baselineEast, s->baselineNorth, s->baselineUp) = std::tuple(1.5, -0.25, 2.0);
    std::tie(s->sigmaLon, s->sigmaLat, s->sigmaAlt) = std::tuple(0.011f, 0.022f, 0.125f);
    std::tie(s->pdop, s->hdop, s->vdop, s->speedKmh) = std::tuple(2.5f, 1.5f, 0.5f, 36.0f);
    const auto main = MainCells(*s, {}, true);
    EXPECT_EQ(main[4].value, "2.5 / 1.5 / 0.5");
    EXPECT_TRUE(main[9].label.isEmpty());
    EXPECT_EQ(main[10].value, LatitudeText(37.5));
    EXPECT_EQ(main[16].value, "036.000 km/h");
    const auto base = BaseInfoCells(*s, "01:02", "03:04");
    const char* values[] = {"E +1.500 m", "N -0.250 m", "U +2.000 m",  "0.011 m",
                            "0.022 m",    "0.125 m",    "Float 01:02", "Fixed 03:04"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(base[4 + i].value, values[i]) << i;
}

TEST(StatusTexts, FareAndSensorRows)
{
    // 330 m are 2.5 units of 132 m.
    // clang-format off
    const TaxiFareValues fare{.meterPresent = true, .basicFee = 3800, .unitFee = 100,
        .unitDistance = 132, .extraFare = 200, .basicDistanceUsed = 2000.0, .extraDistance = 330.0,
        .totalMovingDistance = 2330.0, .lastMovingStep = 12.5};
    const auto rows = FareRows(fare);
    const auto bare = FareRows(FareValuesWithoutMeter(BasicFeeFromText("4800")));
    ExpectTexts({{rows[0].amount, "금액(원)"}, {rows[1].amount, "3800"}, {rows[1].distance, "2000"},
        {rows[2].amount, "200 / 2.5"}, {rows[2].distance, "330 / 132"}, {rows[3].amount, "4000"},
        {rows[3].distance, "(2330.0 / 12.5)"}, {bare[3].amount, "4800"}});
    // clang-format on
    EXPECT_EQ(BasicFeeFromText("fee"), 3800);
    const TaxiFareValues huge{.meterPresent = true, .extraFare = INT32_MAX};  // no overflow
    EXPECT_EQ(FareRows(huge)[3].amount, QString::number(2147483647LL + 3800));

    SensorStatusTable sensors{};
    std::tie(sensors[1].calibration, sensors[6].calibration, sensors[6].time) =
        std::tuple(2, 3, 42);
    const auto table = SensorRows(sensors);
    // clang-format off
    ExpectTexts({{table[1].status, "NOT CALIBRATED"}, {table[2].status, "CALIBRATED"},
        {table[7].status, "CALIBRATED"}, {table[7].time, "42"}, {ImuStateText(0), "Uncalibrated"}});
    // clang-format on
}

class StatusPanel : public ::testing::Test {
protected:
    StatusPanel() : store_(dir_.filePath("s.conf")) {}

    static QImage Render(CNmeaDataWnd& panel) { return RenderWidget(panel, QSize(900, 510)); }
    static QRgb CornerOf(const QImage& image, const CNmeaDataWnd& panel, int column, int row)
    {
        return image.pixel(panel.CellRect(column, row).topLeft() + QPoint(2, 2));
    }
    // Whether a cell holds black text.
    static bool HasText(const QImage& image, const CNmeaDataWnd& panel, int column, int row)
    {
        return !ColourBounds(image, qRgb(0, 0, 0),
                             panel.CellRect(column, row).adjusted(1, 1, -1, -1))
                    .isNull();
    }

    QTemporaryDir dir_;
    CSettingsStore store_;
};

TEST_F(StatusPanel, CellsAndAreasPaintWhereTheyBelongAndRepaintOnlyWhatChanged)
{
    store_.Write(settings::kNmeaOperationType, 1);
    CNmeaDataWnd panel(store_);
    auto s = StateAt(37.5, 127.0);
    panel.Update(*s);
    QImage image = Render(panel);
    EXPECT_TRUE(HasText(image, panel, CNmeaDataWnd::kValueColumn, 10));
    // The row under "위도" has no label; bands alternate, rows 4 to 7 grey.
    EXPECT_FALSE(HasText(image, panel, CNmeaDataWnd::kLabelColumn, 11));
    EXPECT_TRUE(HasText(image, panel, CNmeaDataWnd::kLabelColumn, 10));
    EXPECT_EQ(CornerOf(image, panel, CNmeaDataWnd::kLabelColumn, 4), qRgb(0xEA, 0xEA, 0xEA));
    EXPECT_EQ(CornerOf(image, panel, CNmeaDataWnd::kValueColumn, 2), qRgb(0xFF, 0xFF, 0xFF));
    const QPoint fareArea = panel.FareAreaRect().topLeft() + QPoint(3, 3);
    EXPECT_EQ(image.pixel(fareArea), qRgb(0xFF, 0xFF, 0xFF));
    // A repaint draws only changed cells and matches a fresh panel.
    auto empty = StateAt(1.0, 2.0);
    empty->contentFlags = 0;
    panel.Update(*empty);  // an epoch that delivered nothing changes nothing
    Render(panel);
    EXPECT_EQ(panel.LastRedrawnCellCount(), 0);
    const auto moved = StateAt(37.6, 127.0);
    panel.Update(*moved);
    const QImage cached = Render(panel);
    EXPECT_GT(panel.LastRedrawnCellCount(), 0);
    EXPECT_LT(panel.LastRedrawnCellCount(), kMainRowCount);
    CNmeaDataWnd fresh(store_);
    fresh.Update(*moved);
    EXPECT_TRUE(Render(fresh) == cached);
    // An alarm turns the status value cell red, not its label; a counting meter shows the
    // fare area in COLORREF 0xFFEAEA (blue 0xFF).
    s->interferenceFlags = 0x10;
    panel.Update(*s);
    panel.SetTaxiFare(TaxiFareValues{.meterPresent = true, .meterActive = true});
    image = Render(panel);
    EXPECT_EQ(CornerOf(image, panel, CNmeaDataWnd::kValueColumn, 2), qRgb(0xFF, 0x00, 0x00));
    EXPECT_EQ(CornerOf(image, panel, CNmeaDataWnd::kLabelColumn, 2), qRgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(image.pixel(fareArea), qRgb(0xEA, 0xEA, 0xFF));
    // The reference-station layout never shows it.
    store_.Write(settings::kNmeaOperationType, 0);
    EXPECT_EQ(Render(panel).pixel(fareArea), qRgb(0xFF, 0xFF, 0xFF));
}

// A shown panel following a fast receiver: epochs coming faster than the refresh make one
// repaint, of the cells whose text changed, and the screen ends up as a fresh panel shows it.
TEST_F(StatusPanel, EpochsRepaintOnlyTheCellsThatChanged)
{
    PaintCounter regions;
    CNmeaDataWnd panel(store_);
    panel.resize(900, 510);
    panel.Update(*StateAt(37.5, 127.0));
    panel.installEventFilter(&regions);
    panel.show();
    ASSERT_TRUE(WaitFor([&] { return regions.paints > 0; }));
    QCoreApplication::processEvents();
    regions.painted = QRegion();
    regions.paints = 0;
    const auto moved = StateAt(37.6, 127.0);
    for (int epoch = 0; epoch < 5; ++epoch) panel.Update(*moved);
    ASSERT_TRUE(WaitFor([&] { return regions.paints > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(regions.paints, 1);
    const QRect latitude = panel.CellRect(CNmeaDataWnd::kValueColumn, 10);
    EXPECT_TRUE(regions.painted.contains(latitude));
    EXPECT_FALSE(regions.painted.intersects(panel.CellRect(CNmeaDataWnd::kLabelColumn, 10)));
    EXPECT_LT(regions.painted.boundingRect().width(), panel.width());
    CNmeaDataWnd fresh(store_);
    fresh.Update(*moved);
    EXPECT_EQ(panel.grab().toImage().convertToFormat(QImage::Format_RGB32), Render(fresh));
}

TEST_F(StatusPanel, SensorPollRunsOnlyForDrTaxiReceivers)
{
    CNmeaDataWnd panel(store_);
    EXPECT_FALSE(panel.IsSensorPollActive());
    store_.Write(settings::kNmeaOperationType, 1);
    store_.Write(settings::kNmeaGpsModule, 1);
    panel.ApplySettings();
    ASSERT_TRUE(panel.IsSensorPollActive());
    QByteArray sent;
    QObject::connect(&panel, &CNmeaDataWnd::sensorPollRequested,
                     [&sent](const QByteArray& bytes) { sent = bytes; });
    QEventLoop loop;
    QTimer::singleShot(CNmeaDataWnd::kSensorPollIntervalMs + 200, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(panel.SensorPollCount(), 1);
    // Class 0x10, id 0x10, no payload; Fletcher sums 0x20 and 0x70.
    EXPECT_EQ(sent, QByteArray::fromHex("b562101000002070"));
    store_.Write(settings::kNmeaGpsModule, 0);
    panel.ApplySettings();
    EXPECT_FALSE(panel.IsSensorPollActive());
}
