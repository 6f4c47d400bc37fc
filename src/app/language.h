#pragma once

#include <QObject>
#include <QString>

#include "app/frame_services.h"

class CSettingsStore;

// "en" when the operator chose English (this run's --lang first, then "VIEW"/"LANGUAGE"),
// otherwise "ko": Korean, the program's own language, needs no translation.
QString ChosenLanguage(const CSettingsStore& store, const QString& launchLanguage);

// Installs the translation of the language for the whole process, before any window is built.
// False when the code is unknown or its translation is missing; Korean always succeeds.
bool InstallLanguage(const QString& code);
// The language last installed: "ko" until English is.
QString InstalledLanguage();

// The viewer menu's language commands: the choice is saved and takes effect at the next start,
// since every window builds its texts once.
class CLanguageController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    explicit CLanguageController(IFrameServices& frame, QObject* parent = nullptr);

    // IFeatureController
    void UpdateCommands(const FrameActivity& activity) override;

public slots:
    void Choose(const QString& code);

private:
    void ShowChecks();

    IFrameServices& frame_;
};
