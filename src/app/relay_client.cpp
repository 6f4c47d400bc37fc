#include "app/relay_client.h"

#include <QAction>
#include <QComboBox>
#include <algorithm>
#include <vector>

#include "app/command_ids.h"
#include "app/link_controller.h"
#include "link/socket_client.h"
#include "settings/settings_store.h"
#include "setup/setup_comm_dlg.h"

namespace {

using State = relay::CViewerSession::State;
using Kind = relay::CViewerSession::Arrival::Kind;

std::string Latin1(const QString& text) { return text.toLatin1().toStdString(); }

}  // namespace

CRelayClient::CRelayClient(IFrameServices& frame, CLinkController& link, QObject* parent)
    : QObject(parent),
      frame_(frame),
      link_(link),
      combo_(new QComboBox),
      deviceChannel_(std::make_unique<CSocketClient>()),
      viewerId_(LocalMyId())
{
    clock_.start();
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CRelayClient::OnTimer);
    combo_->setMinimumWidth(120);
    combo_->setEnabled(false);
    connect(combo_, &QComboBox::activated, this, &CRelayClient::SelectDevice);
    connect(deviceChannel_.get(), &CSocketClient::notice, this,
            &CRelayClient::OnDeviceChannelNotice);
}

// The toolbar owns the combo once it holds it; one that never got there is ours.
CRelayClient::~CRelayClient()
{
    link_.SetRelayClient(nullptr);
    if (combo_ && combo_->parent() == nullptr) delete combo_.data();
}

relay::CViewerSession::Ticks CRelayClient::Now() const
{
    return relay::CViewerSession::Ticks(clock_.elapsed());
}

void CRelayClient::SetAlivePeriod(std::chrono::milliseconds period)
{
    alivePeriod_ = period;
    if (session_.GetState() == State::Closed) session_ = relay::CViewerSession(period);
}

void CRelayClient::OnLinkOpening(const QString& host)
{
    host_ = host;
    used_ = true;
    session_ = relay::CViewerSession(alivePeriod_);
    outcome_ = State::Closed;
}

void CRelayClient::OnLinkConnected()
{
    CSettingsStore& store = frame_.Store();
    const QString device = store.Get(settings::kCommHostAddr);
    const QString login = store.Get(settings::kCommLoginId);
    if (login.isEmpty()) {
        store.Write(settings::kCommLoginInfo, QString());
        store.Write(settings::kCommRelayedNmea, QStringLiteral("GGA"));
    }
    const std::string line = relay::Introduction(Latin1(viewerId_), Latin1(login), Latin1(device),
                                                 Latin1(store.Get(settings::kCommRelayedNmea)));
    link_.WriteRaw(QByteArray::fromStdString(line));
    session_.Connected(Now());
    outcome_ = State::Handshake;
    ArmTimer();
    if (store.Get(settings::kCommAutoLogin) != 1) store.Write(settings::kCommLoginInfo, QString());
    if (store.Get(settings::kCommSaveId) != 1) store.Write(settings::kCommLoginId, QString());
}

void CRelayClient::OnHandshakeBlock(const QByteArray& block)
{
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(block.constData()),
                                 static_cast<std::size_t>(block.size()));
    const relay::CViewerSession::Arrival arrival = session_.OnBlock(bytes);
    switch (arrival.kind) {
        case Kind::Waiting: return;
        case Kind::Data: frame_.FeedArrival(bytes); return;
        case Kind::Refused:
            outcome_ = State::Refused;
            timer_.stop();
            link_.OnClosePort();
            if (arrival.reply.kind == relay::ReplyKind::BelongsToOther) {
                frame_.ShowMessage(tr("다른 사용자 소유의 단말에 접속할 수 없습니다!!"), QString());
            }
            return;
        case Kind::Accepted:
            outcome_ = State::Streaming;
            ArmTimer();
            if (arrival.reply.kind == relay::ReplyKind::Logined) FillDevices(arrival.reply.devices);
            // What came behind the reply is the receiver's first data.
            frame_.FeedArrival(bytes.subspan(arrival.skip));
            return;
    }
}

void CRelayClient::OnSent(qint64 bytes)
{
    if (bytes <= 0) return;
    sentBytes_ += static_cast<std::uint64_t>(bytes);
    session_.Sent(Now());
    ArmTimer();
}

void CRelayClient::OnLinkClosed()
{
    session_.Close();
    timer_.stop();
    deviceChannel_->Close(false);
    pendingRequest_.clear();
}

void CRelayClient::ArmTimer()
{
    const auto due = session_.NextDeadline();
    if (!due) {
        timer_.stop();
        return;
    }
    timer_.start(static_cast<int>(std::max<std::int64_t>(0, (*due - Now()).count())));
}

void CRelayClient::OnTimer()
{
    const relay::CViewerSession::Due due = session_.Tick(Now());
    if (due.timedOut) {
        outcome_ = State::TimedOut;
        link_.OnClosePort();  // pane 1 says "Not Connected"
        return;
    }
    if (due.sendAlive) link_.WriteRaw(QByteArray::fromStdString(std::string(relay::kAlive)));
    ArmTimer();
}

void CRelayClient::FillDevices(const std::vector<std::string>& devices)
{
    combo_->clear();
    combo_->addItem(QString());
    for (const std::string& id : devices) combo_->addItem(QString::fromLatin1(id));
    if (devices.empty()) return;
    combo_->setCurrentIndex(1);
    if (combo_->count() == 2) SelectDevice(1);
}

void CRelayClient::SelectDevice(int index)
{
    if (index < 0 || index >= combo_->count()) return;
    combo_->setCurrentIndex(index);
    const QString device = combo_->itemText(index);
    if (!device.isEmpty()) RequestDevice(device);
}

void CRelayClient::RequestDevice(const QString& device)
{
    const QByteArray request =
        QByteArray::fromStdString(relay::DeviceRequest(Latin1(viewerId_), Latin1(device)));
    if (deviceChannel_->IsConnected()) {
        deviceChannel_->Write(request);
        return;
    }
    pendingRequest_ = request;
    const QString host = host_.isEmpty() ? frame_.Store().Get(settings::kServerVrsIp) : host_;
    deviceChannel_->Connect(host, deviceChannelPort_);
}

void CRelayClient::OnDeviceChannelNotice(int code)
{
    if (code == CSocketClient::kNoticeConnected) {
        if (!pendingRequest_.isEmpty() && frame_.Store().Get(settings::kCommRelayServerMode) != 0)
            deviceChannel_->Write(std::exchange(pendingRequest_, QByteArray()));
        return;
    }
    if (code != CSocketClient::kNoticeData) return;
    QByteArray block(kReadBlock, Qt::Uninitialized);
    for (qint64 n; (n = deviceChannel_->Read(block.data(), block.size())) > 0;) {
        channelDecoder_.Feed(
            std::span(reinterpret_cast<const std::uint8_t*>(block.constData()),
                      static_cast<std::size_t>(n)),
            [this](const std::string& device) { AddDevice(QString::fromLatin1(device)); });
    }
}

void CRelayClient::AddDevice(const QString& device)
{
    if (combo_->findText(device) >= 0) return;
    if (combo_->count() == 0) {
        combo_->addItem(QString());
        combo_->setCurrentIndex(0);
    }
    combo_->addItem(device);
}

QStringList CRelayClient::Devices() const
{
    QStringList devices;
    for (int i = 0; i < combo_->count(); ++i)
        if (!combo_->itemText(i).isEmpty()) devices << combo_->itemText(i);
    return devices;
}

QString CRelayClient::Outcome() const
{
    switch (outcome_) {
        case State::Handshake: return QStringLiteral("handshake");
        case State::Streaming: return QStringLiteral("streaming");
        case State::Refused: return QStringLiteral("refused");
        case State::TimedOut: return QStringLiteral("timeout");
        case State::Closed: break;
    }
    return QString();
}

void CRelayClient::UpdateCommands(const FrameActivity& activity)
{
    (void)activity;
    combo_->setEnabled(frame_.Store().Get(settings::kCommRelayServerMode) != 0);
}

void CRelayClient::AddReportLines(QStringList& lines) const
{
    if (!used_) return;
    const QString outcome = Outcome();
    lines << QStringLiteral("relay: %1")
                 .arg(outcome.isEmpty() ? QStringLiteral("connecting") : outcome);
    lines << QStringLiteral("relay devices: %1").arg(Devices().join(QLatin1Char(';')));
    lines << QStringLiteral("relay corrections: %1 bytes").arg(sentBytes_);
}

void CRelayClient::OnClose() { OnLinkClosed(); }
