#include "link/port_watcher.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSerialPortInfo>
#include <algorithm>

#include "link/comm.h"

PortListChange DiffPortLists(const QStringList& before, const QStringList& after)
{
    PortListChange change;
    for (const QString& name : after) {
        if (!before.contains(name) && !change.added.contains(name)) change.added << name;
    }
    for (const QString& name : before) {
        if (!after.contains(name) && !change.removed.contains(name)) change.removed << name;
    }
    return change;
}

QString PortChangeMessage(const QString& portName, bool arrived)
{
    return portName + (arrived ? QCoreApplication::translate("CPortWatcher", " 추가")
                               : QCoreApplication::translate("CPortWatcher", " 제거"));
}

QString PortChangeCaption() { return QCoreApplication::translate("CPortWatcher", "Port 변경"); }

bool IsSamePort(const QString& systemPort, const QString& storedPort)
{
    const QString stored = PortSystemLocation(storedPort);
    return !stored.isEmpty() && stored == PortSystemLocation(systemPort);
}

ReceiverPortAction ReceiverPortActionFor(const QString& changedPort, bool arrived,
                                         const QString& receiverPort, bool receiverOpen)
{
    if (!IsSamePort(changedPort, receiverPort)) return ReceiverPortAction::None;
    if (arrived) return receiverOpen ? ReceiverPortAction::None : ReceiverPortAction::Reopen;
    return receiverOpen ? ReceiverPortAction::Close : ReceiverPortAction::None;
}

CPortWatcher::CPortWatcher(QObject* parent, Lister lister)
    : QObject(parent), lister_(lister ? std::move(lister) : Lister(&CPortWatcher::AvailablePorts))
{
    timer_.setInterval(kPollIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &CPortWatcher::Poll);
}

void CPortWatcher::Start()
{
    ports_ = lister_();
    timer_.start();
}

void CPortWatcher::Stop() { timer_.stop(); }

void CPortWatcher::Poll()
{
    const QStringList now = lister_();
    const PortListChange change = DiffPortLists(ports_, now);
    ports_ = now;
    for (const QString& name : change.removed) emit portRemoved(name);
    for (const QString& name : change.added) emit portAdded(name);
}

QStringList CPortWatcher::AvailablePorts()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) names << info.portName();
    QCollator natural;
    natural.setNumericMode(true);
    std::sort(names.begin(), names.end(), natural);
    return names;
}
