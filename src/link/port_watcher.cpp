#include "link/port_watcher.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <filesystem>

#include "link/comm.h"

#ifdef SKARNET2_HAVE_LIBUDEV
#include <libudev.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string_view>
#endif

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

namespace {

// One entry per tty device, so no port comes or goes without changing them; reading them costs
// one directory open where a listing costs thousands.
QStringList TtyClassEntries()
{
    QStringList names;
    std::error_code error;
    std::filesystem::directory_iterator entry("/sys/class/tty", error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error))
        names << QString::fromStdString(entry->path().filename().string());
    names.sort();
    return names;
}

#ifdef SKARNET2_HAVE_LIBUDEV

struct UdevUnref {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_monitor* monitor) const { udev_monitor_unref(monitor); }
    void operator()(udev_queue* queue) const { udev_queue_unref(queue); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevUnref>;

bool UdevDaemonRunning(udev* context)
{
    const UdevPtr<udev_queue> queue(udev_queue_new(context));
    return queue && udev_queue_get_udev_is_active(queue.get()) > 0;
}

// The kernel sends its device notices only into network namespaces of the initial user
// namespace, the one whose id map spans every id.
bool InInitialUserNamespace()
{
    std::ifstream map("/proc/self/uid_map");
    std::uint64_t inside = 1, outside = 1, count = 0;
    return map >> inside >> outside >> count && inside == 0 && outside == 0 && count == 4294967295u;
}

bool ChangesPortList(const char* action)
{
    const std::string_view name = action ? action : "";
    return name == "add" || name == "remove" || name == "move";
}

class CUdevPortEvents final : public IPortEventSource {
public:
    CUdevPortEvents(UdevPtr<udev> context, UdevPtr<udev_monitor> monitor)
        : context_(std::move(context)), monitor_(std::move(monitor))
    {
    }

    int Descriptor() const override { return udev_monitor_get_fd(monitor_.get()); }

    bool Drain() override
    {
        bool changed = false;
        while (const UdevPtr<udev_device> device{udev_monitor_receive_device(monitor_.get())})
            changed = ChangesPortList(udev_device_get_action(device.get())) || changed;
        // A full receive buffer drops notices, and one of them may have been a port.
        return changed || errno == ENOBUFS;
    }

private:
    UdevPtr<udev> context_;
    UdevPtr<udev_monitor> monitor_;
};

#endif

}  // namespace

std::unique_ptr<IPortEventSource> MakeUdevPortEvents()
{
#ifdef SKARNET2_HAVE_LIBUDEV
    UdevPtr<udev> context(udev_new());
    if (!context) return nullptr;
    // Without a udev daemon libudev keeps its own group silent; the kernel's notices still come
    // where it sends them, and the listing reads sysfs either way. Anywhere else: poll.
    const char* group = UdevDaemonRunning(context.get()) ? "udev"
                        : InInitialUserNamespace()       ? "kernel"
                                                         : nullptr;
    if (!group) return nullptr;
    UdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(context.get(), group));
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0)
        return nullptr;
    return std::make_unique<CUdevPortEvents>(std::move(context), std::move(monitor));
#else
    return nullptr;
#endif
}

CPortWatcher::CPortWatcher(QObject* parent, Lister lister, std::unique_ptr<IPortEventSource> events)
    : QObject(parent), systemLister_(!lister), events_(std::move(events))
{
    lister_ = systemLister_ ? Lister(&CPortWatcher::AvailablePorts) : std::move(lister);
    if (!events_ && systemLister_) events_ = MakeUdevPortEvents();
    if (events_) {
        notifier_ = std::make_unique<QSocketNotifier>(events_->Descriptor(), QSocketNotifier::Read);
        notifier_->setEnabled(false);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &CPortWatcher::OnEvents);
    }
    pollTimer_.setInterval(kPollIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &CPortWatcher::OnPollTick);
    settleTimer_.setSingleShot(true);
    settleTimer_.setInterval(kSettleMs);
    connect(&settleTimer_, &QTimer::timeout, this, &CPortWatcher::Poll);
}

CPortWatcher::~CPortWatcher() = default;

void CPortWatcher::Start()
{
    if (notifier_) {
        notifier_->setEnabled(true);
    } else {
        if (systemLister_) ttyEntries_ = TtyClassEntries();
        pollTimer_.start();
    }
    ports_ = lister_();
}

void CPortWatcher::Stop()
{
    pollTimer_.stop();
    settleTimer_.stop();
    if (notifier_) notifier_->setEnabled(false);
}

void CPortWatcher::Poll()
{
    const QStringList now = lister_();
    const PortListChange change = DiffPortLists(ports_, now);
    ports_ = now;
    for (const QString& name : change.removed) emit portRemoved(name);
    for (const QString& name : change.added) emit portAdded(name);
}

void CPortWatcher::OnEvents()
{
    if (events_->Drain() && !settleTimer_.isActive()) settleTimer_.start();
}

void CPortWatcher::OnPollTick()
{
    if (systemLister_) {
        QStringList entries = TtyClassEntries();
        // Without sysfs the entries tell nothing: list every time.
        if (!entries.isEmpty() && entries == ttyEntries_) return;
        ttyEntries_ = std::move(entries);
    }
    Poll();
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
