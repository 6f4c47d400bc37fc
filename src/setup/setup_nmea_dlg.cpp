#include "setup/setup_nmea_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>
#include <limits>
#include <tuple>

#include "settings/settings_store.h"

namespace {

constexpr int kLimitSpeedCount = 4;

struct FieldInfo {
    const char* label;
    const char* objectName;
    const TextSetting* setting;
};

// In the order of CSetupNmeaDlg::Field.
const std::array<FieldInfo, CSetupNmeaDlg::kFieldCount> kFields{{
    {QT_TRANSLATE_NOOP("CSetupNmeaDlg", "기본요금 (\\)"), "basicFeeEdit", &settings::kNmeaBasicFee},
    {QT_TRANSLATE_NOOP("CSetupNmeaDlg", "최저속도 (Km/h)"), "minSpeedEdit",
     &settings::kNmeaMinSpeed},
    {QT_TRANSLATE_NOOP("CSetupNmeaDlg", "기본거리 (M)"), "basicDistanceEdit",
     &settings::kNmeaBasicDistance},
    {QT_TRANSLATE_NOOP("CSetupNmeaDlg", "정산거리 (M/단위요금)"), "unitDistanceEdit",
     &settings::kNmeaUnitDistance},
    {QT_TRANSLATE_NOOP("CSetupNmeaDlg", "정산단위요금 (\\)"), "unitFeeEdit",
     &settings::kNmeaUnitFee},
}};

}  // namespace

CSetupNmeaDlg::CSetupNmeaDlg(CSettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store)
{
    setWindowTitle(QStringLiteral("NMEA"));

    auto* typeBox = new QGroupBox(tr("표시 형태"), this);
    auto* typeLayout = new QVBoxLayout(typeBox);
    typeGroup_ = new QButtonGroup(this);
    for (const auto& [id, text, name] : {std::tuple{kBaseInfo, "BASE INFO", "baseInfoRadio"},
                                         std::tuple{kTaxiMeter, "TAXI METER", "taxiMeterRadio"}}) {
        auto* radio = new QRadioButton(QLatin1String(text), typeBox);
        radio->setObjectName(QLatin1String(name));
        typeGroup_->addButton(radio, id);
        typeLayout->addWidget(radio);
    }
    modeLabel_ = new QLabel(typeBox);
    modeLabel_->setObjectName(QStringLiteral("modeLabel"));
    typeLayout->addWidget(modeLabel_);

    auto* fareGrid = new QGridLayout;
    for (int i = 0; i < kFieldCount; ++i) {
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(QLatin1String(kFields[i].objectName));
        fareGrid->addWidget(new QLabel(tr(kFields[i].label), this), i, 0);
        fareGrid->addWidget(fields_[i], i, 1);
    }
    limitSpeedCombo_ = new QComboBox(this);
    limitSpeedCombo_->setObjectName(QStringLiteral("limitSpeedCombo"));
    limitSpeedCombo_->addItems({tr("적용하지 않음"), QStringLiteral("5KM/h"),
                                QStringLiteral("10KM/h"), QStringLiteral("15KM/h")});
    fareGrid->addWidget(new QLabel(tr("표시제한속도 (Km/h)"), this), kFieldCount, 0);
    fareGrid->addWidget(limitSpeedCombo_, kFieldCount, 1);

    auto* moduleBox = new QGroupBox(QStringLiteral("GPS Module Type"), this);
    auto* moduleLayout = new QVBoxLayout(moduleBox);
    drCheck_ = new QCheckBox(QStringLiteral("DR"), moduleBox);
    drCheck_->setObjectName(QStringLiteral("drCheck"));
    moduleLayout->addWidget(drCheck_);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupNmeaDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &CSetupNmeaDlg::Apply);
    connect(typeGroup_, &QButtonGroup::idClicked, this, &CSetupNmeaDlg::SetOperationType);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(typeBox);
    layout->addLayout(fareGrid);
    layout->addWidget(moduleBox);
    layout->addWidget(buttons);

    Reload();
}

int CSetupNmeaDlg::OperationType() const
{
    return typeGroup_->checkedId() == kTaxiMeter ? kTaxiMeter : kBaseInfo;
}

QString CSetupNmeaDlg::ModeText() const { return modeLabel_->text(); }

QString CSetupNmeaDlg::FieldText(Field field) const { return fields_[field]->text(); }

bool CSetupNmeaDlg::FieldEnabled(Field field) const { return fields_[field]->isEnabled(); }

int CSetupNmeaDlg::DisplayLimitSpeed() const { return limitSpeedCombo_->currentIndex(); }

bool CSetupNmeaDlg::LimitSpeedEnabled() const { return limitSpeedCombo_->isEnabled(); }

bool CSetupNmeaDlg::Dr() const { return drCheck_->isChecked(); }

void CSetupNmeaDlg::Reload()
{
    using namespace settings;
    for (int i = 0; i < kFieldCount; ++i) fields_[i]->setText(store_.Get(*kFields[i].setting));
    SetDisplayLimitSpeed(store_.Get(kNmeaDisplayLimitSpeed));
    SetDr(store_.Get(kNmeaGpsModule) != 0);
    SetOperationType(store_.Get(kNmeaOperationType));
}

void CSetupNmeaDlg::SetOperationType(int type)
{
    const bool taxi = type == kTaxiMeter;
    typeGroup_->button(taxi ? kTaxiMeter : kBaseInfo)->setChecked(true);
    modeLabel_->setText(taxi ? tr("택시 요금정보 표시") : tr("GPS BASE 관련정보 표시"));
    for (QLineEdit* field : fields_) field->setEnabled(taxi);
    limitSpeedCombo_->setEnabled(taxi);
}

void CSetupNmeaDlg::SetFieldText(Field field, const QString& text)
{
    fields_[field]->setText(text);
}

// The meter reads an index outside 0..3 as no limit.
void CSetupNmeaDlg::SetDisplayLimitSpeed(int index)
{
    limitSpeedCombo_->setCurrentIndex(index >= 0 && index < kLimitSpeedCount ? index : 0);
}

void CSetupNmeaDlg::SetDr(bool checked) { drCheck_->setChecked(checked); }

bool CSetupNmeaDlg::Apply()
{
    using namespace settings;
    for (int i = 0; i < kFieldCount; ++i) {
        bool ok = false;
        const double value = fields_[i]->text().trimmed().toDouble(&ok);
        // The meter keeps fees and the unit distance as 32-bit integers.
        if (!ok || !std::isfinite(value) || value < 0.0 ||
            value > std::numeric_limits<std::int32_t>::max() ||
            (i == kUnitDistance && value < 1.0)) {
            fields_[i]->setFocus();
            return false;
        }
    }
    const auto text = [this](Field field) { return fields_[field]->text().trimmed(); };
    store_.Write(kNmeaOperationType, OperationType());
    store_.Write(kNmeaBasicDistance, text(kBasicDistance));
    store_.Write(kNmeaBasicFee, text(kBasicFee));
    store_.Write(kNmeaMinSpeed, text(kMinSpeed));
    store_.Write(kNmeaGpsModule, Dr() ? 1 : 0);
    store_.Write(kNmeaUnitFee, text(kUnitFee));
    store_.Write(kNmeaUnitDistance, text(kUnitDistance));
    store_.Write(kNmeaDisplayLimitSpeed, DisplayLimitSpeed());
    return true;
}

void CSetupNmeaDlg::accept()
{
    if (Apply()) QDialog::accept();
}
