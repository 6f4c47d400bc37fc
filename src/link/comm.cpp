#include "link/comm.h"

#include <QSignalBlocker>

#include "settings/settings_store.h"

namespace {

constexpr std::array<std::uint8_t, 4> kDataBits = {5, 6, 7, 8};
constexpr int kDefaultDataBitsIndex = 3;
// The dialog lists "짝수", "홀수", "없음", "표시", "공백".
constexpr std::array<CommParity, 5> kParities = {
    CommParity::Even, CommParity::Odd, CommParity::None, CommParity::Mark, CommParity::Space};
constexpr int kDefaultParityIndex = 2;
constexpr std::array<CommStopBits, 3> kStopBits = {CommStopBits::One, CommStopBits::OneAndHalf,
                                                   CommStopBits::Two};
constexpr int kDefaultStopBitsIndex = 0;
// The dialog lists "Xon/Xoff", "하드웨어", "없음"; the first two give the hardware handshakes,
// none of them Xon/Xoff.
constexpr std::array<std::uint8_t, 3> kFlowFlags = {comm_flow::kRtsCts, comm_flow::kDtrDsr, 0};
constexpr int kDefaultFlowIndex = 2;

constexpr int kMaxComNumber = 255;

template <class T, std::size_t N>
T FromList(const std::array<T, N>& list, int index, int defaultIndex)
{
    const bool inside = index >= 0 && static_cast<std::size_t>(index) < N;
    return list[static_cast<std::size_t>(inside ? index : defaultIndex)];
}

}  // namespace

std::uint32_t BaudRateFromIndex(int index)
{
    return FromList(kCommBaudRates, index, kDefaultBaudIndex);
}

std::uint8_t DataBitsFromIndex(int index)
{
    return FromList(kDataBits, index, kDefaultDataBitsIndex);
}

CommParity ParityFromIndex(int index) { return FromList(kParities, index, kDefaultParityIndex); }

CommStopBits StopBitsFromIndex(int index)
{
    return FromList(kStopBits, index, kDefaultStopBitsIndex);
}

std::uint8_t FlowFlagsFromIndex(int index)
{
    return FromList(kFlowFlags, index, kDefaultFlowIndex);
}

std::uint8_t PortNumberFromName(const QString& stored)
{
    if (!stored.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) return 0;
    bool ok = false;
    const int number = QStringView(stored).mid(3).toInt(&ok, 10);
    const bool plainDigits = ok && stored.size() > 3 && stored.at(3).isDigit();
    if (!plainDigits || number < 1 || number > kMaxComNumber) return 0;
    return static_cast<std::uint8_t>(number);
}

QString PortDeviceName(const QString& stored)
{
    const int number = PortNumberFromName(stored);
    if (number == 0) return stored;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}

QString PortSystemLocation(const QString& stored)
{
    const QString device = PortDeviceName(stored);
    if (device.isEmpty() || device.contains(QLatin1Char('/'))) return device;
    return QStringLiteral("/dev/") + device;
}

CommSettings MakeCommSettings(const QString& port, int baudIndex, int dataBitsIndex,
                              int parityIndex, int stopBitsIndex, int flowIndex)
{
    CommSettings s;
    s.portName = port;
    s.portNumber = PortNumberFromName(port);
    s.baudRate = BaudRateFromIndex(baudIndex);
    s.dataBits = DataBitsFromIndex(dataBitsIndex);
    s.parity = ParityFromIndex(parityIndex);
    s.stopBits = StopBitsFromIndex(stopBitsIndex);
    s.flowFlags = FlowFlagsFromIndex(flowIndex);
    return s;
}

CommSettings CommSettingsFromStore(const CSettingsStore& store)
{
    return MakeCommSettings(store.Get(settings::kCommPort), store.Get(settings::kCommBaudRate),
                            store.Get(settings::kCommDataBits), store.Get(settings::kCommParity),
                            store.Get(settings::kCommStopBits),
                            store.Get(settings::kCommFlowControl));
}

QSerialPort::DataBits QtDataBits(std::uint8_t dataBits)
{
    switch (dataBits) {
        case 5: return QSerialPort::Data5;
        case 6: return QSerialPort::Data6;
        case 7: return QSerialPort::Data7;
        default: return QSerialPort::Data8;
    }
}

QSerialPort::Parity QtParity(CommParity parity)
{
    switch (parity) {
        case CommParity::Odd: return QSerialPort::OddParity;
        case CommParity::Even: return QSerialPort::EvenParity;
        case CommParity::Mark: return QSerialPort::MarkParity;
        case CommParity::Space: return QSerialPort::SpaceParity;
        case CommParity::None: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits QtStopBits(CommStopBits stopBits)
{
    switch (stopBits) {
        case CommStopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
        case CommStopBits::Two: return QSerialPort::TwoStop;
        case CommStopBits::One: break;
    }
    return QSerialPort::OneStop;
}

QSerialPort::FlowControl QtFlowControl(std::uint8_t flowFlags)
{
    if (flowFlags & comm_flow::kRtsCts) return QSerialPort::HardwareControl;
    if (flowFlags & comm_flow::kXonXoff) return QSerialPort::SoftwareControl;
    return QSerialPort::NoFlowControl;
}

CComm::CComm(QObject* parent) : QObject(parent)
{
    // No port before the first open, so a port arriving then is not taken for the receiver's.
    settings_.portName.clear();
    settings_.portNumber = 0;
    connect(&port_, &QSerialPort::readyRead, this, &CComm::HandOver);
    connect(&port_, &QSerialPort::errorOccurred, this, &CComm::OnError);
}

CComm::~CComm() { Close(); }

bool CComm::Open(const CommSettings& record)
{
    Close();
    settings_ = record;
    port_.setPortName(PortDeviceName(record.portName));
    openError_ = QSerialPort::NoError;
    openErrorText_.clear();
    if (!port_.open(QIODevice::ReadWrite)) {
        openError_ = port_.error();
        openErrorText_ = port_.errorString();
        return false;
    }
    port_.clear(QSerialPort::AllDirections);
    if (!ApplySettings()) {
        port_.close();
        return false;
    }
    SetModemLines(true);
    return true;
}

QString SerialOpenFailureText(const QString& port, QSerialPort::SerialPortError error,
                              const QString& detail)
{
    switch (error) {
        case QSerialPort::PermissionError:
            return QObject::tr(
                       "%1 포트를 열 권한이 없습니다.\n"
                       "사용자를 dialout 그룹에 추가한 뒤 다시 로그인하십시오:\n"
                       "sudo usermod -aG dialout $USER")
                .arg(port);
        case QSerialPort::DeviceNotFoundError: return QObject::tr("%1 포트가 없습니다.").arg(port);
        default: return QObject::tr("%1 포트를 열 수 없습니다. (%2)").arg(port, detail);
    }
}

bool CComm::Reopen(const CSettingsStore& store)
{
    CommSettings record = settings_;
    record.baudRate = BaudRateFromIndex(store.Get(settings::kCommBaudRate));
    return Open(record);
}

bool CComm::ApplySettings()
{
    return port_.setBaudRate(static_cast<qint32>(settings_.baudRate)) &&
           port_.setDataBits(QtDataBits(settings_.dataBits)) &&
           port_.setParity(QtParity(settings_.parity)) &&
           port_.setStopBits(QtStopBits(settings_.stopBits)) &&
           port_.setFlowControl(QtFlowControl(settings_.flowFlags));
}

// Lines not used for a handshake are held on while open and dropped at close. Pseudo-terminals
// and some adapters have no modem lines; that is no reason to fail.
void CComm::SetModemLines(bool on)
{
    const QSignalBlocker quiet(port_);
    if (!(settings_.flowFlags & comm_flow::kDtrDsr) || !on) port_.setDataTerminalReady(on);
    if (!(settings_.flowFlags & comm_flow::kRtsCts) || !on) port_.setRequestToSend(on);
    port_.clearError();
}

bool CComm::Write(const char* data, qint64 length)
{
    if (!port_.isOpen()) return false;
    if (length <= 0) return true;
    // Stale bytes are worth less than a bounded queue; the caller is told success anyway.
    if (port_.bytesToWrite() + length > kMaxPendingWrite) return true;
    port_.write(data, length);
    return true;
}

void CComm::Close()
{
    losing_ = false;
    if (!port_.isOpen()) return;
    SetModemLines(false);
    port_.clear(QSerialPort::AllDirections);
    port_.close();
}

bool CComm::IsOpen() const { return port_.isOpen(); }

void CComm::HandOver()
{
    // A receiver of the bytes may close the port, so look again before every piece.
    while (port_.isOpen() && port_.bytesAvailable() > 0) {
        emit bytesArrived(port_.read(kMaxPiece));
    }
}

// A vanished device reports ResourceError, a pty whose other side closed an endless stream of
// ReadError; both end the link at once, or the event loop would spin on the dead descriptor.
void CComm::OnError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
    if (!port_.isOpen() || losing_) return;
    port_.close();
    losing_ = true;
    // Told from the event loop, so that the listener may reopen without running inside the
    // port's own notification.
    QMetaObject::invokeMethod(this, &CComm::ReportLostPort, Qt::QueuedConnection);
}

void CComm::ReportLostPort()
{
    if (!losing_) return;  // opened or closed again in the meantime
    losing_ = false;
    emit portLost(settings_.portName);
}
