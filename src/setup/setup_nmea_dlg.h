#pragma once

#include <QDialog>
#include <QString>
#include <array>

class CSettingsStore;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// The NMEA display page: the status panel's display form (reference-station information or
// the taxi meter) and the fare settings (section "NMEA"). Apply only writes; the main window
// then hands the meter LoadTaxiMeterSettings(store).
class CSetupNmeaDlg : public QDialog {
    Q_OBJECT

public:
    enum OperationType { kBaseInfo = 0, kTaxiMeter = 1 };
    enum Field { kBasicFee = 0, kMinSpeed, kBasicDistance, kUnitDistance, kUnitFee };
    static constexpr int kFieldCount = 5;

    explicit CSetupNmeaDlg(CSettingsStore& store, QWidget* parent = nullptr);

    int OperationType() const;
    QString ModeText() const;
    QString FieldText(Field field) const;
    bool FieldEnabled(Field field) const;
    int DisplayLimitSpeed() const;  // combo index 0..3
    bool LimitSpeedEnabled() const;
    bool Dr() const;

public slots:
    void Reload();
    void SetOperationType(int type);
    void SetFieldText(Field field, const QString& text);
    void SetDisplayLimitSpeed(int index);
    void SetDr(bool checked);
    // False, with nothing stored, when a fare field is not a number the meter can use (the
    // unit distance must be above 0); that field gets the focus.
    bool Apply();
    void accept() override;

private:
    CSettingsStore& store_;
    QButtonGroup* typeGroup_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    std::array<QLineEdit*, kFieldCount> fields_{};
    QComboBox* limitSpeedCombo_ = nullptr;
    QCheckBox* drCheck_ = nullptr;
};
