#include "app/ntrip_client.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include "app/command_ids.h"
#include "app/link_controller.h"
#include "support/frame_support.h"
#include "support/recording_owner.h"
#include "views/rtcm_monitor_wnd.h"

namespace {

const QString kMount = QStringLiteral("SKN01");
const QString kUser = QStringLiteral("rover");
const QString kPassword = QStringLiteral("s3cret");

// RTKLIB's str2str as a real NTRIP 1 caster, fed through its standard input.
class CCaster {
public:
    bool Start(quint16 port)
    {
        if (QStandardPaths::findExecutable(QStringLiteral("str2str")).isEmpty()) return false;
        process_.start(
            QStringLiteral("str2str"),
            {QStringLiteral("-out"),
             QStringLiteral("ntripc://%1:%2@:%3/%4").arg(kUser, kPassword).arg(port).arg(kMount)});
        return process_.waitForStarted() && WaitFor([port] {
                   QTcpSocket probe;  // listening once a connection goes through
                   probe.connectToHost(QHostAddress::LocalHost, port);
                   return probe.waitForConnected(100);
               });
    }
    void Send(const std::vector<std::uint8_t>& bytes) { process_.write(AsBytes(bytes)); }
    ~CCaster()
    {
        process_.kill();
        process_.waitForFinished();
    }

private:
    QProcess process_;
};

// "ICY 200 OK" with one whole, empty RTCM 3 frame behind it (6 bytes).
const QByteArray kIcyWithFrame("ICY 200 OK\r\n\xD3\x00\x00\x47\xEA\x4B", 18);

class NtripClientTest : public FrameTest {
protected:
    void SetUp() override
    {
        if (previous_.isEmpty()) previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());  // "rtcm.txt" is written where recordings go
        store_.Write(settings::kNtripEnable, 1);
        store_.Write(settings::kNtripHostAddr, QStringLiteral("127.0.0.1"));
        store_.Write(settings::kNtripMountPoint, kMount);
        store_.Write(settings::kNtripIdentity, kUser);
        store_.Write(settings::kNtripPassword, kPassword);
    }
    void TearDown() override { QDir::setCurrent(previous_); }
    bool Listen(QTcpServer& caster)
    {
        if (!caster.listen(QHostAddress::LocalHost)) return false;
        store_.Write(settings::kNtripHostPort, caster.serverPort());
        return true;
    }
    // Starts the client and takes its connection with the whole request.
    QTcpSocket* Rover(CMainFrame& frame, QTcpServer& caster)
    {
        request_.clear();
        const auto whole = [](const QByteArray& got) { return got.endsWith("\r\n\r\n"); };
        return frame.Ntrip().Start() ? AcceptPeer(caster, request_, whole) : nullptr;
    }
    static bool NtripPane(const CMainFrame& frame, const QString& text)
    {
        return WaitFor([&] { return frame.StatusPaneText(pane::kNtrip) == text; });
    }

    QString previous_;
    QByteArray request_;
};

// The receiver sits on a pseudo-terminal; what reaches it must be the caster's RTCM bytes
// exactly, without a byte of the caster's reply.
TEST_F(NtripClientTest, CorrectionsFromARealCasterReachASerialReceiverUntouched)
{
    SKIP_WITHOUT_DATA();
    const auto rtcm = Capture("rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3");
    ASSERT_EQ(rtcm.size() % 4, 0u);  // nothing waits in a four-byte group at the end
    const quint16 port = FreePort();
    CCaster caster;
    if (!caster.Start(port)) GTEST_SKIP() << "str2str (package rtklib) is not installed";
    RawPty pty;
    ASSERT_TRUE(pty.Valid());
    store_.Write(settings::kCommTxMode, 1);
    store_.Write(settings::kCommPort, pty.slaveName);
    store_.Write(settings::kNtripHostPort, port);

    CMainFrame frame(store_);
    Collect(frame);
    ASSERT_TRUE(frame.Links().ConnectFromSettings());
    ASSERT_TRUE(frame.Ntrip().Start());
    ASSERT_TRUE(NtripPane(frame, "NTRIP : Connected"));
    EXPECT_EQ(frame.StatusPaneText(pane::kSix), kMount);
    Pause(300);  // the request reaches the caster
    caster.Send(rtcm);
    QByteArray received;
    WaitFor(
        [&] {
            ReadAvailable(pty.master, received);
            return received.size() >= static_cast<qsizetype>(rtcm.size());
        },
        10000);
    EXPECT_EQ(received, AsBytes(rtcm));
    EXPECT_EQ(frame.StatusPaneText(pane::kRtcm), QStringLiteral("RTCM Recv : %1").arg(rtcm.size()));
    EXPECT_EQ(testdata::ReadBytes(dir_.filePath(QStringLiteral("rtcm.txt")).toStdString()), rtcm);

    // The monitor and the pane's tooltip tell the same stream.
    frame.Ntrip().OpenMonitor();
    const CRtcmMonitorWnd* monitor = frame.Ntrip().MonitorWindow();
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->RowCount(), 13);
    EXPECT_TRUE(monitor->RowText(0).startsWith(QStringLiteral("1006 | 7 | ")))
        << monitor->RowText(0).toStdString();
    EXPECT_TRUE(monitor->SummaryText().contains(QStringLiteral("기준국 25: 53.34")))
        << monitor->SummaryText().toStdString();
    EXPECT_FALSE(monitor->SummaryText().contains(QStringLiteral("stale")));
    EXPECT_TRUE(
        WaitFor([&] { return frame.StatusPaneToolTip(pane::kRtcm).contains("1006:7 1013:1"); }));

    frame.Ntrip().Stop();
    EXPECT_TRUE(NtripPane(frame, "NTRIP : Not Connected"));
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    frame.Links().OnClosePort();
}

// A setting left empty is named; a plain correction server (ENABLE 0) needs an address that
// begins with a digit and a port other than the caster's default. No connection is tried.
TEST_F(NtripClientTest, MissingSettingsAreNamedAndNoConnectionIsTried)
{
    const int caster = settings::kNtripHostPort.defaultValue;
    const QString check = QStringLiteral("\n설정에서 확인하세요.\n");
    const struct {
        const TextSetting* cleared;
        const char* host;
        int port;             // 0: ENABLE 1 and the caster's port
        const char* message;  // before check; empty: the attempt starts
    } cases[] = {
        {&settings::kNtripMountPoint, "127.0.0.1", 0, "마운트포인트가 지정되지 않았습니다."},
        {&settings::kNtripIdentity, "127.0.0.1", 0, "아이디가 설정되지 않았습니다."},
        {&settings::kNtripPassword, "127.0.0.1", 0, "비밀번호가 설정되지 않았습니다."},
        {nullptr, "rts1.ngii.go.kr", 2101, "NTRIP이 Enable 되어 있지 않습니다."},
        {nullptr, "127.0.0.1", caster, "NTRIP이 Enable 되어 있지 않습니다."},
        {nullptr, "127.0.0.1", caster + 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        SetUp();
        store_.Write(settings::kNtripEnable, c.port == 0 ? 1 : 0);
        store_.Write(settings::kNtripHostAddr, QString::fromLatin1(c.host));
        store_.Write(settings::kNtripHostPort, c.port == 0 ? caster : c.port);
        if (c.cleared) store_.Write(*c.cleared, QString());
        CMainFrame frame(store_);
        Collect(frame);
        const bool starts = *c.message == '\0';
        EXPECT_EQ(frame.Ntrip().Start(), starts);
        EXPECT_EQ(messages_.join(""), starts ? QString() : QString::fromUtf8(c.message) + check);
        EXPECT_EQ(frame.Ntrip().IsActive(), starts);
        EXPECT_EQ(Command(frame, command::kNtripStart).isEnabled(), !starts);
        frame.Ntrip().Stop();
    }
}

// A scripted caster sees the whole request of each version, the reply comes in one-byte
// pieces, and each epoch with a position sends one GGA (none for an SSR mount point).
TEST_F(NtripClientTest, RequestAndOneGgaPerEpochSeenByTheCaster)
{
    const QByteArray auth =
        "Authorization: Basic " + (kUser + ':' + kPassword).toLatin1().toBase64();
    const struct {
        int version;
        QString mount;
        const char* request;  // %1: the authorisation line, %2: the caster's port
        int ggas;
    } cases[] = {
        {1, kMount, "GET /SKN01 HTTP/1.0\r\nUser-Agent: NTRIP Velmora\r\n%1\r\n\r\n", 2},
        // clang-format off
        {2, kMount, "GET /SKN01 HTTP/1.1\r\nHost: 127.0.0.1:%2\r\nNtrip-Version: Ntrip/2.0\r\n"
                    "User-Agent: NTRIP Velmora\r\n%1\r\nConnection: close\r\n\r\n", 2},
        {1, QStringLiteral("IGS_SSRA01"), "GET /IGS_SSRA01 HTTP/1.0\r\nUser-Agent: NTRIP Velmora\r\n%1\r\n\r\n", 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        QTcpServer caster;
        ASSERT_TRUE(Listen(caster));
        store_.Write(settings::kNtripMountPoint, c.mount);
        store_.Write(settings::kNtripVersion, c.version);
        CMainFrame frame(store_);
        QTcpSocket* rover = Rover(frame, caster);
        ASSERT_NE(rover, nullptr);
        EXPECT_EQ(request_.toStdString(), QString::fromLatin1(c.request)
                                              .arg(QString::fromLatin1(auth))
                                              .arg(caster.serverPort())
                                              .toStdString());
        for (const char b : c.version == 2
                                ? QByteArray("HTTP/1.1 200 OK\r\n\r\n") + kIcyWithFrame.mid(12)
                                : kIcyWithFrame) {
            rover->write(&b, 1);
            rover->flush();
            Pause(5);
        }
        ASSERT_TRUE(WaitFor([&] { return frame.Ntrip().ForwardedBytes() == 6; }));
        frame.FeedSerialBytes(
            Bytes(Sentence("GPGGA,123519,3728.3875,N,12652.8726,E,4,08,0.9,45.4,M,23.1,M,,") +
                  Sentence("GPGGA,123520,3728.3876,N,12652.8727,E,4,08,0.9,45.4,M,23.1,M,,")));
        QByteArray uploaded;
        WaitFor([&] { return (uploaded += rover->readAll()).count("$GPGGA") >= c.ggas + 1; }, 1000);
        // Heights above the geoid and of the geoid, minutes to 7 places, its own checksum.
        const std::string expected =
            Sentence("GPGGA,123519,3728.3875000,N,12652.8726000,E,4,08,0.9,45.400,M,23.100,M,,") +
            Sentence("GPGGA,123520,3728.3876000,N,12652.8727000,E,4,08,0.9,45.400,M,23.100,M,,");
        EXPECT_EQ(uploaded.toStdString(), c.ggas ? expected : "");
        frame.Ntrip().Stop();
    }
}

TEST(NtripRetry, PausesDoubleUpToAMinute)
{
    std::vector<int> pauses{CNtripClient::kFirstRetrySeconds};
    while (pauses.size() < 8) pauses.push_back(CNtripClient::NextRetrySeconds(pauses.back()));
    EXPECT_EQ(pauses, (std::vector<int>{1, 2, 4, 8, 16, 32, 60, 60}));
}

// With "RECONNECT" a dropped stream is called again after 1 s, a drop before any data after
// 2 s, and a refused password ends the retries with its message.
TEST_F(NtripClientTest, DroppedStreamIsCalledAgainAndARefusalEndsIt)
{
    QTcpServer caster;
    ASSERT_TRUE(Listen(caster));
    store_.Write(settings::kNtripReconnect, 1);
    CMainFrame frame(store_);
    Collect(frame);
    ASSERT_TRUE(frame.Ntrip().Start());
    const char* panes[] = {"NTRIP : Reconnecting in 1 s", "NTRIP : Reconnecting in 2 s"};
    for (const char* pane : panes) {
        ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }, 4000)) << pane;
        QTcpSocket* rover = caster.nextPendingConnection();
        if (pane == panes[0]) {
            rover->write(kIcyWithFrame);
            rover->flush();
            ASSERT_TRUE(WaitFor([&] { return frame.Ntrip().ForwardedBytes() == 6; }));
        }
        rover->close();
        EXPECT_TRUE(NtripPane(frame, pane)) << pane;
        EXPECT_TRUE(frame.Ntrip().IsActive());
    }
    ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }, 4000));
    QTcpSocket* last = caster.nextPendingConnection();
    last->write("HTTP/1.0 401 Unauthorized\r\n\r\n");
    last->flush();
    last->close();
    ASSERT_TRUE(WaitFor([&] { return !messages_.isEmpty(); }));
    EXPECT_EQ(messages_,
              QStringList{QStringLiteral(
                  "NTRIP 연결에 실패하였습니다.\n아이디/비밀번호를 다시 확인해주세요.")});
    EXPECT_FALSE(frame.Ntrip().IsActive());
    EXPECT_FALSE(WaitFor([&] { return caster.hasPendingConnections(); }, 2500));
}

// Where corrections go: a second serial port in groups of four (4097 bytes: 4096 written, one
// waits), or the receiver's own TCP link as they come.
TEST_F(NtripClientTest, CorrectionsReachASecondPortOrANetworkReceiver)
{
    QByteArray corrections(4097, '\0');
    for (int i = 0; i < corrections.size(); ++i) corrections[i] = static_cast<char>(i * 7);
    for (const bool network : {false, true}) {
        SCOPED_TRACE(network ? "network" : "second port");
        QTcpServer caster, receiver;
        ASSERT_TRUE(Listen(caster) && receiver.listen(QHostAddress::LocalHost));
        RawPty pty;
        ASSERT_TRUE(pty.Valid());
        store_.Write(settings::kNtripSamePort, network ? 1 : 0);
        store_.Write(settings::kNtripPort, pty.slaveName);
        store_.Write(settings::kCommTxMode, network ? 0 : 1);
        store_.Write(settings::kCommHostAddr, QStringLiteral("127.0.0.1"));
        store_.Write(settings::kCommHostPort, QString::number(receiver.serverPort()));
        store_.Write(settings::kCommPort, QStringLiteral("/dev/null/none"));
        CMainFrame frame(store_);
        ASSERT_TRUE(!network || frame.Links().ConnectFromSettings());
        QTcpSocket* rover = Rover(frame, caster);
        ASSERT_NE(rover, nullptr);
        rover->write("ICY 200 OK\r\n" + corrections);
        QByteArray received;
        QTcpSocket* link = nullptr;
        const qsizetype expected = network ? 4097 : 4096;
        WaitFor([&] {
            if (!network) {
                ReadAvailable(pty.master, received);
            } else if (link != nullptr || (link = receiver.nextPendingConnection()) != nullptr) {
                received += link->readAll();
            }
            return received.size() >= expected;
        });
        Pause(100);
        if (!network) ReadAvailable(pty.master, received);
        EXPECT_EQ(received, corrections.left(expected));
        EXPECT_EQ(frame.Ntrip().ForwardedBytes(), 4097u);
        EXPECT_EQ(frame.StatusPaneText(pane::kRtcm), QStringLiteral("RTCM Recv : 4097"));
        frame.Ntrip().Stop();
        frame.Links().OnClosePort();
    }
}

// What str2str never does: garbage for a reply, a close in the middle of a frame, silence;
// then a caster that is not there.
TEST_F(NtripClientTest, OddCastersEndCleanly)
{
    const struct {
        QByteArray reply;
        bool close;
        const char *pane, *message;  // message: the start of it; empty: none
    } cases[] = {
        {QByteArray("\x01\x02garbage\xff not a reply\r\n", 25), true, "NTRIP : Not Connected",
         "NTRIP 연결에 실패하였습니다.\n..garbage. not a reply"},
        {QByteArray("ICY 200 OK\r\n\xD3\x00\x13\x3E\xD0", 17), true, "NTRIP : Not Connected", ""},
        {QByteArray(), false, "NTRIP : Connected", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pane);
        QTcpServer caster;
        ASSERT_TRUE(Listen(caster));
        CMainFrame frame(store_);
        Collect(frame);
        QTcpSocket* rover = Rover(frame, caster);
        ASSERT_NE(rover, nullptr);
        rover->write(c.reply);
        rover->flush();
        Pause(200);
        if (c.close) rover->close();
        EXPECT_TRUE(NtripPane(frame, c.pane));
        if (*c.message) {
            ASSERT_TRUE(WaitFor([&] { return !messages_.isEmpty(); }));
            EXPECT_TRUE(messages_[0].startsWith(QString::fromUtf8(c.message)))
                << messages_[0].toStdString();
        } else {
            EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
        }
        frame.Ntrip().Stop();  // a silent caster is left without waiting for it
        EXPECT_TRUE(NtripPane(frame, "NTRIP : Not Connected"));
    }
    store_.Write(settings::kNtripHostPort, FreePort());  // nobody listens there
    CMainFrame frame(store_);
    Collect(frame);
    ASSERT_TRUE(frame.Ntrip().Start());
    ASSERT_TRUE(WaitFor([&] { return !messages_.isEmpty(); }));
    EXPECT_EQ(messages_, QStringList{QStringLiteral(
                             "NTRIP 연결에 실패하였습니다.\n설정 정보를 다시 확인해주세요.")});
    EXPECT_FALSE(frame.Ntrip().IsActive());
    EXPECT_TRUE(frame.ReportLines().contains(QStringLiteral("ntrip: refused")));
}

}  // namespace
