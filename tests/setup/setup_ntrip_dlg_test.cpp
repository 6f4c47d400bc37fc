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
    const struct {
        int enable;
        const char* host;
        QStringList hosts;
        int shownPort;
    } cases[] = {
        {1, "rts2.ngii.go.kr", {kCaster1, kCaster2}, 2101},
        {1, "10.0.0.9", {kCaster1, kCaster2, "10.0.0.9"}, 2201},
        {0, "10.0.0.9", {"10.0.0.9"}, 2201},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        StoreLogin(c.enable, QLatin1String(c.host), 2201);
        const auto page = Open();
        EXPECT_EQ(page->EnabledChecked(), c.enable == 1);
        EXPECT_EQ(page->HostItems(), c.hosts);
        EXPECT_EQ(page->HostText(), QLatin1String(c.host));
        EXPECT_EQ(page->Port(), c.shownPort);
        EXPECT_EQ(page->Identity(), c.enable ? QStringLiteral("kim") : QString());
        EXPECT_EQ(page->MountPoint(), c.enable ? QStringLiteral("SKN01") : QString());
        EXPECT_TRUE(Controls(*page, c.enable == 1));
        EXPECT_TRUE(page->SamePortChecked());
    }
    const auto page = Open();  // the last case: disabled
    const auto* password = page->findChild<QLineEdit*>("passwordEdit");
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
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
    EXPECT_EQ(store_.Get(kNtripMountPoint), QStringLiteral("SKN01"));

    const auto page = Open();
    page->SetEnabledChecked(true);
    page->ChooseHost(kCaster2);
    auto* identity = page->findChild<QLineEdit*>("identityEdit");
    auto* password = page->findChild<QLineEdit*>("passwordEdit");
    ASSERT_TRUE(identity && password);
    identity->setText(QStringLiteral("lee"));
    password->setText(QStringLiteral("p w;x"));
    page->accept();
    EXPECT_EQ(page->result(), QDialog::Accepted);
    QStringList keys = QSettings(store_.FilePath(), QSettings::IniFormat).allKeys();
    keys.sort();
    EXPECT_EQ(keys,
              (QStringList{"NTRIP/ENABLE", "NTRIP/HOST_ADDR", "NTRIP/HOST_PORT", "NTRIP/IDENTITY",
                           "NTRIP/MOUNT_POINT", "NTRIP/PASSWORD", "NTRIP/SAMEPORT"}));
    EXPECT_EQ(QList<int>({store_.Get(kNtripEnable), store_.Get(kNtripHostPort),
                          store_.Get(kNtripSamePort)}),
              QList<int>({1, 2101, 1}));
    EXPECT_EQ(QStringList({store_.Get(kNtripHostAddr), store_.Get(kNtripIdentity),
                           store_.Get(kNtripPassword)}),
              QStringList({kCaster2, "lee", "p w;x"}));
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

TEST_F(SetupNTripDlgTest, UncheckingSamePortAsksForTheForwardingPort)
{
    store_.Write(kCommPort, QStringLiteral("ttyUSB0"));
    const auto page = Open();
    int asked = 0;
    prompt_ = [&] { return ++asked > 1; };  // cancel first, then a chosen port
    page->SetSamePortChecked(false);
    EXPECT_TRUE(page->SamePortChecked());
    EXPECT_EQ(page->ForwardTarget(), QStringLiteral("ttyUSB0, 115200"));
    store_.Write(kNtripPort, QStringLiteral("ttyUSB3"));
    page->SetSamePortChecked(false);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(page->SamePortChecked());
    EXPECT_EQ(page->ForwardTarget(), QStringLiteral("ttyUSB3, 115200"));
    page->SetSamePortChecked(true);
    EXPECT_EQ(page->ForwardTarget(), QStringLiteral("ttyUSB0, 115200"));
}

// A scripted caster: the page's request, then the reply in pieces.
TEST_F(SetupNTripDlgTest, GetMountpointListsTheStreamsOfTheReply)
{
    const QByteArray table =
        "CAS;caster.example;2101;EX;Example;0;KOR;37.5;127.0;0.0.0.0;0;http://x\r\n"
        "NET;NGII;NGII;B;N;http://x;http://x;none;\r\n"
        "STR;VRS_V32;Seoul;RTCM 3.2;1004(1);2;GPS;NGII;KOR;37.5;127.0;1;1;x;none;B;N;9600;\r\n"
        "STR;FKP_V31;Seoul;RTCM 3.1;1004(1);2;GPS;NGII;KOR;37.5;127.0;0;1;x;none;B;N;9600;\r\n"
        "ENDSOURCETABLE\r\n";
    const QByteArray ntrip1 = "SOURCETABLE 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                              QByteArray::number(table.size()) + "\r\n\r\n" + table;
    const qsizetype marker = ntrip1.indexOf("ENDSOURCETABLE") + 6;
    const QByteArray body =
        "STR;SKN01;A;RTCM 3.2;;2;GPS;;KOR;0;0;1;0;x;none;B;N;0;\n"
        "STR;SKN02;B;RTCM 3.2;;2;GPS;;KOR;0;0;1;0;x;none;B;N;0;\n";
    const QByteArray ntrip2 =
        "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/sourcetable\r\n"
        "Transfer-Encoding: chunked\r\n\r\n" +
        QByteArray::number(40, 16) + "\r\n" + body.left(40) + "\r\n" +
        QByteArray::number(body.size() - 40, 16) + "\r\n" + body.mid(40) + "\r\n0\r\n\r\n";
    const struct {
        const char* name;
        QList<QByteArray> pieces;
        bool casterCloses;
        QStringList mounts;
        const char* selected;
    } cases[] = {
        // clang-format off
        // Split inside a record and inside the end marker; the page closes on the marker.
        {"ntrip1", {ntrip1.left(140), ntrip1.mid(140, marker - 140), ntrip1.mid(marker)}, false, {"VRS_V32", "FKP_V31"}, "FKP_V31"},
        {"ntrip2", {ntrip2.left(100), ntrip2.mid(100)}, true, {"SKN01", "SKN02"}, "SKN01"},
        {"refusal", {"HTTP/1.1 401 Unauthorized\r\n\r\n"}, true, {"FKP_V31"}, "FKP_V31"},
        {"endless", {QByteArray(CSetupNTripDlg::kMaxSourceTableBytes + 4096, 'x')}, false, {"FKP_V31"}, "FKP_V31"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTcpServer caster;
        ASSERT_TRUE(caster.listen(QHostAddress::LocalHost));
        const auto page = OpenFor(caster.serverPort());
        page->RequestMountPoints();
        EXPECT_FALSE(page->GetMountPointEnabled());
        ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }));
        QTcpSocket* peer = caster.nextPendingConnection();
        QByteArray request;
        WaitFor([&] { return (request += peer->readAll()).endsWith("\r\n\r\n"); });
        EXPECT_EQ(request.toStdString(), kSourceTableRequest);
        for (const QByteArray& piece : c.pieces) {
            peer->write(piece);
            WaitFor([&] { return peer->bytesToWrite() == 0 || !peer->isValid(); });
            WaitFor([] { return false; }, 30);
        }
        if (c.casterCloses) peer->disconnectFromHost();
        EXPECT_TRUE(WaitFor([&] { return page->GetMountPointEnabled(); }));
        EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
        EXPECT_EQ(page->MountPoints(), c.mounts);
        EXPECT_EQ(page->MountPoint(), QLatin1String(c.selected));
    }
    EXPECT_TRUE(warnings_.isEmpty());
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
