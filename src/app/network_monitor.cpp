#include "app/network_monitor.h"

#include <QNetworkInformation>

#include "settings/deployment.h"

namespace {

QString Text(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CNetworkMonitor::CNetworkMonitor(IFrameServices& frame, QObject* parent)
    : QObject(parent),
      frame_(frame),
      host_(Text(deployment::kInternetProbeHost)),
      port_(static_cast<quint16>(deployment::kInternetProbePort))
{
    timeout_.setSingleShot(true);
    timeout_.setInterval(kProbeTimeoutMs);
    connect(&timeout_, &QTimer::timeout, this, [this] { Finish(false); });
    connect(&probe_, &QTcpSocket::connected, this, [this] { Finish(true); });
    connect(&probe_, &QTcpSocket::errorOccurred, this, [this] { Finish(false); });
    connect(this, &CNetworkMonitor::internetNotice, this, &CNetworkMonitor::Show);

    // Without a system bus the default backend is missing; reachability alone is enough.
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability reachability) {
                    if (reachability == QNetworkInformation::Reachability::Disconnected) {
                        OnNetworkLost();
                    } else {
                        Test();
                    }
                });
    }
    Show();
    Test();
}

void CNetworkMonitor::SetProbeTarget(const QString& host, quint16 port, int timeoutMs)
{
    host_ = host;
    port_ = port;
    timeout_.setInterval(timeoutMs);
}

void CNetworkMonitor::Test()
{
    probe_.abort();
    timeout_.start();
    probe_.connectToHost(host_, port_);
}

void CNetworkMonitor::OnNetworkLost()
{
    probe_.abort();
    timeout_.stop();
    reachable_ = false;
    emit internetNotice(1);
}

void CNetworkMonitor::Finish(bool reachable)
{
    if (!timeout_.isActive()) return;  // already decided
    timeout_.stop();
    probe_.abort();
    reachable_ = reachable;
    emit internetNotice(reachable ? 0 : 1);
}

void CNetworkMonitor::Show()
{
    frame_.SetPane(pane::kInternet, reachable_ ? tr("인터넷 연결됨") : tr("인터넷 안됨"));
}

void CNetworkMonitor::AddReportLines(QStringList& lines) const
{
    lines << QStringLiteral("internet: %1")
                 .arg(reachable_ ? QStringLiteral("reachable") : QStringLiteral("unreachable"));
}
