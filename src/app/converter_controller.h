#pragma once

#include <QObject>
#include <QPointer>

#include "app/frame_services.h"
#include "setup/calculator_dlg.h"

class CExternalCommands;

// The coordinate converter (command 421): built when first asked for, its move buttons drive
// the map and the plot through the same commands other programs use.
class CConverterController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    CConverterController(IFrameServices& frame, CExternalCommands& commands,
                         QObject* parent = nullptr);
    ~CConverterController() override;

    // Null until first shown.
    CCalculatorDlg* Window() const { return window_; }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;
    void OnClose() override;

public slots:
    void Show();

private:
    IFrameServices& frame_;
    CExternalCommands& commands_;
    QPointer<CCalculatorDlg> window_;
};
