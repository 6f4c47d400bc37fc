#include "app/graph_controller.h"

#include <QAction>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "app/command_ids.h"
#include "decode/gnss_receiver_state.h"
#include "geo/distance.h"
#include "views/graphs/graph_ctrls.h"
#include "views/graphs/graph_windows.h"
#include "views/graphs/heading_ctrl.h"

namespace {

template <class Dialog>
void Show(Dialog& dialog)
{
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

}  // namespace

CGraphController::CGraphController(IFrameServices& frame, QObject* parent)
    : QObject(parent),
      frame_(frame),
      toUtmK_(kGeographicRow, kUtmKRow),
      northSouth_(std::make_unique<CVerPosToolDlg>(frame.Window())),
      eastWest_(std::make_unique<CHorPosToolDlg>(frame.Window())),
      speed_(std::make_unique<CSpeedToolDlg>(frame.Window())),
      distance_(std::make_unique<CDistanceToolDlg>(frame.Window())),
      elevation_(std::make_unique<CElevationToolDlg>(frame.Window())),
      headingHistory_(std::make_unique<CHdgAvrToolDlg>(frame.Window())),
      gauge_(std::make_unique<CHeadingToolDlg>(frame.Window()))
{
    const std::pair<int, QDialog*> commands[] = {
        {command::kHeadingGauge, gauge_.get()},
        {command::kSpeedGraph, speed_.get()},
        {command::kDistanceGraph, distance_.get()},
        {command::kNorthSouthGraph, northSouth_.get()},
        {command::kEastWestGraph, eastWest_.get()},
        {command::kElevationGraph, elevation_.get()},
        {command::kHeadingSumGraph, headingHistory_.get()}};
    for (const auto& [id, dialog] : commands) {
        QDialog* window = dialog;
        connect(frame_.Action(id), &QAction::triggered, this, [window] { Show(*window); });
    }
    frame_.AddEpochSink(EpochStage::Graphs, QStringLiteral("graphs"),
                        [this](EpochRefresh& epoch) { Feed(epoch.state); });
}

// The dialogs are the frame's children as well: they go before the frame takes them down.
CGraphController::~CGraphController() = default;

void CGraphController::FollowEpochRate(std::uint64_t timeOfDayMs)
{
    constexpr std::uint64_t kLongestEpochMs = 60000;
    const std::uint64_t last = std::exchange(lastTimeMs_, timeOfDayMs);
    if (timeOfDayMs <= last || timeOfDayMs - last > kLongestEpochMs) return;
    const double rate = 1000.0 / static_cast<double>(timeOfDayMs - last);
    if (std::abs(rate - sampleRate_) < sampleRate_ * 0.01) return;
    sampleRate_ = rate;
    for (CGraphCtrl* graph : std::initializer_list<CGraphCtrl*>{
             northSouth_->Graph(), eastWest_->Graph(), speed_->Graph(), distance_->Graph(),
             elevation_->Graph(), headingHistory_->Graph()}) {
        graph->SetSampleRate(rate);
    }
}

void CGraphController::Feed(const GnssReceiverState& s)
{
    const std::uint32_t flags = s.contentFlags;
    if (flags & ContentFlag::TimeOfDay) FollowEpochRate(s.timeOfDayMs);
    const bool valid = s.fixQuality != 0;
    const int fixClass = s.fixQuality;
    const bool position = (flags & ContentFlag::Position) != 0;
    if (position && s.latitudeDeg != 0.0 && s.longitudeDeg != 0.0) {
        double easting = 0.0;
        double northing = 0.0;
        if (toUtmK_.Convert(s.longitudeDeg, s.latitudeDeg, easting, northing).Ok()) {
            northSouth_->Graph()->AddValue(northing, valid, fixClass);
            eastWest_->Graph()->AddValue(easting, valid, fixClass);
        }
    }
    if (flags & ContentFlag::Speed) speed_->Graph()->AddValue(s.speedKmh, valid, fixClass);
    constexpr std::uint32_t kFix =
        ContentFlag::Position | ContentFlag::TimeOfDay | ContentFlag::FixQuality;
    if ((flags & kFix) == kFix && s.fixQuality > 0) {
        // The first fix has nothing before it to measure from.
        if (lastLatitude_ != 0.0 || lastLongitude_ != 0.0)
            totalDistance_ +=
                ::Distance(lastLatitude_, lastLongitude_, s.latitudeDeg, s.longitudeDeg);
        lastLatitude_ = s.latitudeDeg;
        lastLongitude_ = s.longitudeDeg;
        distance_->Graph()->AddValue(totalDistance_, valid, fixClass);
    }
    if (position && (flags & ContentFlag::Height))
        elevation_->Graph()->AddValue(s.mslAltitude, valid, fixClass);
    const double yaw = (flags & ContentFlag::Attitude) ? s.yawDeg : -1.0;
    const double heading = (flags & ContentFlag::Heading) ? s.headingDeg : -1.0;
    if (yaw >= 0.0 || heading >= 0.0) headingHistory_->Graph()->AddValues(yaw, heading, fixClass);
    if (flags & (ContentFlag::Course | ContentFlag::Heading))
        gauge_->Graph()->SetAngles(s.courseDeg, s.headingDeg);
}

void CGraphController::UpdateCommands(const FrameActivity& activity)
{
    (void)activity;
    for (const int id : {command::kHeadingGauge, command::kSpeedGraph, command::kDistanceGraph,
                         command::kNorthSouthGraph, command::kEastWestGraph,
                         command::kElevationGraph, command::kHeadingSumGraph}) {
        frame_.Action(id)->setEnabled(true);
    }
}

// The clear command empties every graph but the gauge, and the distance starts again.
void CGraphController::OnViewsReset(bool all)
{
    if (!all) return;
    northSouth_->Graph()->ResetGraph();
    eastWest_->Graph()->ResetGraph();
    speed_->Graph()->ResetGraph();
    distance_->Graph()->ResetGraph();
    elevation_->Graph()->ResetGraph();
    headingHistory_->Graph()->ResetGraph();
    totalDistance_ = 0.0;
    lastLatitude_ = 0.0;
    lastLongitude_ = 0.0;
}
