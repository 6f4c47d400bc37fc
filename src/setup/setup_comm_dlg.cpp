#include "setup/setup_comm_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "net/relay_protocol.h"
#include "settings/settings_store.h"
#include "views/view_fonts.h"

namespace {

// Text order of the relayed types: GGA first, then RMC, GSA, GSV, GST (box indexes).
constexpr std::array<std::size_t, kRelayedSentenceTypes.size()> kRelayedTextOrder{0, 3, 1, 2, 4};

constexpr int kMaxTcpPort = 65535;

QString Encoded(const QString& field)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(field));
}

bool ValidTcpPort(const QString& text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port >= 1 && port <= kMaxTcpPort;
}

QComboBox* MakeList(QWidget* parent, const QString& name, const QStringList& items)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    return list;
}

}  // namespace

std::vector<std::uint8_t> ParseHardwareAddress(const QString& text)
{
    std::vector<std::uint8_t> bytes;
    if (text.isEmpty()) return bytes;
    for (const QString& part : text.split(QLatin1Char(':'))) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || value > 0xFF) return {};
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

QString LocalMyId()
{
    std::vector<std::vector<std::uint8_t>> addresses;
    for (const QNetworkInterface& adapter : QNetworkInterface::allInterfaces()) {
        if (adapter.flags().testFlag(QNetworkInterface::IsLoopBack)) continue;
        std::vector<std::uint8_t> bytes = ParseHardwareAddress(adapter.hardwareAddress());
        if (bytes.empty()) continue;
        addresses.push_back(std::move(bytes));
        if (addresses.size() == 2) break;
    }
    return QString::fromStdString(relay::ViewerId(addresses));
}

QString ComposeRelayedNmea(const RelayedSentenceSet& checked)
{
    QStringList types;
    for (const std::size_t box : kRelayedTextOrder) {
        if (checked[box]) types << QLatin1String(kRelayedSentenceTypes[box]);
    }
    return types.join(QLatin1Char(','));
}

RelayedSentenceSet ParseRelayedNmea(const QString& text)
{
    RelayedSentenceSet set{};
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString type = item.trimmed();
        for (std::size_t box = 0; box < kRelayedSentenceTypes.size(); ++box) {
            if (type == QLatin1String(kRelayedSentenceTypes[box])) set[box] = true;
        }
    }
    return set;
}

QString ComposeLoginInfo(const RelayLogin& login)
{
    if (login.id.isEmpty() && login.password.isEmpty() && login.newPassword.isEmpty()) return {};
    return QStringLiteral("id=") + Encoded(login.id) + QStringLiteral("&pwd=") +
           Encoded(login.password) + QStringLiteral("&newpwd=") + Encoded(login.newPassword);
}

RelayLogin ParseLoginInfo(const QString& text)
{
    RelayLogin login;
    for (const QString& field : text.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        if (equals < 0) continue;
        const QString name = field.left(equals);
        const QString value = QUrl::fromPercentEncoding(field.mid(equals + 1).toUtf8());
        if (name == QLatin1String("id")) login.id = value;
        if (name == QLatin1String("pwd")) login.password = value;
        if (name == QLatin1String("newpwd")) login.newPassword = value;
    }
    return login;
}

// ---------------------------------------------------------------------------------------------

const QStringList& CSetupCommDlg::BaudRateTexts()
{
    static const QStringList texts{"110",   "300",   "1200",   "2400",   "4800",   "9600",  "19200",
                                   "38400", "57600", "115200", "230400", "460800", "921600"};
    return texts;
}

QStringList CSetupCommDlg::DataBitTexts() { return {"5", "6", "7", "8"}; }

QStringList CSetupCommDlg::ParityTexts()
{
    return {tr("짝수"), tr("홀수"), tr("없음"), tr("표시"), tr("공백")};
}

QStringList CSetupCommDlg::StopBitTexts() { return {"1", "1.5", "2"}; }

QStringList CSetupCommDlg::FlowControlTexts()
{
    return {QStringLiteral("Xon/Xoff"), tr("하드웨어"), tr("없음")};
}

CSetupCommDlg::CSetupCommDlg(CSettingsStore& store, Target target, QWidget* parent)
    : QDialog(parent), store_(store), target_(target), myId_(LocalMyId())
{
    setWindowTitle(tr("연결 속성"));
    warn_ = [this](const QString& text) { QMessageBox::warning(this, tr("통신설정"), text); };
    countdownTimer_.setInterval(kCountdownPeriodMs);
    autoOkTimer_.setSingleShot(true);
    autoOkTimer_.setInterval(kAutoOkDelayMs);
    BuildControls();
    ConnectControls();
    LoadSettings();
    initialising_ = false;
}

void CSetupCommDlg::SetWarningSink(std::function<void(const QString& text)> sink)
{
    warn_ = std::move(sink);
}

void CSetupCommDlg::BuildControls()
{
    serialRadio_ = new QRadioButton(tr("시리얼"), this);
    serialRadio_->setObjectName(QStringLiteral("serialRadio"));
    networkRadio_ = new QRadioButton(QStringLiteral("TCP/IP"), this);
    networkRadio_->setObjectName(QStringLiteral("networkRadio"));
    relayCheck_ = new QCheckBox(QStringLiteral("Velmora Relay Server"), this);
    relayCheck_->setObjectName(QStringLiteral("relayCheck"));

    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(serialRadio_);
    modeRow->addWidget(networkRadio_);
    modeRow->addWidget(relayCheck_);
    modeRow->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupCommDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSetupCommDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(modeRow);
    layout->addWidget(BuildSerialGroup());
    layout->addWidget(BuildNetworkGroup());
    layout->addWidget(BuildRelayGroup());
    layout->addWidget(buttons);
}

QWidget* CSetupCommDlg::BuildSerialGroup()
{
    auto* group = new QGroupBox(this);
    portList_ = MakeList(group, QStringLiteral("portList"), {});
    // Pseudo-terminals are never listed, so a path may be typed by hand.
    portList_->setEditable(true);
    portList_->setInsertPolicy(QComboBox::NoInsert);
    refreshButton_ = new QToolButton(group);
    refreshButton_->setObjectName(QStringLiteral("refreshPorts"));
    refreshButton_->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    baudList_ = MakeList(group, QStringLiteral("baudList"), BaudRateTexts());
    dataBitList_ = MakeList(group, QStringLiteral("dataBitList"), DataBitTexts());
    parityList_ = MakeList(group, QStringLiteral("parityList"), ParityTexts());
    stopBitList_ = MakeList(group, QStringLiteral("stopBitList"), StopBitTexts());
    flowList_ = MakeList(group, QStringLiteral("flowList"), FlowControlTexts());

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("연결에 사용할 모뎀:"), group), 0, 0);
    grid->addWidget(portList_, 0, 1);
    grid->addWidget(refreshButton_, 0, 2);
    const std::array<std::pair<QString, QComboBox*>, 5> rows{{
        {tr("비트/초:"), baudList_},
        {tr("데이터 비트:"), dataBitList_},
        {tr("패리티 비트:"), parityList_},
        {tr("정지 비트:"), stopBitList_},
        {tr("흐름 제어:"), flowList_},
    }};
    int row = 1;
    for (const auto& [label, list] : rows) {
        grid->addWidget(new QLabel(label, group), row, 0);
        grid->addWidget(list, row++, 1);
    }
    return group;
}

QWidget* CSetupCommDlg::BuildNetworkGroup()
{
    auto* group = new QGroupBox(this);
    hostLabel_ = new QLabel(QStringLiteral("Host IP/ MY ID:"), group);
    hostLabel_->setObjectName(QStringLiteral("hostLabel"));
    hostEdit_ = new QLineEdit(group);
    hostEdit_->setObjectName(QStringLiteral("hostEdit"));
    portLabel_ = new QLabel(QStringLiteral("Host Port:"), group);
    portEdit_ = new QLineEdit(group);
    portEdit_->setObjectName(QStringLiteral("portEdit"));

    auto* grid = new QGridLayout(group);
    grid->addWidget(hostLabel_, 0, 0);
    grid->addWidget(hostEdit_, 0, 1);
    grid->addWidget(portLabel_, 1, 0);
    grid->addWidget(portEdit_, 1, 1);
    return group;
}

QWidget* CSetupCommDlg::BuildRelayGroup()
{
    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    BuildLoginRows(group, grid);

    auto* sentenceRow = new QHBoxLayout;
    for (std::size_t box = 0; box < sentenceChecks_.size(); ++box) {
        const QString type = QLatin1String(kRelayedSentenceTypes[box]);
        sentenceChecks_[box] = new QCheckBox(type, group);
        sentenceChecks_[box]->setObjectName(QStringLiteral("sentence") + type);
        sentenceRow->addWidget(sentenceChecks_[box]);
    }
    grid->addLayout(sentenceRow, 3, 0, 1, 3);

    saveIdCheck_ = new QCheckBox(QStringLiteral("SAVE"), group);
    saveIdCheck_->setObjectName(QStringLiteral("saveIdCheck"));
    autoLoginCheck_ = new QCheckBox(QStringLiteral("AUTO LOGIN"), group);
    autoLoginCheck_->setObjectName(QStringLiteral("autoLoginCheck"));
    countdownLabel_ = new QLabel(group);
    countdownLabel_->setObjectName(QStringLiteral("countdownLabel"));
    countdownLabel_->setAlignment(Qt::AlignCenter);
    grid->addWidget(saveIdCheck_, 4, 0);
    grid->addWidget(autoLoginCheck_, 4, 1);
    grid->addWidget(countdownLabel_, 4, 2);
    return group;
}

void CSetupCommDlg::BuildLoginRows(QWidget* group, QGridLayout* grid)
{
    const std::array<QString, 3> labels{QStringLiteral("LOGIN ID:"), QStringLiteral("LOGIN PWD:"),
                                        QStringLiteral("NEW PWD:")};
    const std::array<QString, 3> names{QStringLiteral("loginIdEdit"),
                                       QStringLiteral("passwordEdit"),
                                       QStringLiteral("newPasswordEdit")};
    std::array<QLineEdit*, 3> edits{};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        loginLabels_[i] = new QLabel(labels[i], group);
        edits[i] = new QLineEdit(group);
        edits[i]->setObjectName(names[i]);
        if (i > 0) edits[i]->setEchoMode(QLineEdit::Password);
        grid->addWidget(loginLabels_[i], static_cast<int>(i), 0);
        grid->addWidget(edits[i], static_cast<int>(i), 1, 1, 2);
    }
    loginIdEdit_ = edits[0];
    passwordEdit_ = edits[1];
    newPasswordEdit_ = edits[2];
    loginIdEdit_->installEventFilter(this);
}

void CSetupCommDlg::ConnectControls()
{
    connect(networkRadio_, &QRadioButton::clicked, this, &CSetupCommDlg::OnNetworkMode);
    connect(serialRadio_, &QRadioButton::clicked, this, &CSetupCommDlg::OnSerialMode);
    connect(relayCheck_, &QCheckBox::clicked, this, &CSetupCommDlg::OnRelayToggled);
    connect(refreshButton_, &QToolButton::clicked, this, &CSetupCommDlg::OnRefreshPorts);
    connect(loginIdEdit_, &QLineEdit::editingFinished, this, &CSetupCommDlg::OnLoginIdEntered);
    connect(autoLoginCheck_, &QCheckBox::clicked, this, &CSetupCommDlg::OnAutoLoginToggled);
    connect(&countdownTimer_, &QTimer::timeout, this, &CSetupCommDlg::OnCountdownTick);
    connect(&autoOkTimer_, &QTimer::timeout, this, &CSetupCommDlg::OnAutoOkDelayElapsed);
    // A typed host or device ID comes back when the edit stops showing My ID.
    connect(hostEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!showingMyId_) hostText_ = text;
    });
}

void CSetupCommDlg::LoadSettings()
{
    LoadLinkSettings();
    LoadRelaySettings();
    countdownLabel_->setFont(ViewFont(kFontArial, kCountdownFontPixels));
    ApplyModeRules();
    OnAutoLoginToggled(autoLoginCheck_->isChecked());  // no countdown while initialising
}

void CSetupCommDlg::LoadLinkSettings()
{
    using namespace settings;
    const bool ntrip = target_ == Target::kNtripOutput;
    linkMode_ = store_.Get(ntrip ? kNtripTxMode : kCommTxMode) == 0 ? LinkMode::kNetwork
                                                                    : LinkMode::kSerial;
    hostText_ = store_.Get(ntrip ? kNtripDestAddr : kCommHostAddr);
    portEdit_->setText(store_.Get(ntrip ? kNtripDestPort : kCommHostPort));
    FillPortList(store_.Get(ntrip ? kNtripPort : kCommPort));
    // A position outside a list leaves it without a selection, which OK then refuses.
    baudList_->setCurrentIndex(store_.Get(ntrip ? kNtripBaudRate : kCommBaudRate));
    dataBitList_->setCurrentIndex(store_.Get(kCommDataBits));
    parityList_->setCurrentIndex(store_.Get(kCommParity));
    stopBitList_->setCurrentIndex(store_.Get(kCommStopBits));
    flowList_->setCurrentIndex(store_.Get(kCommFlowControl));
}

void CSetupCommDlg::LoadRelaySettings()
{
    using namespace settings;
    relayMode_ = store_.Get(kCommRelayServerMode) != 0;
    saveIdCheck_->setChecked(store_.Get(kCommSaveId) == 1);
    autoLoginCheck_->setChecked(store_.Get(kCommAutoLogin) == 1);
    if (saveIdCheck_->isChecked()) loginIdEdit_->setText(store_.Get(kCommLoginId));
    // Auto login writes the login again on OK, so the saved password must come back.
    const RelayLogin saved = ParseLoginInfo(store_.Get(kCommLoginInfo));
    if (autoLoginCheck_->isChecked() && !saved.id.isEmpty() && saved.id == loginIdEdit_->text()) {
        passwordEdit_->setText(saved.password);
    }
    const RelayedSentenceSet relayed = ParseRelayedNmea(store_.Get(kCommRelayedNmea));
    for (std::size_t box = 0; box < relayed.size(); ++box) {
        sentenceChecks_[box]->setChecked(relayed[box]);
    }
}

void CSetupCommDlg::FillPortList(const QString& wanted)
{
    portList_->clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        portList_->addItem(info.portName());
    }
    if (!wanted.isEmpty() && portList_->findText(wanted) < 0) portList_->addItem(wanted);
    portList_->setCurrentIndex(portList_->findText(wanted));
    portList_->setEditText(wanted);
}

void CSetupCommDlg::ApplyModeRules()
{
    const bool network = linkMode_ == LinkMode::kNetwork;
    const bool relay = network && relayMode_;
    networkRadio_->setChecked(network);
    serialRadio_->setChecked(!network);
    relayCheck_->setChecked(relayMode_);
    relayCheck_->setEnabled(network);
    for (QWidget* serial :
         std::initializer_list<QWidget*>{portList_, refreshButton_, baudList_, dataBitList_,
                                         parityList_, stopBitList_, flowList_}) {
        serial->setEnabled(!network);
    }
    portLabel_->setEnabled(network && !relayMode_);
    portEdit_->setEnabled(network && !relayMode_);
    for (QWidget* login : std::initializer_list<QWidget*>{
             loginLabels_[0], loginLabels_[1], loginLabels_[2], loginIdEdit_, passwordEdit_,
             newPasswordEdit_, saveIdCheck_, autoLoginCheck_}) {
        login->setEnabled(relay);
    }
    // Auto login only makes sense while its box can be used.
    if (!relay) StopCountdown();
    ApplyHostRule(network);
}

void CSetupCommDlg::ApplyHostRule(bool network)
{
    const bool myIdCase = relayMode_ && LoginIdGiven();
    if (!relayMode_) {
        hostLabel_->setText(QStringLiteral("Host IP:"));
    } else {
        hostLabel_->setText(myIdCase ? QStringLiteral("My ID:") : QStringLiteral("Device ID:"));
    }
    showingMyId_ = myIdCase;
    hostEdit_->setText(myIdCase ? myId_ : hostText_);
    hostLabel_->setEnabled(network);
    hostEdit_->setEnabled(network && !myIdCase);
    for (QCheckBox* box : sentenceChecks_) box->setEnabled(network && myIdCase);
}

bool CSetupCommDlg::LoginIdGiven() const { return !loginIdEdit_->text().trimmed().isEmpty(); }

void CSetupCommDlg::OnNetworkMode()
{
    linkMode_ = LinkMode::kNetwork;
    ApplyModeRules();
}

void CSetupCommDlg::OnSerialMode()
{
    linkMode_ = LinkMode::kSerial;
    ApplyModeRules();
}

void CSetupCommDlg::OnRelayToggled(bool checked)
{
    relayMode_ = checked;
    ApplyModeRules();
}

void CSetupCommDlg::OnRefreshPorts() { FillPortList(portList_->currentText().trimmed()); }

void CSetupCommDlg::OnLoginIdEntered() { ApplyHostRule(linkMode_ == LinkMode::kNetwork); }

bool CSetupCommDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the login ID edit decides the host field; it must not press OK.
    if (watched == loginIdEdit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnLoginIdEntered();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

void CSetupCommDlg::OnAutoLoginToggled(bool checked)
{
    autoLoginCheck_->setChecked(checked);
    if (checked) {
        if (!initialising_) StartCountdown();
        return;
    }
    StopCountdown();
    if (!initialising_) store_.Write(settings::kCommLoginInfo, QString());
}

void CSetupCommDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (autoLoginArmed_) return;
    autoLoginArmed_ = true;
    const bool due = target_ == Target::kReceiverLink && linkMode_ == LinkMode::kNetwork &&
                     relayMode_ && autoLoginCheck_->isChecked() && LoginIdGiven();
    if (due) StartCountdown();
}

void CSetupCommDlg::StartCountdown()
{
    autoOkTimer_.stop();
    countdown_ = kCountdownStart;
    countdownLabel_->setText(QString::number(countdown_));
    countdownTimer_.start();
}

void CSetupCommDlg::StopCountdown()
{
    countdownTimer_.stop();
    autoOkTimer_.stop();
    countdown_ = 0;
    countdownLabel_->clear();
}

bool CSetupCommDlg::CountdownRunning() const { return countdownTimer_.isActive(); }

bool CSetupCommDlg::AutoOkPending() const { return autoOkTimer_.isActive(); }

void CSetupCommDlg::OnCountdownTick()
{
    --countdown_;
    countdownLabel_->setText(QString::number(countdown_));
    if (countdown_ >= 1) return;
    countdownTimer_.stop();
    autoOkTimer_.start();
}

void CSetupCommDlg::OnAutoOkDelayElapsed()
{
    autoOkTimer_.stop();
    if (!Commit()) return;
    StopCountdown();
    emit LoginRequested();
    QDialog::accept();
}

void CSetupCommDlg::accept()
{
    if (!Commit()) return;
    StopCountdown();
    QDialog::accept();
}

void CSetupCommDlg::reject()
{
    StopCountdown();
    QDialog::reject();
}

// ---------------------------------------------------------------------------------------------

QString CSetupCommDlg::ValidationMessage() const
{
    return linkMode_ == LinkMode::kNetwork ? NetworkValidationMessage() : SerialValidationMessage();
}

QString CSetupCommDlg::NetworkValidationMessage() const
{
    if (hostEdit_->text().trimmed().isEmpty()) {
        if (!relayMode_) return tr("호스트 아이피를 입력해주세요.");
        return LoginIdGiven() ? tr("My ID를 입력해주세요.")
                              : tr("접속할 Device ID를 입력해주세요.");
    }
    // The relay server's port comes from its own settings; the disabled edit is not used.
    if (!relayMode_ && !ValidTcpPort(portEdit_->text())) return tr("호스트 포트를 입력해주세요.");
    return {};
}

QString CSetupCommDlg::SerialValidationMessage() const
{
    if (portList_->currentText().trimmed().isEmpty()) return tr("포트를 선택하지 않았습니다.");
    const std::array<std::pair<const QComboBox*, QString>, 5> lists{{
        {baudList_, tr("보레이트를 선택하지 않았습니다.")},
        {dataBitList_, tr("데이타비트를 선택하지 않았습니다.")},
        {parityList_, tr("패리티비트를 선택하지 않았습니다.")},
        {stopBitList_, tr("스톱비트를 선택하지 않았습니다.")},
        {flowList_, tr("흐름제어를 선택하지 않았습니다.")},
    }};
    for (const auto& [list, message] : lists) {
        if (list->currentIndex() < 0) return message;
    }
    return {};
}

bool CSetupCommDlg::Commit()
{
    const QString message = ValidationMessage();
    if (!message.isEmpty()) {
        if (warn_) warn_(message);
        return false;
    }
    if (target_ == Target::kNtripOutput) {
        WriteNtripOutput();
    } else if (linkMode_ == LinkMode::kSerial) {
        WriteReceiverSerial();
    } else {
        WriteReceiverNetwork();
    }
    return true;
}

void CSetupCommDlg::WriteReceiverSerial()
{
    using namespace settings;
    const QString port = portList_->currentText().trimmed();
    store_.Write(kCommPort, port);
    store_.Write(kCommBaudRate, baudList_->currentIndex());
    store_.Write(kCommDataBits, dataBitList_->currentIndex());
    store_.Write(kCommParity, parityList_->currentIndex());
    store_.Write(kCommStopBits, stopBitList_->currentIndex());
    store_.Write(kCommFlowControl, flowList_->currentIndex());
    store_.Write(kCommTxMode, static_cast<std::int32_t>(LinkMode::kSerial));
    if (store_.Get(kNtripSamePort) == 1) {
        store_.Write(kNtripPort, port);
        store_.Write(kNtripBaudRate, baudList_->currentIndex());
    }
}

void CSetupCommDlg::WriteReceiverNetwork()
{
    using namespace settings;
    const QString host = hostEdit_->text().trimmed();
    const QString port = portEdit_->text().trimmed();
    store_.Write(kCommHostAddr, host);
    if (!relayMode_) store_.Write(kCommHostPort, port);
    store_.Write(kCommTxMode, static_cast<std::int32_t>(LinkMode::kNetwork));
    store_.Write(kCommRelayServerMode, relayMode_ ? 1 : 0);
    store_.Write(kCommSaveId, saveIdCheck_->isChecked() ? 1 : 0);
    store_.Write(kCommAutoLogin, autoLoginCheck_->isChecked() ? 1 : 0);
    store_.Write(kCommLoginId, loginIdEdit_->text().trimmed());
    store_.Write(kCommRelayedNmea, ComposeRelayedNmea(CheckedSentences()));
    store_.Write(kCommLoginInfo,
                 ComposeLoginInfo({loginIdEdit_->text().trimmed(), passwordEdit_->text(),
                                   newPasswordEdit_->text()}));
    if (store_.Get(kNtripSamePort) == 1) {
        store_.Write(kNtripDestAddr, host);
        store_.Write(kNtripDestPort, port);
    }
}

void CSetupCommDlg::WriteNtripOutput()
{
    using namespace settings;
    if (linkMode_ == LinkMode::kSerial) {
        store_.Write(kNtripPort, portList_->currentText().trimmed());
        store_.Write(kNtripBaudRate, baudList_->currentIndex());
        store_.Write(kNtripTxMode, static_cast<std::int32_t>(LinkMode::kSerial));
        return;
    }
    if (relayMode_) {
        store_.Write(kNtripDestAddr, store_.Get(kServerVrsIp));
        store_.Write(kNtripDestPort, QString::number(store_.Get(kServerVrsPort)));
    } else {
        store_.Write(kNtripDestAddr, hostEdit_->text().trimmed());
        store_.Write(kNtripDestPort, portEdit_->text().trimmed());
    }
    store_.Write(kNtripTxMode, static_cast<std::int32_t>(LinkMode::kNetwork));
}

RelayedSentenceSet CSetupCommDlg::CheckedSentences() const
{
    RelayedSentenceSet set{};
    for (std::size_t box = 0; box < set.size(); ++box) set[box] = sentenceChecks_[box]->isChecked();
    return set;
}
