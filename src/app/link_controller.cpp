#include "app/link_controller.h"

#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QStringList>

#include "app/command_ids.h"
#include "app/relay_client.h"
#include "decode/gnss_receiver_state.h"
#include "intake/intake_dispatcher.h"
#include "link/comm.h"
#include "link/port_watcher.h"
#include "link/socket_client.h"
#include "settings/settings_store.h"
#include "setup/setup_comm_dlg.h"
#include "views/nmea_data_wnd.h"
#include "views/plots_view.h"

namespace {

constexpr int kLinkLostMessageMs = 5000;
constexpr int kClockPeriodMs = 1000;

}  // namespace

CLinkController::CLinkController(IFrameServices& frame, QObject* parent)
    : QObject(parent),
      frame_(frame),
      comm_(std::make_unique<CComm>()),
      socket_(std::make_unique<CSocketClient>()),
      portWatcher_(std::make_unique<CPortWatcher>())
{
    clockTimer_.setInterval(kClockPeriodMs);
    connect(&clockTimer_, &QTimer::timeout, this, [this] {
        if (times_.Running())
            frame_.SetPane(pane::kTimes, times_.StatusText(QDateTime::currentDateTime()));
    });
    connect(comm_.get(), &CComm::bytesArrived, this, [this](const QByteArray& bytes) {
        frame_.FeedArrival({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            static_cast<std::size_t>(bytes.size())});
    });
    connect(comm_.get(), &CComm::portLost, this, &CLinkController::OnSerialPortLost);
    connect(socket_.get(), &CSocketClient::notice, this, &CLinkController::OnSocketNotice);
    connect(portWatcher_.get(), &CPortWatcher::portAdded, this, &CLinkController::OnPortAdded);
    connect(portWatcher_.get(), &CPortWatcher::portRemoved, this, &CLinkController::OnPortRemoved);
    portWatcher_->Start();

    connect(frame_.Action(command::kOpenPort), &QAction::triggered, this,
            &CLinkController::OnOpenPort);
    connect(frame_.Action(command::kClosePort), &QAction::triggered, this,
            &CLinkController::OnClosePort);
    connect(&frame_.Panel(), &CNmeaDataWnd::sensorPollRequested, this, &CLinkController::Write);
}

CLinkController::~CLinkController() = default;

void CLinkController::AddActivity(FrameActivity& activity) const
{
    activity.linkOpen = link_ != Link::None;
}

void CLinkController::UpdateCommands(const FrameActivity& activity)
{
    frame_.Action(command::kOpenPort)->setEnabled(!activity.linkOpen);
    frame_.Action(command::kClosePort)->setEnabled(activity.linkOpen);
}

void CLinkController::AddReportLines(QStringList& lines) const
{
    if (lastLink_ == Link::None) {
        lines << QStringLiteral("link: none");
        return;
    }
    QString kind = QStringLiteral("serial");
    if (lastLink_ == Link::Network)
        kind = relayLink_ ? QStringLiteral("relay") : QStringLiteral("tcp");
    lines << QStringLiteral("link: %1 %2")
                 .arg(kind,
                      link_ == Link::None ? QStringLiteral("closed") : QStringLiteral("connected"));
}

void CLinkController::OnClose()
{
    if (link_ != Link::None) OnClosePort();
}

void CLinkController::Write(const QByteArray& bytes)
{
    if (link_ == Link::Serial) comm_->Write(bytes);
    if (link_ != Link::Network) return;
    const qint64 queued = socket_->Write(bytes);
    if (relayLink_ && relay_ != nullptr) relay_->OnSent(queued);
}

void CLinkController::WriteRaw(const QByteArray& bytes)
{
    if (link_ == Link::Network) socket_->Write(bytes);
}

bool CLinkController::RefuseWhileReplaying()
{
    if (!frame_.Activity().replaying) return false;
    frame_.ShowMessage(tr("리플레이 모드 상태입니다.\n리플레이를 중지하십시오."),
                       tr("통신연결 에러"));
    return true;
}

bool CLinkController::OnOpenPort()
{
    if (RefuseWhileReplaying()) return false;
    CSetupCommDlg dialog(frame_.Store(), CSetupCommDlg::Target::kReceiverLink, frame_.Window());
    if (dialog.exec() != QDialog::Accepted) return false;
    return ConnectFromSettings();
}

bool CLinkController::ConnectFromSettings()
{
    if (RefuseWhileReplaying()) return false;
    if (link_ != Link::None) OnClosePort();
    const bool network = frame_.Store().Get(settings::kCommTxMode) == 0;
    const bool ok = network ? OpenNetwork() : OpenSerial();
    frame_.UpdateCommandStates();
    return ok;
}

bool CLinkController::OpenNetwork()
{
    CSettingsStore& store = frame_.Store();
    relayLink_ = relay_ != nullptr && store.Get(settings::kCommRelayServerMode) != 0;
    const QString host =
        relayLink_ ? store.Get(settings::kServerVrsIp) : store.Get(settings::kCommHostAddr);
    const int port = relayLink_ ? store.Get(settings::kServerVrsPort)
                                : store.Get(settings::kCommHostPort).toInt();
    if (relayLink_) relay_->OnLinkOpening(host);
    socket_->Connect(host, static_cast<quint16>(port));
    frame_.SetPane(pane::kPort, QStringLiteral("%1:%2").arg(host).arg(port));
    LinkUp(Link::Network);
    return true;
}

bool CLinkController::OpenSerial()
{
    frame_.Intake().SetSyncProtocol(frame_.Store().ReadSyncProtocol());
    const CommSettings comm = CommSettingsFromStore(frame_.Store());
    frame_.SetPane(pane::kPort, QStringLiteral("%1 / %2bps").arg(comm.portName).arg(comm.baudRate));
    if (!comm_->Open(comm)) {  // the status line keeps "Not Connected"
        frame_.ShowMessage(
            SerialOpenFailureText(comm.portName, comm_->OpenError(), comm_->OpenErrorText()),
            tr("통신연결 에러"));
        return false;
    }
    portName_ = comm.portName;
    LinkUp(Link::Serial);
    frame_.Panel().SetTimesToFix(QStringLiteral("00:00"), QStringLiteral("00:00"));
    return true;
}

void CLinkController::LinkUp(Link link)
{
    frame_.SetPane(pane::kConnection, QStringLiteral("Connected"));
    link_ = link;
    lastLink_ = link;
    times_.Start(QDateTime::currentDateTime());
    clockTimer_.start();
    frame_.Plot().Clear(true);
    frame_.ResetIntake();
}

void CLinkController::OnClosePort()
{
    lostPort_.clear();
    if (link_ == Link::Serial) comm_->Close();
    if (link_ == Link::Network) socket_->Close();
    if (link_ == Link::Network && relayLink_ && relay_) relay_->OnLinkClosed();
    link_ = Link::None;
    times_.Stop();
    clockTimer_.stop();
    frame_.StopIdleFlush();
    frame_.Intake().Disconnect();
    frame_.SetPane(pane::kConnection, QStringLiteral("Not Connected"));
    frame_.UpdateCommandStates();
}

void CLinkController::AfterIntakePass(const GnssReceiverState& s)
{
    if (!times_.Running()) return;
    // A fast receiver ends a pass every few milliseconds; the texts count whole seconds. The
    // same fix again within a tenth of a second changes nothing worth the local time.
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const std::array<qint64, 3> pass{ms / kTimesRefreshMs, s.fixMode, s.fixQuality};
    if (pass == lastTimesPass_) return;
    lastTimesPass_ = pass;
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(ms);
    times_.Track(s.fixMode, s.fixQuality, now);
    frame_.SetPane(pane::kTimes, times_.StatusText(now));
    frame_.Panel().SetTimesToFix(times_.FloatTimerText(now), times_.FixedTimerText(now));
}

void CLinkController::OnLinkLost(const QString& reason)
{
    OnClosePort();
    frame_.ShowStatusMessage(reason, kLinkLostMessageMs);
}

void CLinkController::OnSocketNotice(int code)
{
    switch (code) {
        case CSocketClient::kNoticeConnected:
            frame_.SetPane(pane::kConnection, QStringLiteral("Connected"));
            if (link_ == Link::Network && relayLink_ && relay_) relay_->OnLinkConnected();
            break;
        case CSocketClient::kNoticeData: ReadNetwork(); break;
        case CSocketClient::kNoticeClosed:
            if (link_ == Link::Network) OnLinkLost(tr("연결 종료: %1").arg(socket_->LastError()));
            break;
        default: break;
    }
}

void CLinkController::ReadNetwork()
{
    if (link_ != Link::Network) return;
    if (relayLink_ && relay_ && relay_->HandshakePending()) {
        // The handshake reply is the relay's, not the receiver's: it is neither logged nor
        // decoded. What follows it in the same block is.
        QByteArray block(CRelayClient::kReadBlock, Qt::Uninitialized);
        const qint64 n = socket_->Read(block.data(), block.size());
        if (n <= 0) return;
        block.truncate(n);
        relay_->OnHandshakeBlock(block);
        if (link_ != Link::Network || relay_->HandshakePending()) return;
    }
    frame_.FeedFromReader([this](std::span<std::uint8_t> space) -> std::int64_t {
        return socket_->Read(reinterpret_cast<char*>(space.data()),
                             static_cast<qint64>(space.size()));
    });
}

void CLinkController::OnPortAdded(const QString& port)
{
    frame_.ShowTimedMessage(PortChangeMessage(port, true), PortChangeCaption(),
                            kPortChangeMessageMs);
    // A receiver port that went away while in use is opened again when it comes back.
    if (link_ == Link::None && !lostPort_.isEmpty() &&
        ReceiverPortActionFor(port, true, lostPort_, false) == ReceiverPortAction::Reopen) {
        lostPort_.clear();
        ConnectFromSettings();
    }
}

void CLinkController::OnPortRemoved(const QString& port)
{
    frame_.ShowTimedMessage(PortChangeMessage(port, false), PortChangeCaption(),
                            kPortChangeMessageMs);
    if (link_ == Link::Serial &&
        ReceiverPortActionFor(port, false, portName_, true) == ReceiverPortAction::Close) {
        OnSerialPortLost(portName_);
    }
}

void CLinkController::OnSerialPortLost(const QString& port)
{
    if (link_ != Link::Serial) return;
    OnLinkLost(tr("%1 연결이 끊어졌습니다.").arg(port));
    lostPort_ = port;
}
