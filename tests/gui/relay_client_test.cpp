#include "app/relay_client.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <sstream>
#include <thread>

#include "app/command_ids.h"
#include "app/link_controller.h"
#include "app/main_frame.h"
#include "app/ntrip_client.h"
#include "app/record_controller.h"
#include "net/relay_protocol.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"
#include "support/test_data.h"
#include "tool/serve_command.h"
#include "views/nmea_data_wnd.h"

namespace {

constexpr auto kPeriod = std::chrono::milliseconds(150);

// "[body XX]" with the body's checksum.
QByteArray DeviceFrame(const QByteArray& body)
{
    char sum = 0;
    for (const char c : body) sum ^= c;
    return "[" + body +
           QByteArray::number(static_cast<uchar>(sum), 16).toUpper().rightJustified(2, '0') + "]";
}

class RelayClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("SKARNET2_NO_MESSAGE_BOXES", "1");
        ASSERT_TRUE(relay_.listen(QHostAddress::LocalHost));
        ASSERT_TRUE(channel_.listen(QHostAddress::LocalHost));
        store_.Write(settings::kCommTxMode, 0);
        store_.Write(settings::kCommRelayServerMode, 1);
        store_.Write(settings::kServerVrsIp, QStringLiteral("127.0.0.1"));
        store_.Write(settings::kServerVrsPort, relay_.serverPort());
        store_.Write(settings::kCommHostAddr, QString());
    }

    std::unique_ptr<CMainFrame> Frame()
    {
        auto frame = std::make_unique<CMainFrame>(store_);
        frame->Relay().SetAlivePeriod(kPeriod);
        frame->Relay().SetDeviceChannelPort(channel_.serverPort());
        QObject::connect(frame.get(), &CMainFrame::messageShown,
                         [this](const QString& text) { messages_ << text; });
        return frame;
    }

    // Connects the frame and takes the introduction it sends; nullptr when none came.
    QTcpSocket* Accept(CMainFrame& frame, const QByteArray& introduction)
    {
        if (!frame.Links().ConnectFromSettings()) return nullptr;
        if (!WaitFor([&] { return relay_.hasPendingConnections(); })) return nullptr;
        QTcpSocket* viewer = relay_.nextPendingConnection();
        QByteArray got;
        WaitFor([&] {
            got += viewer->readAll();
            return got.size() >= introduction.size();
        });
        EXPECT_EQ(got.toStdString(), introduction.toStdString());
        return viewer;
    }

    static QByteArray Introduction(CMainFrame& frame, const char* tail = "")
    {
        return "CONNECT_TO VIEWER:" + frame.Relay().ViewerId().toLatin1() + tail;
    }

    static QString Outcome(const CMainFrame& frame)
    {
        for (const QString& line : frame.ReportLines())
            if (line.startsWith(QLatin1String("relay: "))) return line.mid(7);
        return QString();
    }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
    QTcpServer relay_;
    QTcpServer channel_;
    QStringList messages_;
};

// What the viewer says of itself, and what the profile keeps afterwards.
TEST_F(RelayClientTest, IntroductionAndProfileForEachLogin)
{
    const struct {
        const char* login;
        const char* device;
        const char* relayed;
        int saveId;
        int autoLogin;
        const char* tail;
        const char* relayedAfter;
        const char* loginAfter;
        const char* passwordAfter;
    } cases[] = {
        {"", "", "GSV", 0, 0, "", "GGA", "", ""},
        {"", "DEV9", "", 1, 1, " DEVICE:DEV9", "GGA", "", ""},
        {"kim", "", "GGA,RMC", 1, 1, " LOGIN:kim OUTMSG:GGA,RMC", "GGA,RMC", "kim", "pw"},
        {"kim", "DEV9", "GGA", 0, 0, " LOGIN:kim DEVICE:DEV9 OUTMSG:GGA", "GGA", "", ""},
        {"lee", "", "", 1, 0, " LOGIN:lee OUTMSG:", "", "lee", ""},
    };
    for (const auto& c : cases) {
        store_.Write(settings::kCommLoginId, QString::fromLatin1(c.login));
        store_.Write(settings::kCommLoginInfo, QStringLiteral("pw"));
        store_.Write(settings::kCommHostAddr, QString::fromLatin1(c.device));
        store_.Write(settings::kCommRelayedNmea, QString::fromLatin1(c.relayed));
        store_.Write(settings::kCommSaveId, c.saveId);
        store_.Write(settings::kCommAutoLogin, c.autoLogin);
        auto frame = Frame();
        QTcpSocket* viewer = Accept(*frame, Introduction(*frame, c.tail));
        ASSERT_NE(viewer, nullptr) << c.tail;
        EXPECT_EQ(Outcome(*frame).toStdString(), "handshake");
        EXPECT_EQ(store_.Get(settings::kCommRelayedNmea).toStdString(), c.relayedAfter) << c.tail;
        EXPECT_EQ(store_.Get(settings::kCommLoginId).toStdString(), c.loginAfter) << c.tail;
        EXPECT_EQ(store_.Get(settings::kCommLoginInfo).toStdString(), c.passwordAfter) << c.tail;
        frame->Links().OnClosePort();
    }
}

// One device is chosen and asked for at once; with two the first is shown and nothing is
// asked until the operator picks one. The channel's VS002 frames add devices.
TEST_F(RelayClientTest, LoginRepliesFillTheDeviceCombo)
{
    for (const bool single : {true, false}) {
        auto frame = Frame();
        EXPECT_TRUE(frame->Relay().DeviceCombo()->isEnabled());
        QTcpSocket* viewer = Accept(*frame, Introduction(*frame));
        ASSERT_NE(viewer, nullptr);
        viewer->write(single ? "LOGINED kim DEV1;\r\n" : "LOGINED kim DEV1;DEV2\r\n");
        QComboBox* combo = frame->Relay().DeviceCombo();
        ASSERT_TRUE(WaitFor([&] { return combo->count() > 1; }));
        EXPECT_EQ(combo->currentIndex(), 1);
        EXPECT_EQ(combo->itemText(0), QString());
        const QByteArray dev1 = QByteArray::fromStdString(
            relay::DeviceRequest(frame->Relay().ViewerId().toStdString(), "DEV1"));
        const QByteArray dev2 = QByteArray::fromStdString(
            relay::DeviceRequest(frame->Relay().ViewerId().toStdString(), "DEV2"));
        if (!single) {
            WaitFor([] { return false; }, 100);
            EXPECT_FALSE(channel_.hasPendingConnections());
            frame->Relay().SelectDevice(0);  // the empty item asks for nothing
            WaitFor([] { return false; }, 100);
            EXPECT_FALSE(channel_.hasPendingConnections());
            frame->Relay().SelectDevice(2);
        }
        ASSERT_TRUE(WaitFor([&] { return channel_.hasPendingConnections(); }));
        QTcpSocket* device = channel_.nextPendingConnection();
        QByteArray request;
        WaitFor([&] {
            request += device->readAll();
            return request.endsWith(']');
        });
        EXPECT_EQ(request, single ? dev1 : dev2);
        // A VS002 frame names a device the combo lacks; a bad checksum names nothing.
        device->write(DeviceFrame("x|VS002|s|OK|DEV7,1|") + "[x|VS002|s|OK|DEV8,1|00]");
        EXPECT_TRUE(WaitFor([&] { return frame->Relay().Devices().contains("DEV7"); }))
            << frame->Relay().Devices().join(';').toStdString();
        EXPECT_FALSE(frame->Relay().Devices().contains("DEV8"));
        frame->Links().OnClosePort();
        EXPECT_EQ(Outcome(*frame).toStdString(), "streaming");
    }
}

// The receiver's bytes behind the reply in the same block are its first data: the relay link
// shows and records exactly what a plain TCP link does.
TEST_F(RelayClientTest, RelayedStreamIsShownAndRecordedAsOverTcp)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "nmea" /
                                           "gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    const QByteArray capture(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qsizetype>(bytes.size()));
    std::vector<std::tuple<qint64, double, double>> shown[2];
    for (const bool relay : {false, true}) {
        QTcpServer tcp;
        ASSERT_TRUE(tcp.listen(QHostAddress::LocalHost));
        store_.Write(settings::kCommRelayServerMode, relay ? 1 : 0);
        store_.Write(settings::kCommHostAddr, QStringLiteral("127.0.0.1"));
        store_.Write(settings::kCommHostPort, QString::number(tcp.serverPort()));
        auto frame = Frame();
        QObject::connect(
            frame.get(), &CMainFrame::epochShown,
            [&](qint64 t, double lat, double lon) { shown[relay].emplace_back(t, lat, lon); });
        const QString log = dir_.filePath(relay ? "relay.log" : "tcp.log");
        ASSERT_TRUE(frame->Recording().Start(log));
        QTcpSocket* peer = nullptr;
        if (relay) {
            peer = Accept(*frame, Introduction(*frame, " DEVICE:127.0.0.1"));
            ASSERT_NE(peer, nullptr);
            peer->write("CONNECTED\r\n" + capture);
        } else {
            ASSERT_TRUE(frame->Links().ConnectFromSettings());
            ASSERT_TRUE(WaitFor([&] { return tcp.hasPendingConnections(); }));
            peer = tcp.nextPendingConnection();
            peer->write(capture);
        }
        const std::string lastTime = capture.mid(capture.lastIndexOf("GGA,") + 4, 6).toStdString();
        ASSERT_TRUE(WaitFor(
            [&] { return frame->StatusPanel()->State().timeText.rfind(lastTime, 0) == 0; }));
        WaitFor([] { return false; }, 2 * CMainFrame::kIdleFlushMs);  // the last epoch
        frame->Recording().Stop();
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), capture) << (relay ? "relay" : "tcp");
        frame->Links().OnClosePort();
    }
    EXPECT_GT(shown[0].size(), 50u);
    EXPECT_EQ(shown[1], shown[0]);
}

// Keep-alive on time, a silent server given up, refusals said and closed, a vanished server
// noticed.
TEST_F(RelayClientTest, KeepAliveTimeoutAndRefusals)
{
    const struct {
        const char* reply;  // nullptr: the server stays silent
        bool vanish;
        const char* outcome;
        const char* message;
    } cases[] = {
        {nullptr, false, "timeout", ""},
        {"FAILED_BELONG_TO_OTHER\r\n", false, "refused",
         "다른 사용자 소유의 단말에 접속할 수 없습니다!!"},
        {"WHO ARE YOU\r\n", false, "refused", ""},
        {"ALIVE\r\n", false, "streaming", ""},
        {nullptr, true, "handshake", ""},
    };
    for (const auto& c : cases) {
        messages_.clear();
        auto frame = Frame();
        QTcpSocket* viewer = Accept(*frame, Introduction(*frame));
        ASSERT_NE(viewer, nullptr);
        if (c.reply != nullptr) viewer->write(c.reply);
        if (c.vanish) viewer->abort();
        // Five periods: a silent server is given up after two.
        QByteArray got;
        WaitFor(
            [&] {
                if (viewer->isOpen()) got += viewer->readAll();
                return false;
            },
            static_cast<int>(5 * kPeriod.count()));
        EXPECT_EQ(Outcome(*frame).toStdString(), c.outcome);
        const bool open = std::string_view(c.outcome) == "streaming";
        EXPECT_EQ(frame->Links().ConnectedLink() == CLinkController::Link::Network, open);
        EXPECT_EQ(frame->StatusPaneText(pane::kConnection).toStdString(),
                  open ? "Connected" : "Not Connected");
        EXPECT_EQ(messages_.join("").toStdString(), c.message);
        if (open) {
            EXPECT_GE(got.count("ALIVE\r\n"), 3) << got.toStdString();
            EXPECT_EQ(got.size(), got.count("ALIVE\r\n") * 7);
        } else if (c.reply == nullptr && !c.vanish) {
            EXPECT_EQ(got.toStdString(), "ALIVE\r\n");  // the one before the deadline
        }
        frame->Links().OnClosePort();
    }
}

// The NTRIP client's corrections travel back on the relay link byte-exact.
TEST_F(RelayClientTest, CorrectionsGoBackOnTheRelayLink)
{
    std::string corrections(3000, '\0');
    for (std::size_t i = 0; i < corrections.size(); ++i) corrections[i] = static_cast<char>(i * 13);
    QTcpServer caster;
    ASSERT_TRUE(caster.listen(QHostAddress::LocalHost));
    store_.Write(settings::kNtripEnable, 1);
    store_.Write(settings::kNtripHostAddr, QStringLiteral("127.0.0.1"));
    store_.Write(settings::kNtripHostPort, caster.serverPort());
    store_.Write(settings::kNtripMountPoint, QStringLiteral("SKN01"));
    store_.Write(settings::kNtripIdentity, QStringLiteral("rover"));
    store_.Write(settings::kNtripPassword, QStringLiteral("pw"));
    store_.Write(settings::kNtripSamePort, 1);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir_.path());  // the client writes "rtcm.txt" here
    auto frame = Frame();
    frame->Relay().SetAlivePeriod(std::chrono::milliseconds(60000));
    QTcpSocket* viewer = Accept(*frame, Introduction(*frame));
    ASSERT_NE(viewer, nullptr);
    viewer->write("CONNECTED\r\n");
    ASSERT_TRUE(WaitFor([&] { return Outcome(*frame) == QLatin1String("streaming"); }));
    ASSERT_TRUE(frame->Ntrip().Start());
    ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }));
    QTcpSocket* rover = caster.nextPendingConnection();
    rover->write(QByteArray("ICY 200 OK\r\n") +
                 QByteArray(corrections.data(), static_cast<qsizetype>(corrections.size())));
    QByteArray got;
    WaitFor([&] {
        got += viewer->readAll();
        return got.size() >= static_cast<qsizetype>(corrections.size());
    });
    EXPECT_EQ(got.toStdString(), corrections);
    EXPECT_TRUE(frame->ReportLines().contains(QStringLiteral("relay corrections: 3000 bytes")));
    frame->Ntrip().Stop();
    frame->Links().OnClosePort();
    QDir::setCurrent(previous);
}

// The window against skarnet2-tool's relay stand-in: login, the one device asked for over
// the device channel, the stream shown, corrections counted by the server byte-exact.
TEST_F(RelayClientTest, WindowAgainstTheServeRelayStandIn)
{
    SKIP_WITHOUT_DATA();
    const std::string log =
        (*testdata::DataDir() / "nmea" / "gpsd_ublox-neo-m9n_nmea41_gst_zda.log").string();
    const quint16 relayPort = FreePort();
    const quint16 channelPort = FreePort();
    const std::string received = dir_.filePath(QStringLiteral("corrections.bin")).toStdString();
    const std::string relayArg = std::to_string(relayPort);
    const std::string channelArg = std::to_string(channelPort);
    std::ostringstream serveErr;
    std::thread serve([&] {
        const std::string_view args[] = {log,        "--relay",   relayArg, "--device-channel",
                                         channelArg, "--devices", "DEV1",   "--corrections",
                                         received,   "--rate",    "20",     "--loop"};
        RunServe(args, serveErr);
    });
    ASSERT_TRUE(WaitFor([&] {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, channelPort);
        return probe.waitForConnected(100);
    }));
    store_.Write(settings::kServerVrsPort, relayPort);
    store_.Write(settings::kCommLoginId, QStringLiteral("kim"));
    store_.Write(settings::kCommSaveId, 1);
    auto frame = Frame();
    frame->Relay().SetDeviceChannelPort(channelPort);
    ASSERT_TRUE(frame->Links().ConnectFromSettings());
    EXPECT_TRUE(WaitFor([&] { return frame->EpochsShown() >= 10; }, 10000));
    EXPECT_EQ(frame->Relay().Devices(), QStringList{"DEV1"});
    EXPECT_EQ(frame->Relay().DeviceCombo()->currentText().toStdString(), "DEV1");
    QByteArray corrections(777, '\0');
    for (int i = 0; i < corrections.size(); ++i) corrections[i] = static_cast<char>(i * 31);
    frame->Links().Write(corrections.left(400));
    WaitFor([] { return false; }, static_cast<int>(2 * kPeriod.count()));  // ALIVE in between
    frame->Links().Write(corrections.mid(400));
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(Outcome(*frame).toStdString(), "streaming");
    frame->Links().OnClosePort();
    WaitFor([] { return false; }, 300);
    RequestServeStop();
    serve.join();
    QFile file(QString::fromStdString(received));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), corrections);
    const std::string err = serveErr.str();
    const std::string viewer =
        "viewer " + frame->Relay().ViewerId().toStdString() + " kim corrections 777 bytes, alive ";
    EXPECT_NE(err.find(viewer), std::string::npos) << err;
}

}  // namespace
