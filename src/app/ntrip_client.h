#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>

#include "app/frame_services.h"
#include "net/forward_groups.h"
#include "net/ntrip_reply.h"
#include "net/rtcm_monitor.h"

class CRtcmMonitorWnd;
class CSerialMFC;
class CSocketClient;

// The NTRIP client: the start and stop commands, the caster connection, the request, the
// reply, and the corrections forwarded to the receiver (its own serial port in groups of four
// bytes, a second serial port, or the network link) and logged to "rtcm.txt"; at each epoch
// the rover's position goes to the caster as a GGA sentence. With "ENABLE" 0 the host is a
// plain correction server and every byte it sends is a correction.
class CNtripClient : public QObject, public IFeatureController {
    Q_OBJECT

public:
    static constexpr qint64 kReadBlock = 2048;
    // Pauses before a dropped connection is tried again: 1, 2, 4 ... 60 seconds.
    static constexpr int kFirstRetrySeconds = 1;
    static constexpr int kLastRetrySeconds = 60;
    static int NextRetrySeconds(int seconds);
    static constexpr const char* kLogName = "rtcm.txt";

    explicit CNtripClient(IFrameServices& frame, QObject* parent = nullptr);
    ~CNtripClient() override;

    bool IsActive() const { return active_; }
    bool IsConnected() const;
    std::uint64_t ForwardedBytes() const { return forwarded_; }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;
    void AddReportLines(QStringList& lines) const override;
    void OnClose() override { Stop(); }

public slots:
    // The start command: false when a setting is missing (a message says which) or no
    // connection could be attempted.
    bool Start();
    void Stop();
    // The RTCM monitor window, refreshed every second while it is shown.
    void OpenMonitor();
    CRtcmMonitorWnd* MonitorWindow() const { return monitorWnd_; }

private:
    enum class Outcome { None, Connected, Closed, Refused };

    bool CheckSettings();
    void Connect();
    void ScheduleRetry();
    void OpenForwardPort();
    void OnSocketNotice(int code);
    void OnConnected();
    void OnData();
    void OnClosed();
    void Forward(std::span<const std::uint8_t> corrections);
    void SendGga(const EpochRefresh& epoch);
    void ShowRefusal();
    void CloseOutputs();
    void RefreshMonitor();

    IFrameServices& frame_;
    std::unique_ptr<CSocketClient> socket_;
    std::unique_ptr<CSerialMFC> forwardPort_;
    QFile log_;
    CNtripReplyReader reply_;
    CForwardGroups groups_;
    CRtcmMonitor monitor_;
    QElapsedTimer clock_;  // the monitor's steady time
    QTimer monitorTick_;
    CRtcmMonitorWnd* monitorWnd_ = nullptr;
    QString mountPoint_;
    bool active_ = false;
    bool ntripMode_ = false;
    bool connected_ = false;  // the socket connected in this attempt
    bool samePort_ = true;
    bool stopping_ = false;
    bool reconnect_ = false;
    bool tls_ = false;
    int version_ = 1;
    int retrySeconds_ = kFirstRetrySeconds;
    QTimer retryTimer_;
    std::uint64_t forwarded_ = 0;
    Outcome outcome_ = Outcome::None;
};
