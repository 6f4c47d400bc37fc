#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <cstdint>

#include "link/comm.h"

// Results of the second port, numbered as the platform's error codes so that logs from both
// builds read alike.
enum class SerialError : int {
    Success = 0,
    FileNotFound = 2,
    AccessDenied = 5,
    InvalidHandle = 6,  // the port is not open
    WriteFault = 29,
    ReadFault = 30,
    GeneralFailure = 31,
    NotSupported = 50,
    InvalidParameter = 87,
    DeviceNotConnected = 1167,
    AlreadyOpen = 1247,
    Timeout = 1460,  // a timed write expired and was cancelled
};

SerialError SerialErrorFromQt(QSerialPort::SerialPortError error);

// Event bits of a notice, low 16 bits of its parameter; the high 16 bits carry line-error
// flags.
namespace serial_event {
inline constexpr quint32 kReceived = 0x0001;
inline constexpr quint32 kBreak = 0x0040;
inline constexpr quint32 kLineError = 0x0080;
inline constexpr quint32 kWatched = kReceived | kBreak | kLineError;
}  // namespace serial_event

// The second serial port: NTRIP corrections go out here when they must not share the
// receiver's port. It only writes; what the device sends back is dropped after the notice.
class CSerialMFC : public QObject {
    Q_OBJECT
public:
    static constexpr int kInfinite = -1;
    static constexpr qint64 kMaxPendingWrite = 64 * 1024;

    explicit CSerialMFC(QObject* parent = nullptr);
    ~CSerialMFC() override;

    CSerialMFC(const CSerialMFC&) = delete;
    CSerialMFC& operator=(const CSerialMFC&) = delete;

    // portName as stored ("COMn", a device name or a path); userValue comes back with every
    // notice.
    SerialError Open(const QString& portName, qintptr userValue = 0);
    SerialError Setup(std::uint32_t baudRate, std::uint8_t dataBits, CommParity parity,
                      CommStopBits stopBits);
    // Queues the bytes and returns at once. With a finite timeout, bytes still waiting when it
    // expires are cancelled and LastError() becomes Timeout.
    SerialError Write(const char* data, qint64 length, int timeoutMs = kInfinite);
    void Close();

    bool IsOpen() const { return port_.isOpen(); }
    SerialError LastError() const { return lastError_; }

signals:
    // param: event bits (serial_event) in the low 16 bits, line-error flags in the high 16.
    void eventNotice(quint32 param, qintptr userValue);
    void writeTimedOut();

private:
    SerialError Fail(SerialError error);
    void OnReadyRead();
    void OnBytesWritten();
    void OnError(QSerialPort::SerialPortError error);
    void OnWriteTimeout();

    QSerialPort port_;
    QTimer writeTimer_;
    qintptr userValue_ = 0;
    SerialError lastError_ = SerialError::Success;
};
