#include "setup/setup_ntrip_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>
#include <utility>

#include "link/comm.h"
#include "net/source_table.h"
#include "settings/settings_store.h"
#include "setup/setup_comm_dlg.h"

namespace {

constexpr int kMaxTcpPort = 65535;
constexpr std::string_view kTableEnd = "ENDSOURCETABLE";

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsListedCaster(const QString& host)
{
    return std::any_of(deployment::kNtripCasterHosts.begin(), deployment::kNtripCasterHosts.end(),
                       [&host](std::string_view listed) {
                           return host.compare(Text(listed), Qt::CaseInsensitive) == 0;
                       });
}

QString SerialTarget(const QString& port, int baudIndex)
{
    return port + QStringLiteral(", ") + QString::number(BaudRateFromIndex(baudIndex));
}

QString NetworkTarget(const QString& host, const QString& port)
{
    return host + QLatin1Char(':') + port;
}

}  // namespace

QString NtripForwardTargetText(const CSettingsStore& store, bool samePort)
{
    using namespace settings;
    if (samePort) {
        if (store.Get(kCommTxMode) != 0) {
            return SerialTarget(store.Get(kCommPort), store.Get(kCommBaudRate));
        }
        if (store.Get(kCommRelayServerMode) != 0) {
            return NetworkTarget(store.Get(kServerVrsIp),
                                 QString::number(store.Get(kServerVrsPort)));
        }
        return NetworkTarget(store.Get(kCommHostAddr), store.Get(kCommHostPort));
    }
    if (store.Get(kNtripTxMode) != 0) {
        return SerialTarget(store.Get(kNtripPort), store.Get(kNtripBaudRate));
    }
    return NetworkTarget(store.Get(kNtripDestAddr), store.Get(kNtripDestPort));
}

// ---------------------------------------------------------------------------------------------

CSetupNTripDlg::CSetupNTripDlg(CSettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store)
{
    setWindowTitle(QStringLiteral("NTRIP"));
    warn_ = [this](const QString& text, const QString& caption) {
        if (qEnvironmentVariableIsSet("SKARNET2_NO_MESSAGE_BOXES")) return;
        // A label shows a lone CR as a glyph.
        QMessageBox::warning(this, caption, QString(text).replace(QStringLiteral("\r\n"), "\n"));
    };
    promptForwardPort_ = [this] {
        CSetupCommDlg dialog(store_, CSetupCommDlg::Target::kNtripOutput, this);
        return dialog.exec() == QDialog::Accepted;
    };
    BuildControls();
    connect(&socket_, &CSocketClient::notice, this, &CSetupNTripDlg::OnSocketNotice);
    LoadSettings();
}

CSetupNTripDlg::~CSetupNTripDlg() = default;

void CSetupNTripDlg::SetWarningSink(
    std::function<void(const QString& text, const QString& caption)> sink)
{
    warn_ = std::move(sink);
}

void CSetupNTripDlg::SetForwardPortPrompt(std::function<bool()> prompt)
{
    promptForwardPort_ = std::move(prompt);
}

void CSetupNTripDlg::BuildControls()
{
    enableCheck_ = new QCheckBox(QStringLiteral("Enable"), this);
    enableCheck_->setObjectName(QStringLiteral("enableCheck"));
    hostList_ = new QComboBox(this);
    hostList_->setObjectName(QStringLiteral("hostList"));
    hostList_->setEditable(true);
    hostList_->setInsertPolicy(QComboBox::NoInsert);
    portEdit_ = new QSpinBox(this);
    portEdit_->setObjectName(QStringLiteral("portEdit"));
    portEdit_->setRange(1, kMaxTcpPort);
    mountList_ = new QComboBox(this);
    mountList_->setObjectName(QStringLiteral("mountList"));
    getMountButton_ = new QPushButton(QStringLiteral("Get Mountpoint"), this);
    getMountButton_->setObjectName(QStringLiteral("getMountButton"));
    identityEdit_ = new QLineEdit(this);
    identityEdit_->setObjectName(QStringLiteral("identityEdit"));
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit_->setEchoMode(QLineEdit::Password);
    samePortCheck_ = new QCheckBox(tr("입출력포트 동일함"), this);
    samePortCheck_->setObjectName(QStringLiteral("samePortCheck"));
    forwardTargetEdit_ = new QLineEdit(this);
    forwardTargetEdit_->setObjectName(QStringLiteral("forwardTargetEdit"));
    forwardTargetEdit_->setReadOnly(true);

    auto* grid = new QGridLayout;
    grid->addWidget(enableCheck_, 0, 0, 1, 2);
    grid->addWidget(new QLabel(tr("캐스터:"), this), 1, 0);
    grid->addWidget(hostList_, 1, 1);
    grid->addWidget(new QLabel(tr("포트:"), this), 1, 2);
    grid->addWidget(portEdit_, 1, 3);
    grid->addWidget(new QLabel(tr("마운트포인트:"), this), 2, 0);
    grid->addWidget(mountList_, 2, 1);
    grid->addWidget(getMountButton_, 2, 2, 1, 2);
    grid->addWidget(new QLabel(tr("아이디:"), this), 3, 0);
    grid->addWidget(identityEdit_, 3, 1);
    grid->addWidget(new QLabel(tr("비밀번호:"), this), 3, 2);
    grid->addWidget(passwordEdit_, 3, 3);
    grid->addWidget(samePortCheck_, 4, 0, 1, 4);
    grid->addWidget(forwardTargetEdit_, 5, 0, 1, 4);
    auto* note = new QLabel(
        tr("Uncheck it if you want to forward data from server to TCP or COM port."), this);
    note->setWordWrap(true);
    grid->addWidget(note, 6, 0, 1, 4);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupNTripDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSetupNTripDlg::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &CSetupNTripDlg::Apply);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(enableCheck_, &QCheckBox::clicked, this, &CSetupNTripDlg::SetEnabledChecked);
    connect(hostList_, &QComboBox::activated, this,
            [this](int index) { ChooseHost(hostList_->itemText(index)); });
    connect(samePortCheck_, &QCheckBox::clicked, this, &CSetupNTripDlg::SetSamePortChecked);
    connect(getMountButton_, &QPushButton::clicked, this, &CSetupNTripDlg::RequestMountPoints);
}

void CSetupNTripDlg::LoadSettings()
{
    using namespace settings;
    hostList_->setEditText(store_.Get(kNtripHostAddr));
    portEdit_->setValue(store_.Get(kNtripHostPort));
    SetEnabledChecked(store_.Get(kNtripEnable) != 0);
    lastSamePort_ = store_.Get(kNtripSamePort) != 0;
    samePortCheck_->setChecked(lastSamePort_);
    ShowForwardTarget(lastSamePort_);
}

// Only an enabled page reads the login, so a disabled page shows no password at all.
void CSetupNTripDlg::LoadLogin()
{
    using namespace settings;
    mountList_->clear();
    const QString mountPoint = store_.Get(kNtripMountPoint);
    if (!mountPoint.isEmpty()) mountList_->addItem(mountPoint);
    SelectStoredMountPoint();
    identityEdit_->setText(store_.Get(kNtripIdentity));
    passwordEdit_->setText(store_.Get(kNtripPassword));
    loginLoaded_ = true;
}

void CSetupNTripDlg::SelectStoredMountPoint()
{
    const int stored = mountList_->findText(store_.Get(settings::kNtripMountPoint));
    mountList_->setCurrentIndex(stored >= 0 ? stored : 0);
}

void CSetupNTripDlg::SetEnabledChecked(bool checked)
{
    enableCheck_->setChecked(checked);
    if (checked && !loginLoaded_) LoadLogin();
    FillHostList();
    for (QWidget* control : std::initializer_list<QWidget*>{mountList_, identityEdit_,
                                                            passwordEdit_, getMountButton_}) {
        control->setEnabled(checked);
    }
}

void CSetupNTripDlg::FillHostList()
{
    const QString host = HostText();
    hostList_->clear();
    if (!enableCheck_->isChecked()) {
        if (!host.isEmpty()) hostList_->addItem(host);
        return;
    }
    for (const std::string_view caster : deployment::kNtripCasterHosts) {
        hostList_->addItem(Text(caster));
    }
    const int listed = hostList_->findText(host);
    if (listed >= 0) {
        hostList_->setCurrentIndex(listed);
        portEdit_->setValue(deployment::kNtripListedCasterPort);
    } else if (!host.isEmpty()) {
        hostList_->addItem(host);
        hostList_->setCurrentIndex(hostList_->count() - 1);
    } else {
        hostList_->setCurrentIndex(-1);
    }
}

void CSetupNTripDlg::ChooseHost(const QString& host)
{
    const QString name = host.trimmed();
    const int index = hostList_->findText(name);
    if (index >= 0) {
        hostList_->setCurrentIndex(index);
    } else {
        hostList_->setEditText(name);
    }
    if (IsListedCaster(name) || name.startsWith(QStringLiteral("RTS"), Qt::CaseInsensitive)) {
        portEdit_->setValue(deployment::kNtripListedCasterPort);
    }
}

void CSetupNTripDlg::SetSamePortChecked(bool checked)
{
    samePortCheck_->setChecked(checked);
    if (checked == lastSamePort_) return;
    // Without a forwarding port the corrections keep going to the receiver.
    if (!checked && !(promptForwardPort_ && promptForwardPort_())) {
        samePortCheck_->setChecked(true);
        return;
    }
    ShowForwardTarget(checked);
}

void CSetupNTripDlg::ShowForwardTarget(bool samePort)
{
    forwardTargetEdit_->setText(NtripForwardTargetText(store_, samePort));
    lastSamePort_ = samePort;
}

void CSetupNTripDlg::RefreshForwardTarget() { ShowForwardTarget(samePortCheck_->isChecked()); }

void CSetupNTripDlg::Apply()
{
    using namespace settings;
    store_.Write(kNtripEnable, enableCheck_->isChecked() ? 1 : 0);
    store_.Write(kNtripHostAddr, HostText());
    store_.Write(kNtripHostPort, Port());
    // An unread login is written back as stored, not wiped.
    store_.Write(kNtripMountPoint, loginLoaded_ ? MountPoint() : store_.Get(kNtripMountPoint));
    store_.Write(kNtripIdentity, loginLoaded_ ? Identity() : store_.Get(kNtripIdentity));
    store_.Write(kNtripPassword, loginLoaded_ ? passwordEdit_->text() : store_.Get(kNtripPassword));
    store_.Write(kNtripSamePort, samePortCheck_->isChecked() ? 1 : 0);
}

void CSetupNTripDlg::accept()
{
    Apply();
    QDialog::accept();
}

void CSetupNTripDlg::done(int result)
{
    socket_.Close(false);
    getMountButton_->setEnabled(enableCheck_->isChecked());
    QDialog::done(result);
}

// ---------------------------------------------------------------------------------------------

void CSetupNTripDlg::RequestMountPoints()
{
    if (!getMountButton_->isEnabled()) return;
    sourceTable_.clear();
    casterAnswered_ = false;
    getMountButton_->setEnabled(false);
    socket_.Connect(HostText(), static_cast<quint16>(Port()));
}

void CSetupNTripDlg::OnSocketNotice(int code)
{
    switch (code) {
        case CSocketClient::kNoticeConnected:
            casterAnswered_ = true;
            socket_.Write(kSourceTableRequest.data(),
                          static_cast<qint64>(kSourceTableRequest.size()));
            break;
        case CSocketClient::kNoticeData: ReadReply(); break;
        case CSocketClient::kNoticeClosed:
            getMountButton_->setEnabled(enableCheck_->isChecked());
            if (!casterAnswered_) {
                warn_(tr("NTRIP 서버에 접속할 수 없습니다.\r\n서버 주소 및 포트를 확인하세요!!!"),
                      tr("NTRIP 연결"));
            } else {
                ShowMountPoints();
            }
            sourceTable_.clear();
            break;
        default: break;
    }
}

void CSetupNTripDlg::ReadReply()
{
    char block[kReadBlock];
    qint64 got = 0;
    while ((got = socket_.Read(block, kReadBlock)) > 0) {
        // The end marker may straddle two blocks; it must not be the very first byte.
        const qsizetype from =
            std::max<qsizetype>(1, sourceTable_.size() - qsizetype(kTableEnd.size()) + 1);
        sourceTable_.append(block,
                            std::min<qsizetype>(got, kMaxSourceTableBytes - sourceTable_.size()));
        if (sourceTable_.size() >= kMaxSourceTableBytes ||
            sourceTable_.indexOf(QByteArrayView(kTableEnd.data(), kTableEnd.size()), from) > 0) {
            socket_.Close(true);  // the table is parsed once, on the close notice
            return;
        }
    }
}

void CSetupNTripDlg::ShowMountPoints()
{
    const auto streams = ParseSourceTableReply(
        std::string_view(sourceTable_.constData(), static_cast<std::size_t>(sourceTable_.size())));
    if (!streams) return;
    mountList_->clear();
    for (const SourceTableStream& stream : *streams) {
        const QString name = Text(stream.mountPoint);
        if (mountList_->findText(name) < 0) mountList_->addItem(name);
    }
    SelectStoredMountPoint();
}

// ---------------------------------------------------------------------------------------------

QString CSetupNTripDlg::HostText() const { return hostList_->currentText().trimmed(); }

QStringList CSetupNTripDlg::HostItems() const
{
    QStringList items;
    for (int i = 0; i < hostList_->count(); ++i) items << hostList_->itemText(i);
    return items;
}

int CSetupNTripDlg::Port() const { return portEdit_->value(); }

QStringList CSetupNTripDlg::MountPoints() const
{
    QStringList items;
    for (int i = 0; i < mountList_->count(); ++i) items << mountList_->itemText(i);
    return items;
}

QString CSetupNTripDlg::MountPoint() const { return mountList_->currentText(); }

QString CSetupNTripDlg::Identity() const { return identityEdit_->text().trimmed(); }

bool CSetupNTripDlg::EnabledChecked() const { return enableCheck_->isChecked(); }

bool CSetupNTripDlg::SamePortChecked() const { return samePortCheck_->isChecked(); }

QString CSetupNTripDlg::ForwardTarget() const { return forwardTargetEdit_->text(); }

bool CSetupNTripDlg::GetMountPointEnabled() const { return getMountButton_->isEnabled(); }
