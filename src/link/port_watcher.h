#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class QSocketNotifier;

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

// Device notices that may change the port list: a descriptor that turns readable, and a drain
// that consumes everything pending and says whether any of it added or removed a device.
class IPortEventSource {
public:
    virtual ~IPortEventSource() = default;
    virtual int Descriptor() const = 0;
    virtual bool Drain() = 0;
};

// The udev monitor on the tty subsystem; null where libudev was missing at build time or no
// monitor can be had (then the watcher polls).
std::unique_ptr<IPortEventSource> MakeUdevPortEvents();

// Watches the system's serial ports: lists them again when device notices arrive, or polls once
// a second where there are none. A listing opens some forty files under /sys per tty device
// (thousands a second when polled), so an idle watcher should not list at all.
class CPortWatcher : public QObject {
    Q_OBJECT
public:
    using Lister = std::function<QStringList()>;
    static constexpr int kPollIntervalMs = 1000;
    // Notices within this time of the first one cause a single listing: a hub or a multi-port
    // adapter brings several ports at once, and a removed device's sysfs entry briefly outlives
    // the kernel's notice.
    static constexpr int kSettleMs = 200;

    // The system's ports by default, followed through the udev monitor where it is available.
    // A given lister is polled (tests), unless an event source is given as well.
    explicit CPortWatcher(QObject* parent = nullptr, Lister lister = {},
                          std::unique_ptr<IPortEventSource> events = {});
    ~CPortWatcher() override;

    // Takes the current list as the starting point and follows changes from then on.
    void Start();
    void Stop();
    // One listing now; signals what changed since the last one.
    void Poll();

    // False when the watcher polls.
    bool FollowsEvents() const { return events_ != nullptr; }
    QStringList Ports() const { return ports_; }
    // Names of the serial ports the system reports (ttyS0, ttyUSB0), in natural order. Pseudo
    // terminals never appear here.
    static QStringList AvailablePorts();

signals:
    void portAdded(const QString& portName);
    void portRemoved(const QString& portName);

private:
    void OnEvents();
    void OnPollTick();

    bool systemLister_;
    Lister lister_;
    std::unique_ptr<IPortEventSource> events_;
    std::unique_ptr<QSocketNotifier> notifier_;  // after events_: goes first
    QTimer pollTimer_;
    QTimer settleTimer_;
    QStringList ports_;
    QStringList ttyEntries_;  // polling the system: the listing runs only when these change
};
