#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "web_map_support.h"
#include "webmap/tile_scheme.h"

using namespace webmap_test;
using webmap::TileKey;

namespace {

TEST(WebMapTileScheme, ParsesOnlyTilesInsideTheZoomLevel)
{
    struct Case {
        const char* path;
        std::optional<TileKey> key;
    };
    const Case cases[] = {
        {"/0/0/0", TileKey{0, 0, 0}}, {"/17/111700/50800", TileKey{17, 111700, 50800}},
        {"/2/3/3", TileKey{2, 3, 3}}, {"/2/4/0", std::nullopt},
        {"/1/0/2", std::nullopt},     {"/25/0/0", std::nullopt},
        {"/3/-1/0", std::nullopt},    {"/3/1", std::nullopt},
        {"/3/1/1/1", std::nullopt},   {"/a/1/1", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(webmap::ParseTilePath(c.path), c.key) << c.path;
}

TEST(WebMapTileScheme, ExpandsTemplates)
{
    struct Case {
        const char* urlTemplate;
        TileKey key;
        const char* url;
    };
    const Case cases[] = {
        {"", {3, 4, 5}, "https://tile.openstreetmap.org/3/4/5.png"},
        {"  http://h:8080/{z}/{x}/{y}.png ", {1, 0, 1}, "http://h:8080/1/0/1.png"},
        {"https://{s}.t.example/{z}/{x}/{y}{r}.jpg", {2, 1, 3}, "https://b.t.example/2/1/3.jpg"},
        {"https://{s}.t.example/{z}/{x}/{y}", {2, 1, 2}, "https://a.t.example/2/1/2"},
        {"http://tms.example/{z}/{x}/{-y}.png", {3, 2, 1}, "http://tms.example/3/2/6.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(webmap::ExpandTileUrl(c.urlTemplate, c.key), c.url) << c.urlTemplate;
}

TEST(WebMapTileScheme, AttributionCacheFilesAndImageTypes)
{
    EXPECT_TRUE(webmap::TileAttributionHtml("").contains("OpenStreetMap</a> contributors"));
    EXPECT_TRUE(webmap::TileAttributionHtml("https://tile.openstreetmap.org/{z}/{x}/{y}.png")
                    .startsWith("&copy;"));
    EXPECT_EQ(webmap::TileAttributionHtml("https://{s}.maps.example/{z}/{x}/{y}.png"),
              "타일: a.maps.example");
    // One folder per template (the default one when none is given).
    const QString a = webmap::CacheFileFor("/c", "http://a/{z}/{x}/{y}.png", {5, 6, 7});
    const QString b = webmap::CacheFileFor("/c", "http://b/{z}/{x}/{y}.png", {5, 6, 7});
    EXPECT_TRUE(QRegularExpression("^/c/[0-9a-f]{16}/5/6/7\\.tile$").match(a).hasMatch())
        << a.toStdString();
    EXPECT_NE(a, b);
    EXPECT_EQ(webmap::CacheFileFor("/c", "", {1, 1, 1}),
              webmap::CacheFileFor("/c", webmap::kDefaultTileUrl, {1, 1, 1}));
    // Images are told from error pages.
    EXPECT_EQ(webmap::TileMimeType(QByteArray("\x89PNG\r\n\x1a\n....", 12)), "image/png");
    EXPECT_EQ(webmap::TileMimeType("\xff\xd8\xff\xe0...."), "image/jpeg");
    EXPECT_EQ(webmap::TileMimeType(QByteArray("RIFF\x10\0\0\0WEBPVP8 ", 16)), "image/webp");
    EXPECT_EQ(webmap::TileMimeType("<html>Too many requests</html>"), "");
    EXPECT_EQ(webmap::TileMimeType(""), "");
}

// A tile server on 127.0.0.1 answering every GET with one small PNG.
class TileServer : public QTcpServer {
public:
    TileServer()
    {
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(QColor(40, 200, 220));
        QBuffer buffer(&png_);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {  // a child of the server
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    void Close()
    {
        close();
        for (QTcpSocket* s : findChildren<QTcpSocket*>()) s->abort();
    }
    QStringList paths;
    QStringList agents;

private:
    void Read(QTcpSocket* socket)
    {
        const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n")) return;
        const QList<QByteArray> lines = request.split('\n');
        paths << QString::fromLatin1(lines.front().split(' ').value(1));
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("user-agent:"))
                agents << QString::fromLatin1(line.mid(11).trimmed());
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n");
        socket->write("Content-Length: " + QByteArray::number(png_.size()) + "\r\n\r\n");
        socket->write(png_);
        socket->disconnectFromHost();
    }
    QByteArray png_;
};

QStringList CachedTiles(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, {"*.tile"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    return files;
}

TEST(WebMapTiles, LocalServerFillsTheCacheWhichServesWhenItIsGone)
{
    TileServer server;
    if (!server.listen(QHostAddress::LocalHost)) GTEST_SKIP() << "cannot listen on 127.0.0.1";
    const QTemporaryDir cache;
    const QString urlTemplate =
        QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server.serverPort());
    const QString folder = webmap::CacheFolderFor(cache.path(), urlTemplate);
    CMapDlg map;
    map.resize(400, 300);
    map.SetTileUrl(urlTemplate);
    map.SetCacheDir(cache.path());
    map.show();
    map.Load();
    // The first position brings the map from its overview to zoom level 17.
    map.PushPositions(Line(1, 37.5665, 126.978, 0, 0), 0);
    const auto closeTiles = [&] { return server.paths.filter(QRegularExpression("^/17/")).size(); };
    ASSERT_TRUE(WaitFor([&] { return closeTiles() >= 4; }, 30000));
    // Until no request has come for a second: none in flight when the cache is judged below.
    for (qsizetype seen = -1, rounds = 0; seen != server.paths.size() && rounds < 30; ++rounds) {
        seen = server.paths.size();
        WaitFor([] { return false; }, 1000);
    }
    ASSERT_TRUE(WaitFor([&] { return EvalInt(map, "skarnet.tilesLoaded()") >= 4; }, 10000));

    // Requests follow the template and name the program.
    const QRegularExpression tilePath("^/\\d+/\\d+/\\d+\\.png$");
    for (const QString& path : server.paths)
        EXPECT_TRUE(tilePath.match(path).hasMatch()) << path.toStdString();
    EXPECT_EQ(server.agents.value(0), "Skarnet2");
    EXPECT_EQ(server.agents.size(), server.paths.size());

    // Every fetched tile lands in the template's cache folder.
    ASSERT_TRUE(WaitFor([&] { return CachedTiles(folder).size() >= server.paths.size(); }, 20000));
    QFile source(folder + "/source.txt");
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(source.readAll().trimmed(), urlTemplate.toUtf8());

    // Fresh tiles come from the disk without asking the server.
    const qsizetype asked = server.paths.size();
    int loaded = EvalInt(map, "skarnet.tilesLoaded()");
    map.SetTileUrl(urlTemplate);
    ASSERT_TRUE(
        WaitFor([&] { return EvalInt(map, "skarnet.tilesLoaded()") >= loaded + 4; }, 30000));
    EXPECT_EQ(server.paths.size(), asked);

    // The server goes away and the tiles grow old: the old copies still fill the map.
    server.Close();
    const QDateTime old = QDateTime::currentDateTime().addDays(-30);
    for (const QString& file : CachedTiles(folder)) {
        QFile tile(file);
        ASSERT_TRUE(tile.open(QIODevice::ReadWrite));
        ASSERT_TRUE(tile.setFileTime(old, QFileDevice::FileModificationTime));
    }
    loaded = EvalInt(map, "skarnet.tilesLoaded()");
    int failed = EvalInt(map, "skarnet.tilesFailed()");
    map.SetTileUrl(urlTemplate);
    EXPECT_TRUE(
        WaitFor([&] { return EvalInt(map, "skarnet.tilesLoaded()") >= loaded + 4; }, 30000));
    EXPECT_EQ(EvalInt(map, "skarnet.tilesFailed()"), failed);

    // With nothing cached either, the tiles fail quickly and the track still shows.
    QDir(folder).removeRecursively();
    failed = EvalInt(map, "skarnet.tilesFailed()");
    map.SetTileUrl(urlTemplate);
    EXPECT_TRUE(
        WaitFor([&] { return EvalInt(map, "skarnet.tilesFailed()") >= failed + 4; }, 30000));
    EXPECT_EQ(EvalInt(map, "skarnet.pointCount()"), 1);
}

}  // namespace
