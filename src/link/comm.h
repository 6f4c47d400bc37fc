#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <array>
#include <cstdint>

class CSettingsStore;

enum class CommParity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class CommStopBits : std::uint8_t { One = 0, OneAndHalf = 1, Two = 2 };

// Flow-control bits of the settings record.
namespace comm_flow {
inline constexpr std::uint8_t kDtrDsr = 0x01;
inline constexpr std::uint8_t kRtsCts = 0x02;
inline constexpr std::uint8_t kXonXoff = 0x04;
}  // namespace comm_flow

// Line settings of the receiver port, kept from the last open so that a reopen can reuse them.
struct CommSettings {
    QString portName = QStringLiteral("COM1");  // as stored: "COMn", a device name or a path
    std::uint8_t portNumber = 1;                // n of "COMn", 0 for any other name
    std::uint8_t dataBits = 8;
    std::uint8_t flowFlags = 0;
    CommParity parity = CommParity::None;
    CommStopBits stopBits = CommStopBits::One;
    std::uint32_t baudRate = 115200;

    bool operator==(const CommSettings&) const = default;
};

// The connection dialog's lists; settings store the list position.
inline constexpr std::array<std::uint32_t, 13> kCommBaudRates = {
    110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
inline constexpr int kDefaultBaudIndex = 9;

// List position to record value. A position outside its list gives the list's default, so a
// damaged settings file cannot index past a table.
std::uint32_t BaudRateFromIndex(int index);
std::uint8_t DataBitsFromIndex(int index);
CommParity ParityFromIndex(int index);
CommStopBits StopBitsFromIndex(int index);
std::uint8_t FlowFlagsFromIndex(int index);

// "COMn" (n 1 to 255) gives n; any other text 0.
std::uint8_t PortNumberFromName(const QString& stored);
// What QSerialPort opens: "COMn" means /dev/ttyS(n-1); anything else is a device name
// (ttyUSB0) or a full path (/dev/pts/3) and is passed on unchanged.
QString PortDeviceName(const QString& stored);
// The full path of a stored port, for comparing with the names the system reports.
QString PortSystemLocation(const QString& stored);

CommSettings MakeCommSettings(const QString& port, int baudIndex, int dataBitsIndex,
                              int parityIndex, int stopBitsIndex, int flowIndex);
// The receiver port's settings from section "COMM_SETUP".
CommSettings CommSettingsFromStore(const CSettingsStore& store);

// Record values in QSerialPort's terms. DTR/DSR handshake has no termios counterpart, so it
// runs without flow control; RTS/CTS wins over Xon/Xoff when both are set.
QSerialPort::DataBits QtDataBits(std::uint8_t dataBits);
QSerialPort::Parity QtParity(CommParity parity);
QSerialPort::StopBits QtStopBits(CommStopBits stopBits);
QSerialPort::FlowControl QtFlowControl(std::uint8_t flowFlags);

// Why a port did not open, in words an operator can act on: a port the user may not open
// names the dialout group and how to join it.
QString SerialOpenFailureText(const QString& port, QSerialPort::SerialPortError error,
                              const QString& detail);

// The receiver's serial port. Received bytes are handed over on the GUI thread in pieces of at
// most kMaxPiece bytes; a port that vanishes closes itself and says so.
class CComm : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxPiece = 1024;
    // A device that stopped reading must not make the write queue grow without bound.
    static constexpr qint64 kMaxPendingWrite = 64 * 1024;

    explicit CComm(QObject* parent = nullptr);
    ~CComm() override;

    CComm(const CComm&) = delete;
    CComm& operator=(const CComm&) = delete;

    // Opens and configures the port; an open port is closed first. The record is kept even
    // when the open fails.
    bool Open(const CommSettings& record);
    // Opens again with the kept record and the baud rate now in the settings store.
    bool Reopen(const CSettingsStore& store);
    // Queues the bytes without waiting; true while the port is open, even when the bytes had
    // to be dropped because the device does not take them.
    bool Write(const char* data, qint64 length);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    void Close();

    bool IsOpen() const;
    // Why the last Open failed (NoError after a good one), and the system's words for it.
    QSerialPort::SerialPortError OpenError() const { return openError_; }
    QString OpenErrorText() const { return openErrorText_; }
    int PortNumber() const { return settings_.portNumber; }
    const CommSettings& Settings() const { return settings_; }

signals:
    void bytesArrived(const QByteArray& bytes);
    // The device went away (unplugged adapter, pty closed); the port is already closed.
    void portLost(const QString& portName);

private:
    bool ApplySettings();
    void SetModemLines(bool on);
    void HandOver();
    void OnError(QSerialPort::SerialPortError error);
    void ReportLostPort();

    QSerialPort port_;
    CommSettings settings_;
    QSerialPort::SerialPortError openError_ = QSerialPort::NoError;
    QString openErrorText_;
    bool losing_ = false;
};
