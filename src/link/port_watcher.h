#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

// Ports that appeared and vanished between two listings, each in the order of its list.
struct PortListChange {
    QStringList added;
    QStringList removed;

    bool operator==(const PortListChange&) const = default;
};

PortListChange DiffPortLists(const QStringList& before, const QStringList& after);

// The timed notice for a port change: the port name followed by " 추가" or " 제거".
QString PortChangeMessage(const QString& portName, bool arrived);
QString PortChangeCaption();
inline constexpr int kPortChangeMessageMs = 1500;

// Whether a port the system reports (ttyS0, /dev/ttyUSB0) is the stored one ("COM1",
// ttyUSB0, /dev/ttyUSB0).
bool IsSamePort(const QString& systemPort, const QString& storedPort);

enum class ReceiverPortAction { None, Close, Reopen };

// What the main window does with the receiver port when a port comes or goes: close it when
// its own port vanished while open, reopen it when its port came back while closed.
// receiverPort is the port as stored ("COMn", a device name or a path); changedPort a name or
// path as the system reports it.
ReceiverPortAction ReceiverPortActionFor(const QString& changedPort, bool arrived,
                                         const QString& receiverPort, bool receiverOpen);

// Watches the system's serial ports by listing them once a second, so no device-event
// library is needed.
class CPortWatcher : public QObject {
    Q_OBJECT
public:
    using Lister = std::function<QStringList()>;
    static constexpr int kPollIntervalMs = 1000;

    // The system's ports by default; tests pass their own lister.
    explicit CPortWatcher(QObject* parent = nullptr, Lister lister = {});

    // Takes the current list as the starting point and polls from then on.
    void Start();
    void Stop();
    // One poll now; signals what changed since the last one.
    void Poll();

    QStringList Ports() const { return ports_; }
    // Names of the serial ports the system reports (ttyS0, ttyUSB0), in natural order. Pseudo
    // terminals never appear here.
    static QStringList AvailablePorts();

signals:
    void portAdded(const QString& portName);
    void portRemoved(const QString& portName);

private:
    Lister lister_;
    QTimer timer_;
    QStringList ports_;
};
