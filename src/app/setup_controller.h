#pragma once

#include <QObject>
#include <QPointer>

#include "app/frame_services.h"
#include "setup/setup_dlg.h"

struct PlotPoints;

// The settings window (command 382): built the first time it is asked for, shown and hidden
// by the same command, and closed to changes while a link is open or a replay runs. Applying
// a page hands its tab to the frame, which takes the new settings over at once.
class CSetupController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    explicit CSetupController(IFrameServices& frame, QObject* parent = nullptr);
    ~CSetupController() override;

    // Null until first shown.
    CSetupDlg* Window() const { return window_; }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;
    void OnClose() override;

public slots:
    // Shows the window when hidden, hides it when shown.
    void Toggle();

private:
    void Build();
    PlotPoints PlotPointsNow() const;

    IFrameServices& frame_;
    QPointer<CSetupDlg> window_;
};
