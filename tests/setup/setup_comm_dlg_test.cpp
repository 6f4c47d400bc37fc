#include "setup/setup_comm_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <stdexcept>

#include "settings/settings_store.h"
#include "setup/setup_server_dlg.h"

// Readable failures for lists of texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace {

using Target = CSetupCommDlg::Target;
using Mode = CSetupCommDlg::LinkMode;
using namespace settings;

// A named control of the dialog; a lost control fails the test (by exception), not the run.
template <typename T = QWidget>
T& Child(const QObject& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(QLatin1String(name));
    if (child == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *child;
}

// Every stored setting as "SECTION/KEY=value", sorted.
QStringList StoredIn(const CSettingsStore& store)
{
    const QSettings ini(store.FilePath(), QSettings::IniFormat);
    QStringList all;
    for (const QString& key : ini.allKeys()) all << key + '=' + ini.value(key).toString();
    all.sort();
    return all;
}

class SetupCommDlgTest : public ::testing::Test {
protected:
    std::unique_ptr<CSetupCommDlg> Open(Target target = Target::kReceiverLink)
    {
        auto dialog = std::make_unique<CSetupCommDlg>(store_, target);
        dialog->SetWarningSink([this](const QString& text) { warnings_ << text; });
        return dialog;
    }
    QStringList Stored() const { return StoredIn(store_); }
    // Relay mode with a login, so the host edit shows My ID.
    static void EnterRelayLogin(CSetupCommDlg& dialog, const QString& id)
    {
        dialog.OnNetworkMode();
        dialog.OnRelayToggled(true);
        Child<QLineEdit>(dialog, "loginIdEdit").setText(id);
        dialog.OnLoginIdEntered();
    }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("Skarnet2.conf"))};
    QStringList warnings_;
};

TEST(SetupCommTexts, HardwareAddressesRelayedSentencesAndLogin)
{
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(ParseHardwareAddress(QStringLiteral("02:FC:00:00:00:01")),
              (Bytes{0x02, 0xFC, 0x00, 0x00, 0x00, 0x01}));
    for (const char* bad : {"", "zz:01", "123:01"})
        EXPECT_TRUE(ParseHardwareAddress(QLatin1String(bad)).empty()) << bad;
    EXPECT_TRUE(LocalMyId().contains(QRegularExpression(QStringLiteral("^[0-9a-f]{8}$"))));

    // Box order GGA, GSA, GSV, RMC, GST; text order GGA, RMC, GSA, GSV, GST.
    const struct {
        RelayedSentenceSet checked;
        const char* text;
    } cases[] = {
        {{false, false, false, false, false}, ""},
        {{false, true, false, true, false}, "RMC,GSA"},
        {{true, true, true, true, true}, "GGA,RMC,GSA,GSV,GST"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComposeRelayedNmea(c.checked), QLatin1String(c.text)) << c.text;
        EXPECT_EQ(ParseRelayedNmea(QLatin1String(c.text)), c.checked) << c.text;
    }
    EXPECT_EQ(ParseRelayedNmea(QStringLiteral(" GGA , GST,XYZ")),
              (RelayedSentenceSet{true, false, false, false, true}));

    const RelayLogin login{QStringLiteral("kim"), QStringLiteral("p&w=d %x"),
                           QStringLiteral("새암호")};
    const RelayLogin back = ParseLoginInfo(ComposeLoginInfo(login));
    EXPECT_EQ(QStringList({back.id, back.password, back.newPassword}),
              QStringList({login.id, login.password, login.newPassword}));
    EXPECT_TRUE(ComposeLoginInfo({}).isEmpty());
}

TEST_F(SetupCommDlgTest, PortListAddsTheStoredPortAndKeepsTypedPaths)
{
    store_.Write(kCommPort, QStringLiteral("/dev/pts/3"));
    const auto dialog = Open();
    auto& ports = Child<QComboBox>(*dialog, "portList");
    EXPECT_EQ(ports.currentText(), QStringLiteral("/dev/pts/3"));
    ports.setEditText(QStringLiteral("/dev/pts/7"));
    dialog->OnRefreshPorts();
    EXPECT_EQ(ports.currentText(), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(ports.findText(QStringLiteral("/dev/pts/3")), -1);  // re-read, not stored
}

// Network mode enables the host; in relay mode it names the device to view, or, once a login
// ID is entered (Enter there does not press OK), shows My ID read-only.
TEST_F(SetupCommDlgTest, RelayLoginTurnsTheHostIntoMyId)
{
    const auto dialog = Open();
    auto& host = Child<QLineEdit>(*dialog, "hostEdit");
    auto& login = Child<QLineEdit>(*dialog, "loginIdEdit");
    auto& label = Child<QLabel>(*dialog, "hostLabel");
    EXPECT_FALSE(host.isEnabled());
    dialog->OnNetworkMode();
    EXPECT_TRUE(host.isEnabled() && !login.isEnabled());
    dialog->OnRelayToggled(true);
    EXPECT_EQ(label.text(), QStringLiteral("Device ID:"));
    login.setText(QStringLiteral("kim"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&login, &enter);
    EXPECT_EQ(label.text(), QStringLiteral("My ID:"));
    EXPECT_EQ(host.text(), dialog->MyId());
    EXPECT_FALSE(host.isEnabled());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    login.clear();
    dialog->OnLoginIdEntered();
    EXPECT_EQ(host.text(), QStringLiteral("127.0.0.1"));
    dialog->OnSerialMode();
    EXPECT_FALSE(host.isEnabled() || login.isEnabled());
}

// Ports 1 to 65535 pass; a refusal is said once and writes nothing.
TEST_F(SetupCommDlgTest, NetworkFieldLimits)
{
    const char* noHost = "호스트 아이피를 입력해주세요.";
    const char* noPort = "호스트 포트를 입력해주세요.";
    const struct {
        bool relay;
        const char* loginId;
        const char* host;
        const char* port;
        const char* message;  // empty: accepted
    } cases[] = {
        {false, "", "", "9999", noHost},
        {false, "", "  ", "9999", noHost},
        {false, "", "10.0.0.1", "", noPort},
        {false, "", "10.0.0.1", "0", noPort},
        {false, "", "10.0.0.1", "1", ""},
        {false, "", "10.0.0.1", "65535", ""},
        {false, "", "10.0.0.1", "65536", noPort},
        {false, "", "10.0.0.1", "abc", noPort},
        {true, "", "", "9999", "접속할 Device ID를 입력해주세요."},
        {true, "kim", "", "9999", "My ID를 입력해주세요."},
        {true, "", "DEV1", "0", ""},  // the relay's port comes from its own settings
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + ":" + c.port);
        QFile::remove(store_.FilePath());
        warnings_.clear();
        const auto dialog = Open();
        dialog->OnNetworkMode();
        dialog->OnRelayToggled(c.relay);
        Child<QLineEdit>(*dialog, "hostEdit").setText(QString::fromUtf8(c.host));
        Child<QLineEdit>(*dialog, "portEdit").setText(QString::fromUtf8(c.port));
        Child<QLineEdit>(*dialog, "loginIdEdit").setText(QString::fromUtf8(c.loginId));
        EXPECT_EQ(dialog->ValidationMessage(), QString::fromUtf8(c.message));
        dialog->accept();
        const bool accepted = *c.message == '\0';
        EXPECT_EQ(warnings_, accepted ? QStringList() : QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(dialog->result() == QDialog::Accepted, accepted);
        EXPECT_EQ(Stored().isEmpty(), !accepted);
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
        for (int i = std::max(first, 1); i < 6; ++i)
            Child<QComboBox>(*dialog, lists[i - 1]).setCurrentIndex(-1);
        dialog->accept();
        EXPECT_EQ(warnings_, QStringList{QString::fromUtf8(messages[first])});
        EXPECT_TRUE(Stored().isEmpty());
    }
    // A stored position outside its list leaves the list without a selection; the last
    // position stays.
    const struct {
        int stored;
        const char* message;
    } baud[] = {
        {-1, "보레이트를 선택하지 않았습니다."}, {12, ""}, {13, "보레이트를 선택하지 않았습니다."}};
    for (const auto& b : baud) {
        store_.Write(kCommBaudRate, b.stored);
        EXPECT_EQ(Open()->ValidationMessage(), QString::fromUtf8(b.message)) << b.stored;
    }
}

// OK writes exactly its settings, and the dialog opened again shows them: OK there changes
// nothing.
TEST_F(SetupCommDlgTest, OkWritesItsSettingsAndReopensAsLeft)
{
    using Fill = std::function<void(CSetupCommDlg&)>;
    const auto set = [](CSetupCommDlg& d, const char* name, const char* text) {
        Child<QLineEdit>(d, name).setText(QLatin1String(text));
    };
    const QString myId = LocalMyId();
    const struct {
        const char* name;
        Target target;
        Fill fill;
        QStringList stored;
    } cases[] = {
        // clang-format off
        {"serial", Target::kReceiverLink, [](CSetupCommDlg& d) {
             Child<QComboBox>(d, "portList").setEditText(QStringLiteral("/dev/pts/3"));
             const std::pair<const char*, int> positions[] = {{"baudList", 5}, {"dataBitList", 2}, {"parityList", 0}, {"stopBitList", 2}, {"flowList", 1}};
             for (const auto& [list, index] : positions) Child<QComboBox>(d, list).setCurrentIndex(index);
         },
         // SAMEPORT defaults to 1: the corrections follow the receiver's port.
         {"COMM_SETUP/BAUDRATE=5", "COMM_SETUP/COMPORT=/dev/pts/3", "COMM_SETUP/DATABIT=2", "COMM_SETUP/HWFLOW=1",
          "COMM_SETUP/PARITYBIT=0", "COMM_SETUP/STOPBIT=2", "COMM_SETUP/TXMODE=1", "NTRIP/BAUDRATE=5", "NTRIP/COMPORT=/dev/pts/3"}},
        {"tcp", Target::kReceiverLink, [&](CSetupCommDlg& d) { d.OnNetworkMode(); set(d, "hostEdit", "192.168.0.5"); set(d, "portEdit", "2101"); },
         {"COMM_SETUP/AUTO_LOGIN=0", "COMM_SETUP/HOST_ADDR=192.168.0.5", "COMM_SETUP/HOST_PORT=2101", "COMM_SETUP/LOGIN_ID=",
          "COMM_SETUP/LOGIN_INFO=", "COMM_SETUP/RELAYED_NMEA=", "COMM_SETUP/RELAYSERVER_MODE=0", "COMM_SETUP/SAVE_ID=0",
          "COMM_SETUP/TXMODE=0", "NTRIP/DEST_ADDR=192.168.0.5", "NTRIP/DEST_PORT=2101"}},
        {"relay", Target::kReceiverLink, [&](CSetupCommDlg& d) {
             EnterRelayLogin(d, QStringLiteral("kim"));
             set(d, "passwordEdit", "pw");
             for (const char* box : {"saveIdCheck", "autoLoginCheck", "sentenceGGA", "sentenceGSA"}) Child<QCheckBox>(d, box).setChecked(true);
         },
         {"COMM_SETUP/AUTO_LOGIN=1", "COMM_SETUP/HOST_ADDR=" + myId, "COMM_SETUP/LOGIN_ID=kim",
          "COMM_SETUP/LOGIN_INFO=id=kim&pwd=pw&newpwd=", "COMM_SETUP/RELAYED_NMEA=GGA,GSA",
          "COMM_SETUP/RELAYSERVER_MODE=1", "COMM_SETUP/SAVE_ID=1", "COMM_SETUP/TXMODE=0", "NTRIP/DEST_ADDR=" + myId, "NTRIP/DEST_PORT=9999"}},
        {"ntrip output to the relay", Target::kNtripOutput, [](CSetupCommDlg& d) { d.OnRelayToggled(true); },
         {"NTRIP/DEST_ADDR=relay.example", "NTRIP/DEST_PORT=3600", "NTRIP/TXMODE=0", "SERVER/VRS_IP=relay.example", "SERVER/VRS_PORT=3600"}},
        {"ntrip output to a port", Target::kNtripOutput, [](CSetupCommDlg& d) { d.OnSerialMode(); Child<QComboBox>(d, "baudList").setCurrentIndex(4); },
         {"NTRIP/BAUDRATE=4", "NTRIP/COMPORT=COM1", "NTRIP/DEST_ADDR=10.1.1.1", "NTRIP/TXMODE=1", "SERVER/VRS_IP=relay.example", "SERVER/VRS_PORT=3600"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QTemporaryDir home;
        CSettingsStore store(home.filePath(QStringLiteral("s.conf")));
        if (c.target == Target::kNtripOutput) {
            store.Write(kNtripTxMode, 0);
            store.Write(kNtripDestAddr, QStringLiteral("10.1.1.1"));
            store.Write(kServerVrsIp, QStringLiteral("relay.example"));
            store.Write(kServerVrsPort, 3600);
        }
        CSetupCommDlg dialog(store, c.target);
        c.fill(dialog);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(StoredIn(store), c.stored);
        CSetupCommDlg again(store, c.target);
        again.accept();
        EXPECT_EQ(StoredIn(store), c.stored);
    }
    EXPECT_TRUE(warnings_.isEmpty());
    store_.Write(kNtripSamePort, 0);  // a separate output is kept
    store_.Write(kNtripPort, QStringLiteral("ttyUSB1"));
    Open()->accept();
    EXPECT_EQ(store_.Get(kNtripPort), QStringLiteral("ttyUSB1"));
}

}  // namespace
