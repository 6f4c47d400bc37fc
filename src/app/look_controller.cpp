#include "app/look_controller.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include "app/command_ids.h"
#include "settings/settings_store.h"

namespace {

constexpr int kLookCommands[] = {command::kLookSystem, command::kLookFusionLight,
                                 command::kLookFusionDark};

// The platform's own look, as it was before any window changed it.
struct SystemLook {
    QString style;
    QPalette palette;
};

const SystemLook& TheSystemLook()
{
    static const SystemLook look{QApplication::style()->name(), QApplication::palette()};
    return look;
}

}  // namespace

QPalette DarkPalette()
{
    QPalette palette;
    const QColor window(0x2D, 0x2D, 0x30);
    const QColor base(0x1E, 0x1E, 0x1E);
    const QColor text(0xE6, 0xE6, 0xE6);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    return palette;
}

CLookController::CLookController(IFrameServices& frame, QObject* parent)
    : QObject(parent), frame_(frame)
{
    TheSystemLook();
    for (int look = kSystem; look <= kFusionDark; ++look) {
        QAction* action = frame_.Action(kLookCommands[look]);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, look] {
            Apply(look);
            frame_.Store().Write(settings::kViewLook, look);
        });
    }
    Apply(frame_.Store().Get(settings::kViewLook));
}

void CLookController::Apply(int look)
{
    look_ = look == kFusionLight || look == kFusionDark ? static_cast<Look>(look) : kSystem;
    // The views paint their own backgrounds and texts, so they read the same in any look.
    if (look_ == kSystem) {
        QApplication::setStyle(QStyleFactory::create(TheSystemLook().style));
        QApplication::setPalette(TheSystemLook().palette);
    } else {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(look_ == kFusionDark ? DarkPalette()
                                                      : QApplication::style()->standardPalette());
    }
    for (int i = kSystem; i <= kFusionDark; ++i)
        frame_.Action(kLookCommands[i])->setChecked(i == look_);
}

void CLookController::UpdateCommands(const FrameActivity& activity) { (void)activity; }
