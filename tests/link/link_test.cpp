#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <ctime>

#include "link/comm.h"
#include "link/port_watcher.h"
#include "link/serial_mfc.h"
#include "link/socket_client.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"
#include "support/test_data.h"

namespace {

// A real event loop, idle between events (WaitFor polls).
void RunEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

termios LineOf(const RawPty& pty)  // a pty's line settings are the slave's
{
    termios t{};
    tcgetattr(pty.master, &t);
    return t;
}

}  // namespace

TEST(CommSettingsMapping, ListPositionsGiveRecordValues)
{
    // Parity list: even, odd, none, mark, space. Flow list "Xon/Xoff", "하드웨어", "없음" gives
    // RTS/CTS, DTR/DSR, none. A position outside its list gives the list's default.
    using P = CommParity;
    using S = CommStopBits;
    struct Row {
        int index;
        std::uint32_t baud;
        int bits;
        P parity;
        S stop;
        int flow;
    };
    // clang-format off
    const Row rows[] = {{0, 110, 5, P::Even, S::One, comm_flow::kRtsCts},
                        {1, 300, 6, P::Odd, S::OneAndHalf, comm_flow::kDtrDsr},
                        {2, 1200, 7, P::None, S::Two, 0}, {3, 2400, 8, P::Mark, S::One, 0},
                        {4, 4800, 8, P::Space, S::One, 0}, {12, 921600, 8, P::None, S::One, 0},
                        {13, 115200, 8, P::None, S::One, 0}, {-1, 115200, 8, P::None, S::One, 0}};
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.index);
        EXPECT_EQ(BaudRateFromIndex(r.index), r.baud);
        EXPECT_EQ(DataBitsFromIndex(r.index), r.bits);
        EXPECT_EQ(ParityFromIndex(r.index), r.parity);
        EXPECT_EQ(StopBitsFromIndex(r.index), r.stop);
        EXPECT_EQ(FlowFlagsFromIndex(r.index), r.flow);
    }
    const std::uint32_t middle[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800};
    for (int i = 5; i <= 11; ++i) EXPECT_EQ(BaudRateFromIndex(i), middle[i - 5]);

    EXPECT_EQ(QtParity(P::Mark), QSerialPort::MarkParity);
    EXPECT_EQ(QtStopBits(S::OneAndHalf), QSerialPort::OneAndHalfStop);
    EXPECT_EQ(QtDataBits(6), QSerialPort::Data6);
    EXPECT_EQ(QtFlowControl(comm_flow::kXonXoff), QSerialPort::SoftwareControl);
    EXPECT_EQ(QtFlowControl(comm_flow::kRtsCts | comm_flow::kXonXoff),
              QSerialPort::HardwareControl);
    EXPECT_EQ(QtFlowControl(comm_flow::kDtrDsr), QSerialPort::NoFlowControl);  // not in termios

    // Each stored key reaches its own field: distinct positions tell swapped keys apart.
    const QTemporaryDir dir;
    CSettingsStore store(dir.filePath(QStringLiteral("link.conf")));
    store.Write(settings::kCommPort, QStringLiteral("COM12"));
    // clang-format off
    const std::pair<const IntSetting*, int> stored[] = {{&settings::kCommBaudRate, 5}, {&settings::kCommDataBits, 0},
        {&settings::kCommParity, 1}, {&settings::kCommStopBits, 2}, {&settings::kCommFlowControl, 4}};
    // clang-format on
    for (const auto& [key, position] : stored) store.Write(*key, position);
    EXPECT_EQ(CommSettingsFromStore(store),
              MakeCommSettings(QStringLiteral("COM12"), 5, 0, 1, 2, 4));
}

TEST(CommSettingsMapping, StoredPortNames)
{
    struct Row {
        const char *stored, *device, *location;
        int number;
    };
    // clang-format off
    const Row rows[] = {{"COM1", "/dev/ttyS0", "/dev/ttyS0", 1}, {"COM10", "/dev/ttyS9", "/dev/ttyS9", 10},
                        {"COM255", "/dev/ttyS254", "/dev/ttyS254", 255}, {"com3", "/dev/ttyS2", "/dev/ttyS2", 3},
                        {"COM0", "COM0", "/dev/COM0", 0}, {"COM256", "COM256", "/dev/COM256", 0},
                        {"COM+4", "COM+4", "/dev/COM+4", 0}, {"ttyUSB0", "ttyUSB0", "/dev/ttyUSB0", 0},
                        {"/dev/pts/3", "/dev/pts/3", "/dev/pts/3", 0}, {"", "", "", 0}};
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.stored);
        const QString stored = QString::fromLatin1(r.stored);
        EXPECT_EQ(PortNumberFromName(stored), r.number);
        EXPECT_EQ(PortDeviceName(stored), QString::fromLatin1(r.device));
        EXPECT_EQ(PortSystemLocation(stored), QString::fromLatin1(r.location));
    }
}

// What an operator reads when a port does not open: a missing port, and a port the user may
// not open, which names the dialout group and how to join it.
TEST(CommOpenFailure, MessagesSayWhatToDo)
{
    CComm comm;
    EXPECT_FALSE(comm.Open(MakeCommSettings(QStringLiteral("/dev/skarnet2-none"), 0, 0, 0, 0, 0)));
    EXPECT_EQ(comm.OpenError(), QSerialPort::DeviceNotFoundError);
    EXPECT_EQ(SerialOpenFailureText(QStringLiteral("/dev/skarnet2-none"), comm.OpenError(),
                                    comm.OpenErrorText())
                  .toStdString(),
              "/dev/skarnet2-none 포트가 없습니다.");
    const QString denied =
        SerialOpenFailureText(QStringLiteral("ttyUSB0"), QSerialPort::PermissionError, QString());
    EXPECT_TRUE(denied.startsWith(QStringLiteral("ttyUSB0 포트를 열 권한이 없습니다.")));
    EXPECT_TRUE(denied.contains(QStringLiteral("sudo usermod -aG dialout $USER")));
}

TEST(CommPty, CaptureArrivesWholeInOrderInPiecesOfAtMost1024)
{
    SKIP_WITHOUT_DATA();
    const auto capture =
        testdata::ReadBytes(*testdata::DataDir() / "mixed" / "pyubx2_ublox-m8_nmea_ubx_39s.log");
    ASSERT_GT(capture.size(), 10000u);
    RawPty pty;
    CComm comm;
    QByteArray received;
    qsizetype largest = 0, smallest = CComm::kMaxPiece;
    QObject::connect(&comm, &CComm::bytesArrived, [&](const QByteArray& piece) {
        received += piece;
        largest = std::max(largest, piece.size());
        smallest = std::min(smallest, piece.size());
    });
    ASSERT_TRUE(comm.Open(MakeCommSettings(pty.slaveName, 9, 3, 2, 0, 2)));
    std::size_t sent = 0;
    ASSERT_TRUE(WaitFor([&] {
        const ssize_t n = write(pty.master, capture.data() + sent, capture.size() - sent);
        if (n > 0) sent += static_cast<std::size_t>(n);
        return static_cast<std::size_t>(received.size()) >= capture.size();
    })) << received.size()
        << " of " << capture.size();
    EXPECT_EQ(received, QByteArray(reinterpret_cast<const char*>(capture.data()),
                                   static_cast<qsizetype>(capture.size())));
    EXPECT_LE(largest, CComm::kMaxPiece);
    EXPECT_GT(smallest, 0);
}

TEST(CommPty, AppliesTheRecordWritesAndKeepsItForReopen)
{
    RawPty pty;
    CComm comm;
    // A pty is always 8 bits without parity: like a port refusing 7E1, the open fails.
    EXPECT_FALSE(comm.Open(MakeCommSettings(pty.slaveName, 9, 2, 0, 0, 2)));
    EXPECT_FALSE(comm.IsOpen());

    const CommSettings s = MakeCommSettings(pty.slaveName, 5, 3, 2, 2, 2);  // 9600 8N2
    ASSERT_TRUE(comm.Open(s));
    termios t = LineOf(pty);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));  // 0x11 and 0x13 must pass untouched

    const QByteArray bytes("$GPGGA,1*00\r\n\x11\x13\x00", 16);
    EXPECT_TRUE(comm.Write(bytes));
    QByteArray got;  // at the far end of the pty
    WaitFor([&] {
        char chunk[64];
        got.append(chunk, std::max<ssize_t>(read(pty.master, chunk, sizeof chunk), 0));
        return got.size() >= bytes.size();
    });
    EXPECT_EQ(got, bytes);
    // Nobody reads the master now: the writes are still taken.
    const QByteArray block(4096, 'r');
    for (int i = 0; i < 64; ++i) EXPECT_TRUE(comm.Write(block.constData(), block.size()));

    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_FALSE(comm.Write(bytes.constData(), bytes.size()));
    EXPECT_EQ(comm.Settings(), s);

    const QTemporaryDir dir;
    CSettingsStore store(dir.filePath(QStringLiteral("link.conf")));
    store.Write(settings::kCommBaudRate, 8);
    ASSERT_TRUE(comm.Reopen(store));
    t = LineOf(pty);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(comm.Settings().portName, pty.slaveName);
}

TEST(CommPty, PullingThePtyAwayClosesTheLinkOnceWithoutSpinning)
{
    RawPty pty;
    CComm comm;
    QStringList lost;
    QObject::connect(&comm, &CComm::portLost, [&](const QString& name) { lost << name; });
    ASSERT_TRUE(comm.Open(MakeCommSettings(pty.slaveName, 9, 3, 2, 0, 2)));
    pty.Close();
    ASSERT_TRUE(WaitFor([&] { return !lost.isEmpty(); }));
    EXPECT_FALSE(comm.IsOpen());

    // A port left open on the dead pty keeps the loop busy with read errors.
    timespec before{}, after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    RunEventLoopFor(300);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    EXPECT_LT(static_cast<double>(after.tv_sec - before.tv_sec) +
                  static_cast<double>(after.tv_nsec - before.tv_nsec) * 1e-9,
              0.1);
    EXPECT_EQ(lost, QStringList{pty.slaveName});
}

TEST(SerialMFC, SecondPortCodesSetupAndWriteTimeout)
{
    CSerialMFC port;
    EXPECT_EQ(static_cast<int>(port.Write("x", 1)), 6);
    EXPECT_EQ(static_cast<int>(port.Setup(115200, 8, CommParity::None, CommStopBits::One)), 6);
    EXPECT_EQ(port.Open(QStringLiteral("/dev/skarnet2-no-such-port")), SerialError::FileNotFound);

    RawPty pty;
    ASSERT_EQ(port.Open(pty.slaveName), SerialError::Success);
    EXPECT_EQ(static_cast<int>(port.Open(pty.slaveName)), 1247);
    EXPECT_EQ(port.Setup(38400, 9, CommParity::None, CommStopBits::One),
              SerialError::InvalidParameter);
    ASSERT_EQ(port.Setup(38400, 8, CommParity::None, CommStopBits::One), SerialError::Success);
    termios t = LineOf(pty);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));

    bool timedOut = false;
    QObject::connect(&port, &CSerialMFC::writeTimedOut, [&] { timedOut = true; });
    const QByteArray block(16 * 1024, 'c');
    // Nobody reads the master: the pty fills, the queue stops draining, the timer fires.
    EXPECT_TRUE(WaitFor([&] {
        if (!timedOut) port.Write(block.constData(), block.size(), 100);
        return timedOut;
    }));
    EXPECT_EQ(static_cast<int>(port.LastError()), 1460);
}

TEST(SocketClient, ConnectDataAndPeerCloseInOrder)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    CSocketClient client;
    // The notices in order; on notice 1 at most 700 bytes are read, as the intake does.
    struct {
        std::vector<int> codes;
        QByteArray data;
    } log;
    QObject::connect(&client, &CSocketClient::notice, [&](int code) {
        log.codes.push_back(code);
        char buffer[700];
        const qint64 n =
            code == CSocketClient::kNoticeData ? client.Read(buffer, sizeof buffer) : 0;
        if (n > 0) log.data.append(buffer, n);
    });
    client.Connect(QStringLiteral("127.0.0.1"), server.serverPort());
    ASSERT_TRUE(WaitFor([&] { return client.IsConnected() && server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    EXPECT_EQ(log.codes, std::vector<int>{0});

    // More at once than one read takes: the notice comes again until all is read.
    QByteArray stream(100000, '\0');
    for (int i = 0; i < stream.size(); ++i) stream[i] = static_cast<char>(i * 7 + i / 251);
    peer->write(stream);
    ASSERT_TRUE(WaitFor([&] { return log.data.size() >= stream.size(); }));
    EXPECT_EQ(log.data, stream);

    peer->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return log.codes.back() == 2; }));
    WaitFor([] { return false; }, 20);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(std::count(log.codes.begin(), log.codes.end(), 0), 1);
    EXPECT_EQ(std::count(log.codes.begin(), log.codes.end(), 1),
              static_cast<std::ptrdiff_t>(log.codes.size()) - 2);
    EXPECT_EQ(log.codes.back(), 2);
    EXPECT_EQ(client.Write("x", 1), -1);
}

TEST(PortWatcher, ListDifferences)
{
    struct Row {
        QStringList before, after, added, removed;
    } const rows[] = {{{}, {}, {}, {}},
                      {{"ttyS0", "ttyUSB0"}, {"ttyUSB1", "ttyS0"}, {"ttyUSB1"}, {"ttyUSB0"}},
                      {{"ttyACM0"}, {"ttyACM1", "ttyACM1"}, {"ttyACM1"}, {"ttyACM0"}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.before.join(',').toStdString() + " -> " + r.after.join(',').toStdString());
        EXPECT_EQ(DiffPortLists(r.before, r.after), (PortListChange{r.added, r.removed}));
    }

    std::vector<QStringList> listings = {{"ttyS0", "ttyUSB0"}, {"ttyS0"}, {"ttyS0", "ttyUSB1"}};
    std::size_t next = 0;
    CPortWatcher watcher(nullptr, [&] { return listings[std::min(next++, listings.size() - 1)]; });
    QStringList events;
    QObject::connect(&watcher, &CPortWatcher::portAdded,
                     [&](const QString& n) { events << "+" + n; });
    QObject::connect(&watcher, &CPortWatcher::portRemoved,
                     [&](const QString& n) { events << "-" + n; });
    EXPECT_FALSE(watcher.FollowsEvents());  // a lister of its own is polled
    watcher.Start();
    watcher.Poll();
    watcher.Poll();
    EXPECT_EQ(events, (QStringList{"-ttyUSB0", "+ttyUSB1"}));
    EXPECT_EQ(watcher.Ports(), listings[2]);
}

TEST(PortWatcher, SystemListHasNoPseudoTerminal)
{
    const RawPty pty;
    ASSERT_TRUE(pty.Valid());
    for (const QString& name : CPortWatcher::AvailablePorts()) EXPECT_FALSE(name.startsWith("pt"));
}

TEST(PortWatcher, MessageAndReceiverPortDecision)
{
    EXPECT_EQ(PortChangeMessage(QStringLiteral("ttyUSB0"), true), QStringLiteral("ttyUSB0 추가"));
    EXPECT_EQ(PortChangeMessage(QStringLiteral("ttyS3"), false), QStringLiteral("ttyS3 제거"));

    using A = ReceiverPortAction;
    struct Row {
        const char *changed, *receiver;
        bool arrived, open, same;
        A action;
    } const rows[] = {{"ttyS0", "COM1", false, true, true, A::Close},
                      {"/dev/ttyS0", "COM1", true, false, true, A::Reopen},
                      {"ttyS0", "COM1", true, true, true, A::None},    // already open
                      {"ttyS0", "COM1", false, false, true, A::None},  // already closed
                      {"ttyS1", "COM1", false, true, false, A::None},  // another port
                      {"ttyUSB0", "/dev/ttyUSB0", false, true, true, A::Close},
                      {"ttyUSB0", "ttyUSB0", true, false, true, A::Reopen},
                      {"ttyUSB0", "", false, true, false, A::None}};
    EXPECT_TRUE(CComm().Settings().portName.isEmpty());  // never opened: matches no port
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.changed) + " / " + r.receiver);
        EXPECT_EQ(IsSamePort(QString::fromLatin1(r.changed), QString::fromLatin1(r.receiver)),
                  r.same);
        EXPECT_EQ(ReceiverPortActionFor(QString::fromLatin1(r.changed), r.arrived,
                                        QString::fromLatin1(r.receiver), r.open),
                  r.action);
    }
}
