#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

#include "app/frame_services.h"
#include "geo/coord_converter.h"

class CDistanceToolDlg;
class CElevationToolDlg;
class CHdgAvrToolDlg;
class CHeadingToolDlg;
class CHorPosToolDlg;
class CSpeedToolDlg;
class CVerPosToolDlg;

// The seven graph tool windows: each epoch feeds them whether they are shown or not, the
// tool menu shows them, and the clear command empties all but the heading gauge.
class CGraphController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    explicit CGraphController(IFrameServices& frame, QObject* parent = nullptr);
    ~CGraphController() override;

    CVerPosToolDlg& NorthSouth() const { return *northSouth_; }
    CHorPosToolDlg& EastWest() const { return *eastWest_; }
    CSpeedToolDlg& Speed() const { return *speed_; }
    CDistanceToolDlg& Distance() const { return *distance_; }
    CElevationToolDlg& Elevation() const { return *elevation_; }
    CHdgAvrToolDlg& HeadingHistory() const { return *headingHistory_; }
    CHeadingToolDlg& HeadingGauge() const { return *gauge_; }
    // The distance travelled so far, in metres.
    double TotalDistance() const { return totalDistance_; }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;
    void OnViewsReset(bool all) override;

private:
    void Feed(const GnssReceiverState& s);
    // The time axes count samples; they follow the receiver's epoch rate.
    void FollowEpochRate(std::uint64_t timeOfDayMs);

    IFrameServices& frame_;
    CoordConverter toUtmK_;
    std::unique_ptr<CVerPosToolDlg> northSouth_;
    std::unique_ptr<CHorPosToolDlg> eastWest_;
    std::unique_ptr<CSpeedToolDlg> speed_;
    std::unique_ptr<CDistanceToolDlg> distance_;
    std::unique_ptr<CElevationToolDlg> elevation_;
    std::unique_ptr<CHdgAvrToolDlg> headingHistory_;
    std::unique_ptr<CHeadingToolDlg> gauge_;
    double totalDistance_ = 0.0;
    double lastLatitude_ = 0.0;
    double lastLongitude_ = 0.0;
    std::uint64_t lastTimeMs_ = 0;
    double sampleRate_ = 1.0;
};
