#include "setup/setup_comm_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "settings/settings_store.h"
#include "setup/setup_server_dlg.h"

namespace {

using Target = CSetupCommDlg::Target;
using Mode = CSetupCommDlg::LinkMode;

template <typename T>
T& Child(const QObject& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(QLatin1String(name));
    if (child == nullptr) std::abort();  // the dialog's own layout lost a control
    return *child;
}

class SetupCommDlgTest : public ::testing::Test {
protected:
    QString Path() const { return dir_.filePath(QStringLiteral("Skarnet2.conf")); }

    std::unique_ptr<CSetupCommDlg> Open(Target target = Target::kReceiverLink)
    {
        auto dialog = std::make_unique<CSetupCommDlg>(store_, target);
        dialog->SetWarningSink([this](const QString& text) { warnings_ << text; });
        return dialog;
    }

    QStringList StoredKeys() const
    {
        QStringList keys = QSettings(Path(), QSettings::IniFormat).allKeys();
        keys.sort();
        return keys;
    }

    // Relay mode with a login, so the host edit shows My ID.
    static void EnterRelayLogin(CSetupCommDlg& dialog, const QString& id)
    {
        dialog.OnNetworkMode();
        dialog.OnRelayToggled(true);
        Child<QLineEdit>(dialog, "loginIdEdit").setText(id);
        dialog.OnLoginIdEntered();
    }

    QTemporaryDir dir_;
    CSettingsStore store_{Path()};
    QStringList warnings_;
};

TEST(MyIdTest, HardwareAddressesAsTheAdaptersGiveThem)
{
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(ParseHardwareAddress(QStringLiteral("02:FC:00:00:00:01")),
              (Bytes{0x02, 0xFC, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_TRUE(ParseHardwareAddress(QString()).empty());
    EXPECT_TRUE(ParseHardwareAddress(QStringLiteral("zz:01")).empty());
    EXPECT_TRUE(ParseHardwareAddress(QStringLiteral("123:01")).empty());
    EXPECT_TRUE(LocalMyId().contains(QRegularExpression(QStringLiteral("^[0-9a-f]{8}$"))));
}

TEST(RelayedNmeaTest, ComposesInRelayOrderWithoutEmptyItems)
{
    // Box order GGA, GSA, GSV, RMC, GST; text order GGA, RMC, GSA, GSV, GST.
    const struct {
        RelayedSentenceSet checked;
        const char* text;
    } cases[] = {
        {{false, false, false, false, false}, ""},
        {{true, false, false, false, false}, "GGA"},
        {{false, true, false, true, false}, "RMC,GSA"},
        {{false, false, false, false, true}, "GST"},
        {{true, true, true, true, true}, "GGA,RMC,GSA,GSV,GST"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComposeRelayedNmea(c.checked), QLatin1String(c.text)) << c.text;
        EXPECT_EQ(ParseRelayedNmea(QLatin1String(c.text)), c.checked) << c.text;
    }
    EXPECT_EQ(ParseRelayedNmea(QStringLiteral(",RMC,GSA")),
              (RelayedSentenceSet{false, true, false, true, false}));
    EXPECT_EQ(ParseRelayedNmea(QStringLiteral(" GGA , GST,XYZ")),
              (RelayedSentenceSet{true, false, false, false, true}));
}

TEST(LoginInfoTest, RoundTripsAnyCharacters)
{
    const RelayLogin login{QStringLiteral("kim"), QStringLiteral("p&w=d %x"),
                           QStringLiteral("새암호")};
    const RelayLogin back = ParseLoginInfo(ComposeLoginInfo(login));
    EXPECT_EQ(back.id, login.id);
    EXPECT_EQ(back.password, login.password);
    EXPECT_EQ(back.newPassword, login.newPassword);
    EXPECT_TRUE(ComposeLoginInfo({}).isEmpty());
    EXPECT_TRUE(ParseLoginInfo(QString()).id.isEmpty());
}

TEST_F(SetupCommDlgTest, EmptyStoreShowsTheDefaults)
{
    const auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("연결 속성"));
    EXPECT_EQ(dialog->Mode(), Mode::kSerial);
    EXPECT_TRUE(Child<QRadioButton>(*dialog, "serialRadio").isChecked());
    EXPECT_EQ(Child<QComboBox>(*dialog, "portList").currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(Child<QComboBox>(*dialog, "baudList").currentText(), QStringLiteral("115200"));
    EXPECT_EQ(Child<QComboBox>(*dialog, "dataBitList").currentText(), QStringLiteral("8"));
    EXPECT_EQ(Child<QComboBox>(*dialog, "parityList").currentText(), QStringLiteral("없음"));
    EXPECT_EQ(Child<QComboBox>(*dialog, "stopBitList").currentText(), QStringLiteral("1"));
    EXPECT_EQ(Child<QComboBox>(*dialog, "flowList").currentText(), QStringLiteral("없음"));
    EXPECT_EQ(Child<QLineEdit>(*dialog, "hostEdit").text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Child<QLineEdit>(*dialog, "portEdit").text(), QStringLiteral("9999"));
    EXPECT_FALSE(Child<QCheckBox>(*dialog, "relayCheck").isChecked());
    const QFont font = Child<QLabel>(*dialog, "countdownLabel").font();
    EXPECT_EQ(font.pixelSize(), 48);
    EXPECT_EQ(font.family(), QStringLiteral("Arial"));
    EXPECT_TRUE(StoredKeys().isEmpty());
}

TEST_F(SetupCommDlgTest, PortListAddsTheStoredPortAndKeepsTypedPaths)
{
    store_.Write(settings::kCommPort, QStringLiteral("/dev/pts/3"));
    const auto dialog = Open();
    auto& ports = Child<QComboBox>(*dialog, "portList");
    EXPECT_TRUE(ports.isEditable());
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        EXPECT_GE(ports.findText(info.portName()), 0) << info.portName().toStdString();
    }
    EXPECT_EQ(ports.currentText(), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(ports.currentIndex(), ports.findText(QStringLiteral("/dev/pts/3")));

    ports.setEditText(QStringLiteral("/dev/pts/7"));
    dialog->OnRefreshPorts();
    EXPECT_EQ(ports.currentText(), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(ports.findText(QStringLiteral("/dev/pts/3")), -1);  // re-read, not stored
}

TEST_F(SetupCommDlgTest, EachModeEnablesItsControls)
{
    const auto dialog = Open();
    auto& host = Child<QLineEdit>(*dialog, "hostEdit");
    auto& hostLabel = Child<QLabel>(*dialog, "hostLabel");
    auto& login = Child<QLineEdit>(*dialog, "loginIdEdit");
    auto& gga = Child<QCheckBox>(*dialog, "sentenceGGA");
    const auto enabled = [&](const char* name) {
        return Child<QWidget>(*dialog, name).isEnabled();
    };

    EXPECT_TRUE(enabled("portList") && enabled("baudList") && enabled("flowList"));
    EXPECT_FALSE(enabled("hostEdit") || enabled("portEdit") || enabled("relayCheck"));
    EXPECT_FALSE(enabled("loginIdEdit") || enabled("autoLoginCheck"));

    dialog->OnNetworkMode();
    EXPECT_EQ(hostLabel.text(), QStringLiteral("Host IP:"));
    EXPECT_TRUE(enabled("hostEdit") && enabled("portEdit") && enabled("relayCheck"));
    EXPECT_FALSE(enabled("portList") || enabled("refreshPorts") || enabled("stopBitList"));
    EXPECT_FALSE(enabled("loginIdEdit") || enabled("passwordEdit") || gga.isEnabled());

    dialog->OnRelayToggled(true);  // no login ID: the device to view
    EXPECT_EQ(hostLabel.text(), QStringLiteral("Device ID:"));
    EXPECT_TRUE(host.isEnabled() && enabled("loginIdEdit") && enabled("newPasswordEdit"));
    EXPECT_FALSE(enabled("portEdit") || gga.isEnabled());

    login.setText(QStringLiteral("kim"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&login, &enter);
    EXPECT_EQ(hostLabel.text(), QStringLiteral("My ID:"));
    EXPECT_EQ(host.text(), dialog->MyId());
    EXPECT_FALSE(host.isEnabled());
    EXPECT_TRUE(gga.isEnabled() && Child<QCheckBox>(*dialog, "sentenceGST").isEnabled());
    EXPECT_NE(dialog->result(), QDialog::Accepted);  // Enter there does not press OK

    login.clear();
    dialog->OnLoginIdEntered();
    EXPECT_EQ(hostLabel.text(), QStringLiteral("Device ID:"));
    EXPECT_EQ(host.text(), QStringLiteral("127.0.0.1"));

    dialog->OnSerialMode();
    EXPECT_TRUE(enabled("portList"));
    EXPECT_FALSE(enabled("relayCheck") || enabled("hostEdit") || enabled("loginIdEdit"));
}

TEST_F(SetupCommDlgTest, NetworkRefusalsWriteNothing)
{
    const struct {
        bool relay;
        const char* loginId;
        const char* host;
        const char* port;
        const char* message;
    } cases[] = {
        {false, "", "", "9999", "호스트 아이피를 입력해주세요."},
        {false, "", "  ", "9999", "호스트 아이피를 입력해주세요."},
        {false, "", "10.0.0.1", "", "호스트 포트를 입력해주세요."},
        {false, "", "10.0.0.1", "0", "호스트 포트를 입력해주세요."},
        {false, "", "10.0.0.1", "65536", "호스트 포트를 입력해주세요."},
        {false, "", "10.0.0.1", "abc", "호스트 포트를 입력해주세요."},
        {true, "", "", "9999", "접속할 Device ID를 입력해주세요."},
        {true, "kim", "", "9999", "My ID를 입력해주세요."},
    };
    for (const auto& c : cases) {
        warnings_.clear();
        const auto dialog = Open();
        dialog->OnNetworkMode();
        dialog->OnRelayToggled(c.relay);
        Child<QLineEdit>(*dialog, "hostEdit").setText(QString::fromUtf8(c.host));
        Child<QLineEdit>(*dialog, "portEdit").setText(QString::fromUtf8(c.port));
        Child<QLineEdit>(*dialog, "loginIdEdit").setText(QString::fromUtf8(c.loginId));
        EXPECT_EQ(dialog->ValidationMessage(), QString::fromUtf8(c.message));
        dialog->accept();
        EXPECT_EQ(warnings_, QStringList{QString::fromUtf8(c.message)}) << c.host << c.port;
        EXPECT_NE(dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(StoredKeys().isEmpty());
    }
}

TEST_F(SetupCommDlgTest, SerialRefusalsComeInListOrder)
{
    const char* lists[] = {"baudList", "dataBitList", "parityList", "stopBitList", "flowList"};
    const char* messages[] = {
        "포트를 선택하지 않았습니다.",       "보레이트를 선택하지 않았습니다.",
        "데이타비트를 선택하지 않았습니다.", "패리티비트를 선택하지 않았습니다.",
        "스톱비트를 선택하지 않았습니다.",   "흐름제어를 선택하지 않았습니다."};
    for (int first = 0; first < 6; ++first) {
        warnings_.clear();
        const auto dialog = Open();
        // Clear this list and every later one: the first of them must be named.
        if (first == 0) Child<QComboBox>(*dialog, "portList").setEditText(QString());
        for (int i = std::max(first, 1); i < 6; ++i) {
            Child<QComboBox>(*dialog, lists[i - 1]).setCurrentIndex(-1);
        }
        dialog->accept();
        EXPECT_EQ(warnings_, QStringList{QString::fromUtf8(messages[first])});
        EXPECT_TRUE(StoredKeys().isEmpty());
    }
    // A stored position outside its list leaves the list without a selection.
    store_.Write(settings::kCommBaudRate, 20);
    EXPECT_EQ(Open()->ValidationMessage(), QStringLiteral("보레이트를 선택하지 않았습니다."));
}

TEST_F(SetupCommDlgTest, SerialOkWritesListPositionsAndReopens)
{
    {
        const auto dialog = Open();
        Child<QComboBox>(*dialog, "portList").setEditText(QStringLiteral("/dev/pts/3"));
        Child<QComboBox>(*dialog, "baudList").setCurrentIndex(5);  // 9600
        Child<QComboBox>(*dialog, "dataBitList").setCurrentIndex(2);
        Child<QComboBox>(*dialog, "parityList").setCurrentIndex(0);
        Child<QComboBox>(*dialog, "stopBitList").setCurrentIndex(2);
        Child<QComboBox>(*dialog, "flowList").setCurrentIndex(1);
        dialog->accept();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
    }
    EXPECT_TRUE(warnings_.isEmpty());
    // SAMEPORT defaults to 1: the corrections follow the receiver's port.
    EXPECT_EQ(StoredKeys(),
              (QStringList{"COMM_SETUP/BAUDRATE", "COMM_SETUP/COMPORT", "COMM_SETUP/DATABIT",
                           "COMM_SETUP/HWFLOW", "COMM_SETUP/PARITYBIT", "COMM_SETUP/STOPBIT",
                           "COMM_SETUP/TXMODE", "NTRIP/BAUDRATE", "NTRIP/COMPORT"}));
    using namespace settings;
    EXPECT_EQ(store_.Get(kCommPort), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(store_.Get(kCommBaudRate), 5);
    EXPECT_EQ(store_.Get(kCommDataBits), 2);
    EXPECT_EQ(store_.Get(kCommParity), 0);
    EXPECT_EQ(store_.Get(kCommStopBits), 2);
    EXPECT_EQ(store_.Get(kCommFlowControl), 1);
    EXPECT_EQ(store_.Get(kCommTxMode), 1);
    EXPECT_EQ(store_.Get(kNtripPort), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(store_.Get(kNtripBaudRate), 5);

    const auto again = Open();
    EXPECT_EQ(Child<QComboBox>(*again, "portList").currentText(), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(Child<QComboBox>(*again, "baudList").currentText(), QStringLiteral("9600"));
    EXPECT_EQ(Child<QComboBox>(*again, "dataBitList").currentText(), QStringLiteral("7"));
    EXPECT_EQ(Child<QComboBox>(*again, "parityList").currentText(), QStringLiteral("짝수"));
    EXPECT_EQ(Child<QComboBox>(*again, "stopBitList").currentText(), QStringLiteral("2"));
    EXPECT_EQ(Child<QComboBox>(*again, "flowList").currentText(), QStringLiteral("하드웨어"));

    store_.Write(kNtripSamePort, 0);
    store_.Write(kNtripPort, QStringLiteral("ttyUSB1"));
    again->accept();
    EXPECT_EQ(store_.Get(kNtripPort), QStringLiteral("ttyUSB1"));  // separate output kept
}

TEST_F(SetupCommDlgTest, DirectTcpOkWritesHostAndPort)
{
    const auto dialog = Open();
    dialog->OnNetworkMode();
    Child<QLineEdit>(*dialog, "hostEdit").setText(QStringLiteral("192.168.0.5"));
    Child<QLineEdit>(*dialog, "portEdit").setText(QStringLiteral("2101"));
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(
        StoredKeys(),
        (QStringList{"COMM_SETUP/AUTO_LOGIN", "COMM_SETUP/HOST_ADDR", "COMM_SETUP/HOST_PORT",
                     "COMM_SETUP/LOGIN_ID", "COMM_SETUP/LOGIN_INFO", "COMM_SETUP/RELAYED_NMEA",
                     "COMM_SETUP/RELAYSERVER_MODE", "COMM_SETUP/SAVE_ID", "COMM_SETUP/TXMODE",
                     "NTRIP/DEST_ADDR", "NTRIP/DEST_PORT"}));
    using namespace settings;
    EXPECT_EQ(store_.Get(kCommHostAddr), QStringLiteral("192.168.0.5"));
    EXPECT_EQ(store_.Get(kCommHostPort), QStringLiteral("2101"));
    EXPECT_EQ(store_.Get(kCommTxMode), 0);
    EXPECT_EQ(store_.Get(kCommRelayServerMode), 0);
    EXPECT_EQ(store_.Get(kNtripDestAddr), QStringLiteral("192.168.0.5"));
    EXPECT_EQ(store_.Get(kNtripDestPort), QStringLiteral("2101"));

    const auto again = Open();
    EXPECT_EQ(again->Mode(), Mode::kNetwork);
    EXPECT_TRUE(Child<QRadioButton>(*again, "networkRadio").isChecked());
    EXPECT_EQ(Child<QLineEdit>(*again, "hostEdit").text(), QStringLiteral("192.168.0.5"));
}

TEST_F(SetupCommDlgTest, RelayOkWritesLoginAndSentencesAndReopens)
{
    {
        const auto dialog = Open();
        EnterRelayLogin(*dialog, QStringLiteral("kim"));
        Child<QLineEdit>(*dialog, "passwordEdit").setText(QStringLiteral("pw"));
        Child<QCheckBox>(*dialog, "saveIdCheck").setChecked(true);
        Child<QCheckBox>(*dialog, "sentenceGGA").setChecked(true);
        Child<QCheckBox>(*dialog, "sentenceGSA").setChecked(true);
        dialog->accept();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
    }
    using namespace settings;
    EXPECT_FALSE(StoredKeys().contains(QStringLiteral("COMM_SETUP/HOST_PORT")));
    EXPECT_EQ(store_.Get(kCommHostAddr), LocalMyId());
    EXPECT_EQ(store_.Get(kCommRelayServerMode), 1);
    EXPECT_EQ(store_.Get(kCommSaveId), 1);
    EXPECT_EQ(store_.Get(kCommAutoLogin), 0);
    EXPECT_EQ(store_.Get(kCommLoginId), QStringLiteral("kim"));
    EXPECT_EQ(store_.Get(kCommRelayedNmea), QStringLiteral("GGA,GSA"));
    EXPECT_EQ(ParseLoginInfo(store_.Get(kCommLoginInfo)).password, QStringLiteral("pw"));
    EXPECT_EQ(store_.Get(kNtripDestPort), QStringLiteral("9999"));

    const auto again = Open();
    EXPECT_TRUE(again->RelayMode());
    EXPECT_EQ(Child<QLineEdit>(*again, "loginIdEdit").text(), QStringLiteral("kim"));
    EXPECT_EQ(Child<QLabel>(*again, "hostLabel").text(), QStringLiteral("My ID:"));
    EXPECT_TRUE(Child<QCheckBox>(*again, "sentenceGSA").isChecked());
    EXPECT_FALSE(Child<QCheckBox>(*again, "sentenceRMC").isChecked());
    EXPECT_TRUE(Child<QLineEdit>(*again, "passwordEdit").text().isEmpty());  // no auto login
}

TEST_F(SetupCommDlgTest, NtripOutputWritesItsOwnSection)
{
    using namespace settings;
    store_.Write(kNtripTxMode, 0);
    store_.Write(kNtripDestAddr, QStringLiteral("10.1.1.1"));
    store_.Write(kServerVrsIp, QStringLiteral("relay.example"));
    store_.Write(kServerVrsPort, 3600);
    const QStringList before = StoredKeys();
    const auto dialog = Open(Target::kNtripOutput);
    EXPECT_EQ(dialog->Mode(), Mode::kNetwork);
    EXPECT_EQ(Child<QLineEdit>(*dialog, "hostEdit").text(), QStringLiteral("10.1.1.1"));

    dialog->OnRelayToggled(true);
    dialog->accept();
    EXPECT_EQ(store_.Get(kNtripDestAddr), QStringLiteral("relay.example"));
    EXPECT_EQ(store_.Get(kNtripDestPort), QStringLiteral("3600"));
    QStringList expected = before + QStringList{"NTRIP/DEST_PORT"};
    expected.sort();
    EXPECT_EQ(StoredKeys(), expected);

    const auto serial = Open(Target::kNtripOutput);
    serial->OnSerialMode();
    Child<QComboBox>(*serial, "baudList").setCurrentIndex(4);
    serial->accept();
    EXPECT_EQ(store_.Get(kNtripTxMode), 1);
    EXPECT_EQ(store_.Get(kNtripPort), QStringLiteral("COM1"));
    EXPECT_EQ(store_.Get(kNtripBaudRate), 4);
    EXPECT_FALSE(StoredKeys().contains(QStringLiteral("COMM_SETUP/TXMODE")));
}

TEST_F(SetupCommDlgTest, AutoLoginCountsDownAndPressesOk)
{
    const auto dialog = Open();
    int requests = 0;
    QObject::connect(dialog.get(), &CSetupCommDlg::LoginRequested, [&] { ++requests; });
    EnterRelayLogin(*dialog, QStringLiteral("kim"));
    auto& label = Child<QLabel>(*dialog, "countdownLabel");

    dialog->OnAutoLoginToggled(true);
    EXPECT_TRUE(dialog->CountdownRunning());
    EXPECT_EQ(label.text(), QStringLiteral("2"));
    dialog->OnCountdownTick();
    EXPECT_EQ(label.text(), QStringLiteral("1"));
    EXPECT_TRUE(dialog->CountdownRunning());
    dialog->OnCountdownTick();
    EXPECT_EQ(label.text(), QStringLiteral("0"));
    EXPECT_FALSE(dialog->CountdownRunning());
    EXPECT_TRUE(dialog->AutoOkPending());
    EXPECT_TRUE(StoredKeys().isEmpty());

    dialog->OnAutoOkDelayElapsed();
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(store_.Get(settings::kCommAutoLogin), 1);
    EXPECT_TRUE(label.text().isEmpty());
}

TEST_F(SetupCommDlgTest, UncheckingAutoLoginStopsAndForgetsTheLogin)
{
    store_.Write(settings::kCommLoginInfo, QStringLiteral("id=kim&pwd=x&newpwd="));
    const auto dialog = Open();
    EnterRelayLogin(*dialog, QStringLiteral("kim"));
    dialog->OnAutoLoginToggled(true);
    dialog->OnCountdownTick();
    dialog->OnAutoLoginToggled(false);
    EXPECT_FALSE(dialog->CountdownRunning() || dialog->AutoOkPending());
    EXPECT_TRUE(Child<QLabel>(*dialog, "countdownLabel").text().isEmpty());
    EXPECT_TRUE(store_.Get(settings::kCommLoginInfo).isEmpty());

    // A refused automatic OK neither closes the dialog nor asks for a login.
    int requests = 0;
    QObject::connect(dialog.get(), &CSetupCommDlg::LoginRequested, [&] { ++requests; });
    Child<QLineEdit>(*dialog, "loginIdEdit").clear();
    dialog->OnLoginIdEntered();
    Child<QLineEdit>(*dialog, "hostEdit").clear();
    dialog->OnAutoOkDelayElapsed();
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(warnings_, QStringList{QStringLiteral("접속할 Device ID를 입력해주세요.")});
}

TEST_F(SetupCommDlgTest, SavedAutoLoginStartsOnlyWhenShown)
{
    using namespace settings;
    store_.Write(kCommTxMode, 0);
    store_.Write(kCommRelayServerMode, 1);
    store_.Write(kCommSaveId, 1);
    store_.Write(kCommAutoLogin, 1);
    store_.Write(kCommLoginId, QStringLiteral("kim"));
    const QString login = ComposeLoginInfo({QStringLiteral("kim"), QStringLiteral("secret"), {}});
    store_.Write(kCommLoginInfo, login);

    const auto dialog = Open();
    EXPECT_FALSE(dialog->CountdownRunning());
    EXPECT_EQ(store_.Get(kCommLoginInfo), login);  // opening does not forget it
    EXPECT_EQ(Child<QLineEdit>(*dialog, "passwordEdit").text(), QStringLiteral("secret"));
    dialog->show();
    EXPECT_TRUE(dialog->CountdownRunning());
    EXPECT_EQ(dialog->Countdown(), 2);
    dialog->reject();
    EXPECT_FALSE(dialog->CountdownRunning());

    // Leaving relay mode stops a running countdown.
    const auto other = Open();
    other->show();
    other->OnSerialMode();
    EXPECT_FALSE(other->CountdownRunning());
    other->reject();
}

}  // namespace

// The relay server page shows section "SERVER" and stores it only with an address.
TEST_F(SetupCommDlgTest, ServerPageShowsAndStoresTheRelayServer)
{
    store_.Write(settings::kServerVrsIp, QStringLiteral("relay.example"));
    store_.Write(settings::kServerVrsPort, 3600);
    CSetupServerDlg page(store_);
    EXPECT_EQ(page.Address().toStdString(), "relay.example");
    EXPECT_EQ(page.Port(), 3600);
    EXPECT_EQ(Child<QGroupBox>(page, "serverGroup").title().toStdString(), "Velmora RelayServer");
    page.SetAddress(QStringLiteral("  "));
    page.SetPort(3700);
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(store_.Get(settings::kServerVrsPort), 3600);
    page.SetAddress(QStringLiteral(" 10.0.0.7 "));
    page.SetPort(70000);  // beyond the range: the largest port
    EXPECT_TRUE(page.Apply());
    EXPECT_EQ(store_.Get(settings::kServerVrsIp).toStdString(), "10.0.0.7");
    EXPECT_EQ(store_.Get(settings::kServerVrsPort), 65535);
}
