#pragma once

#include <QDialog>

class CSettingsStore;
class QButtonGroup;
class QCheckBox;
class QComboBox;

// The decoding, logging, replay and error-calculation options (section "REPLAY", plus
// "RMSCEP_RUNTIME_CAL" in "NMEA"). Apply writes them; the main window re-reads them when the
// container reports the page applied.
class CSetupReplayDlg : public QDialog {
    Q_OBJECT

public:
    // Map update mode items, in combo order.
    enum MapUpdateMode { kNoLimit = 0, kNoUpdate = 1, kLimit1000 = 2 };

    explicit CSetupReplayDlg(CSettingsStore& store, QWidget* parent = nullptr);

    int SyncProtocol() const;  // 0 AUTO, 1 NON NMEA
    bool LatestLogging() const;
    bool AutoNaming() const;
    bool RmsFromGst() const;
    bool NoChecksum() const;
    int MapUpdateMode() const;
    bool CheckMissingFrames() const;
    bool RmsCepRuntimeCal() const;

public slots:
    // Reads the stored values into the controls; a sync protocol other than 0 or 1 is stored
    // back as AUTO.
    void Reload();
    void SetSyncProtocol(int protocol);
    void SetLatestLogging(bool checked);
    void SetAutoNaming(bool checked);
    void SetRmsFromGst(bool checked);
    void SetNoChecksum(bool checked);
    void SetMapUpdateMode(int index);
    void SetCheckMissingFrames(bool checked);
    void SetRmsCepRuntimeCal(bool checked);
    void Apply();
    void accept() override;

private:
    CSettingsStore& store_;
    QButtonGroup* syncGroup_ = nullptr;
    QCheckBox* latestLoggingCheck_ = nullptr;
    QCheckBox* autoNamingCheck_ = nullptr;
    QCheckBox* rmsFromGstCheck_ = nullptr;
    QCheckBox* noCheckCheck_ = nullptr;
    QComboBox* mapUpdateCombo_ = nullptr;
    QCheckBox* checkMissingCheck_ = nullptr;
    QCheckBox* runtimeCalCheck_ = nullptr;
};
