#include "app/map_controller.h"

#include <QAction>
#include <QEvent>
#include <QVBoxLayout>

#include "app/command_ids.h"
#include "app/epoch_fan_out.h"
#include "app/network_monitor.h"
#include "decode/gnss_receiver_state.h"
#include "settings/settings_store.h"
#include "views/plot_texts.h"
#include "views/plots_view.h"

namespace {

// "Map Update Mode" of the replay settings: No Limit, No Update, Limit 1000.
constexpr int kLimits[] = {0, -1, 1000};

class CMapHost final : public QWidget {
public:
    CMapHost(QWidget* parent, std::function<void()> firstShown)
        : QWidget(parent), firstShown_(std::move(firstShown))
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        if (firstShown_) std::exchange(firstShown_, nullptr)();
    }

private:
    std::function<void()> firstShown_;
};

}  // namespace

CMapController::CMapController(IFrameServices& frame, CNetworkMonitor& monitor, QObject* parent)
    : QObject(parent), frame_(frame), monitor_(monitor)
{
    host_ = new CMapHost(frame_.ViewArea(), [this] { StartPage(); });
    host_->hide();
    // One script call per paint interval, however many epochs came in it.
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(33);
    connect(&flushTimer_, &QTimer::timeout, this, &CMapController::Flush);

    frame_.AddEpochSink(EpochStage::WebMap, QStringLiteral("web map"), [this](EpochRefresh& epoch) {
        const GnssReceiverState& s = epoch.state;
        if (!epoch.validPosition || !(s.contentFlags & ContentFlag::Position)) return;
        Queue({s.latitudeDeg, s.longitudeDeg,
               static_cast<int>(PlotSlotOfClass(CEpochFanOut::FixClassOf(s)))});
    });
}

CMapController::~CMapController() = default;

int CMapController::Limit() const
{
    const std::int32_t index = frame_.Store().Get(settings::kReplayPositionCountIndex);
    return index >= 0 && index < static_cast<std::int32_t>(std::size(kLimits)) ? kLimits[index] : 0;
}

void CMapController::StartPage()
{
    page_ = new CMapDlg(host_);
    host_->layout()->addWidget(page_);
    page_->SetTileUrl(frame_.Store().Get(settings::kMapTileUrl));
    std::array<QColor, kPlotLegendCount> colours;
    for (int slot = 0; slot < kPlotLegendCount; ++slot)
        colours[static_cast<std::size_t>(slot)] = frame_.Plot().ClassColour(slot + 1);
    page_->SetClassColours(colours);
    // Whether the internet is there is asked again once the page is in.
    connect(page_, &CMapDlg::pageLoaded, &monitor_, &CNetworkMonitor::Test);
    page_->Load();
    Flush();
}

void CMapController::Queue(const MapPoint& point)
{
    if (page_ == nullptr && waiting_.size() >= kMaxWaiting)
        waiting_.erase(waiting_.begin(), waiting_.begin() + kMaxWaiting / 2);
    waiting_.push_back(point);
    if (page_ != nullptr && !flushTimer_.isActive()) flushTimer_.start();
}

void CMapController::Flush()
{
    if (page_ == nullptr || waiting_.empty()) return;
    page_->PushPositions(waiting_, Limit());
    sent_ += waiting_.size();
    ++calls_;
    waiting_.clear();
}

void CMapController::ShowPoint(double latitude, double longitude)
{
    Queue({latitude, longitude, 0});
}

void CMapController::ShowDistance()
{
    Flush();  // the step's own position first
    if (page_ != nullptr) page_->ShowDistance();
}

void CMapController::ClearRun() { OnViewsReset(false); }

void CMapController::OnViewsReset(bool all)
{
    flushTimer_.stop();
    waiting_.clear();
    if (page_ != nullptr) page_->Clear(all);
}

void CMapController::UpdateCommands(const FrameActivity& activity)
{
    (void)activity;
    frame_.Action(command::kWebMap)->setEnabled(true);
    frame_.Action(command::kMapAndPlot)->setEnabled(true);
}

void CMapController::AddReportLines(QStringList& lines) const
{
    lines << QStringLiteral("map: %1 positions").arg(sent_);
}
