#pragma once

#include <QObject>
#include <QPalette>

#include "app/frame_services.h"

// The window's look: the platform's own style, or Fusion light or dark. The choice is kept in
// "VIEW"/"LOOK" and applied at start.
class CLookController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    enum Look { kSystem = 0, kFusionLight = 1, kFusionDark = 2 };

    explicit CLookController(IFrameServices& frame, QObject* parent = nullptr);

    Look Current() const { return look_; }

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;

public slots:
    void Apply(int look);

private:
    IFrameServices& frame_;
    Look look_ = kSystem;
};

// The dark palette of the Fusion dark look.
QPalette DarkPalette();
