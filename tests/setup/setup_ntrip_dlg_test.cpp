#include "setup/setup_ntrip_dlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "net/source_table.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"

namespace {

using namespace settings;
const QString kCaster1 = QStringLiteral("rts1.ngii.go.kr");
const QString kCaster2 = QStringLiteral("rts2.ngii.go.kr");

class SetupNTripDlgTest : public ::testing::Test {
protected:
    std::unique_ptr<CSetupNTripDlg> Open()
    {
        auto page = std::make_unique<CSetupNTripDlg>(store_);
        page->SetWarningSink([this](const QString& text, const QString& caption) {
            warnings_ << caption + QLatin1Char('|') + text;
        });
        page->SetForwardPortPrompt([this] { return prompt_ && prompt_(); });
        return page;
    }
    void StoreLogin(int enable, const QString& host, int port)
    {
        store_.Write(kNtripEnable, enable);
        store_.Write(kNtripHostAddr, host);
        store_.Write(kNtripHostPort, port);
        store_.Write(kNtripMountPoint, QStringLiteral("SKN01"));
        store_.Write(kNtripIdentity, QStringLiteral("kim"));
        store_.Write(kNtripPassword, QStringLiteral("pw"));
    }
    // An enabled page pointed at a caster on this computer.
    std::unique_ptr<CSetupNTripDlg> OpenFor(quint16 port)
    {
        StoreLogin(1, QStringLiteral("127.0.0.1"), port);
        store_.Write(kNtripMountPoint, QStringLiteral("FKP_V31"));
        return Open();
    }
    static bool Controls(const CSetupNTripDlg& page, bool enabled)
    {
        for (const char* name : {"mountList", "identityEdit", "passwordEdit", "getMountButton"}) {
            const QWidget* control = page.findChild<QWidget*>(QLatin1String(name));
            if (control == nullptr || control->isEnabled() != enabled) return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
    QStringList warnings_;
    std::function<bool()> prompt_;
};

// Disabled, the page reads no login; enabling lists the two national casters first, which
// use port 2101. The port spin box holds 1 to 65535.
TEST_F(SetupNTripDlgTest, OpeningAndEnablingShowTheStoredPage)
{
    StoreLogin(1, kCaster2, 2201);
    auto page = Open();
    EXPECT_TRUE(page->EnabledChecked() && page->SamePortChecked() && Controls(*page, true));
    EXPECT_EQ(page->HostItems(), (QStringList{kCaster1, kCaster2}));
    EXPECT_EQ(QStringList({page->HostText(), page->Identity(), page->MountPoint()}),
              QStringList({kCaster2, "kim", "SKN01"}));
    EXPECT_EQ(page->Port(), 2101);
    StoreLogin(0, QStringLiteral("10.0.0.9"), 2201);
    page = Open();
    EXPECT_TRUE(!page->EnabledChecked() && Controls(*page, false));
    EXPECT_EQ(page->HostItems(), QStringList{"10.0.0.9"});
    EXPECT_EQ(page->Identity() + page->MountPoint(), QString());
    EXPECT_EQ(page->Port(), 2201);
    page->SetEnabledChecked(true);
    EXPECT_EQ(page->HostItems(), (QStringList{kCaster1, kCaster2, "10.0.0.9"}));
    EXPECT_EQ(page->Identity(), QStringLiteral("kim"));
    EXPECT_TRUE(Controls(*page, true));
    QSpinBox* port = page->findChild<QSpinBox*>("portEdit");
    ASSERT_NE(port, nullptr);
    for (const auto& [set, shown] : {std::pair{0, 1}, {1, 1}, {65535, 65535}, {65536, 65535}}) {
        port->setValue(set);
        EXPECT_EQ(page->Port(), shown) << set;
    }
    const std::pair<const char*, int> choices[] = {{"rts1.ngii.go.kr", 2101},
                                                   {"rts2.ngii.go.kr", 2101},
                                                   {"RTS-lab.example", 2101},
                                                   {"caster.example", 5000}};
    for (const auto& [host, shown] : choices) {
        port->setValue(5000);
        page->ChooseHost(QLatin1String(host));
        EXPECT_EQ(page->HostText(), QLatin1String(host));
        EXPECT_EQ(page->Port(), shown) << host;
    }
    page->SetEnabledChecked(false);
    EXPECT_EQ(page->HostItems(), QStringList{"caster.example"});
    EXPECT_TRUE(Controls(*page, false));
}

TEST_F(SetupNTripDlgTest, ApplyWritesTheNtripKeysOnly)
{
    StoreLogin(0, QStringLiteral("10.0.0.9"), 5000);
    Open()->Apply();  // a disabled page keeps the unread login
    EXPECT_EQ(store_.Get(kNtripPassword), QStringLiteral("pw"));
    const auto page = Open();
    page->SetEnabledChecked(true);
    page->ChooseHost(kCaster2);
    auto* identity = page->findChild<QLineEdit*>("identityEdit");
    auto* password = page->findChild<QLineEdit*>("passwordEdit");
    ASSERT_TRUE(identity && password);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    identity->setText(QStringLiteral("lee"));
    password->setText(QStringLiteral("p w;x"));
    page->accept();
    EXPECT_EQ(page->result(), QDialog::Accepted);
    const QSettings ini(store_.FilePath(), QSettings::IniFormat);
    QStringList stored;
    for (const QString& key : ini.allKeys()) stored << key + '=' + ini.value(key).toString();
    stored.sort();
    EXPECT_EQ(stored,
              (QStringList{"NTRIP/ENABLE=1", "NTRIP/HOST_ADDR=rts2.ngii.go.kr",
                           "NTRIP/HOST_PORT=2101", "NTRIP/IDENTITY=lee", "NTRIP/MOUNT_POINT=SKN01",
                           "NTRIP/PASSWORD=p w;x", "NTRIP/SAMEPORT=1"}));
}

TEST_F(SetupNTripDlgTest, ForwardTargetFollowsTheLinkSettings)
{
    const struct {
        bool samePort;
        std::function<void(CSettingsStore&)> setup;
        const char* text;
    } cases[] = {
        // clang-format off
        {true, [](CSettingsStore&) {}, "COM1, 115200"},
        {true, [](CSettingsStore& s) { s.Write(kCommBaudRate, 5); }, "COM1, 9600"},
        {true, [](CSettingsStore& s) { s.Write(kCommTxMode, 0); }, "127.0.0.1:9999"},
        {true, [](CSettingsStore& s) { s.Write(kCommRelayServerMode, 1); s.Write(kServerVrsPort, 3600); }, "127.0.0.1:3600"},
        {false, [](CSettingsStore& s) { s.Write(kNtripPort, QStringLiteral("ttyUSB1")); }, "ttyUSB1, 115200"},
        {false, [](CSettingsStore& s) { s.Write(kNtripBaudRate, 99); }, "ttyUSB1, 115200"},
        {false, [](CSettingsStore& s) { s.Write(kNtripTxMode, 0); }, "127.0.0.1:9999"},
        // clang-format on
    };
    for (const auto& c : cases) {
        c.setup(store_);
        EXPECT_EQ(NtripForwardTargetText(store_, c.samePort), QLatin1String(c.text));
        store_.Write(kNtripSamePort, c.samePort ? 1 : 0);
        EXPECT_EQ(Open()->ForwardTarget(), QLatin1String(c.text));
    }
}

TEST_F(SetupNTripDlgTest, UnreachableCasterGivesTheMessage)
{
    const auto page = OpenFor(FreePort());
    page->RequestMountPoints();
    EXPECT_FALSE(page->GetMountPointEnabled());
    EXPECT_TRUE(WaitFor([&] { return !warnings_.isEmpty(); }));
    EXPECT_EQ(warnings_, QStringList{"NTRIP 연결|NTRIP 서버에 접속할 수 없습니다.\r\n"
                                     "서버 주소 및 포트를 확인하세요!!!"});
    EXPECT_TRUE(page->GetMountPointEnabled());
    EXPECT_EQ(page->MountPoints(), QStringList{"FKP_V31"});
}

// RTKLIB's str2str as a real caster answers "GET /" with its table.
TEST_F(SetupNTripDlgTest, GetMountpointFromStr2str)
{
    if (QStandardPaths::findExecutable(QStringLiteral("str2str")).isEmpty())
        GTEST_SKIP() << "str2str (package rtklib) is not installed";
    const quint16 port = FreePort();
    QProcess str2str;
    str2str.start(QStringLiteral("str2str"),
                  {"-out", QStringLiteral("ntripc://user:pass@:%1/MOUNTX").arg(port)});
    ASSERT_TRUE(str2str.waitForStarted());
    ASSERT_TRUE(WaitFor([port] {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        return probe.waitForConnected(100);
    }));
    const auto page = OpenFor(port);
    page->RequestMountPoints();
    EXPECT_TRUE(WaitFor([&] { return page->GetMountPointEnabled(); }));
    EXPECT_EQ(page->MountPoints(), QStringList{"MOUNTX"});
    EXPECT_EQ(page->MountPoint(), QStringLiteral("MOUNTX"));
    EXPECT_TRUE(warnings_.isEmpty());
    str2str.kill();
    str2str.waitForFinished();
}

}  // namespace
