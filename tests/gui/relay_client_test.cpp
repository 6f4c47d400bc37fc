#include "app/relay_client.h"

#include <gtest/gtest.h>

#include <QComboBox>

#include "app/link_controller.h"
#include "app/record_controller.h"
#include "support/frame_support.h"

namespace {

constexpr auto kPeriod = std::chrono::milliseconds(150);

// "[body XX]" with XX the XOR of the body's bytes in upper-case hex.
QByteArray DeviceFrame(const QByteArray& body)
{
    char sum = 0;
    for (const char c : body) sum ^= c;
    return "[" + body +
           QByteArray::number(static_cast<uchar>(sum), 16).toUpper().rightJustified(2, '0') + "]";
}

class RelayClientTest : public FrameTest {
protected:
    void SetUp() override
    {
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
        Collect(*frame);
        return frame;
    }

    // Connects the frame and checks the introduction it sends; nullptr when none came.
    QTcpSocket* Accept(CMainFrame& frame, const char* tail = "")
    {
        const QByteArray introduction =
            "CONNECT_TO VIEWER:" + frame.Relay().ViewerId().toLatin1() + tail;
        if (!frame.Links().ConnectFromSettings()) return nullptr;
        QByteArray got;
        QTcpSocket* viewer = AcceptPeer(
            relay_, got, [&](const QByteArray& g) { return g.size() >= introduction.size(); });
        EXPECT_EQ(got.toStdString(), introduction.toStdString());
        return viewer;
    }

    static QString Outcome(const CMainFrame& frame)
    {
        for (const QString& line : frame.ReportLines())
            if (line.startsWith(QLatin1String("relay: "))) return line.mid(7);
        return QString();
    }

    QTcpServer relay_;
    QTcpServer channel_;
};

// What the viewer says of itself, and what the profile keeps afterwards.
TEST_F(RelayClientTest, IntroductionAndProfileForEachLogin)
{
    const struct {
        const char *login, *device, *relayed;
        int saveId, autoLogin;
        const char *tail, *relayedAfter, *loginAfter, *passwordAfter;  // tail: of the introduction
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
        QTcpSocket* viewer = Accept(*frame, c.tail);
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
        QTcpSocket* viewer = Accept(*frame);
        ASSERT_NE(viewer, nullptr);
        viewer->write(single ? "LOGINED kim DEV1;\r\n" : "LOGINED kim DEV1;DEV2\r\n");
        QComboBox* combo = frame->Relay().DeviceCombo();
        ASSERT_TRUE(WaitFor([&] { return combo->count() > 1; }));
        EXPECT_EQ(combo->currentIndex(), 1);
        EXPECT_EQ(combo->itemText(0), QString());
        if (!single) {
            frame->Relay().SelectDevice(0);  // the empty item asks for nothing
            Pause(200);
            EXPECT_FALSE(channel_.hasPendingConnections());
            frame->Relay().SelectDevice(2);
        }
        ASSERT_TRUE(WaitFor([&] { return channel_.hasPendingConnections(); }));
        QTcpSocket* device = channel_.nextPendingConnection();
        QByteArray request;
        WaitFor([&] { return (request += device->readAll()).endsWith(']'); });
        EXPECT_EQ(request, DeviceFrame(frame->Relay().ViewerId().toLatin1() + ",|VS003|" +
                                       (single ? "DEV1" : "DEV2") + "|"));
        // A VS002 frame, in two reads behind noise, names a device the combo lacks; a bad
        // checksum names nothing.
        const QByteArray dev7 = "noise" + DeviceFrame("x|VS002|s|OK|DEV7,1|");
        device->write(dev7.left(12));
        device->flush();
        Pause(50);
        device->write(dev7.mid(12) + "[x|VS002|s|OK|DEV8,1|00]");
        EXPECT_TRUE(WaitFor([&] { return frame->Relay().Devices().contains("DEV7"); }))
            << frame->Relay().Devices().join(';').toStdString();
        EXPECT_FALSE(frame->Relay().Devices().contains("DEV8"));
        frame->Links().OnClosePort();
        EXPECT_EQ(Outcome(*frame).toStdString(), "streaming");
    }
}

// The receiver's bytes behind the reply in the same block are its first data: the relay link
// shows and records every byte, none of the reply.
TEST_F(RelayClientTest, RelayedStreamIsShownAndRecordedWhole)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = Capture("nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    store_.Write(settings::kCommHostAddr, QStringLiteral("127.0.0.1"));
    auto frame = Frame();
    const QString log = dir_.filePath("relay.log");
    ASSERT_TRUE(frame->Recording().Start(log));
    QTcpSocket* peer = Accept(*frame, " DEVICE:127.0.0.1");
    ASSERT_NE(peer, nullptr);
    peer->write("CONNECTED\r\n" + AsBytes(bytes));
    ASSERT_TRUE(ShowsLastGga(*frame, bytes));
    frame->Recording().Stop();
    EXPECT_EQ(testdata::ReadBytes(log.toStdString()), bytes);
    frame->Links().OnClosePort();
}

// Keep-alive on time, a silent server given up, refusals said and closed, a vanished server
// noticed.
TEST_F(RelayClientTest, KeepAliveTimeoutAndRefusals)
{
    const struct {
        const char* reply;  // nullptr: the server stays silent
        bool vanish;
        const char *outcome, *message;
    } cases[] = {
        {nullptr, false, "timeout", ""},
        {"FAILED_BELONG_TO_OTHER\r\n", false, "refused",
         "다른 사용자 소유의 단말에 접속할 수 없습니다!!"},
        {"WHO ARE YOU\r\n", false, "refused", ""},
        {"ALIVE\r\n", false, "streaming", ""},
        {nullptr, true, "handshake", ""},
    };
    for (const auto& c : cases) {
        auto frame = Frame();
        QTcpSocket* viewer = Accept(*frame);
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

}  // namespace
