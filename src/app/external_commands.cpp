#include "app/external_commands.h"

#include <cmath>
#include <cstdio>

#include "app/map_controller.h"
#include "views/plots_view.h"

namespace {

constexpr const char* kPath = "/";
// Points from other programs count as plain GPS fixes in the geographic grid.
constexpr std::uint32_t kExternalFlag = 1;
constexpr std::int32_t kExternalClass = 1;

bool Usable(double value) { return std::isfinite(value) && value != 0.0; }

}  // namespace

CExternalCommands::CExternalCommands(IFrameServices& frame, CMapController& map, QObject* parent)
    : QObject(parent), frame_(frame), map_(map)
{
}

CExternalCommands::~CExternalCommands() { Detach(); }

bool CExternalCommands::Attach(const QDBusConnection& bus)
{
    Detach();
    static bool said = false;
    QString why;
    if (!bus.isConnected()) {
        why = QStringLiteral("no D-Bus session bus");
    } else if (!QDBusConnection(bus).registerService(QString::fromLatin1(kService))) {
        why = QStringLiteral("%1 is taken on the session bus").arg(QString::fromLatin1(kService));
    } else if (!QDBusConnection(bus).registerObject(QString::fromLatin1(kPath), this,
                                                    QDBusConnection::ExportScriptableSlots)) {
        QDBusConnection(bus).unregisterService(QString::fromLatin1(kService));
        why = QStringLiteral("the object path / is taken on the session bus");
    }
    if (!why.isEmpty()) {
        if (!std::exchange(said, true)) {
            std::fprintf(stderr, "skarnet2: %s; external map and plot commands are off\n",
                         why.toLocal8Bit().constData());
        }
        return false;
    }
    bus_ = bus;
    attached_ = true;
    return true;
}

void CExternalCommands::Detach()
{
    if (!attached_) return;
    bus_.unregisterObject(QString::fromLatin1(kPath));
    bus_.unregisterService(QString::fromLatin1(kService));
    attached_ = false;
}

void CExternalCommands::Clear()
{
    ++commands_;
    map_.ClearRun();
    frame_.Plot().Clear(true);
}

void CExternalCommands::ShowOnMap(double latitude, double longitude)
{
    ++commands_;
    // A point that is not a number would only break the page's track.
    if (std::isfinite(latitude) && std::isfinite(longitude)) map_.ShowPoint(latitude, longitude);
}

void CExternalCommands::AddToPlot(double latitude, double longitude)
{
    ++commands_;
    if (Usable(latitude) && Usable(longitude))
        frame_.Plot().AddPosition(longitude, latitude, kExternalFlag, kExternalClass, false);
}

void CExternalCommands::AddReportLines(QStringList& lines) const
{
    lines << QStringLiteral("external: %1, %2 commands")
                 .arg(attached_ ? QString::fromLatin1(kService) : QStringLiteral("off"))
                 .arg(commands_);
}
