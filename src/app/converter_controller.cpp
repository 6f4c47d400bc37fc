#include "app/converter_controller.h"

#include <QAction>

#include "app/command_ids.h"
#include "app/external_commands.h"

CConverterController::CConverterController(IFrameServices& frame, CExternalCommands& commands,
                                           QObject* parent)
    : QObject(parent), frame_(frame), commands_(commands)
{
    connect(frame_.Action(command::kCoordConverter), &QAction::triggered, this,
            &CConverterController::Show);
}

CConverterController::~CConverterController()
{
    if (window_) delete window_.data();
}

void CConverterController::Show()
{
    if (!window_) {
        window_ = new CCalculatorDlg(frame_.Window());
        window_->SetMapCommands([this] { commands_.Clear(); },
                                [this](double lat, double lon) { commands_.ShowOnMap(lat, lon); },
                                [this](double lat, double lon) { commands_.AddToPlot(lat, lon); });
    }
    window_->show();
    window_->raise();
}

void CConverterController::UpdateCommands(const FrameActivity& activity)
{
    (void)activity;
    frame_.Action(command::kCoordConverter)->setEnabled(true);
}

void CConverterController::OnClose()
{
    if (window_) window_->close();  // a running export is cancelled
}
