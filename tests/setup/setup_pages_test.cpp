#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <memory>
#include <tuple>

#include "settings/settings_store.h"
#include "setup/setup_coord_dlg.h"
#include "setup/setup_nmea_dlg.h"
#include "setup/setup_replay_dlg.h"

namespace {

using namespace settings;

class SetupPagesTest : public ::testing::Test {
protected:
    QStringList StoredKeys() const
    {
        QStringList keys = QSettings(store_.FilePath(), QSettings::IniFormat).allKeys();
        keys.sort();
        return keys;
    }
    std::unique_ptr<CSetupCoordDlg> OpenCoord()
    {
        auto page = std::make_unique<CSetupCoordDlg>(store_);
        page->SetMessageSink([this](const QString& text) { messages_ << text; });
        page->SetPlotPointsSource([this] { return plot_; });
        return page;
    }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
    QStringList messages_;
    PlotPoints plot_;
};

TEST_F(SetupPagesTest, ReplayPageWritesEveryKeyAndReadsItBack)
{
    CSetupReplayDlg page(store_);
    page.SetSyncProtocol(1);
    page.SetLatestLogging(true);
    page.SetAutoNaming(true);
    page.SetRmsFromGst(true);
    page.SetNoChecksum(true);
    page.SetMapUpdateMode(CSetupReplayDlg::kLimit1000);
    page.SetCheckMissingFrames(true);
    page.SetRmsCepRuntimeCal(true);
    page.Apply();
    EXPECT_EQ(StoredKeys(),
              (QStringList{"NMEA/RMSCEP_RUNTIME_CAL", "REPLAY/AUTONAMING",
                           "REPLAY/CHECK_MISSING_FRAMES", "REPLAY/ERRCALTYPE", "REPLAY/ERRNOCHK",
                           "REPLAY/LATESTLOGGING", "REPLAY/POS_COUNT_IDX", "REPLAY/SYNCPROT"}));
    for (const IntSetting& key :
         {kReplaySyncProtocol, kReplayLatestLogging, kReplayAutoNaming, kReplayErrorCalcType,
          kReplaySkipChecksum, kReplayCheckMissingFrames, kNmeaRmsCepRuntimeCal}) {
        EXPECT_EQ(store_.Get(key), 1) << key.key;
    }
    EXPECT_EQ(store_.Get(kReplayPositionCountIndex), 2);
    CSetupReplayDlg reopened(store_);
    EXPECT_TRUE(reopened.LatestLogging() && reopened.AutoNaming() && reopened.RmsFromGst() &&
                reopened.NoChecksum() && reopened.CheckMissingFrames() &&
                reopened.RmsCepRuntimeCal());
    EXPECT_EQ(reopened.SyncProtocol(), 1);
    EXPECT_EQ(reopened.MapUpdateMode(), 2);
}

TEST_F(SetupPagesTest, ReplayPageOpensUnknownValuesAsAutoAndNoLimit)
{
    const struct {
        int storedSync, shownSync, storedAfterOpen, storedMode, shownMode;
    } cases[] = {{2, 0, 0, 1, 1}, {-1, 0, 0, 3, 0}, {1, 1, 1, -2, 0}, {0, 0, 0, 2, 2}};
    for (const auto& c : cases) {
        store_.Write(kReplaySyncProtocol, c.storedSync);
        store_.Write(kReplayPositionCountIndex, c.storedMode);
        CSetupReplayDlg page(store_);
        EXPECT_EQ(page.SyncProtocol(), c.shownSync) << c.storedSync;
        EXPECT_EQ(store_.Get(kReplaySyncProtocol), c.storedAfterOpen) << c.storedSync;
        EXPECT_EQ(page.MapUpdateMode(), c.shownMode) << c.storedMode;
    }
}

TEST_F(SetupPagesTest, NmeaPageEnablesTheFareFieldsOnlyForTheTaxiMeter)
{
    CSetupNmeaDlg page(store_);
    EXPECT_EQ(page.FieldText(CSetupNmeaDlg::kMinSpeed), QStringLiteral("15.32"));
    for (const auto& [type, text, enabled] :
         {std::tuple{1, "택시 요금정보 표시", true}, std::tuple{0, "GPS BASE 관련정보 표시", false},
          std::tuple{7, "GPS BASE 관련정보 표시", false}}) {
        page.SetOperationType(type);
        EXPECT_EQ(page.ModeText(), QString::fromUtf8(text));
        EXPECT_EQ(page.LimitSpeedEnabled(), enabled);
        for (int f = 0; f < CSetupNmeaDlg::kFieldCount; ++f) {
            EXPECT_EQ(page.FieldEnabled(static_cast<CSetupNmeaDlg::Field>(f)), enabled) << f;
        }
    }
}

TEST_F(SetupPagesTest, NmeaPageWritesTheEightKeysOrNothingForABadField)
{
    CSetupNmeaDlg page(store_);
    const struct {
        CSetupNmeaDlg::Field field;
        const char* text;
    } bad[] = {{CSetupNmeaDlg::kBasicFee, "abc"},
               {CSetupNmeaDlg::kMinSpeed, ""},
               {CSetupNmeaDlg::kBasicDistance, "-5"},
               {CSetupNmeaDlg::kUnitDistance, "0"},
               {CSetupNmeaDlg::kUnitFee, "inf"}};
    for (const auto& b : bad) {
        CSetupNmeaDlg fresh(store_);
        fresh.SetFieldText(b.field, QLatin1String(b.text));
        EXPECT_FALSE(fresh.Apply()) << b.text;
    }
    EXPECT_TRUE(StoredKeys().isEmpty());

    page.SetOperationType(1);
    page.SetFieldText(CSetupNmeaDlg::kBasicFee, QStringLiteral("4800"));
    page.SetFieldText(CSetupNmeaDlg::kMinSpeed, QStringLiteral(" 10.5 "));
    page.SetFieldText(CSetupNmeaDlg::kBasicDistance, QStringLiteral("1600"));
    page.SetFieldText(CSetupNmeaDlg::kUnitDistance, QStringLiteral("131"));
    page.SetFieldText(CSetupNmeaDlg::kUnitFee, QStringLiteral("150"));
    page.SetDisplayLimitSpeed(3);
    page.SetDr(true);
    ASSERT_TRUE(page.Apply());
    EXPECT_EQ(StoredKeys(),
              (QStringList{"NMEA/BASIC_DISTANCE", "NMEA/BASIC_FEE", "NMEA/DISPLAY_LIMITSPEED",
                           "NMEA/GPS_MODULE", "NMEA/MIN_SPEED", "NMEA/OPERATION_TYPE",
                           "NMEA/UNIT_DISTANCE", "NMEA/UNIT_FEE"}));
    EXPECT_EQ(store_.Get(kNmeaOperationType), 1);
    EXPECT_EQ(store_.Get(kNmeaBasicFee), QStringLiteral("4800"));
    EXPECT_EQ(store_.Get(kNmeaMinSpeed), QStringLiteral("10.5"));
    EXPECT_EQ(store_.Get(kNmeaBasicDistance), QStringLiteral("1600"));
    EXPECT_EQ(store_.Get(kNmeaUnitDistance), QStringLiteral("131"));
    EXPECT_EQ(store_.Get(kNmeaUnitFee), QStringLiteral("150"));
    EXPECT_EQ(store_.Get(kNmeaDisplayLimitSpeed), 3);
    EXPECT_EQ(store_.Get(kNmeaGpsModule), 1);
    CSetupNmeaDlg reopened(store_);
    EXPECT_TRUE(reopened.OperationType() == 1 && reopened.Dr() &&
                reopened.DisplayLimitSpeed() == 3 &&
                reopened.FieldText(CSetupNmeaDlg::kUnitFee) == QStringLiteral("150"));
}

TEST_F(SetupPagesTest, CoordTextsReadAndWriteTheThreeStyles)
{
    const struct {
        int style;
        const char* text;
        double value;  // NAN: unreadable
        const char* shown;
    } cases[] = {
        {kDegrees, "127.1234567", 127.1234567, "127.1234567"},
        {kDegreesMinutes, "127 30.5", 127.5083333333, "127 30.5000000"},
        {kDegreesMinutesSeconds, "37 28 07.16509", 37.4686569694, "37 28 7.16509"},
        {kDegreesMinutesSeconds, "-126 30 0", -126.5, "-126 30 0.00000"},
        {kDegreesMinutes, "127 60", NAN, ""},
        {kDegreesMinutes, "127.5 30", NAN, ""},
        {kDegreesMinutesSeconds, "127 30", NAN, ""},
        {kDegrees, "", NAN, ""},
    };
    for (const auto& c : cases) {
        const auto value = ParseCoordText(QLatin1String(c.text), c.style);
        ASSERT_EQ(value.has_value(), !std::isnan(c.value)) << c.text;
        if (!value) continue;
        EXPECT_NEAR(*value, c.value, 1e-9) << c.text;
        EXPECT_EQ(FormatCoordText(*value, c.style), QLatin1String(c.shown));
    }
}

TEST_F(SetupPagesTest, CoordPageWritesThePointByStyleAndErrorReference)
{
    const struct {
        int style;
        const char *lon, *lat;
        int errorBase;
        const char *storedLon, *storedLat;
    } cases[] = {
        {kDegrees, "127.12345678", "37.5", 0, "127.1234568", "37.5000000"},
        {kDegreesMinutes, "127 30", "37 15.5", 3, "127.5000000000", "37.2583333333"},
        {kDegreesMinutesSeconds, "127 30 36", "37 0 0.5", 3, "127.5100000000", "37.0001388889"},
    };
    for (const auto& c : cases) {
        QFile::remove(store_.FilePath());
        const auto page = OpenCoord();
        page->SetCentre(CSetupCoordDlg::kArbitrary);
        page->SetInputStyle(c.style);
        page->SetCoordSystem(6);
        page->SetPixelSize(5);
        page->ChooseStation(3);
        page->SetErrorBase(c.errorBase);
        page->SetPointText(c.style, QLatin1String(c.lon), QLatin1String(c.lat));
        ASSERT_TRUE(page->Apply());
        EXPECT_EQ(store_.Get(kRefPointCenter), 3);
        EXPECT_EQ(store_.Get(kRefPointDmsType), c.style);
        EXPECT_EQ(store_.Get(kRefPointCoordSys), 6);
        EXPECT_EQ(store_.Get(kPlotPixelSize), 5);
        EXPECT_EQ(store_.Get(kRefPointRefSite), 3);
        EXPECT_EQ(store_.Get(kErrorCalRefSite), 3);
        EXPECT_EQ(store_.Get(kErrorCalBase), c.errorBase);
        EXPECT_EQ(store_.Get(kRefPointLongitude), QLatin1String(c.storedLon));
        EXPECT_EQ(store_.Get(kRefPointLatitude), QLatin1String(c.storedLat));
        const bool both = c.errorBase == CSetupCoordDlg::kArbitrary;
        EXPECT_EQ(StoredKeys().contains("ERROR_CAL/LONGITUDE"), both) << c.style;
        EXPECT_EQ(StoredKeys().contains("ERROR_CAL/LATITUDE"), both) << c.style;
        if (both) {
            EXPECT_EQ(store_.Get(kErrorCalLatitude), QLatin1String(c.storedLat));
        }
        // Reopened in the same style, the point survives another apply.
        const auto reopened = OpenCoord();
        EXPECT_TRUE(reopened->PointEditsEnabled(c.style));
        EXPECT_FALSE(reopened->PointEditsEnabled((c.style + 1) % 3));
        ASSERT_TRUE(reopened->Apply());
        EXPECT_EQ(store_.Get(kRefPointLatitude), QLatin1String(c.storedLat));
    }
    const auto page = OpenCoord();
    page->SetPointText(page->InputStyle(), QStringLiteral("x"), QStringLiteral("37"));
    page->SetErrorBase(1);
    EXPECT_FALSE(page->Apply());
    EXPECT_EQ(store_.Get(kErrorCalBase), 3);  // nothing written
}

TEST_F(SetupPagesTest, CoordPageShowsStationsAndConvertsThePoint)
{
    const auto page = OpenCoord();
    EXPECT_EQ(page->Station(), -1);
    EXPECT_EQ(page->StationLongitudeText(), QStringLiteral("--도 --분 --.-----초"));
    page->ChooseStation(2);
    EXPECT_EQ(page->StationLongitudeText(), QStringLiteral("127도 03분 15.2103초"));
    EXPECT_EQ(page->StationLatitudeText(), QStringLiteral("37도 16분 31.6820초"));
    EXPECT_EQ(page->PointLongitudeText(kDegrees), QStringLiteral("126.8812100"));

    page->SetInputStyle(kDegreesMinutes);
    page->SetPointText(kDegreesMinutes, QStringLiteral("127 30"), QStringLiteral("37 45"));
    page->ConvertPoint();
    EXPECT_EQ(page->PointLongitudeText(kDegrees), QStringLiteral("127.5000000"));
    EXPECT_EQ(page->PointLatitudeText(kDegreesMinutesSeconds), QStringLiteral("37 45 0.00000"));
    EXPECT_EQ(page->PointLongitudeText(kDegreesMinutes), QStringLiteral("127 30"));
}

TEST_F(SetupPagesTest, DistanceCalculatorMeasuresFromTheChosenReference)
{
    plot_.average = PlotPoints::Point{127.0, 37.0};
    plot_.maxError = PlotPoints::Point{7.5, 3.25};
    const struct {
        std::function<void(CSetupCoordDlg&)> setup;
        const char* lon;
        const char* lat;
        const char* distance;  // empty: a message instead
        const char* message;
    } cases[] = {
        {[](CSetupCoordDlg& p) { p.SetCentre(1); }, "127", "37", "",
         "통합기준점이 설정되지 않았습니다!!"},
        {[](CSetupCoordDlg& p) {
             p.SetCentre(3);
             p.SetPointText(kDegrees, "0", "37");
         },
         "127", "37", "", "임의점 좌표가 설정되지 않았습니다!!"},
        {[](CSetupCoordDlg& p) { p.SetCentre(2); }, "127", "37", "",
         "플롯에 표시된 위치가 없습니다!!"},
        {[](CSetupCoordDlg& p) {
             p.SetCentre(3);
             p.SetPointText(kDegrees, "127.25", "37.5");
         },
         "127.25", "37.5", "0.00", ""},
        {[](CSetupCoordDlg& p) {
             p.SetCentre(1);
             p.ChooseStation(0);
         },
         "126.909371505556", "37.468656969444", "0.00", ""},
        {[](CSetupCoordDlg& p) { p.SetCentre(0); }, "127", "37.001", "11122.63", ""},
    };
    for (const auto& c : cases) {
        messages_.clear();
        const auto page = OpenCoord();
        c.setup(*page);
        page->SetTarget(QLatin1String(c.lon), QLatin1String(c.lat));
        page->CalculateDistance();
        EXPECT_EQ(page->DistanceText(), QLatin1String(c.distance)) << c.message;
        EXPECT_EQ(messages_.join('|'), QString::fromUtf8(c.message));
    }

    const auto page = OpenCoord();
    page->ChooseTargetSource(CSetupCoordDlg::kTargetMaxError);
    page->FetchTarget();
    EXPECT_EQ(page->TargetLongitudeText(), QStringLiteral("007.5000000"));
    EXPECT_EQ(page->TargetLatitudeText(), QStringLiteral("03.2500000"));
    page->ChooseTargetSource(CSetupCoordDlg::kTargetAverage);
    page->FetchTarget();
    EXPECT_EQ(page->TargetLongitudeText(), QStringLiteral("127.0000000"));
    page->CopyTargetToDms();
    EXPECT_EQ(page->PointLongitudeText(kDegreesMinutesSeconds), QStringLiteral("127 0 0.00000"));
}

}  // namespace
