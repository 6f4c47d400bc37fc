#include "app/setup_controller.h"

#include <QAction>
#include <QDialogButtonBox>

#include "app/command_ids.h"
#include "geo/plot_statistics.h"
#include "setup/setup_coord_dlg.h"
#include "setup/setup_dlg.h"
#include "setup/setup_nmea_dlg.h"
#include "setup/setup_ntrip_dlg.h"
#include "setup/setup_replay_dlg.h"
#include "setup/setup_server_dlg.h"
#include "views/plots_view.h"

namespace {

constexpr int kNtripTab = 2;

}  // namespace

CSetupController::CSetupController(IFrameServices& frame, QObject* parent)
    : QObject(parent), frame_(frame)
{
    connect(frame_.Action(command::kSettings), &QAction::triggered, this,
            &CSetupController::Toggle);
}

CSetupController::~CSetupController()
{
    if (window_) delete window_.data();
}

void CSetupController::Build()
{
    CSettingsStore& store = frame_.Store();
    window_ = new CSetupDlg(store, frame_.Window());
    auto* replay = new CSetupReplayDlg(store);
    auto* coord = new CSetupCoordDlg(store);
    auto* ntrip = new CSetupNTripDlg(store);
    auto* nmea = new CSetupNmeaDlg(store);
    auto* server = new CSetupServerDlg(store);
    coord->SetPlotPointsSource([this] { return PlotPointsNow(); });
    window_->AddPage(tr("위치출력"), replay, [replay] { replay->Apply(); });
    window_->AddPage(QStringLiteral("PlotView"), coord, [coord] { (void)coord->Apply(); });
    window_->AddPage(QStringLiteral("NTRIP"), ntrip, [ntrip] { ntrip->Apply(); });
    window_->AddPage(QStringLiteral("NMEA"), nmea, [nmea] { (void)nmea->Apply(); });
    window_->AddPage(QStringLiteral("SERVER"), server, [server] { (void)server->Apply(); });
    // Inside the window its own "적용" and "닫기" stand for every page.
    for (QWidget* page :
         {static_cast<QWidget*>(replay), static_cast<QWidget*>(coord), static_cast<QWidget*>(ntrip),
          static_cast<QWidget*>(nmea), static_cast<QWidget*>(server)}) {
        for (auto* buttons : page->findChildren<QDialogButtonBox*>()) buttons->hide();
    }
    connect(window_, &CSetupDlg::applied, this, [this](int tab) { frame_.ReloadSettings(tab); });
    connect(window_, &CSetupDlg::tabShown, this, [ntrip](int tab) {
        if (tab == kNtripTab) ntrip->RefreshForwardTarget();
    });
    window_->ShowStoredTab();
}

// The distance calculator's targets: what the plot shows now.
PlotPoints CSetupController::PlotPointsNow() const
{
    const CPlotsView& plot = frame_.Plot();
    PlotPoints points;
    const CPlotStatistics& statistics = plot.Statistics();
    if (statistics.Count() > 0) {
        points.average =
            PlotPoints::Point{statistics.AverageLongitude(), statistics.AverageLatitude()};
        points.maxError =
            PlotPoints::Point{statistics.MaxErrorLongitude(), statistics.MaxErrorLatitude()};
    }
    if (plot.LiveCount() > 0)
        points.newest = PlotPoints::Point{plot.NewestLongitude(), plot.NewestLatitude()};
    return points;
}

void CSetupController::Toggle()
{
    if (!window_) Build();
    if (window_->isVisible()) {
        window_->hide();
        return;
    }
    window_->show();
    window_->raise();
}

void CSetupController::UpdateCommands(const FrameActivity& activity)
{
    const bool allowed = !activity.linkOpen && !activity.replaying;
    frame_.Action(command::kSettings)->setEnabled(allowed);
}

void CSetupController::OnClose()
{
    if (window_) window_->hide();
}
