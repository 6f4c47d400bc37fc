#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <array>
#include <memory>

#include "app/connection_times.h"
#include "app/frame_services.h"

class CComm;
class CPortWatcher;
class CRelayClient;
class CSocketClient;

// The receiver link: the open- and close-port commands with the connection dialog, the
// serial port or TCP socket that feeds the intake, the port watcher that closes a vanished
// port and opens it again when it returns, and the connection clock of the status line.
class CLinkController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    enum class Link { None, Serial, Network };

    explicit CLinkController(IFrameServices& frame, QObject* parent = nullptr);
    ~CLinkController() override;

    Link ConnectedLink() const { return link_; }
    // Bytes for the receiver (the status panel's sensor poll); dropped without a link.
    void Write(const QByteArray& bytes);
    // Bytes of the link's own protocol on the network link (the relay's introduction and
    // keep-alive); they are not the receiver's.
    void WriteRaw(const QByteArray& bytes);
    // In relay mode the network link goes to the relay server and this client talks to it.
    void SetRelayClient(CRelayClient* relay) { relay_ = relay; }
    bool RelayLink() const { return relayLink_; }

    // IFeatureController
    void AddActivity(FrameActivity& activity) const override;
    void UpdateCommands(const FrameActivity& activity) override;
    void AfterIntakePass(const GnssReceiverState& snapshot) override;
    void AddReportLines(QStringList& lines) const override;
    void OnClose() override;

public slots:
    // The open-port command with the dialog; false when cancelled or the link failed.
    bool OnOpenPort();
    // Opens the link the settings name, without the dialog.
    bool ConnectFromSettings();
    void OnClosePort();

private:
    bool RefuseWhileReplaying();
    bool OpenSerial();
    bool OpenNetwork();
    void LinkUp(Link link);
    void OnSocketNotice(int code);
    void OnLinkLost(const QString& reason);
    void OnPortAdded(const QString& port);
    void OnPortRemoved(const QString& port);
    void OnSerialPortLost(const QString& port);

    void ReadNetwork();

    IFrameServices& frame_;
    CRelayClient* relay_ = nullptr;
    bool relayLink_ = false;  // relay mode as it was when the link was opened
    std::unique_ptr<CComm> comm_;
    std::unique_ptr<CSocketClient> socket_;
    std::unique_ptr<CPortWatcher> portWatcher_;
    Link link_ = Link::None;
    Link lastLink_ = Link::None;  // for the report: what was opened last
    QString portName_;
    QString lostPort_;  // receiver port that vanished while open
    CConnectionTimes times_;
    static constexpr qint64 kTimesRefreshMs = 100;
    std::array<qint64, 3> lastTimesPass_{-1, -1, -1};  // tenth of a second, fix mode, quality
    QTimer clockTimer_;
};
