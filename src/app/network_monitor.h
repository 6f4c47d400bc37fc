#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include "app/frame_services.h"

// Whether the internet can be reached, for the web map and status pane 7: a connect to the
// deployment's probe host, never blocking the window, run at start-up, when the map page has
// loaded and whenever the platform reports a change of reachability.
class CNetworkMonitor : public QObject, public IFeatureController {
    Q_OBJECT

public:
    static constexpr int kProbeTimeoutMs = 5000;

    explicit CNetworkMonitor(IFrameServices& frame, QObject* parent = nullptr);

    bool InternetReachable() const { return reachable_; }
    bool Probing() const { return timeout_.isActive(); }
    // Test seam: probe another host and port.
    void SetProbeTarget(const QString& host, quint16 port, int timeoutMs = kProbeTimeoutMs);

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override { (void)activity; }
    void AddReportLines(QStringList& lines) const override;

public slots:
    // Probes again; the outcome comes as internetNotice.
    void Test();
    // The platform says the network went away: no probe needed.
    void OnNetworkLost();

signals:
    // 0 reachable, 1 not: the same codes wherever the notice comes from.
    void internetNotice(int code);

private:
    void Finish(bool reachable);
    void Show();

    IFrameServices& frame_;
    QTcpSocket probe_;
    QTimer timeout_;
    QString host_;
    quint16 port_;
    bool reachable_ = false;
};
