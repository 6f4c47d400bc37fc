#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>

#include "app/frame_services.h"
#include "net/relay_protocol.h"
#include "net/relay_session.h"
#include "settings/deployment.h"

class CLinkController;
class CSocketClient;

// The viewer's side of the relay server: the introduction when the link comes up, the
// handshake and keep-alive, the device combo filled from the login reply and the device
// channel that asks the server for a device. The link controller carries the bytes; after the
// handshake the relayed stream is the receiver's, recorded and decoded like a direct TCP link.
class CRelayClient : public QObject, public IFeatureController {
    Q_OBJECT

public:
    static constexpr quint16 kDeviceChannelPort = deployment::kRelayDeviceListPort;
    static constexpr qint64 kReadBlock = 10240;

    CRelayClient(IFrameServices& frame, CLinkController& link, QObject* parent = nullptr);
    ~CRelayClient() override;

    // The toolbar's device combo; the toolbar takes it over.
    QComboBox* DeviceCombo() const { return combo_; }

    // From the link controller, while its link goes to the relay server.
    void OnLinkOpening(const QString& host);
    void OnLinkConnected();
    bool HandshakePending() const { return session_.HandshakePending(); }
    // A block read while the handshake is pending; may close the link.
    void OnHandshakeBlock(const QByteArray& block);
    // Bytes the viewer sent the relay (corrections, commands for the receiver).
    void OnSent(qint64 bytes);
    void OnLinkClosed();

    // "handshake", "streaming", "refused", "timeout", or empty before any relay link.
    QString Outcome() const;
    QStringList Devices() const;
    std::uint64_t SentBytes() const { return sentBytes_; }
    std::uint64_t AlivesSent() const { return session_.AlivesSent(); }
    QString ViewerId() const { return viewerId_; }

    // Test seams: a shorter keep-alive period, another device-channel port.
    void SetAlivePeriod(std::chrono::milliseconds period);
    void SetDeviceChannelPort(quint16 port) { deviceChannelPort_ = port; }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;
    void AddReportLines(QStringList& lines) const override;
    void OnClose() override;

public slots:
    // Picks a device of the combo as the user would (index 0 is the empty item).
    void SelectDevice(int index);

private:
    relay::CViewerSession::Ticks Now() const;
    void ArmTimer();
    void OnTimer();
    void FillDevices(const std::vector<std::string>& devices);
    void RequestDevice(const QString& device);
    void OnDeviceChannelNotice(int code);
    void AddDevice(const QString& device);

    IFrameServices& frame_;
    CLinkController& link_;
    relay::CViewerSession session_;
    std::chrono::milliseconds alivePeriod_ = relay::CViewerSession::kAlivePeriod;
    QElapsedTimer clock_;
    QTimer timer_;
    QPointer<QComboBox> combo_;
    std::unique_ptr<CSocketClient> deviceChannel_;
    relay::CDeviceChannelDecoder channelDecoder_;
    QString viewerId_;
    QString host_;
    QByteArray pendingRequest_;
    quint16 deviceChannelPort_ = kDeviceChannelPort;
    relay::CViewerSession::State outcome_ = relay::CViewerSession::State::Closed;
    bool used_ = false;
    std::uint64_t sentBytes_ = 0;
};
