#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <set>

#include "settings/taxi_meter_settings_reader.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    // QSettings caches files by name, so a file rewritten behind its back gets a new name.
    QString Path(const QString& folder = QStringLiteral("VELMORA")) const
    {
        return dir_.filePath(folder + QStringLiteral("/Skarnet2.conf"));
    }

    void WriteFile(const QByteArray& contents, const QString& folder = QStringLiteral("VELMORA"))
    {
        QDir().mkpath(dir_.filePath(folder));
        QFile file(Path(folder));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QByteArray ReadFile() const
    {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static int Mode(const QString& path)
    {
        struct stat info {};
        if (stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
        return static_cast<int>(info.st_mode & 0777);
    }

    QTemporaryDir dir_;
};

TEST_F(SettingsStoreTest, EmptyStoreYieldsEveryDefaultAndWritesNothing)
{
    const CSettingsStore store(Path());
    for (const IntSetting& s : settings::kAllIntSettings) {
        EXPECT_EQ(store.Get(s), s.defaultValue) << s.section << "/" << s.key;
    }
    for (const TextSetting& s : settings::kAllTextSettings) {
        EXPECT_EQ(store.Get(s).toStdString(), s.defaultValue) << s.section << "/" << s.key;
    }
    // First run: serial COM1 at 115200 8N1 without flow control.
    EXPECT_EQ(store.Get(settings::kCommTxMode), 1);
    EXPECT_EQ(store.Get(settings::kCommPort), QStringLiteral("COM1"));
    EXPECT_EQ(store.Get(settings::kCommBaudRate), 9);
    EXPECT_EQ(store.Get(settings::kPlotRgbFloat), 0xFF8000);
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(SettingsStoreTest, KeyTableHasNoDuplicates)
{
    std::set<std::pair<std::string_view, std::string_view>> seen;
    for (const IntSetting& s : settings::kAllIntSettings) {
        EXPECT_TRUE(seen.emplace(s.section, s.key).second) << s.section << "/" << s.key;
    }
    for (const TextSetting& s : settings::kAllTextSettings) {
        EXPECT_TRUE(seen.emplace(s.section, s.key).second) << s.section << "/" << s.key;
    }
    EXPECT_EQ(seen.size(), 70u);  // with NTRIP's VERSION, TLS, RECONNECT, TILE_URL, LOOK, LANGUAGE
}

TEST_F(SettingsStoreTest, ValuesSurviveANewStore)
{
    const QString text = QStringLiteral("GGA,RMC; \"수신기\" = 1 ");
    {
        CSettingsStore store(Path());
        EXPECT_TRUE(store.Write(settings::kCommBaudRate, 4));
        EXPECT_TRUE(store.Write(settings::kRefPointRefSite, -1));
        EXPECT_TRUE(store.Write(settings::kPlotRgbRtk, 0x00FFFFFF));
        EXPECT_TRUE(store.Write(settings::kCommRelayedNmea, text));
        EXPECT_TRUE(store.Write(settings::kNtripPassword, QString()));
        EXPECT_TRUE(store.WriteInt("EXTRA", "MIN", std::numeric_limits<std::int32_t>::min()));
    }
    const CSettingsStore store(Path());
    EXPECT_EQ(store.Get(settings::kCommBaudRate), 4);
    EXPECT_EQ(store.Get(settings::kRefPointRefSite), -1);
    EXPECT_EQ(store.Get(settings::kPlotRgbRtk), 0x00FFFFFF);
    EXPECT_EQ(store.Get(settings::kCommRelayedNmea), text);
    // An empty text is a value, not a missing one.
    EXPECT_EQ(store.GetText("NTRIP", "PASSWORD", "default"), QString());
    EXPECT_EQ(store.GetInt("EXTRA", "MIN", 0), std::numeric_limits<std::int32_t>::min());
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
}

TEST_F(SettingsStoreTest, SyncProtocolOutsideItsChoicesIsStoredBackAsAuto)
{
    struct Case {
        const char* stored;
        std::int32_t read;
        bool rewritten;
    };
    for (const Case& c :
         {Case{"0", 0, false}, Case{"1", 1, false}, Case{"5", 0, true}, Case{"-2", 0, true}}) {
        const QString folder = QString::fromLatin1(c.stored);
        WriteFile(QByteArray("[REPLAY]\nSYNCPROT=") + c.stored + "\n", folder);
        CSettingsStore store(Path(folder));
        EXPECT_EQ(store.ReadSyncProtocol(), c.read) << c.stored;
        const CSettingsStore reread(Path(folder));
        EXPECT_EQ(reread.GetText("REPLAY", "SYNCPROT", "").toStdString(),
                  c.rewritten ? "0" : c.stored);
    }
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
    EXPECT_TRUE(ReadFile().contains("PASSWORD=secret"));
}

TEST_F(SettingsStoreTest, FailedWriteIsReported)
{
    CSettingsStore store(QStringLiteral("/proc/skarnet2-no-such-folder/Skarnet2.conf"));
    EXPECT_FALSE(store.Write(settings::kCommTxMode, 0));
}

TEST_F(SettingsStoreTest, UserStoreLivesUnderTheConfigFolder)
{
    // The test main points XDG_CONFIG_HOME at a folder of its own.
    const QString expected =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/VELMORA/Skarnet2.conf");
    CSettingsStore store;
    EXPECT_EQ(store.FilePath().toStdString(), expected.toStdString());
    ASSERT_TRUE(store.Write(settings::kViewMapPlot, 1));
    QFile file(expected);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("[VIEW]\nMAP_PLOT=1"));
    EXPECT_EQ(Mode(expected), 0600);
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
