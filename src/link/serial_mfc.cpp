#include "link/serial_mfc.h"

SerialError SerialErrorFromQt(QSerialPort::SerialPortError error)
{
    switch (error) {
        case QSerialPort::NoError: return SerialError::Success;
        case QSerialPort::DeviceNotFoundError: return SerialError::FileNotFound;
        case QSerialPort::PermissionError: return SerialError::AccessDenied;
        case QSerialPort::OpenError: return SerialError::AlreadyOpen;
        case QSerialPort::NotOpenError: return SerialError::InvalidHandle;
        case QSerialPort::TimeoutError: return SerialError::Timeout;
        case QSerialPort::WriteError: return SerialError::WriteFault;
        case QSerialPort::ReadError: return SerialError::ReadFault;
        case QSerialPort::ResourceError: return SerialError::DeviceNotConnected;
        case QSerialPort::UnsupportedOperationError: return SerialError::NotSupported;
        case QSerialPort::UnknownError: break;
    }
    return SerialError::GeneralFailure;
}

CSerialMFC::CSerialMFC(QObject* parent) : QObject(parent)
{
    writeTimer_.setSingleShot(true);
    connect(&writeTimer_, &QTimer::timeout, this, &CSerialMFC::OnWriteTimeout);
    connect(&port_, &QSerialPort::readyRead, this, &CSerialMFC::OnReadyRead);
    connect(&port_, &QSerialPort::bytesWritten, this, &CSerialMFC::OnBytesWritten);
    connect(&port_, &QSerialPort::errorOccurred, this, &CSerialMFC::OnError);
}

CSerialMFC::~CSerialMFC() { Close(); }

SerialError CSerialMFC::Fail(SerialError error)
{
    lastError_ = error;
    return error;
}

SerialError CSerialMFC::Open(const QString& portName, qintptr userValue)
{
    if (port_.isOpen()) return Fail(SerialError::AlreadyOpen);
    port_.setPortName(PortDeviceName(portName));
    if (!port_.open(QIODevice::ReadWrite)) return Fail(SerialErrorFromQt(port_.error()));
    userValue_ = userValue;
    return Fail(SerialError::Success);
}

SerialError CSerialMFC::Setup(std::uint32_t baudRate, std::uint8_t dataBits, CommParity parity,
                              CommStopBits stopBits)
{
    if (!port_.isOpen()) return Fail(SerialError::InvalidHandle);
    if (dataBits < 5 || dataBits > 8 || baudRate == 0) return Fail(SerialError::InvalidParameter);
    const bool applied = port_.setBaudRate(static_cast<qint32>(baudRate)) &&
                         port_.setDataBits(QtDataBits(dataBits)) &&
                         port_.setParity(QtParity(parity)) &&
                         port_.setStopBits(QtStopBits(stopBits));
    return Fail(applied ? SerialError::Success : SerialErrorFromQt(port_.error()));
}

SerialError CSerialMFC::Write(const char* data, qint64 length, int timeoutMs)
{
    if (!port_.isOpen()) return Fail(SerialError::InvalidHandle);
    if (length <= 0) return Fail(SerialError::Success);
    if (port_.bytesToWrite() + length > kMaxPendingWrite) return Fail(SerialError::WriteFault);
    if (port_.write(data, length) != length) return Fail(SerialErrorFromQt(port_.error()));
    if (timeoutMs >= 0) writeTimer_.start(timeoutMs);
    return Fail(SerialError::Success);
}

void CSerialMFC::Close()
{
    writeTimer_.stop();
    if (port_.isOpen()) port_.close();
}

// Nobody reads the device's answers; drop them so they do not pile up in memory.
void CSerialMFC::OnReadyRead()
{
    port_.readAll();
    emit eventNotice(serial_event::kReceived, userValue_);
}

void CSerialMFC::OnBytesWritten()
{
    if (port_.bytesToWrite() == 0) writeTimer_.stop();
}

void CSerialMFC::OnWriteTimeout()
{
    if (!port_.isOpen() || port_.bytesToWrite() == 0) return;
    port_.clear(QSerialPort::Output);
    lastError_ = SerialError::Timeout;
    emit writeTimedOut();
}

// Like the receiver port, a vanished device must close the port or the event loop spins.
void CSerialMFC::OnError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
    if (!port_.isOpen()) return;
    Close();
    lastError_ = SerialErrorFromQt(error);
    emit eventNotice(serial_event::kLineError, userValue_);
}
