#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <memory>

#include "settings/settings_store.h"
#include "setup/setup_coord_dlg.h"
#include "setup/setup_nmea_dlg.h"
#include "setup/setup_replay_dlg.h"

namespace {

using namespace settings;

class SetupPagesTest : public ::testing::Test {
protected:
    // Every stored setting as "SECTION/KEY=value", sorted.
    QStringList Stored() const
    {
        const QSettings ini(store_.FilePath(), QSettings::IniFormat);
        QStringList all;
        for (const QString& key : ini.allKeys()) all << key + '=' + ini.value(key).toString();
        all.sort();
        return all;
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
    EXPECT_EQ(Stored(), (QStringList{"NMEA/RMSCEP_RUNTIME_CAL=1", "REPLAY/AUTONAMING=1",
                                     "REPLAY/CHECK_MISSING_FRAMES=1", "REPLAY/ERRCALTYPE=1",
                                     "REPLAY/ERRNOCHK=1", "REPLAY/LATESTLOGGING=1",
                                     "REPLAY/POS_COUNT_IDX=2", "REPLAY/SYNCPROT=1"}));
    const QStringList stored = Stored();
    CSetupReplayDlg(store_).Apply();  // reopened, it shows what it wrote
    EXPECT_EQ(Stored(), stored);
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

// Every field is a number from 0 to the largest 32-bit integer, the unit distance at least 1;
// one bad field writes nothing.
TEST_F(SetupPagesTest, NmeaPageFieldLimitsAndTheEightKeys)
{
    using F = CSetupNmeaDlg::Field;
    const struct {
        F field;
        const char* text;
        bool ok;
    } cases[] = {{F::kBasicFee, "abc", false},        {F::kMinSpeed, "", false},
                 {F::kBasicDistance, "-0.01", false}, {F::kBasicDistance, "0", true},
                 {F::kUnitDistance, "0.99", false},   {F::kUnitDistance, "1", true},
                 {F::kUnitFee, "inf", false},         {F::kUnitFee, "2147483647", true},
                 {F::kUnitFee, "2147483648", false},  {F::kBasicFee, " 10.5 ", true}};
    for (const auto& c : cases) {
        QFile::remove(store_.FilePath());
        CSetupNmeaDlg page(store_);
        page.SetFieldText(c.field, QLatin1String(c.text));
        EXPECT_EQ(page.Apply(), c.ok) << c.text;
        EXPECT_EQ(Stored().isEmpty(), !c.ok) << c.text;
    }
    CSetupNmeaDlg page(store_);
    page.SetOperationType(1);
    const std::pair<F, const char*> texts[] = {{F::kBasicFee, "4800"},
                                               {F::kMinSpeed, " 10.5 "},
                                               {F::kBasicDistance, "1600"},
                                               {F::kUnitDistance, "131"},
                                               {F::kUnitFee, "150"}};
    for (const auto& [field, text] : texts) page.SetFieldText(field, QLatin1String(text));
    for (const auto& [index, kept] : {std::pair{4, 0}, {-1, 0}, {3, 3}}) {
        page.SetDisplayLimitSpeed(index);
        EXPECT_EQ(page.DisplayLimitSpeed(), kept) << index;
    }
    page.SetDr(true);
    ASSERT_TRUE(page.Apply());
    EXPECT_EQ(Stored(), (QStringList{"NMEA/BASIC_DISTANCE=1600", "NMEA/BASIC_FEE=4800",
                                     "NMEA/DISPLAY_LIMITSPEED=3", "NMEA/GPS_MODULE=1",
                                     "NMEA/MIN_SPEED=10.5", "NMEA/OPERATION_TYPE=1",
                                     "NMEA/UNIT_DISTANCE=131", "NMEA/UNIT_FEE=150"}));
    const QStringList stored = Stored();
    ASSERT_TRUE(CSetupNmeaDlg(store_).Apply());  // reopened, it shows what it wrote
    EXPECT_EQ(Stored(), stored);
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
        int pixels, storedPixels;  // the plot's point: 1 to 50 pixels
    } cases[] = {
        {kDegrees, "127.12345678", "37.5", 0, "127.1234568", "37.5000000", 0, 1},
        {kDegreesMinutes, "127 30", "37 15.5", 3, "127.5000000000", "37.2583333333", 50, 50},
        {kDegreesMinutesSeconds, "127 30 36", "37 0 0.5", 3, "127.5100000000", "37.0001388889", 51,
         50},
    };
    for (const auto& c : cases) {
        QFile::remove(store_.FilePath());
        const auto page = OpenCoord();
        page->SetCentre(CSetupCoordDlg::kArbitrary);
        page->SetInputStyle(c.style);
        page->SetCoordSystem(6);
        page->SetPixelSize(c.pixels);
        page->ChooseStation(3);
        page->SetErrorBase(c.errorBase);
        page->SetPointText(c.style, QLatin1String(c.lon), QLatin1String(c.lat));
        ASSERT_TRUE(page->Apply());
        EXPECT_EQ(QList<int>({store_.Get(kRefPointCenter), store_.Get(kRefPointDmsType),
                              store_.Get(kRefPointCoordSys), store_.Get(kPlotPixelSize),
                              store_.Get(kRefPointRefSite), store_.Get(kErrorCalRefSite),
                              store_.Get(kErrorCalBase)}),
                  QList<int>({3, c.style, 6, c.storedPixels, 3, 3, c.errorBase}));
        EXPECT_EQ(store_.Get(kRefPointLongitude), QLatin1String(c.storedLon));
        EXPECT_EQ(store_.Get(kRefPointLatitude), QLatin1String(c.storedLat));
        const bool both = c.errorBase == CSetupCoordDlg::kArbitrary;
        EXPECT_EQ(Stored().filter("ERROR_CAL/L"),
                  both ? QStringList({QStringLiteral("ERROR_CAL/LATITUDE=") + c.storedLat,
                                      QStringLiteral("ERROR_CAL/LONGITUDE=") + c.storedLon})
                       : QStringList());
        // Reopened in the same style, the point survives another apply.
        ASSERT_TRUE(OpenCoord()->Apply());
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

}  // namespace
