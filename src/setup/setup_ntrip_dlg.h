#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

#include "link/socket_client.h"

class CSettingsStore;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Where the corrections go, as the page shows it: the receiver's own link when samePort is
// set, otherwise the NTRIP output port ("host:port", or "port, baud").
QString NtripForwardTargetText(const CSettingsStore& store, bool samePort);

// The NTRIP page: caster, mount point and login of the NTRIP client, and where its corrections
// go. Apply (and OK) write section "NTRIP"; the client reads it at its next start. Get
// Mountpoint fetches the caster's source table over the page's own socket.
class CSetupNTripDlg : public QDialog {
    Q_OBJECT

public:
    // A caster that never stops sending must not grow the table without bound.
    static constexpr qsizetype kMaxSourceTableBytes = 1024 * 1024;
    static constexpr qint64 kReadBlock = 2048;

    explicit CSetupNTripDlg(CSettingsStore& store, QWidget* parent = nullptr);
    ~CSetupNTripDlg() override;

    // Messages go here; by default a warning box, none with SKARNET2_NO_MESSAGE_BOXES set.
    void SetWarningSink(std::function<void(const QString& text, const QString& caption)> sink);
    // Asks for the forwarding port when the same-port box is unchecked; false on cancel. By
    // default the connection dialog for the NTRIP output.
    void SetForwardPortPrompt(std::function<bool()> prompt);

    QString HostText() const;
    QStringList HostItems() const;
    int Port() const;
    QStringList MountPoints() const;
    QString MountPoint() const;
    QString Identity() const;
    bool EnabledChecked() const;
    bool SamePortChecked() const;
    QString ForwardTarget() const;
    // False while a source table request runs.
    bool GetMountPointEnabled() const;

public slots:
    // The forwarding target again, after the connection settings may have changed.
    void RefreshForwardTarget();
    void SetEnabledChecked(bool checked);
    // Selects a host of the list, or types it, as the user would.
    void ChooseHost(const QString& host);
    void SetSamePortChecked(bool checked);
    void RequestMountPoints();
    void Apply();
    void accept() override;
    void done(int result) override;

private:
    void BuildControls();
    void LoadSettings();
    void LoadLogin();
    void FillHostList();
    void ShowForwardTarget(bool samePort);
    void OnSocketNotice(int code);
    void ReadReply();
    void ShowMountPoints();
    void SelectStoredMountPoint();

    CSettingsStore& store_;
    CSocketClient socket_;
    QByteArray sourceTable_;
    bool loginLoaded_ = false;  // the login is read only once NTRIP is enabled
    bool casterAnswered_ = false;
    bool lastSamePort_ = true;
    std::function<void(const QString&, const QString&)> warn_;
    std::function<bool()> promptForwardPort_;

    QComboBox* hostList_ = nullptr;
    QSpinBox* portEdit_ = nullptr;
    QComboBox* mountList_ = nullptr;
    QCheckBox* enableCheck_ = nullptr;
    QLineEdit* identityEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QCheckBox* samePortCheck_ = nullptr;
    QPushButton* getMountButton_ = nullptr;
    QLineEdit* forwardTargetEdit_ = nullptr;
};
