#include "link/socket_client.h"

#include <QSignalBlocker>
#include <QStringList>

CSocketClient::CSocketClient(QObject* parent) : QObject(parent)
{
    connect(&socket_, &QTcpSocket::connected, this, &CSocketClient::OnConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &CSocketClient::OnReadyRead);
    connect(&socket_, &QTcpSocket::stateChanged, this, &CSocketClient::OnStateChanged);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &CSocketClient::OnError);
    connect(&socket_, &QSslSocket::encrypted, this, &CSocketClient::OnEncrypted);
    connect(&socket_, &QSslSocket::sslErrors, this, &CSocketClient::OnSslErrors);
}

CSocketClient::~CSocketClient()
{
    const QSignalBlocker quiet(socket_);
    socket_.abort();
}

void CSocketClient::Connect(const QString& host, quint16 port, bool tls)
{
    Close(false);
    tls_ = tls;
    certificateRejected_ = false;
    if (tls) {
        socket_.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket_.connectToHostEncrypted(host, port);
    } else {
        socket_.connectToHost(host, port);
    }
}

qint64 CSocketClient::Read(char* buffer, qint64 maxSize)
{
    readSinceNotice_ = true;
    if (!socket_.isReadable()) return -1;
    if (maxSize <= 0) return 0;
    return socket_.read(buffer, maxSize);
}

qint64 CSocketClient::Write(const char* data, qint64 length)
{
    if (!connected_) return -1;
    return socket_.write(data, length);
}

void CSocketClient::Close(bool notify)
{
    {
        // The owner hears of a local close only through the notice below.
        const QSignalBlocker quiet(socket_);
        if (socket_.state() == QAbstractSocket::ConnectedState) socket_.flush();
        socket_.abort();
    }
    ++generation_;
    connected_ = false;
    lastError_.clear();
    if (notify) PostClosed();
}

void CSocketClient::OnConnected()
{
    if (tls_) return;  // connected once the handshake and the certificate check are done
    connected_ = true;
    emit notice(kNoticeConnected);
}

void CSocketClient::OnEncrypted()
{
    connected_ = true;
    emit notice(kNoticeConnected);
}

// Never ignored: the connection ends, and the reasons are kept for the owner's message.
void CSocketClient::OnSslErrors(const QList<QSslError>& errors)
{
    QStringList reasons;
    for (const QSslError& error : errors) reasons << error.errorString();
    lastError_ = reasons.join(QStringLiteral("; "));
    certificateRejected_ = true;
    emit errorText(lastError_);
}

// The owner reads in its handler. Like the platform's receive event, the notice comes again
// when the owner read but left bytes behind, so a small read buffer cannot strand data.
void CSocketClient::OnReadyRead()
{
    readSinceNotice_ = false;
    emit notice(kNoticeData);
    if (readSinceNotice_ && socket_.bytesAvailable() > 0) PostDataCheck();
}

void CSocketClient::OnStateChanged(QAbstractSocket::SocketState state)
{
    if (state != QAbstractSocket::UnconnectedState) return;
    connected_ = false;
    PostClosed();
}

void CSocketClient::OnError(QAbstractSocket::SocketError error)
{
    // A failed certificate check is the reason, not the handshake error that follows it.
    if (error == QAbstractSocket::SslHandshakeFailedError && !lastError_.isEmpty()) return;
    lastError_ = socket_.errorString();
    emit errorText(lastError_);
}

// Posted, so that the error text of the same failure is known when the notice runs.
void CSocketClient::PostClosed()
{
    const std::uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_) emit notice(kNoticeClosed);
        },
        Qt::QueuedConnection);
}

void CSocketClient::PostDataCheck()
{
    const std::uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_ && socket_.bytesAvailable() > 0) OnReadyRead();
        },
        Qt::QueuedConnection);
}
