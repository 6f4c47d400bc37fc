#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/frame_services.h"
#include "webmap/map_dlg.h"

class CNetworkMonitor;

// The web map: the page that draws the receiver's track, fed once per paint interval with the
// positions of the epochs shown since. The page starts only when the map is first on screen,
// so a window that never shows it never starts the browser; what came before waits here.
class CMapController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    // Points kept for a page that has not started yet; the oldest half goes beyond this.
    static constexpr std::size_t kMaxWaiting = 1'000'000;

    CMapController(IFrameServices& frame, CNetworkMonitor& monitor, QObject* parent = nullptr);
    ~CMapController() override;

    // The map window the frame places; it hosts the page once shown.
    QWidget* MapWindow() const { return host_; }
    // Null until the map was first shown.
    CMapDlg* Page() const { return page_; }
    // The update limit of the page from the replay settings: 0 all, -1 no redraw, 1000.
    int Limit() const;

    // The page's distance panel (after a single replay step shown with Space).
    void ShowDistance();
    // Commands from other programs.
    void ShowPoint(double latitude, double longitude);
    void ClearRun();

    std::uint64_t PositionsSent() const { return sent_; }
    std::uint64_t ScriptCalls() const { return calls_; }
    // Positions not yet handed to the page.
    std::size_t Waiting() const { return waiting_.size(); }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;
    void OnViewsReset(bool all) override;
    void AddReportLines(QStringList& lines) const override;

private:
    void StartPage();
    void Queue(const MapPoint& point);
    void Flush();

    IFrameServices& frame_;
    CNetworkMonitor& monitor_;
    QPointer<QWidget> host_;
    CMapDlg* page_ = nullptr;
    std::vector<MapPoint> waiting_;
    QTimer flushTimer_;
    std::uint64_t sent_ = 0;
    std::uint64_t calls_ = 0;
};
