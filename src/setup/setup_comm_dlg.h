#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class CSettingsStore;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

// "02:FC:00:00:00:01" as QNetworkInterface gives it; empty when malformed.
std::vector<std::uint8_t> ParseHardwareAddress(const QString& text);
// My ID, the relay server's name for this computer (relay::ViewerId), from the adapters of
// this computer with loopback left out.
QString LocalMyId();

// Sentence types the relay server may send, in the order of their check boxes.
inline constexpr std::array<const char*, 5> kRelayedSentenceTypes{"GGA", "GSA", "GSV", "RMC",
                                                                  "GST"};
using RelayedSentenceSet = std::array<bool, kRelayedSentenceTypes.size()>;
// "GGA,RMC,GSA,GSV,GST" order, checked types only, no empty items.
QString ComposeRelayedNmea(const RelayedSentenceSet& checked);
// Tolerates blanks and empty items such as a leading comma.
RelayedSentenceSet ParseRelayedNmea(const QString& text);

// The stored relay login ("LOGIN_INFO"): percent-encoded fields, so any password survives.
struct RelayLogin {
    QString id;
    QString password;
    QString newPassword;
};
QString ComposeLoginInfo(const RelayLogin& login);
RelayLogin ParseLoginInfo(const QString& text);

// The connection dialog: serial port, direct TCP/IP or the relay server for the receiver link
// (or for the NTRIP correction output). OK validates and writes the settings store; the caller
// reads the settings back afterwards.
class CSetupCommDlg : public QDialog {
    Q_OBJECT

public:
    enum class Target { kReceiverLink, kNtripOutput };
    enum class LinkMode : std::int32_t { kNetwork = 0, kSerial = 1 };

    static constexpr int kCountdownStart = 2;
    static constexpr int kCountdownPeriodMs = 1000;
    static constexpr int kAutoOkDelayMs = 500;
    static constexpr int kCountdownFontPixels = 48;

    static const QStringList& BaudRateTexts();
    static QStringList DataBitTexts();
    static QStringList ParityTexts();
    static QStringList StopBitTexts();
    static QStringList FlowControlTexts();

    explicit CSetupCommDlg(CSettingsStore& store, Target target = Target::kReceiverLink,
                           QWidget* parent = nullptr);

    // Refusals go here; by default a warning box captioned "통신설정".
    void SetWarningSink(std::function<void(const QString& text)> sink);

    // The refusal text for the current input, empty when OK may write.
    QString ValidationMessage() const;

    LinkMode Mode() const { return linkMode_; }
    bool RelayMode() const { return relayMode_; }
    int Countdown() const { return countdown_; }
    bool CountdownRunning() const;
    bool AutoOkPending() const;
    const QString& MyId() const { return myId_; }

public slots:
    void OnNetworkMode();
    void OnSerialMode();
    void OnRelayToggled(bool checked);
    void OnRefreshPorts();
    // Enter in the login ID edit (or leaving it) decides between My ID and device ID.
    void OnLoginIdEntered();
    void OnAutoLoginToggled(bool checked);
    void OnCountdownTick();
    void OnAutoOkDelayElapsed();
    void accept() override;
    void reject() override;

signals:
    // The countdown ran out and the settings are written: log in to the relay server now.
    void LoginRequested();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildSerialGroup();
    QWidget* BuildNetworkGroup();
    QWidget* BuildRelayGroup();
    void BuildLoginRows(QWidget* group, QGridLayout* grid);
    void ConnectControls();
    void LoadSettings();
    void LoadLinkSettings();
    void LoadRelaySettings();
    void FillPortList(const QString& wanted);
    void ApplyModeRules();
    void ApplyHostRule(bool network);
    void StartCountdown();
    void StopCountdown();
    QString SerialValidationMessage() const;
    QString NetworkValidationMessage() const;
    bool Commit();
    void WriteReceiverSerial();
    void WriteReceiverNetwork();
    void WriteNtripOutput();
    RelayedSentenceSet CheckedSentences() const;
    bool LoginIdGiven() const;

    CSettingsStore& store_;
    const Target target_;
    LinkMode linkMode_ = LinkMode::kSerial;
    bool relayMode_ = false;
    bool initialising_ = true;
    bool autoLoginArmed_ = false;
    bool showingMyId_ = false;
    int countdown_ = 0;
    QString myId_;
    QString hostText_;  // what the host edit shows when it is not My ID
    std::function<void(const QString&)> warn_;

    QRadioButton* networkRadio_ = nullptr;
    QRadioButton* serialRadio_ = nullptr;
    QCheckBox* relayCheck_ = nullptr;
    QLabel* hostLabel_ = nullptr;
    QLineEdit* hostEdit_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QLineEdit* portEdit_ = nullptr;
    QComboBox* portList_ = nullptr;
    QToolButton* refreshButton_ = nullptr;
    QComboBox* baudList_ = nullptr;
    QComboBox* dataBitList_ = nullptr;
    QComboBox* parityList_ = nullptr;
    QComboBox* stopBitList_ = nullptr;
    QComboBox* flowList_ = nullptr;
    std::array<QLabel*, 3> loginLabels_{};
    QLineEdit* loginIdEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QLineEdit* newPasswordEdit_ = nullptr;
    std::array<QCheckBox*, kRelayedSentenceTypes.size()> sentenceChecks_{};
    QCheckBox* saveIdCheck_ = nullptr;
    QCheckBox* autoLoginCheck_ = nullptr;
    QLabel* countdownLabel_ = nullptr;
    QTimer countdownTimer_;
    QTimer autoOkTimer_;
};
