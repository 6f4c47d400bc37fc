#include "setup/setup_server_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "settings/settings_store.h"

namespace {

constexpr int kMaxTcpPort = 65535;

}  // namespace

CSetupServerDlg::CSetupServerDlg(CSettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store)
{
    setWindowTitle(tr("서버 설정"));
    auto* group = new QGroupBox(QStringLiteral("Velmora RelayServer"), this);
    group->setObjectName(QStringLiteral("serverGroup"));
    auto* grid = new QGridLayout(group);
    addressEdit_ = new QLineEdit(store_.Get(settings::kServerVrsIp), group);
    addressEdit_->setObjectName(QStringLiteral("addressEdit"));
    portSpin_ = new QSpinBox(group);
    portSpin_->setObjectName(QStringLiteral("portSpin"));
    portSpin_->setRange(1, kMaxTcpPort);
    portSpin_->setValue(store_.Get(settings::kServerVrsPort));
    grid->addWidget(new QLabel(QStringLiteral("IP Addr :"), group), 0, 0);
    grid->addWidget(addressEdit_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Port Num :"), group), 1, 0);
    grid->addWidget(portSpin_, 1, 1);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupServerDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &CSetupServerDlg::Apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

QString CSetupServerDlg::Address() const { return addressEdit_->text().trimmed(); }

int CSetupServerDlg::Port() const { return portSpin_->value(); }

void CSetupServerDlg::SetAddress(const QString& address) { addressEdit_->setText(address); }

void CSetupServerDlg::SetPort(int port) { portSpin_->setValue(port); }

bool CSetupServerDlg::Apply()
{
    if (Address().isEmpty()) {
        addressEdit_->setFocus();
        return false;
    }
    store_.Write(settings::kServerVrsIp, Address());
    store_.Write(settings::kServerVrsPort, Port());
    return true;
}

void CSetupServerDlg::accept()
{
    if (Apply()) QDialog::accept();
}
