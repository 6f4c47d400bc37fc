#include "app/ntrip_client.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "app/command_ids.h"
#include "app/link_controller.h"
#include "app/main_frame.h"
#include "net/rtcm3_framer.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"
#include "support/recording_owner.h"
#include "support/test_data.h"
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
        if (!process_.waitForStarted()) return false;
        // Listening once a connection goes through.
        return WaitFor([port] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(100);
        });
    }
    void Send(const std::vector<std::uint8_t>& bytes)
    {
        process_.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<qint64>(bytes.size()));
    }
    ~CCaster()
    {
        process_.kill();
        process_.waitForFinished();
    }

private:
    QProcess process_;
};

// A literal's bytes without its terminating zero; binary replies hold zeros of their own.
template <std::size_t N>
QByteArray Raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// An "ICY 200 OK" reply with one whole, empty RTCM 3 frame behind it (6 bytes).
const QByteArray kIcyWithFrame = Raw("ICY 200 OK\r\n\xD3\x00\x00\x47\xEA\x4B");

// A scripted caster's side of a new connection, once the client's request is in.
QTcpSocket* AcceptRover(QTcpServer& caster, QByteArray& request)
{
    if (!WaitFor([&] { return caster.hasPendingConnections(); })) return nullptr;
    QTcpSocket* rover = caster.nextPendingConnection();
    WaitFor([&] {
        request += rover->readAll();
        return request.endsWith("\r\n\r\n");
    });
    return rover;
}

class NtripClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("SKARNET2_NO_MESSAGE_BOXES", "1");
        previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());  // "rtcm.txt" is written where recordings go
        store_.Write(settings::kNtripEnable, 1);
        store_.Write(settings::kNtripHostAddr, QStringLiteral("127.0.0.1"));
        store_.Write(settings::kNtripMountPoint, kMount);
        store_.Write(settings::kNtripIdentity, kUser);
        store_.Write(settings::kNtripPassword, kPassword);
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    // Collects the message boxes the frame would show.
    void Listen(CMainFrame& frame)
    {
        QObject::connect(&frame, &CMainFrame::messageShown,
                         [this](const QString& text) { messages_ << text; });
    }

    QTemporaryDir dir_;
    QString previous_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
    QStringList messages_;
};

// The receiver sits on a pseudo-terminal; what reaches it must be the caster's RTCM bytes
// exactly, without a byte of the caster's reply.
TEST_F(NtripClientTest, CorrectionsFromARealCasterReachASerialReceiverUntouched)
{
    SKIP_WITHOUT_DATA();
    const auto rtcm =
        testdata::ReadBytes(*testdata::DataDir() / "rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3");
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
    Listen(frame);
    ASSERT_TRUE(frame.Links().ConnectFromSettings());
    ASSERT_TRUE(frame.Ntrip().Start());
    EXPECT_FALSE(frame.Action(command::kNtripStart)->isEnabled());
    EXPECT_TRUE(frame.Action(command::kNtripStop)->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return frame.StatusPaneText(4) == "NTRIP : Connected"; }));
    EXPECT_EQ(frame.StatusPaneText(6), kMount);
    WaitFor([] { return false; }, 300);  // the request reaches the caster
    caster.Send(rtcm);

    std::vector<std::uint8_t> received;
    WaitFor(
        [&] {
            std::uint8_t block[4096];
            for (ssize_t n; (n = ::read(pty.master, block, sizeof block)) > 0;)
                received.insert(received.end(), block, block + n);
            return received.size() >= rtcm.size();
        },
        10000);
    EXPECT_EQ(received, rtcm);
    EXPECT_EQ(frame.StatusPaneText(5), QStringLiteral("RTCM Recv : %1").arg(rtcm.size()));
    EXPECT_EQ(testdata::ReadBytes(dir_.filePath(QStringLiteral("rtcm.txt")).toStdString()), rtcm);
    const QStringList report = frame.ReportLines();
    EXPECT_TRUE(report.contains(QStringLiteral("ntrip: connected")));
    EXPECT_TRUE(report.contains(QStringLiteral("rtcm_bytes: %1").arg(rtcm.size())));
    EXPECT_TRUE(report.contains(QStringLiteral(
        "rtcm_types: 1006:7,1013:1,1019:33,1020:33,1033:7,1042:33,1046:33,1077:33,1087:33,"
        "1097:33,1127:32,1230:7,4094:7")))
        << report.join('|').toStdString();

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
    EXPECT_TRUE(WaitFor([&] { return frame.StatusPaneToolTip(5).contains("1006:7 1013:1"); }));

    frame.Ntrip().Stop();
    EXPECT_TRUE(WaitFor([&] { return frame.StatusPaneText(4) == "NTRIP : Not Connected"; }));
    EXPECT_TRUE(frame.Action(command::kNtripStart)->isEnabled());
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    frame.Links().OnClosePort();
}

TEST_F(NtripClientTest, RefusalsAndUnreachableCastersAreSaidAndEndTheAttempt)
{
    const quint16 port = FreePort();
    CCaster caster;
    if (!caster.Start(port)) GTEST_SKIP() << "str2str (package rtklib) is not installed";
    const struct {
        QString password;
        quint16 port;
        QString message;
    } cases[] = {
        {QStringLiteral("wrong"), port,
         QStringLiteral("NTRIP 연결에 실패하였습니다.\n아이디/비밀번호를 다시 확인해주세요.")},
        {kPassword, FreePort(),  // nobody listens there
         QStringLiteral("NTRIP 연결에 실패하였습니다.\n설정 정보를 다시 확인해주세요.")},
    };
    for (const auto& c : cases) {
        store_.Write(settings::kNtripPassword, c.password);
        store_.Write(settings::kNtripHostPort, c.port);
        CMainFrame frame(store_);
        messages_.clear();
        Listen(frame);
        ASSERT_TRUE(frame.Ntrip().Start());
        EXPECT_TRUE(WaitFor([&] { return !messages_.isEmpty(); })) << c.message.toStdString();
        EXPECT_EQ(messages_.value(0), c.message);
        EXPECT_EQ(frame.StatusPaneText(4), QStringLiteral("NTRIP : Not Connected"));
        EXPECT_FALSE(frame.Ntrip().IsActive());
        EXPECT_TRUE(frame.ReportLines().contains(QStringLiteral("ntrip: refused")));
        for (const QString& text : messages_) EXPECT_FALSE(text.contains(c.password));
    }
}

TEST_F(NtripClientTest, MissingSettingsAreNamedAndNoConnectionIsTried)
{
    const struct {
        const TextSetting* cleared;
        int enable;
        const char* message;
    } cases[] = {
        {&settings::kNtripMountPoint, 1,
         "마운트포인트가 지정되지 않았습니다.\n설정에서 확인하세요.\n"},
        {&settings::kNtripIdentity, 1, "아이디가 설정되지 않았습니다.\n설정에서 확인하세요.\n"},
        {&settings::kNtripPassword, 1, "비밀번호가 설정되지 않았습니다.\n설정에서 확인하세요.\n"},
        // A plain correction server needs an address that begins with a digit.
        {&settings::kNtripHostAddr, 0,
         "NTRIP이 Enable 되어 있지 않습니다.\n설정에서 확인하세요.\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        store_.Write(settings::kNtripEnable, c.enable);
        store_.Write(*c.cleared, c.enable ? QString() : QStringLiteral("rts1.ngii.go.kr"));
        CMainFrame frame(store_);
        messages_.clear();
        Listen(frame);
        EXPECT_FALSE(frame.Ntrip().Start());
        EXPECT_EQ(messages_, QStringList{QString::fromUtf8(c.message)});
        EXPECT_FALSE(frame.Ntrip().IsActive());
        EXPECT_TRUE(frame.Action(command::kNtripStart)->isEnabled());
    }
}

// A scripted caster: the request, the reply in one-byte pieces, and the GGA sentences the
// rover sends at each epoch (none for a mount point that carries SSR corrections).
TEST_F(NtripClientTest, RequestAndGgaUploadSeenByTheCaster)
{
    for (const QString& mount : {kMount, QStringLiteral("SSRA00BKG0")}) {
        QTcpServer caster;
        ASSERT_TRUE(caster.listen(QHostAddress::LocalHost));
        store_.Write(settings::kNtripHostPort, caster.serverPort());
        store_.Write(settings::kNtripMountPoint, mount);
        CMainFrame frame(store_);
        ASSERT_TRUE(frame.Ntrip().Start());
        QByteArray request;
        QTcpSocket* rover = AcceptRover(caster, request);
        ASSERT_NE(rover, nullptr);
        EXPECT_TRUE(request.startsWith("GET /" + mount.toLatin1() + " HTTP/1.0\r\n"));
        EXPECT_TRUE(request.contains("Authorization: Basic " +
                                     (kUser + ':' + kPassword).toLatin1().toBase64() + "\r\n"));
        for (const char c : kIcyWithFrame) {
            rover->write(&c, 1);
            rover->flush();
            WaitFor([] { return false; }, 5);
        }
        ASSERT_TRUE(WaitFor([&] { return frame.Ntrip().ForwardedBytes() == 6; }));
        const std::string epochs =
            Sentence("GPGGA,123519,3728.3875,N,12652.8726,E,4,08,0.9,45.4,M,23.1,M,,") +
            Sentence("GPGGA,123520,3728.3876,N,12652.8727,E,4,08,0.9,45.4,M,23.1,M,,");
        frame.FeedSerialBytes(Bytes(epochs));
        QByteArray uploaded;
        WaitFor(
            [&] {
                uploaded += rover->readAll();
                return uploaded.count("$GPGGA") >= 1;
            },
            1000);
        if (mount.contains(QStringLiteral("SSR"))) {
            EXPECT_TRUE(uploaded.isEmpty()) << uploaded.toStdString();
        } else {
            EXPECT_TRUE(uploaded.startsWith("$GPGGA,123519,3728.3875000,N,12652.8726000,E,4,08,"))
                << uploaded.toStdString();
            EXPECT_TRUE(uploaded.endsWith("\r\n"));
        }
        frame.Ntrip().Stop();
    }
}

// An NTRIP 2 caster: HTTP/1.1 request with the version line and Host, a chunked reply (the
// real capture) whose chunk lines never reach the receiver or "rtcm.txt".
TEST_F(NtripClientTest, Ntrip2ChunkedReplyForwardsOnlyTheCorrections)
{
    SKIP_WITHOUT_DATA();
    const auto chunked =
        testdata::ReadBytes(*testdata::DataDir() / "ntrip/pygnssutils_ntrip2_chunked_rtcm3.bin");
    QTcpServer caster;
    ASSERT_TRUE(caster.listen(QHostAddress::LocalHost));
    store_.Write(settings::kNtripHostPort, caster.serverPort());
    store_.Write(settings::kNtripVersion, 2);
    CMainFrame frame(store_);
    ASSERT_TRUE(frame.Ntrip().Start());
    QByteArray request;
    QTcpSocket* rover = AcceptRover(caster, request);
    ASSERT_NE(rover, nullptr);
    EXPECT_TRUE(request.startsWith("GET /" + kMount.toLatin1() + " HTTP/1.1\r\n"));
    EXPECT_TRUE(request.contains("\r\nNtrip-Version: Ntrip/2.0\r\n"));
    EXPECT_TRUE(request.contains(
        QStringLiteral("\r\nHost: 127.0.0.1:%1\r\n").arg(caster.serverPort()).toLatin1()));
    rover->write(
        "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\n"
        "Transfer-Encoding: chunked\r\n\r\n");
    rover->write(reinterpret_cast<const char*>(chunked.data()),
                 static_cast<qint64>(chunked.size()));
    rover->flush();
    // The capture ends inside a chunk: what came of it is corrections, nothing else.
    std::uint64_t forwarded = 0;
    ASSERT_TRUE(WaitFor([&] {
        const std::uint64_t now = frame.Ntrip().ForwardedBytes();
        const bool settled = now > 0 && now == forwarded;
        forwarded = now;
        WaitFor([] { return false; }, 100);
        return settled;
    }));
    frame.Ntrip().Stop();
    const auto logged =
        testdata::ReadBytes(dir_.filePath(QStringLiteral("rtcm.txt")).toStdString());
    EXPECT_EQ(logged.size(), frame.Ntrip().ForwardedBytes());
    CRtcm3Framer framer;
    framer.Feed(logged, [](std::span<const std::uint8_t>) {});
    EXPECT_EQ(framer.Frames(), 109u);
    EXPECT_EQ(framer.CrcFailures(), 0u);
}

TEST(NtripRetry, PausesDoubleUpToAMinute)
{
    int seconds = CNtripClient::kFirstRetrySeconds;
    std::vector<int> pauses;
    for (int i = 0; i < 8; ++i, seconds = CNtripClient::NextRetrySeconds(seconds))
        pauses.push_back(seconds);
    EXPECT_EQ(pauses, (std::vector<int>{1, 2, 4, 8, 16, 32, 60, 60}));
}

// With "RECONNECT" a caster that drops the stream is called again after a pause; a refused
// password ends the retries with its message.
TEST_F(NtripClientTest, DroppedStreamIsCalledAgainAndARefusalEndsIt)
{
    QTcpServer caster;
    ASSERT_TRUE(caster.listen(QHostAddress::LocalHost));
    store_.Write(settings::kNtripHostPort, caster.serverPort());
    store_.Write(settings::kNtripReconnect, 1);
    CMainFrame frame(store_);
    Listen(frame);
    ASSERT_TRUE(frame.Ntrip().Start());
    ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }));
    QTcpSocket* first = caster.nextPendingConnection();
    first->write(kIcyWithFrame);
    first->flush();
    ASSERT_TRUE(WaitFor([&] { return frame.Ntrip().ForwardedBytes() == 6; }));
    first->close();
    EXPECT_TRUE(WaitFor(
        [&] { return frame.StatusPaneText(4) == QStringLiteral("NTRIP : Reconnecting in 1 s"); }));
    EXPECT_TRUE(frame.Ntrip().IsActive());
    ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }, 3000));
    QTcpSocket* second = caster.nextPendingConnection();
    second->write("HTTP/1.0 401 Unauthorized\r\n\r\n");
    second->flush();
    second->close();
    ASSERT_TRUE(WaitFor([&] { return !messages_.isEmpty(); }));
    EXPECT_EQ(messages_.value(0),
              QStringLiteral("NTRIP 연결에 실패하였습니다.\n아이디/비밀번호를 다시 확인해주세요."));
    EXPECT_FALSE(frame.Ntrip().IsActive());
    EXPECT_FALSE(WaitFor([&] { return caster.hasPendingConnections(); }, 2500));
    EXPECT_TRUE(messages_.size() == 1) << messages_.join('|').toStdString();
}

// Where corrections go: a second serial port in groups of four (4097 bytes: 4096 written, one
// waits), or the receiver's own TCP link as they come.
TEST_F(NtripClientTest, CorrectionsReachASecondPortOrANetworkReceiver)
{
    std::string corrections(4097, '\0');
    for (std::size_t i = 0; i < corrections.size(); ++i) corrections[i] = static_cast<char>(i * 7);
    for (const bool network : {false, true}) {
        QTcpServer caster, receiver;
        ASSERT_TRUE(caster.listen(QHostAddress::LocalHost) &&
                    receiver.listen(QHostAddress::LocalHost));
        RawPty pty;
        ASSERT_TRUE(pty.Valid());
        store_.Write(settings::kNtripHostPort, caster.serverPort());
        store_.Write(settings::kNtripSamePort, network ? 1 : 0);
        store_.Write(settings::kNtripPort, pty.slaveName);
        store_.Write(settings::kCommTxMode, network ? 0 : 1);
        store_.Write(settings::kCommHostAddr, QStringLiteral("127.0.0.1"));
        store_.Write(settings::kCommHostPort, QString::number(receiver.serverPort()));
        store_.Write(settings::kCommPort, QStringLiteral("/dev/null/none"));
        CMainFrame frame(store_);
        if (network) {
            ASSERT_TRUE(frame.Links().ConnectFromSettings());
        }
        ASSERT_TRUE(frame.Ntrip().Start());
        ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }));
        QTcpSocket* rover = caster.nextPendingConnection();
        rover->write(QByteArray("ICY 200 OK\r\n") +
                     QByteArray(corrections.data(), static_cast<qsizetype>(corrections.size())));
        QByteArray received;
        QTcpSocket* link = nullptr;
        WaitFor([&] {
            if (network) {
                if (link == nullptr && receiver.hasPendingConnections())
                    link = receiver.nextPendingConnection();
                if (link != nullptr) received += link->readAll();
            } else {
                char block[8192];
                for (ssize_t n; (n = ::read(pty.master, block, sizeof block)) > 0;)
                    received.append(block, n);
            }
            return received.size() >= (network ? 4097 : 4096);
        });
        WaitFor([] { return false; }, 100);
        if (!network) {
            char block[16];
            if (const ssize_t n = ::read(pty.master, block, sizeof block); n > 0)
                received.append(block, n);
        }
        const std::string expected = network ? corrections : corrections.substr(0, 4096);
        EXPECT_EQ(received.toStdString(), expected) << (network ? "network" : "second port");
        EXPECT_EQ(frame.Ntrip().ForwardedBytes(), 4097u);
        frame.Ntrip().Stop();
        frame.Links().OnClosePort();
    }
}

// What str2str never does: garbage for a reply, a close in the middle of a frame, silence.
TEST_F(NtripClientTest, OddCastersEndCleanly)
{
    const struct {
        QByteArray reply;
        bool close;
        const char* pane;
        const char* message;  // the start of it; empty: none
    } cases[] = {
        {Raw("\x01\x02garbage\xff not a reply\r\n"), true, "NTRIP : Not Connected",
         "NTRIP 연결에 실패하였습니다.\n..garbage. not a reply"},
        {Raw("ICY 200 OK\r\n\xD3\x00\x13\x3E\xD0"), true, "NTRIP : Not Connected", ""},
        {QByteArray(), false, "NTRIP : Connected", ""},
    };
    for (const auto& c : cases) {
        QTcpServer caster;
        ASSERT_TRUE(caster.listen(QHostAddress::LocalHost));
        store_.Write(settings::kNtripHostPort, caster.serverPort());
        CMainFrame frame(store_);
        messages_.clear();
        Listen(frame);
        ASSERT_TRUE(frame.Ntrip().Start());
        ASSERT_TRUE(WaitFor([&] { return caster.hasPendingConnections(); }));
        QTcpSocket* rover = caster.nextPendingConnection();
        rover->write(c.reply);
        rover->flush();
        WaitFor([] { return false; }, 200);
        if (c.close) rover->close();
        EXPECT_TRUE(WaitFor([&] { return frame.StatusPaneText(4) == QString::fromUtf8(c.pane); }))
            << c.pane;
        if (*c.message) {
            ASSERT_TRUE(WaitFor([&] { return !messages_.isEmpty(); }));
            EXPECT_TRUE(messages_[0].startsWith(QString::fromUtf8(c.message)))
                << messages_[0].toStdString();
        } else {
            EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
        }
        frame.Ntrip().Stop();  // a silent caster is left without waiting for it
        EXPECT_TRUE(WaitFor([&] { return frame.StatusPaneText(4) == "NTRIP : Not Connected"; }));
    }
}

// A caster on TLS with a certificate made for this test: untrusted, the attempt ends with
// the reason and is not tried again; once trusted, corrections flow.
TEST_F(NtripClientTest, TlsVerifiesTheCastersCertificate)
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty() ||
        !QSslSocket::supportsSsl())
        GTEST_SKIP() << "no openssl to make a certificate, or no TLS in Qt";
    const QString key = dir_.filePath(QStringLiteral("key.pem"));
    const QString certificate = dir_.filePath(QStringLiteral("cert.pem"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("openssl"),
                                {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                                 "-out", certificate, "-days", "2", "-subj", "/CN=localhost",
                                 "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"}),
              0);
    QFile certificateFile(certificate), keyFile(key);
    ASSERT_TRUE(certificateFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
    const QSslCertificate cert(&certificateFile, QSsl::Pem);
    QSslConfiguration serverConfig = QSslConfiguration::defaultConfiguration();
    serverConfig.setLocalCertificate(cert);
    serverConfig.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa));
    QSslServer caster;
    caster.setSslConfiguration(serverConfig);
    ASSERT_TRUE(caster.listen(QHostAddress::LocalHost));
    store_.Write(settings::kNtripHostAddr, QStringLiteral("localhost"));
    store_.Write(settings::kNtripHostPort, caster.serverPort());
    store_.Write(settings::kNtripTls, 1);
    store_.Write(settings::kNtripReconnect, 1);
    {
        CMainFrame frame(store_);
        Listen(frame);
        ASSERT_TRUE(frame.Ntrip().Start());
        ASSERT_TRUE(WaitFor([&] { return !messages_.isEmpty(); }));
        EXPECT_TRUE(
            messages_[0].startsWith(QStringLiteral("NTRIP 보안 연결(TLS)에 실패하였습니다.")));
        EXPECT_TRUE(messages_[0].contains(QStringLiteral("self-signed")))
            << messages_[0].toStdString();
        EXPECT_FALSE(frame.Ntrip().IsActive());  // a certificate that fails is not tried again
    }
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = saved;
    trusting.addCaCertificate(cert);
    QSslConfiguration::setDefaultConfiguration(trusting);
    CMainFrame frame(store_);
    messages_.clear();
    Listen(frame);
    ASSERT_TRUE(frame.Ntrip().Start());
    QTcpSocket* rover = nullptr;
    QByteArray request;
    ASSERT_TRUE(WaitFor([&] {
        if (rover == nullptr && caster.hasPendingConnections())
            rover = caster.nextPendingConnection();
        if (rover != nullptr) request += rover->readAll();
        return request.endsWith("\r\n\r\n");
    })) << messages_.join('|').toStdString();
    EXPECT_TRUE(request.startsWith("GET /" + kMount.toLatin1()));
    rover->write(kIcyWithFrame);
    EXPECT_TRUE(WaitFor([&] { return frame.Ntrip().ForwardedBytes() == 6; }));
    frame.Ntrip().Stop();
    QSslConfiguration::setDefaultConfiguration(saved);
}

}  // namespace
