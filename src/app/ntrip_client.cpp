#include "app/ntrip_client.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "app/command_ids.h"
#include "decode/gnss_receiver_state.h"
#include "link/comm.h"
#include "link/serial_mfc.h"
#include "link/socket_client.h"
#include "net/ntrip_messages.h"
#include "settings/settings_store.h"
#include "views/rtcm_monitor_wnd.h"

namespace {

const QString kCaption = QStringLiteral("NTRIP");
constexpr std::uint8_t kForwardDataBits = 8;

}  // namespace

CNtripClient::CNtripClient(IFrameServices& frame, QObject* parent)
    : QObject(parent),
      frame_(frame),
      socket_(std::make_unique<CSocketClient>()),
      forwardPort_(std::make_unique<CSerialMFC>())
{
    connect(socket_.get(), &CSocketClient::notice, this, &CNtripClient::OnSocketNotice);
    clock_.start();
    monitorTick_.setInterval(1000);
    connect(&monitorTick_, &QTimer::timeout, this, &CNtripClient::RefreshMonitor);
    monitorTick_.start();
    connect(frame_.Action(command::kRtcmMonitor), &QAction::triggered, this,
            &CNtripClient::OpenMonitor);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &CNtripClient::Connect);
    connect(frame_.Action(command::kNtripStart), &QAction::triggered, this, &CNtripClient::Start);
    connect(frame_.Action(command::kNtripStop), &QAction::triggered, this, &CNtripClient::Stop);
    frame_.AddEpochSink(EpochStage::NtripUpload, QStringLiteral("NTRIP GGA upload"),
                        [this](EpochRefresh& epoch) { SendGga(epoch); });
}

CNtripClient::~CNtripClient() = default;

int CNtripClient::NextRetrySeconds(int seconds)
{
    return std::clamp(seconds * 2, kFirstRetrySeconds, kLastRetrySeconds);
}

bool CNtripClient::IsConnected() const { return socket_->IsConnected(); }

void CNtripClient::UpdateCommands(const FrameActivity& activity)
{
    frame_.Action(command::kNtripStart)->setEnabled(!active_ && !activity.replaying);
    frame_.Action(command::kNtripStop)->setEnabled(active_ && !activity.replaying);
}

void CNtripClient::AddReportLines(QStringList& lines) const
{
    if (outcome_ == Outcome::None) return;
    const char* state = outcome_ == Outcome::Connected ? "connected"
                        : outcome_ == Outcome::Refused ? "refused"
                                                       : "closed";
    lines << QStringLiteral("ntrip: %1").arg(QLatin1String(state))
          << QStringLiteral("rtcm_bytes: %1").arg(forwarded_);
    QStringList types;
    for (const auto& row : monitor_.Take(clock_.elapsed()).types)
        types << QStringLiteral("%1:%2").arg(row.type).arg(row.count);
    lines << QStringLiteral("rtcm_types: %1").arg(types.join(QLatin1Char(',')));
}

bool CNtripClient::CheckSettings()
{
    CSettingsStore& store = frame_.Store();
    if (store.Get(settings::kNtripEnable) != 0) {
        const std::pair<const TextSetting*, QString> required[] = {
            {&settings::kNtripMountPoint,
             tr("마운트포인트가 지정되지 않았습니다.\n설정에서 확인하세요.\n")},
            {&settings::kNtripIdentity,
             tr("아이디가 설정되지 않았습니다.\n설정에서 확인하세요.\n")},
            {&settings::kNtripPassword,
             tr("비밀번호가 설정되지 않았습니다.\n설정에서 확인하세요.\n")},
        };
        for (const auto& [setting, message] : required) {
            if (store.Get(*setting).isEmpty()) {
                frame_.ShowMessage(message, kCaption);
                return false;
            }
        }
        return true;
    }
    // A plain correction server is given by its address, and not on the caster's default port.
    const QString host = store.Get(settings::kNtripHostAddr);
    if (host.isEmpty() || !host.at(0).isDigit() ||
        store.Get(settings::kNtripHostPort) == settings::kNtripHostPort.defaultValue) {
        frame_.ShowMessage(tr("NTRIP이 Enable 되어 있지 않습니다.\n설정에서 확인하세요.\n"),
                           kCaption);
        return false;
    }
    return true;
}

void CNtripClient::OpenForwardPort()
{
    forwardPort_->Close();
    CSettingsStore& store = frame_.Store();
    const QString port = store.Get(settings::kNtripPort);
    if (forwardPort_->Open(port) != SerialError::Success) return;  // corrections stay home
    const int index = store.Get(settings::kNtripBaudRate);
    const bool listed = index >= 0 && index < static_cast<int>(kCommBaudRates.size());
    const std::uint32_t baud =
        kCommBaudRates[static_cast<std::size_t>(listed ? index : kDefaultBaudIndex)];
    forwardPort_->Setup(baud, kForwardDataBits, CommParity::None, CommStopBits::One);
}

bool CNtripClient::Start()
{
    if (active_ || frame_.Activity().replaying || !CheckSettings()) return false;
    CSettingsStore& store = frame_.Store();
    ntripMode_ = store.Get(settings::kNtripEnable) != 0;
    samePort_ = store.Get(settings::kNtripSamePort) != 0;
    version_ = store.Get(settings::kNtripVersion) == 2 ? 2 : 1;
    reconnect_ = store.Get(settings::kNtripReconnect) != 0;
    tls_ = store.Get(settings::kNtripTls) != 0;
    if (!samePort_) OpenForwardPort();
    log_.close();
    log_.setFileName(QDir::current().filePath(QString::fromLatin1(kLogName)));
    log_.open(QIODevice::WriteOnly | QIODevice::Truncate);  // no log is no reason to stop
    monitor_.Clear();
    forwarded_ = 0;
    retrySeconds_ = kFirstRetrySeconds;
    active_ = true;
    outcome_ = Outcome::Closed;
    Connect();
    frame_.UpdateCommandStates();
    return true;
}

// One attempt; a reconnection starts a new reply and drops the bytes of a broken group.
void CNtripClient::Connect()
{
    reply_ = CNtripReplyReader();
    groups_.Clear();
    connected_ = false;
    stopping_ = false;
    CSettingsStore& store = frame_.Store();
    socket_->Connect(store.Get(settings::kNtripHostAddr),
                     static_cast<quint16>(store.Get(settings::kNtripHostPort)), tls_);
}

void CNtripClient::ScheduleRetry()
{
    frame_.SetPane(pane::kNtrip, QStringLiteral("NTRIP : Reconnecting in %1 s").arg(retrySeconds_));
    retryTimer_.start(retrySeconds_ * 1000);
    retrySeconds_ = NextRetrySeconds(retrySeconds_);
}

void CNtripClient::Stop()
{
    if (!active_) return;
    retryTimer_.stop();
    stopping_ = true;
    socket_->Close();  // the close notice follows
    active_ = false;
    CloseOutputs();
    frame_.UpdateCommandStates();
}

void CNtripClient::CloseOutputs()
{
    forwardPort_->Close();
    log_.close();
}

void CNtripClient::OnSocketNotice(int code)
{
    switch (code) {
        case CSocketClient::kNoticeConnected: OnConnected(); break;
        case CSocketClient::kNoticeData: OnData(); break;
        case CSocketClient::kNoticeClosed: OnClosed(); break;
        default: break;
    }
}

void CNtripClient::OnConnected()
{
    connected_ = true;
    outcome_ = Outcome::Connected;
    frame_.SetPane(pane::kNtrip, QStringLiteral("NTRIP : Connected"));
    frame_.SetPane(pane::kRtcm, QStringLiteral("RTCM Recv : 0"));
    if (!ntripMode_) return;
    CSettingsStore& store = frame_.Store();
    mountPoint_ = store.Get(settings::kNtripMountPoint);
    frame_.SetPane(pane::kSix, mountPoint_);
    const QByteArray credentials = (store.Get(settings::kNtripIdentity) + QLatin1Char(':') +
                                    store.Get(settings::kNtripPassword))
                                       .toUtf8()
                                       .toBase64();
    NtripRequestOptions options;
    options.version = version_;
    options.host = store.Get(settings::kNtripHostAddr).toStdString();
    options.port = static_cast<std::uint16_t>(store.Get(settings::kNtripHostPort));
    const std::string request =
        BuildNtripRequest(mountPoint_.toStdString(), credentials.toStdString(), options);
    socket_->Write(request.data(), static_cast<qint64>(request.size()));
}

void CNtripClient::OnData()
{
    char block[kReadBlock];
    std::vector<std::uint8_t> body;
    for (;;) {
        const qint64 n = socket_->Read(block, kReadBlock);
        if (n <= 0) break;
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(block),
                                                  static_cast<std::size_t>(n));
        if (!ntripMode_) {
            Forward(bytes);
            continue;
        }
        body.clear();
        reply_.Feed(bytes, body);
        if (reply_.Kind() == NtripReplyKind::Refused ||
            reply_.Kind() == NtripReplyKind::Unauthorized) {
            outcome_ = Outcome::Refused;
        }
        if (!body.empty() && reply_.Kind() == NtripReplyKind::Stream) Forward(body);
    }
}

void CNtripClient::Forward(std::span<const std::uint8_t> corrections)
{
    retrySeconds_ = kFirstRetrySeconds;  // the stream runs: a later drop starts the pauses over
    forwarded_ += corrections.size();
    frame_.SetPane(pane::kRtcm, QStringLiteral("RTCM Recv : %1").arg(forwarded_));
    if (log_.isOpen()) {
        log_.write(reinterpret_cast<const char*>(corrections.data()),
                   static_cast<qint64>(corrections.size()));
        log_.flush();  // the log is read while it grows
    }
    monitor_.Feed(corrections, clock_.elapsed());
    const auto toQByteArray = [](std::span<const std::uint8_t> bytes) {
        return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    };
    if (frame_.ReceiverLinkKind() == ReceiverLink::Network) {
        frame_.WriteToReceiver(toQByteArray(corrections));
        return;
    }
    groups_.Take(corrections, [&](std::span<const std::uint8_t> group) {
        if (samePort_) {
            if (frame_.ReceiverLinkKind() == ReceiverLink::Serial)
                frame_.WriteToReceiver(toQByteArray(group));
        } else if (forwardPort_->IsOpen()) {
            forwardPort_->Write(reinterpret_cast<const char*>(group.data()),
                                static_cast<qint64>(group.size()));
        }
    });
}

void CNtripClient::OnClosed()
{
    const bool wasConnected = connected_;
    connected_ = false;
    const bool userStop = stopping_;
    stopping_ = false;
    const NtripReplyKind kind = reply_.Kind();
    const bool refused = socket_->CertificateRejected() ||
                         (ntripMode_ && kind != NtripReplyKind::Stream &&
                          (kind != NtripReplyKind::Pending || !reply_.ReplyText().empty()));
    if (active_ && reconnect_ && !userStop && !refused) {
        // A dropped or failed connection is tried again; a refusal is final.
        if (outcome_ == Outcome::Connected) outcome_ = Outcome::Closed;
        ScheduleRetry();
        return;
    }
    if (active_) {
        active_ = false;
        CloseOutputs();
        frame_.UpdateCommandStates();
    }
    if (!wasConnected && !userStop) {
        outcome_ = Outcome::Refused;
        frame_.SetPane(pane::kNtrip, ntripMode_ ? QStringLiteral("NTRIP : Not Connected")
                                                : QStringLiteral("SERVER : Not Connected"));
        if (socket_->CertificateRejected()) {
            frame_.ShowMessage(tr("NTRIP 보안 연결(TLS)에 실패하였습니다.\n캐스터의 인증서를 "
                                  "신뢰할 수 없습니다: %1")
                                   .arg(socket_->LastError()),
                               kCaption);
        } else if (ntripMode_) {
            frame_.ShowMessage(tr("NTRIP 연결에 실패하였습니다.\n설정 정보를 다시 확인해주세요."),
                               kCaption);
        } else {
            frame_.ShowMessage(tr("Server 연결에 실패하였습니다.\n설정 정보를 다시 확인해주세요."),
                               QStringLiteral("SERVER"));
        }
        return;
    }
    frame_.SetPane(pane::kNtrip, QStringLiteral("NTRIP : Not Connected"));
    if (outcome_ == Outcome::Connected) outcome_ = Outcome::Closed;
    if (ntripMode_ && !userStop) ShowRefusal();
}

void CNtripClient::ShowRefusal()
{
    const NtripReplyKind kind = reply_.Kind();
    if (kind == NtripReplyKind::Unauthorized) {
        frame_.ShowMessage(tr("NTRIP 연결에 실패하였습니다.\n아이디/비밀번호를 다시 확인해주세요."),
                           kCaption);
        return;
    }
    const QString text = QString::fromStdString(reply_.ReplyText());
    const bool refused = kind == NtripReplyKind::Refused || kind == NtripReplyKind::SourceTable ||
                         (kind == NtripReplyKind::Pending && !text.isEmpty());
    if (refused) frame_.ShowMessage(tr("NTRIP 연결에 실패하였습니다.\n") + text, kCaption);
}

void CNtripClient::OpenMonitor()
{
    if (monitorWnd_ == nullptr) monitorWnd_ = new CRtcmMonitorWnd(frame_.Window());
    monitorWnd_->show();
    monitorWnd_->raise();
    RefreshMonitor();
}

void CNtripClient::RefreshMonitor()
{
    const std::int64_t now = clock_.elapsed();
    const CRtcmMonitor::Snapshot snapshot = monitor_.Take(now);
    frame_.SetPaneToolTip(pane::kRtcm, CRtcmMonitorWnd::ToolTipText(snapshot));
    if (monitorWnd_ != nullptr && monitorWnd_->isVisible())
        monitorWnd_->Show(snapshot, now, QDateTime::currentDateTime());
}

void CNtripClient::SendGga(const EpochRefresh& epoch)
{
    // The monitor's baseline runs from the reference station to the rover's latest position.
    if (epoch.validPosition)
        monitor_.SetRover(epoch.state.latitudeDeg, epoch.state.longitudeDeg,
                          epoch.state.ellipsoidHeight);
    if (!ntripMode_ || !socket_->IsConnected() || !(epoch.delivered & ContentFlag::Position) ||
        !MountPointWantsGga(mountPoint_.toStdString()) || frame_.Activity().replaying)
        return;
    if (const auto gga = BuildNtripGga(epoch.state))
        socket_->Write(gga->data(), static_cast<qint64>(gga->size()));
}
