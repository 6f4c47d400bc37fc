#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "app/frame_services.h"

class CMapController;

// The commands other programs drive the map and the plot with, offered on the session bus as
// service and interface "org.velmora.Skarnet2" at path "/": 0 clear both, 1 show a point on
// the map, 2 add a point to the plot.
class CExternalCommands : public QObject, public IFeatureController {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velmora.Skarnet2")

public:
    static constexpr const char* kService = "org.velmora.Skarnet2";

    CExternalCommands(IFrameServices& frame, CMapController& map, QObject* parent = nullptr);
    ~CExternalCommands() override;

    // Offers the commands on bus; without a bus, or with the name taken by another copy of the
    // program, it says so once on standard error and the program goes on without them.
    bool Attach(const QDBusConnection& bus);
    bool Attached() const { return attached_; }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override { (void)activity; }
    void AddReportLines(QStringList& lines) const override;

public slots:
    // Code 0: a new run on the map, and an empty plot.
    Q_SCRIPTABLE void Clear();
    // Code 1: the point joins the map's track.
    Q_SCRIPTABLE void ShowOnMap(double latitude, double longitude);
    // Code 2: the point joins the plot, when both are numbers other than zero.
    Q_SCRIPTABLE void AddToPlot(double latitude, double longitude);

private:
    void Detach();

    IFrameServices& frame_;
    CMapController& map_;
    QDBusConnection bus_{QString()};
    bool attached_ = false;
    quint64 commands_ = 0;
};
