#pragma once

// Map tiles for the web map: the page asks for skarnet-tile://tile/{z}/{x}/{y}; the handler
// fetches the tile from the configured server, keeps a copy on disk and answers from that copy
// when the server cannot be reached.

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QWebEngineUrlSchemeHandler>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QWebEngineUrlRequestJob;

namespace webmap {

inline constexpr char kTileScheme[] = "skarnet-tile";
inline constexpr char kDefaultTileUrl[] = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
inline constexpr int kFreshDays = 7;
inline constexpr int kMaxZoom = 24;

struct TileKey {
    int z = 0;
    int x = 0;
    int y = 0;
    friend bool operator==(const TileKey&, const TileKey&) = default;
};

// "/z/x/y" of a scheme URL; nullopt when malformed or outside the zoom level's tile range.
std::optional<TileKey> ParseTilePath(const QString& path);
// An empty template means the public OpenStreetMap server.
QString EffectiveTemplate(const QString& urlTemplate);
// Fills {z} {x} {y} {-y} {s} (a, b or c) and drops {r}.
QString ExpandTileUrl(const QString& urlTemplate, const TileKey& key);
// HTML for the page's attribution control.
QString TileAttributionHtml(const QString& urlTemplate);
// cacheRoot/<16 hex digits of the template's SHA-1>
QString CacheFolderFor(const QString& cacheRoot, const QString& urlTemplate);
// cacheRoot/<hash>/z/x/y.tile
QString CacheFileFor(const QString& cacheRoot, const QString& urlTemplate, const TileKey& key);
// The image type of tile bytes; empty when they are no image (an error page, say).
QByteArray TileMimeType(const QByteArray& bytes);

}  // namespace webmap

// Serves the tile scheme for one web profile. Disk work runs on its own threads and network
// work is asynchronous, so nothing here blocks the UI thread.
class CTileSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    explicit CTileSchemeHandler(QObject* parent = nullptr);
    ~CTileSchemeHandler() override;

    void SetTemplate(const QString& urlTemplate);
    void SetCacheRoot(const QString& folder);
    QString Template() const { return template_; }
    QString CacheRoot() const { return cacheRoot_; }

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    struct Pending {
        QPointer<QWebEngineUrlRequestJob> job;
        QString url;
        QString folder;
        QString file;
        QString urlTemplate;
    };

    void Probed(quint64 id, const QByteArray& fresh);
    void Fetched(quint64 id, QNetworkReply* reply);
    void Answer(quint64 id, const QByteArray& bytes);

    QString template_;
    QString cacheRoot_;
    QNetworkAccessManager* net_;
    QSet<QNetworkReply*> replies_;
    QHash<quint64, Pending> pending_;
    quint64 nextId_ = 0;
    QThreadPool disk_;
};
