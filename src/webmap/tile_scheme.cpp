#include "webmap/tile_scheme.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>
#include <QWebEngineUrlRequestJob>

namespace webmap {

std::optional<TileKey> ParseTilePath(const QString& path)
{
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    if (parts.size() != 3) return std::nullopt;
    int values[3] = {};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok || values[i] < 0) return std::nullopt;
    }
    const TileKey key{values[0], values[1], values[2]};
    if (key.z > kMaxZoom) return std::nullopt;
    const qint64 side = qint64(1) << key.z;
    if (key.x >= side || key.y >= side) return std::nullopt;
    return key;
}

QString EffectiveTemplate(const QString& urlTemplate)
{
    const QString trimmed = urlTemplate.trimmed();
    return trimmed.isEmpty() ? QString::fromLatin1(kDefaultTileUrl) : trimmed;
}

QString ExpandTileUrl(const QString& urlTemplate, const TileKey& key)
{
    static const char kSubdomains[] = "abc";
    const qint64 flippedY = (qint64(1) << key.z) - 1 - key.y;
    QString url = EffectiveTemplate(urlTemplate);
    url.replace(QLatin1String("{z}"), QString::number(key.z))
        .replace(QLatin1String("{x}"), QString::number(key.x))
        .replace(QLatin1String("{y}"), QString::number(key.y))
        .replace(QLatin1String("{-y}"), QString::number(flippedY))
        .replace(QLatin1String("{s}"), QString(QChar::fromLatin1(kSubdomains[(key.x + key.y) % 3])))
        .replace(QLatin1String("{r}"), QString());
    return url;
}

QString TileAttributionHtml(const QString& urlTemplate)
{
    const QString host = QUrl(ExpandTileUrl(urlTemplate, {})).host();
    if (host.isEmpty() || host.endsWith(QLatin1String("openstreetmap.org")))
        return QStringLiteral(
            "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> "
            "contributors");
    return QCoreApplication::translate("CMapDlg", "타일: ") + host.toHtmlEscaped();
}

QString CacheFolderFor(const QString& cacheRoot, const QString& urlTemplate)
{
    const QByteArray hash =
        QCryptographicHash::hash(EffectiveTemplate(urlTemplate).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return cacheRoot + u'/' + QString::fromLatin1(hash);
}

QString CacheFileFor(const QString& cacheRoot, const QString& urlTemplate, const TileKey& key)
{
    return QStringLiteral("%1/%2/%3/%4.tile")
        .arg(CacheFolderFor(cacheRoot, urlTemplate))
        .arg(key.z)
        .arg(key.x)
        .arg(key.y);
}

QByteArray TileMimeType(const QByteArray& bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n")) return "image/png";
    if (bytes.startsWith("\xff\xd8\xff")) return "image/jpeg";
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return "image/gif";
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return "image/webp";
    return {};
}

}  // namespace webmap

namespace {

constexpr int kTransferTimeoutMs = 15000;

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Written beside the tiles so a person can tell which server a cache folder belongs to.
void WriteTile(const QString& folder, const QString& path, const QString& urlTemplate,
               const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return;
    const QString source = folder + QStringLiteral("/source.txt");
    if (!QFileInfo::exists(source)) {
        QSaveFile out(source);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(webmap::EffectiveTemplate(urlTemplate).toUtf8() + '\n');
            out.commit();
        }
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return;
    out.write(bytes);
    out.commit();
}

}  // namespace

CTileSchemeHandler::CTileSchemeHandler(QObject* parent)
    : QWebEngineUrlSchemeHandler(parent),
      template_(QString::fromLatin1(webmap::kDefaultTileUrl)),
      net_(new QNetworkAccessManager(this))
{
    disk_.setMaxThreadCount(2);
}

CTileSchemeHandler::~CTileSchemeHandler()
{
    for (QNetworkReply* reply : std::as_const(replies_)) {
        reply->disconnect(this);
        reply->abort();
    }
    disk_.waitForDone();
}

void CTileSchemeHandler::SetTemplate(const QString& urlTemplate)
{
    template_ = webmap::EffectiveTemplate(urlTemplate);
}

void CTileSchemeHandler::SetCacheRoot(const QString& folder) { cacheRoot_ = folder; }

void CTileSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    const std::optional<webmap::TileKey> key = webmap::ParseTilePath(job->requestUrl().path());
    if (!key) {
        job->fail(QWebEngineUrlRequestJob::UrlInvalid);
        return;
    }
    const quint64 id = ++nextId_;
    Pending pending{job, webmap::ExpandTileUrl(template_, *key), QString(), QString(), template_};
    if (!cacheRoot_.isEmpty()) {
        pending.folder = webmap::CacheFolderFor(cacheRoot_, template_);
        pending.file = webmap::CacheFileFor(cacheRoot_, template_, *key);
    }
    const QString file = pending.file;
    pending_.insert(id, pending);
    disk_.start([this, id, file] {
        QByteArray fresh;
        const QFileInfo info(file);
        if (!file.isEmpty() && info.size() > 0 &&
            info.lastModified() > QDateTime::currentDateTime().addDays(-webmap::kFreshDays))
            fresh = ReadFile(file);
        QMetaObject::invokeMethod(
            this, [this, id, fresh] { Probed(id, fresh); }, Qt::QueuedConnection);
    });
}

void CTileSchemeHandler::Probed(quint64 id, const QByteArray& fresh)
{
    const auto it = pending_.constFind(id);
    if (it == pending_.cend()) return;
    if (!webmap::TileMimeType(fresh).isEmpty()) {
        Answer(id, fresh);
        return;
    }
    if (!it->job) {  // the map moved on before the disk answered: spare the server
        pending_.erase(it);
        return;
    }
    QNetworkRequest request{QUrl(it->url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Skarnet2"));
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = net_->get(request);
    replies_.insert(reply);
    connect(reply, &QNetworkReply::finished, this, [this, id, reply] { Fetched(id, reply); });
}

void CTileSchemeHandler::Fetched(quint64 id, QNetworkReply* reply)
{
    replies_.remove(reply);
    reply->deleteLater();
    const auto it = pending_.constFind(id);
    if (it == pending_.cend()) return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QByteArray body =
        reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    const bool good =
        (!status.isValid() || status.toInt() == 200) && !webmap::TileMimeType(body).isEmpty();
    const QString file = it->file;
    if (good) {
        if (!file.isEmpty()) {
            disk_.start([folder = it->folder, file, urlTemplate = it->urlTemplate, body] {
                WriteTile(folder, file, urlTemplate, body);
            });
        }
        Answer(id, body);
        return;
    }
    // Offline or a server error: an old copy beats a hole in the map.
    disk_.start([this, id, file] {
        const QByteArray stale = file.isEmpty() ? QByteArray() : ReadFile(file);
        QMetaObject::invokeMethod(
            this, [this, id, stale] { Answer(id, stale); }, Qt::QueuedConnection);
    });
}

void CTileSchemeHandler::Answer(quint64 id, const QByteArray& bytes)
{
    const Pending pending = pending_.take(id);
    QWebEngineUrlRequestJob* job = pending.job.data();
    if (!job) return;  // the page no longer wants it
    const QByteArray mime = webmap::TileMimeType(bytes);
    if (mime.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::RequestFailed);
        return;
    }
    auto* buffer = new QBuffer;
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    connect(job, &QObject::destroyed, buffer, &QObject::deleteLater);
    job->reply(mime, buffer);
}
