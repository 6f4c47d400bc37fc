#pragma once

#include <QDialog>
#include <QString>

class CSettingsStore;
class QLineEdit;
class QSpinBox;

// The relay server page: the server's address and port (section "SERVER"). Apply (and OK)
// store them; the link reads them at its next open.
class CSetupServerDlg : public QDialog {
    Q_OBJECT

public:
    explicit CSetupServerDlg(CSettingsStore& store, QWidget* parent = nullptr);

    QString Address() const;
    int Port() const;

public slots:
    void SetAddress(const QString& address);
    void SetPort(int port);
    // False, with nothing stored, when the address is empty.
    bool Apply();
    void accept() override;

private:
    CSettingsStore& store_;
    QLineEdit* addressEdit_ = nullptr;
    QSpinBox* portSpin_ = nullptr;
};
