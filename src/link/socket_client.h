#pragma once

#include <QObject>
#include <QSslSocket>
#include <QString>
#include <cstdint>

// A client stream socket that reports to its owner with notice codes: 0 connected, 1 data
// waiting, 2 closed. Connecting never blocks. An attempt or connection ends in one notice 2
// whether it failed, the peer closed or the owner closed it; only a new Connect or Close(false)
// ends it silently. A failed connect gives no notice 0.
class CSocketClient : public QObject {
    Q_OBJECT
public:
    // Codes of notice().
    static constexpr int kNoticeConnected = 0;
    static constexpr int kNoticeData = 1;
    static constexpr int kNoticeClosed = 2;

    explicit CSocketClient(QObject* parent = nullptr);
    ~CSocketClient() override;

    CSocketClient(const CSocketClient&) = delete;
    CSocketClient& operator=(const CSocketClient&) = delete;

    // Drops any earlier connection silently, then starts the name lookup and connect. With tls
    // the connection is encrypted and the peer's certificate verified before notice 0; a
    // certificate that fails ends the attempt with its reasons in LastError().
    void Connect(const QString& host, quint16 port, bool tls = false);
    // Bytes read, 0 when nothing waits, -1 when the socket cannot be read.
    qint64 Read(char* buffer, qint64 maxSize);
    // Bytes queued, -1 when not connected.
    qint64 Write(const char* data, qint64 length);
    qint64 Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    // Ends the connection; with notify the owner still gets notice 2 from the event loop.
    void Close(bool notify = true);

    bool IsConnected() const { return connected_; }
    // Why the last connection ended or failed; empty after a clean start or a local close.
    QString LastError() const { return lastError_; }
    // The last attempt ended because the peer's certificate did not hold.
    bool CertificateRejected() const { return certificateRejected_; }

signals:
    // kNotice... codes; 1 is delivered at once, 0 and 2 as the socket reports them.
    void notice(int code);
    void errorText(const QString& text);

private:
    void OnConnected();
    void OnEncrypted();
    void OnSslErrors(const QList<QSslError>& errors);
    void OnReadyRead();
    void OnStateChanged(QAbstractSocket::SocketState state);
    void OnError(QAbstractSocket::SocketError error);
    void PostClosed();
    void PostDataCheck();

    QSslSocket socket_;
    bool tls_ = false;
    bool certificateRejected_ = false;
    bool connected_ = false;
    bool readSinceNotice_ = false;
    // Notices already posted for an earlier connection are dropped once a new one starts.
    std::uint64_t generation_ = 0;
    QString lastError_;
};
