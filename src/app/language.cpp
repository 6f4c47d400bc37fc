#include "app/language.h"

#include <QAction>
#include <QCoreApplication>
#include <QTranslator>
#include <memory>

#include "app/command_ids.h"
#include "settings/settings_store.h"

namespace {

const QString kEnglish = QStringLiteral("en");
const QString kKorean = QStringLiteral("ko");

QString Known(const QString& code) { return code == kEnglish ? kEnglish : kKorean; }

QString& Installed()
{
    static QString code = kKorean;
    return code;
}

}  // namespace

QString ChosenLanguage(const CSettingsStore& store, const QString& launchLanguage)
{
    if (!launchLanguage.isEmpty()) return Known(launchLanguage);
    return Known(store.Get(settings::kViewLanguage));
}

bool InstallLanguage(const QString& code)
{
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    Installed() = kKorean;
    if (code == kKorean) return true;
    if (code != kEnglish) return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/skarnet2_en.qm"))) return false;
    installed = translator.release();
    QCoreApplication::installTranslator(installed);
    Installed() = kEnglish;
    return true;
}

QString InstalledLanguage() { return Installed(); }

CLanguageController::CLanguageController(IFrameServices& frame, QObject* parent)
    : QObject(parent), frame_(frame)
{
    for (const auto& [command, code] :
         {std::pair{command::kLanguageKorean, kKorean}, {command::kLanguageEnglish, kEnglish}}) {
        QAction* action = frame_.Action(command);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, code = code] { Choose(code); });
    }
    ShowChecks();
}

void CLanguageController::Choose(const QString& code)
{
    const QString chosen = Known(code);
    frame_.Store().Write(settings::kViewLanguage, chosen);
    ShowChecks();
    if (chosen != InstalledLanguage()) {
        frame_.ShowMessage(tr("언어는 프로그램을 다시 시작하면 바뀝니다."), tr("언어"));
    }
}

void CLanguageController::ShowChecks()
{
    const QString chosen = Known(frame_.Store().Get(settings::kViewLanguage));
    frame_.Action(command::kLanguageKorean)->setChecked(chosen == kKorean);
    frame_.Action(command::kLanguageEnglish)->setChecked(chosen == kEnglish);
}

void CLanguageController::UpdateCommands(const FrameActivity& activity) { (void)activity; }
