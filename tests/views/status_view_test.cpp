#include <gtest/gtest.h>

#include <QEventLoop>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "geo/geoid_grid.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "views/nmea_data_wnd.h"
#include "views/status_texts.h"

// Readable failure messages.
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
    ExpectTexts({
        {QualityText(0), "-"},
        {QualityText(9), "SBAS(9)"},
        {QualityText(10), "etc(10)"},
        {QualityText(12), "etc(12)"},
        {QualityText(-1), "etc(-1)"},
        {FixModeText(1), "Invalid"},
        {FixModeText(2), "2D"},
        {rtk, "3D / RTK(4)"},
        // Bit 0 wins; bits 2 and 3 name no alarm.
        {StatusValueText(s), "Jamming Warning !"},
        {alarm(0x0C), "-"},
        {alarm(2), "Jamming Critical !"},
        {alarm(0x30), "Spoofing Indicated !"},
        {alarm(0x20), "Multiple Spoofing Indicated !"},
    });
}

TEST(StatusTexts, StatisticsRowsWaitForHorizontalValue)
{
    const PanelStatistics verticalOnly{0.0, 1.5, 0.0, 2.0};
    const PanelStatistics full{0.5, 1.0, 0.416, 1.18};
    const PanelStatistics noCep{0.5, 1.0, 0.0, 1.18};
    ExpectTexts({
        {TwoDrmsText(verticalOnly), "-"},
        {DrmsText(verticalOnly), "-"},
        {CepText(verticalOnly), "-"},
        {TwoDrmsText(full), "1.0000m / (V)2.0000m"},
        {DrmsText(full), "0.5000m / (V)1.0000m"},
        {CepText(full), "0.4160m / (V)1.1800m"},
        {CepText(noCep), "-"},
    });
}

TEST(StatusTexts, ReceiverEstimatesReplaceStoredStatistics)
{
    GnssReceiverState s;
    s.sigmaLon = 0.3f;
    s.sigmaLat = 0.4f;
    s.sigmaAlt = 1.0f;
    const PanelStatistics replay{7.0, 8.0, 5.0, 6.0};
    const PanelStatistics live = PaintTimeStatistics(replay, s, false, false);
    EXPECT_NEAR(live.horizontalDrms, 0.5, 1e-6);
    EXPECT_NEAR(live.verticalDrms, 1.0, 1e-6);
    EXPECT_NEAR(live.horizontalCep, 0.62 * 0.4 + 0.56 * 0.3, 1e-6);
    EXPECT_NEAR(live.verticalCep, 1.18, 1e-6);
    // A replay keeps its own results unless "RMS from GST" is on.
    EXPECT_EQ(PaintTimeStatistics(replay, s, true, false).horizontalDrms, 7.0);
    EXPECT_NEAR(PaintTimeStatistics(replay, s, true, true).horizontalDrms, 0.5, 1e-6);
    s.sigmaLat = 0.0f;
    EXPECT_EQ(PaintTimeStatistics(replay, s, false, false).horizontalCep, 5.0);
}

TEST(StatusTexts, LocalTimeIsNineHoursAhead)
{
    ExpectTexts({
        // Midnight at the end of a year.
        {LocalDateText("311226", "150000.00"), "2027-01-01"},
        {LocalTimeText("150000.00"), "00:00:00.000"},
        // Into the leap day, and out of it.
        {LocalDateText("280224", "160000"), "2024-02-29"},
        {LocalDateText("290224", "150000.5"), "2024-03-01"},
        {LocalDateText("280223", "223000"), "2023-03-01"},
        {LocalDateText("300426", "143000.25"), "2026-04-30"},
        {LocalDateText("311299", "235959.99"), "2100-01-01"},
        // Zero day and month count as the first.
        {LocalDateText("000000", "010203"), "2000-01-01"},
        // ZDA writes the year first.
        {LocalDateText("20261231", "150000"), "2027-01-01"},
        {LocalDateText("300426", ""), "2026-04-30"},
        {LocalDateText("", "120000"), "00:00:00"},
        {LocalTimeText("160000"), "01:00:00.000"},
        {LocalTimeText("235959.99"), "08:59:59.990"},
        {LocalTimeText("143000.25"), "23:30:00.250"},
        // One digit is tenths of a second.
        {LocalTimeText("150000.5"), "00:00:00.500"},
        {LocalTimeText("010203.456"), "10:02:03.450"},
        {LocalTimeText(""), "00:00:00"},
        {LocalTimeText("12:00"), "00:00:00"},
    });
}

TEST(StatusTexts, PositionTexts)
{
    ExpectTexts({
        {LongitudeText(0.0), "E 0.000000000º"},
        {LongitudeText(-126.5), "W 126.500000000º"},
        {LatitudeText(37.473125), "N 37.473125000º"},
        {LatitudeText(-33.25), "S 33.250000000º"},
        {LatitudeDmsText(37.5), "N 37º 30' 0.00000\""},
        // 0.88121° = 52.8726' = 52' 52.356".
        {LongitudeDmsText(126.88121), "E 126º 52' 52.35600\""},
        {LongitudeDmsText(-0.5), "W 0º 30' 0.00000\""},
        // Seconds that round to 60 carry into the minutes.
        {DmsText(10.999999999), "11º 0' 0.00000\""},
        {MetresText(-12.3456), "-12.346 m"},
        {DirectionText(5.25f), "005.250º"},
        {DirectionText(-1.0f), "-01.000º"},
        {SpeedText(5.5f), "005.500 km/h"},
        {DopText(1.26f, 0.8f, 2.0f), "1.3 / 0.8 / 2.0"},
        {StationIdText(""), "-"},
        {StationIdText("0123"), "0123"},
        {StationLabel(true), "Device ID"},
        {StationLabel(false), "Station ID"},
    });
}

TEST(StatusTexts, GeoidCorrection)
{
    auto s = StateAt(50.0, 10.0);
    s->ellipsoidHeight = 100.0;
    s->geoidSeparation = 40.0;
    s->mslAltitude = 60.0;
    PanelHeights h = GeoidCorrectedHeights(*s);
    EXPECT_EQ(h.geoidSeparation, 40.0);
    EXPECT_EQ(h.mslAltitude, 60.0);

    s->latitudeDeg = 37.5;
    s->longitudeDeg = 127.0;
    s->geoidSeparation = 0.0;
    const double n = GeoidHeight(37.5, 127.0);
    ASSERT_GT(n, 15.0);
    ASSERT_LT(n, 34.0);
    h = GeoidCorrectedHeights(*s);
    EXPECT_EQ(h.geoidSeparation, n);
    EXPECT_DOUBLE_EQ(h.mslAltitude, 100.0 - n);
    // Within a millimetre the receiver's own figures stay.
    s->geoidSeparation = n + 0.0005;
    EXPECT_EQ(GeoidCorrectedHeights(*s).mslAltitude, 60.0);
    EXPECT_EQ(MainCells(*s, {}, false)[13].value, MetresText(n + 0.0005));
}

TEST(StatusTexts, CellTables)
{
    auto s = StateAt(37.5, 127.25);
    s->baselineEast = 1.5;
    s->baselineNorth = -0.25;
    s->sigmaAlt = 0.125f;
    const auto main = MainCells(*s, {}, true);
    EXPECT_EQ(main[3].label, "Device ID");
    EXPECT_TRUE(main[9].label.isEmpty());
    const auto base = BaseInfoCells(*s, "01:02", "03:04");
    EXPECT_EQ(base[0].label, QString::fromUtf8("Base경도"));
    EXPECT_EQ(base[4].value, "E +1.500 m");
    EXPECT_EQ(base[5].value, "N -0.250 m");
    EXPECT_EQ(base[9].value, "0.125 m");
    EXPECT_EQ(base[10].value, "Float 01:02");
    EXPECT_EQ(base[11].value, "Fixed 03:04");
}

TEST(StatusTexts, FareAndSensorRows)
{
    TaxiFareValues fare;
    fare.meterPresent = true;
    fare.basicFee = 3800;
    fare.unitFee = 100;
    fare.unitDistance = 132;
    fare.extraFare = 200;
    fare.basicDistanceUsed = 2000.0;
    fare.extraDistance = 330.0;  // 2.5 units of 132 m
    fare.totalMovingDistance = 2330.0;
    fare.lastMovingStep = 12.5;
    const auto rows = FareRows(fare);
    EXPECT_EQ(rows[0].amount, QString::fromUtf8("금액(원)"));
    EXPECT_EQ(rows[1].amount, "3800");
    EXPECT_EQ(rows[1].distance, "2000");
    EXPECT_EQ(rows[2].amount, "200 / 2.5");
    EXPECT_EQ(rows[2].distance, "330 / 132");
    EXPECT_EQ(rows[3].amount, "4000");
    EXPECT_EQ(rows[3].distance, "(2330.0 / 12.5)");
    const auto bare = FareRows(FareValuesWithoutMeter(BasicFeeFromText("4800")));
    EXPECT_EQ(bare[1].amount, "4800");
    EXPECT_EQ(bare[3].amount, "4800");
    EXPECT_EQ(BasicFeeFromText("fee"), 3800);

    SensorStatusTable sensors{};
    sensors[1].calibration = 2;
    sensors[6].calibration = 3;
    const auto table = SensorRows(sensors);
    EXPECT_EQ(table[0].status, "Status");
    EXPECT_EQ(table[1].status, "NOT CALIBRATED");
    EXPECT_EQ(table[2].status, "CALIBRATED");
    EXPECT_EQ(table[2].sensor, "Gyroscope-Temp");
    EXPECT_EQ(table[7].status, "CALIBRATED");
    EXPECT_EQ(table[7].sensor, "Accelerometer-Z");
    EXPECT_EQ(ImuStateText(1), "Calibrated");
    EXPECT_EQ(ImuStateText(0), "Uncalibrated");
}

class StatusPanel : public ::testing::Test {
protected:
    static constexpr QSize kPanelSize{900, 510};

    StatusPanel() : store_(dir_.filePath("s.conf")) {}

    QImage Render(CNmeaDataWnd& panel)
    {
        panel.resize(kPanelSize);
        QImage image(panel.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        panel.render(&image);
        return image;
    }

    // Pixels of rect whose colour differs from its top-left corner.
    static int InkPixels(const QImage& image, const QRect& rect)
    {
        const QRgb background = image.pixel(rect.topLeft() + QPoint(1, 1));
        int ink = 0;
        for (int y = rect.top() + 1; y < rect.bottom(); ++y)
            for (int x = rect.left() + 1; x < rect.right(); ++x)
                ink += image.pixel(x, y) != background;
        return ink;
    }

    QTemporaryDir dir_;
    CSettingsStore store_;
};

TEST_F(StatusPanel, StatusCellTurnsRedOnAlarm)
{
    CNmeaDataWnd panel(store_);
    auto s = StateAt(37.5, 127.0);
    const QImage calm = Render(panel);
    const QPoint corner = panel.CellRect(CNmeaDataWnd::kValueColumn, 2).topLeft() + QPoint(2, 2);
    EXPECT_EQ(calm.pixel(corner), qRgb(0xFF, 0xFF, 0xFF));
    s->interferenceFlags = 0x10;
    panel.Update(*s);
    const QImage alarm = Render(panel);
    EXPECT_EQ(alarm.pixel(corner), qRgb(0xFF, 0x00, 0x00));
    // Only the value cell, not its label.
    const QPoint label = panel.CellRect(CNmeaDataWnd::kLabelColumn, 2).topLeft() + QPoint(2, 2);
    EXPECT_EQ(alarm.pixel(label), qRgb(0xFF, 0xFF, 0xFF));
}

TEST_F(StatusPanel, FareAreaOnlyWhileMeterCounts)
{
    store_.Write(settings::kNmeaOperationType, 1);
    CNmeaDataWnd panel(store_);
    TaxiFareValues fare;
    fare.meterPresent = true;
    panel.resize(kPanelSize);
    const QPoint inside = panel.FareAreaRect().topLeft() + QPoint(3, 3);
    EXPECT_EQ(Render(panel).pixel(inside), qRgb(0xFF, 0xFF, 0xFF));
    fare.meterActive = true;
    panel.SetTaxiFare(fare);
    // COLORREF 0xFFEAEA: blue 0xFF, green and red 0xEA.
    EXPECT_EQ(Render(panel).pixel(inside), qRgb(0xEA, 0xEA, 0xFF));
    // The reference-station layout never shows it.
    store_.Write(settings::kNmeaOperationType, 0);
    EXPECT_EQ(Render(panel).pixel(inside), qRgb(0xFF, 0xFF, 0xFF));
}

TEST_F(StatusPanel, ValueTextIsDrawnInItsCell)
{
    CNmeaDataWnd panel(store_);
    panel.Update(*StateAt(37.5, 127.0));
    const QImage image = Render(panel);
    EXPECT_EQ(MainCells(panel.State(), panel.Statistics(), false)[10].value, LatitudeText(37.5));
    EXPECT_GT(InkPixels(image, panel.CellRect(CNmeaDataWnd::kValueColumn, 10)), 20);
    // The row under "위도" has no label: its label cell stays blank.
    EXPECT_EQ(InkPixels(image, panel.CellRect(CNmeaDataWnd::kLabelColumn, 11)), 0);
    // The band colours alternate: rows 4 to 7 are grey.
    const QPoint grey = panel.CellRect(CNmeaDataWnd::kLabelColumn, 4).topLeft() + QPoint(2, 2);
    EXPECT_EQ(image.pixel(grey), qRgb(0xEA, 0xEA, 0xEA));
}

TEST_F(StatusPanel, RepaintDrawsOnlyChangedCellsAndMatchesAFreshPanel)
{
    CNmeaDataWnd panel(store_);
    panel.Update(*StateAt(37.5, 127.0));
    Render(panel);
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
}

TEST_F(StatusPanel, AbsurdStatePaints)
{
    store_.Write(settings::kNmeaOperationType, 1);
    CNmeaDataWnd panel(store_);
    auto s =
        StateAt(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity());
    s->fixQuality = std::numeric_limits<std::int32_t>::min();
    s->fixMode = std::numeric_limits<std::int32_t>::max();
    s->ellipsoidHeight = 1e300;
    s->sigmaLon = std::numeric_limits<float>::quiet_NaN();
    s->sigmaLat = -1.0f;
    s->interferenceFlags = 0xFFFFFFFFu;
    s->sensorsCalibrated = -7;
    s->inViewCount[1] = 1000;
    s->satellitesInView[1][0].elevationDeg = 120;
    s->satellitesInView[1][0].snr[0] = -5;
    s->timeText = "999999.9x";
    s->dateText = "99999999";
    s->stationId = std::string(500, '#');
    s->contentFlags = 0xFFFFFFFFu;
    panel.Update(*s);
    TaxiFareValues fare;
    fare.meterPresent = fare.meterActive = true;
    fare.basicDistanceUsed = std::numeric_limits<double>::quiet_NaN();
    fare.extraDistance = -1e30;
    fare.extraFare = std::numeric_limits<std::int32_t>::max();
    panel.SetTaxiFare(fare);
    panel.SetStatistics(std::numeric_limits<double>::infinity(), -1.0, 1e308, 0.0);
    const QImage image = Render(panel);
    EXPECT_EQ(image.pixel(panel.CellRect(CNmeaDataWnd::kValueColumn, 2).topLeft() + QPoint(2, 2)),
              qRgb(0xFF, 0x00, 0x00));
    EXPECT_EQ(FareRows(fare)[3].amount, QString::number(2147483647LL + 3800));
    store_.Write(settings::kNmeaOperationType, 0);
    EXPECT_FALSE(Render(panel).isNull());
}

TEST_F(StatusPanel, SlotsKeepTheirStoredValues)
{
    CNmeaDataWnd panel(store_);
    EXPECT_EQ(panel.TimeToFloat(), "00:00");
    panel.SetTimesToFix("00:12", "");
    EXPECT_EQ(panel.TimeToFloat(), "00:12");
    EXPECT_EQ(panel.TimeToFixed(), "00:00");

    auto s = StateAt(37.5, 127.0);
    s->timeText = "010203";
    panel.Update(*s);
    s->contentFlags = 0;
    s->latitudeDeg = 1.0;
    panel.Update(*s);  // an epoch that delivered nothing
    EXPECT_EQ(panel.State().latitudeDeg, 37.5);
    panel.Reset();
    EXPECT_EQ(panel.State().latitudeDeg, 0.0);
    EXPECT_EQ(panel.State().headingDeg, 0.0f);
    EXPECT_TRUE(panel.State().timeText.empty());

    // The receiver's estimates replace the replay figures when painted.
    panel.SetStatistics(3.0, 4.0, 2.5, 3.3);
    s->sigmaLon = 0.3f;
    s->sigmaLat = 0.4f;
    s->contentFlags = ContentFlag::ErrorDeviation;
    panel.Update(*s);
    Render(panel);
    EXPECT_NEAR(panel.Statistics().horizontalDrms, 0.5, 1e-6);
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
    // Class 0x10, id 0x10, no payload; Fletcher sums 0x20 = 0x10 + 0x10 and
    // 0x70 = 0x10 + 0x20 + 0x20 + 0x20.
    EXPECT_EQ(sent, QByteArray::fromHex("b562101000002070"));

    store_.Write(settings::kNmeaGpsModule, 0);
    panel.ApplySettings();
    EXPECT_FALSE(panel.IsSensorPollActive());
}
