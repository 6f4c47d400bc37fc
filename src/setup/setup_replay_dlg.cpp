#include "setup/setup_replay_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/settings_store.h"

namespace {

QCheckBox* MakeCheck(const QString& text, const char* name, QWidget* parent)
{
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(QLatin1String(name));
    return check;
}

QRadioButton* MakeRadio(const QString& text, const char* name, QButtonGroup* group, int id,
                        QWidget* parent)
{
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(QLatin1String(name));
    group->addButton(radio, id);
    return radio;
}

}  // namespace

CSetupReplayDlg::CSetupReplayDlg(CSettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store)
{
    setWindowTitle(tr("위치출력"));

    auto* syncBox = new QGroupBox(QStringLiteral("Sync Protocol"), this);
    syncGroup_ = new QButtonGroup(this);
    auto* syncLayout = new QVBoxLayout(syncBox);
    syncLayout->addWidget(MakeRadio(QStringLiteral("AUTO"), "syncAutoRadio", syncGroup_,
                                    settings::kSyncProtocolAuto, syncBox));
    syncLayout->addWidget(new QLabel(tr("다중 프로토콜 입력인 경우 선택하세요."), syncBox));
    syncLayout->addWidget(new QLabel(QStringLiteral("NMEA/ UBX/ GSOF/ SBF"), syncBox));
    syncLayout->addWidget(MakeRadio(QStringLiteral("NON NMEA"), "syncNonNmeaRadio", syncGroup_,
                                    settings::kSyncProtocolNonNmea, syncBox));

    auto* logBox = new QGroupBox(QStringLiteral("Logging Option"), this);
    auto* logLayout = new QVBoxLayout(logBox);
    latestLoggingCheck_ = MakeCheck(QStringLiteral("LATEST LOGGING"), "latestLoggingCheck", logBox);
    autoNamingCheck_ = MakeCheck(QStringLiteral("AUTO NAMING"), "autoNamingCheck", logBox);
    logLayout->addWidget(latestLoggingCheck_);
    logLayout->addWidget(new QLabel(QStringLiteral("update or append\n  log messages"), logBox));
    logLayout->addWidget(autoNamingCheck_);

    auto* errorBox = new QGroupBox(QStringLiteral("Error Calculation"), this);
    auto* errorLayout = new QVBoxLayout(errorBox);
    rmsFromGstCheck_ = MakeCheck(QStringLiteral("RMS from GST"), "rmsFromGstCheck", errorBox);
    noCheckCheck_ = MakeCheck(QStringLiteral("No Check"), "noCheckCheck", errorBox);
    runtimeCalCheck_ =
        MakeCheck(QStringLiteral("RMS/CEP Runtime Cal"), "runtimeCalCheck", errorBox);
    checkMissingCheck_ =
        MakeCheck(QStringLiteral("Check missing messages"), "checkMissingCheck", errorBox);
    for (QWidget* w : {rmsFromGstCheck_, noCheckCheck_, runtimeCalCheck_, checkMissingCheck_}) {
        errorLayout->addWidget(w);
    }

    auto* mapBox = new QGroupBox(QStringLiteral("Map Update Mode"), this);
    auto* mapLayout = new QVBoxLayout(mapBox);
    mapUpdateCombo_ = new QComboBox(mapBox);
    mapUpdateCombo_->setObjectName(QStringLiteral("mapUpdateCombo"));
    mapUpdateCombo_->addItems(
        {QStringLiteral("No Limit"), QStringLiteral("No Update"), QStringLiteral("Limit 1000")});
    mapLayout->addWidget(mapUpdateCombo_);
    auto* mapNote = new QLabel(
        QStringLiteral("Set this on updating positions with high speed like 100Hz"), mapBox);
    mapNote->setWordWrap(true);
    mapLayout->addWidget(mapNote);
    mapLayout->addWidget(new QLabel(QStringLiteral("UBX/ GSOF/ SBF"), mapBox));

    auto* grid = new QGridLayout;
    grid->addWidget(syncBox, 0, 0);
    grid->addWidget(logBox, 0, 1);
    grid->addWidget(errorBox, 1, 0);
    grid->addWidget(mapBox, 1, 1);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupReplayDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &CSetupReplayDlg::Apply);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    Reload();
}

int CSetupReplayDlg::SyncProtocol() const
{
    return syncGroup_->checkedId() == settings::kSyncProtocolNonNmea
               ? settings::kSyncProtocolNonNmea
               : settings::kSyncProtocolAuto;
}

bool CSetupReplayDlg::LatestLogging() const { return latestLoggingCheck_->isChecked(); }
bool CSetupReplayDlg::AutoNaming() const { return autoNamingCheck_->isChecked(); }
bool CSetupReplayDlg::RmsFromGst() const { return rmsFromGstCheck_->isChecked(); }
bool CSetupReplayDlg::NoChecksum() const { return noCheckCheck_->isChecked(); }
int CSetupReplayDlg::MapUpdateMode() const { return mapUpdateCombo_->currentIndex(); }
bool CSetupReplayDlg::CheckMissingFrames() const { return checkMissingCheck_->isChecked(); }
bool CSetupReplayDlg::RmsCepRuntimeCal() const { return runtimeCalCheck_->isChecked(); }

void CSetupReplayDlg::Reload()
{
    using namespace settings;
    SetSyncProtocol(store_.ReadSyncProtocol());
    latestLoggingCheck_->setChecked(store_.Get(kReplayLatestLogging) != 0);
    autoNamingCheck_->setChecked(store_.Get(kReplayAutoNaming) != 0);
    rmsFromGstCheck_->setChecked(store_.Get(kReplayErrorCalcType) != 0);
    noCheckCheck_->setChecked(store_.Get(kReplaySkipChecksum) != 0);
    SetMapUpdateMode(store_.Get(kReplayPositionCountIndex));
    checkMissingCheck_->setChecked(store_.Get(kReplayCheckMissingFrames) != 0);
    runtimeCalCheck_->setChecked(store_.Get(kNmeaRmsCepRuntimeCal) != 0);
}

void CSetupReplayDlg::SetSyncProtocol(int protocol)
{
    const int id =
        protocol == settings::kSyncProtocolNonNmea ? protocol : settings::kSyncProtocolAuto;
    syncGroup_->button(id)->setChecked(true);
}

void CSetupReplayDlg::SetLatestLogging(bool checked) { latestLoggingCheck_->setChecked(checked); }
void CSetupReplayDlg::SetAutoNaming(bool checked) { autoNamingCheck_->setChecked(checked); }
void CSetupReplayDlg::SetRmsFromGst(bool checked) { rmsFromGstCheck_->setChecked(checked); }
void CSetupReplayDlg::SetNoChecksum(bool checked) { noCheckCheck_->setChecked(checked); }

// A stored index outside the list means no limit, as the main window reads it.
void CSetupReplayDlg::SetMapUpdateMode(int index)
{
    mapUpdateCombo_->setCurrentIndex(index >= 0 && index < mapUpdateCombo_->count() ? index
                                                                                    : kNoLimit);
}

void CSetupReplayDlg::SetCheckMissingFrames(bool checked)
{
    checkMissingCheck_->setChecked(checked);
}

void CSetupReplayDlg::SetRmsCepRuntimeCal(bool checked) { runtimeCalCheck_->setChecked(checked); }

void CSetupReplayDlg::Apply()
{
    using namespace settings;
    store_.Write(kReplaySyncProtocol, SyncProtocol());
    store_.Write(kReplayLatestLogging, LatestLogging() ? 1 : 0);
    store_.Write(kReplayAutoNaming, AutoNaming() ? 1 : 0);
    store_.Write(kReplayErrorCalcType, RmsFromGst() ? 1 : 0);
    store_.Write(kReplaySkipChecksum, NoChecksum() ? 1 : 0);
    store_.Write(kReplayCheckMissingFrames, CheckMissingFrames() ? 1 : 0);
    store_.Write(kNmeaRmsCepRuntimeCal, RmsCepRuntimeCal() ? 1 : 0);
    store_.Write(kReplayPositionCountIndex, MapUpdateMode());
}

void CSetupReplayDlg::accept()
{
    Apply();
    QDialog::accept();
}
