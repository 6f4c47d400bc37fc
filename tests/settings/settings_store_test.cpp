#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <set>
#include <sstream>

#include "settings/taxi_meter_settings_reader.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QString Path() const { return dir_.filePath(QStringLiteral("VELMORA/Skarnet2.conf")); }

    void WriteFile(const QByteArray& contents)
    {
        QDir().mkpath(dir_.filePath(QStringLiteral("VELMORA")));
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    static int Mode(const QString& path)
    {
        struct stat info {};
        if (stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
        return static_cast<int>(info.st_mode & 0777);
    }

    QTemporaryDir dir_;
};

// Stored files name their values so: a renamed or lost key would forget what users saved.
TEST_F(SettingsStoreTest, KeyNamesOfTheStoredFile)
{
    const std::string expected =
        "COMM_SETUP/TXMODE COMM_SETUP/RELAYSERVER_MODE COMM_SETUP/HOST_ADDR COMM_SETUP/HOST_PORT "
        "COMM_SETUP/COMPORT COMM_SETUP/BAUDRATE COMM_SETUP/DATABIT COMM_SETUP/PARITYBIT "
        "COMM_SETUP/STOPBIT COMM_SETUP/HWFLOW COMM_SETUP/LOGIN_ID COMM_SETUP/LOGIN_INFO "
        "COMM_SETUP/SAVE_ID COMM_SETUP/AUTO_LOGIN COMM_SETUP/RELAYED_NMEA NTRIP/ENABLE "
        "NTRIP/HOST_ADDR NTRIP/HOST_PORT NTRIP/MOUNT_POINT NTRIP/IDENTITY NTRIP/PASSWORD "
        "NTRIP/SAMEPORT NTRIP/TXMODE NTRIP/COMPORT NTRIP/BAUDRATE NTRIP/DEST_ADDR NTRIP/DEST_PORT "
        "NTRIP/VERSION NTRIP/TLS NTRIP/RECONNECT SERVER/VRS_IP SERVER/VRS_PORT REPLAY/SYNCPROT "
        "REPLAY/LATESTLOGGING REPLAY/AUTONAMING REPLAY/ERRCALTYPE REPLAY/ERRNOCHK "
        "REPLAY/POS_COUNT_IDX REPLAY/CHECK_MISSING_FRAMES NMEA/RMSCEP_RUNTIME_CAL "
        "NMEA/OPERATION_TYPE NMEA/BASIC_DISTANCE NMEA/BASIC_FEE NMEA/MIN_SPEED NMEA/UNIT_FEE "
        "NMEA/UNIT_DISTANCE NMEA/GPS_MODULE NMEA/DISPLAY_LIMITSPEED PLOTVIEW/RGB_GPS "
        "PLOTVIEW/RGB_DGPS PLOTVIEW/RGB_FLOAT PLOTVIEW/RGB_RTK PLOTVIEW/RGB_DR PLOTVIEW/PIXEL_SIZE "
        "PLOTVIEW/SCALEINDEX REF_POINT/CENTER REF_POINT/COORD_SYS REF_POINT/DMS_TYPE "
        "REF_POINT/LATITUDE REF_POINT/LONGITUDE REF_POINT/REF_SITE ERROR_CAL/ERROR_BASE "
        "ERROR_CAL/LATITUDE ERROR_CAL/LONGITUDE ERROR_CAL/REF_SITE SETUP/TAB VIEW/MAP_PLOT "
        "VIEW/LOOK VIEW/LANGUAGE MAP/TILE_URL";
    std::multiset<std::string> want, have;
    std::istringstream words(expected);
    for (std::string word; words >> word;) want.insert(word);
    const auto add = [&have](const auto& s) {
        have.insert(std::string(s.section) + "/" + std::string(s.key));
    };
    for (const IntSetting& s : settings::kAllIntSettings) add(s);
    for (const TextSetting& s : settings::kAllTextSettings) add(s);
    EXPECT_EQ(have, want);
}

// Reading writes nothing; written values, an empty text among them, survive a new store.
TEST_F(SettingsStoreTest, ValuesSurviveANewStore)
{
    const QString text = QStringLiteral("GGA,RMC; \"수신기\" = 1 ");
    {
        CSettingsStore store(Path());
        EXPECT_EQ(store.Get(settings::kCommPort), QStringLiteral("COM1"));
        EXPECT_FALSE(QFile::exists(Path()));
        EXPECT_TRUE(store.Write(settings::kRefPointRefSite, -1));
        EXPECT_TRUE(store.Write(settings::kCommRelayedNmea, text));
        EXPECT_TRUE(store.Write(settings::kNtripPassword, QString()));
        EXPECT_TRUE(store.WriteInt("EXTRA", "MIN", std::numeric_limits<std::int32_t>::min()));
    }
    const CSettingsStore store(Path());
    EXPECT_EQ(store.Get(settings::kRefPointRefSite), -1);
    EXPECT_EQ(store.Get(settings::kCommRelayedNmea), text);
    EXPECT_EQ(store.GetText("NTRIP", "PASSWORD", "default"), QString());
    EXPECT_EQ(store.GetInt("EXTRA", "MIN", 0), std::numeric_limits<std::int32_t>::min());
    CSettingsStore nowhere(QStringLiteral("/proc/skarnet2-no-such-folder/Skarnet2.conf"));
    EXPECT_FALSE(nowhere.Write(settings::kCommTxMode, 0)) << "a failed write is reported";
}

TEST_F(SettingsStoreTest, UnreadableValuesCountAsMissing)
{
    WriteFile(
        "[COMM_SETUP]\n"
        "TXMODE=serial\n"
        "BAUDRATE=1.5\n"
        "DATABIT=3,4\n"
        "STOPBIT=4294967296\n"
        "HWFLOW=\n"
        "COMPORT=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
        "RELAYED_NMEA=GGA,GST\n"
        "[PLOTVIEW]\n"
        "RGB_GPS=0x00FF00\n"
        "RGB_RTK=0X0000ff\n"
        "RGB_DR= 12 \n");
    const CSettingsStore store(Path());
    EXPECT_EQ(store.Get(settings::kCommTxMode), 1);
    EXPECT_EQ(store.Get(settings::kCommBaudRate), 9);
    EXPECT_EQ(store.Get(settings::kCommDataBits), 3);
    EXPECT_EQ(store.Get(settings::kCommStopBits), 0);
    EXPECT_EQ(store.Get(settings::kCommFlowControl), 2);
    EXPECT_EQ(store.Get(settings::kCommPort), QStringLiteral("COM1"));
    // Written by hand without quotes, the list is still the text the operator meant.
    EXPECT_EQ(store.Get(settings::kCommRelayedNmea), QStringLiteral("GGA,GST"));
    EXPECT_EQ(store.Get(settings::kPlotRgbGps), 0x00FF00);
    EXPECT_EQ(store.Get(settings::kPlotRgbDr), 12);
    EXPECT_EQ(store.Get(settings::kPlotRgbRtk), 0xFF);
}

TEST_F(SettingsStoreTest, FileIsReadableByItsOwnerOnly)
{
    const mode_t old = umask(022);
    {
        CSettingsStore store(Path());
        ASSERT_TRUE(store.Write(settings::kNtripPassword, QStringLiteral("secret")));
        EXPECT_EQ(Mode(Path()), 0600);
    }
    // A file left readable by others is closed on the next write.
    ASSERT_TRUE(QFile::setPermissions(
        Path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    {
        CSettingsStore store(Path());
        ASSERT_TRUE(store.Write(settings::kNtripIdentity, QStringLiteral("user")));
    }
    umask(old);
    EXPECT_EQ(Mode(Path()), 0600);
    EXPECT_EQ(CSettingsStore(Path()).Get(settings::kNtripPassword), QStringLiteral("secret"));
}

TEST_F(SettingsStoreTest, TaxiMeterSettingsComeFromTheNmeaSection)
{
    WriteFile(
        "[NMEA]\n"
        "OPERATION_TYPE=1\n"
        "BASIC_DISTANCE=1600.5\n"
        "UNIT_FEE=abc\n"
        "UNIT_DISTANCE=140\n"
        "DISPLAY_LIMITSPEED=2\n");
    const TaxiMeterSettings s = LoadTaxiMeterSettings(CSettingsStore(Path()));
    EXPECT_EQ(s.operationType, 1);
    EXPECT_DOUBLE_EQ(s.basicDistanceM, 1600.5);
    EXPECT_EQ(s.unitFee, 100);  // not a number: the default
    EXPECT_EQ(s.unitDistanceM, 140);
    EXPECT_DOUBLE_EQ(s.minSpeedKmh, 15.32);
    EXPECT_EQ(s.displaySpeedLimitIndex, 2);
}

}  // namespace
