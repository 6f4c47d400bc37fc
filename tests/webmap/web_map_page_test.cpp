#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <QTemporaryDir>
#include <QWebEngineView>

#include "web_map_support.h"

using namespace webmap_test;

namespace {

// One page for the whole suite; every test starts with clear(true). Tiles point at a dead
// local port, so this suite is also the offline map.
class WebMapPage : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_cache = new QTemporaryDir;
        s_map = new CMapDlg;
        s_map->resize(800, 600);
        s_map->SetTileUrl(DeadTileUrl());
        s_map->SetCacheDir(s_cache->path());
        s_map->show();
        s_map->Load();
        WaitFor([] { return s_map->Ready(); }, 30000);
    }
    static void TearDownTestSuite()
    {
        delete s_map;
        delete s_cache;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_map->Ready()) << "the map page did not load";
        s_map->Clear(true);
        errors_ = PageErrors();
    }
    void TearDown() override
    {
        EvalInt(*s_map, "0");  // everything sent has run
        EXPECT_EQ(PageErrors(), errors_) << "the page reported script errors";
    }
    // Pushes in batches, as the main window does.
    static void Push(const std::vector<MapPoint>& points, int limit, std::size_t batch = 500)
    {
        const std::span<const MapPoint> all(points);
        for (std::size_t at = 0; at < all.size(); at += batch)
            s_map->PushPositions(all.subspan(at, std::min(batch, all.size() - at)), limit);
    }
    static CMapDlg& Map() { return *s_map; }

    int errors_ = 0;
    static inline QTemporaryDir* s_cache = nullptr;
    static inline CMapDlg* s_map = nullptr;
};

TEST_F(WebMapPage, LoadsOwnPageWithLeafletControlsAndTileScheme)
{
    EXPECT_TRUE(Eval(Map(), "!!document.querySelector('.leaflet-control-scale')").toBool());
    EXPECT_TRUE(Eval(Map(), "!!document.querySelector('.skarnet-follow')").toBool());
    EXPECT_TRUE(EvalText(Map(), "skarnet.tileUrl()").startsWith("skarnet-tile://tile/{z}/{x}/{y}"));
    EXPECT_TRUE(EvalText(Map(), "skarnet.attribution()").contains("타일: 127.0.0.1"));
}

TEST_F(WebMapPage, ScriptErrorsReachTheLog)
{
    Eval(Map(), "skarnet.noSuchFunction()");
    EXPECT_EQ(PageErrors(), errors_ + 1);
    errors_ = PageErrors();
}

TEST_F(WebMapPage, LimitKeepsTheNewestPositions)
{
    struct Case {
        int limit;
        int pushed;
        int kept;
    };
    const Case cases[] = {
        {0, 1500, 1500}, {1000, 1500, 1000}, {2000, 1500, 1500}, {1, 30, 1}, {7, 1500, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "limit " << c.limit);
        Map().Clear(true);
        const auto points = Line(c.pushed, 37.5, 127.0, 1e-5, 2e-5);
        Push(points, c.limit);
        EXPECT_EQ(EvalInt(Map(), "skarnet.pointCount()"), c.kept);
        EXPECT_EQ(EvalInt(Map(), "skarnet.drawnPositions()"), c.kept);
        EXPECT_EQ(EvalText(Map(), "skarnet.position(0)"), Described(points[c.pushed - c.kept]));
        EXPECT_EQ(EvalText(Map(), "skarnet.current()"), Described(points.back()));
        const MapPoint& a = points[c.pushed - c.kept];
        const double expected =
            GreatCircle(a.latitude, a.longitude, points.back().latitude, points.back().longitude);
        EXPECT_NEAR(EvalDouble(Map(), "skarnet.trackLength()"), expected, 1e-3);
    }
}

TEST_F(WebMapPage, LongTracksAreDecimatedButEveryPositionIsKept)
{
    // 120,000 positions, the fix class changing every 5,000 (at odd positions, so the
    // decimation grid does not draw the changes by chance).
    std::vector<MapPoint> points;
    for (int i = 0; i < 120000; ++i)
        points.push_back(
            {37.0 + i * 1e-6, 127.0 + std::sin(i * 1e-3) * 1e-3, ((i + 1) / 5000) % 2 ? 2 : 3});
    Push(points, 0, 2000);
    EXPECT_EQ(EvalInt(Map(), "skarnet.pointCount()"), 120000);
    const int drawn = EvalInt(Map(), "skarnet.drawnCount()");
    EXPECT_GT(drawn, 10000);
    EXPECT_LE(drawn, 40000 + EvalInt(Map(), "skarnet.stride()"));
    EXPECT_GE(EvalInt(Map(), "skarnet.stride()"), 4);
    EXPECT_EQ(EvalText(Map(), "skarnet.lastDrawn()"), Described(points.back()));
    EXPECT_EQ(EvalText(Map(), "skarnet.position(0)"), Described(points.front()));
    // Every run keeps its colour, and each class change sits exactly where it happened.
    const QString expected[][2] = {{"4999", "2"}, {"9999", "3"}, {"4997", ""}, {"5001", ""}};
    for (const auto& [index, classes] : expected)
        EXPECT_EQ(EvalText(Map(), "skarnet.drawnClassesAt(" + index + ")"), classes)
            << index.toStdString();

    // A limit afterwards drops the oldest positions from the store and from the drawing.
    const auto more = Line(3000, 37.2, 127.0, 1e-6, 0.0);
    Push(more, 50000, 1000);
    EXPECT_EQ(EvalInt(Map(), "skarnet.pointCount()"), 50000);
    EXPECT_EQ(EvalText(Map(), "skarnet.position(0)"), Described(points[120000 + 3000 - 50000]));
    const int oldest = EvalInt(Map(), "skarnet.oldestDrawn()");
    EXPECT_GE(oldest, 0);
    EXPECT_LT(oldest, EvalInt(Map(), "skarnet.stride()"));
    EXPECT_LE(EvalInt(Map(), "skarnet.drawnPositions()"), 50000 / 4 + 200);
}

TEST_F(WebMapPage, OfflineTheTrackIsDrawnOnTheGrid)
{
    const auto colours = Eval(Map(), "skarnet.classColours()").toStringList();
    std::array<QColor, 5> saved, magenta;
    for (std::size_t i = 0; i < 5; ++i) saved[i] = QColor(colours.value(static_cast<int>(i)));
    magenta.fill(QColor(255, 0, 255));
    Map().SetClassColours(magenta);
    EXPECT_EQ(Eval(Map(), "skarnet.classColours()").toStringList(), QStringList(5, "#ff00ff"));
    Push(Line(200, 37.2, 127.2, 2e-6, 3e-6, 3), 0);
    EXPECT_TRUE(WaitFor([] { return EvalInt(Map(), "skarnet.tilesFailed()") > 0; }, 10000));
    EXPECT_EQ(EvalInt(Map(), "skarnet.tilesLoaded()"), 0);
    EXPECT_GT(EvalInt(Map(), "skarnet.drawnCount()"), 0);
    EXPECT_TRUE(EvalText(Map(), "getComputedStyle(skarnet.map.getContainer()).backgroundImage")
                    .contains("linear-gradient"));
    // The track's colour reaches the screen.
    auto magentaShown = [] {
        const QImage image = Map().grab().toImage();
        for (int i = 0; i < image.width() * image.height(); ++i) {
            const QColor c = image.pixelColor(i % image.width(), i / image.width());
            if (c.red() > 200 && c.green() < 90 && c.blue() > 200) return true;
        }
        return false;
    };
    EXPECT_TRUE(WaitFor(magentaShown, 10000));
    Map().SetClassColours(saved);
}

TEST(WebMapScript, PushScriptIsOneLocaleFreeCall)
{
    struct Case {
        std::vector<MapPoint> points;
        int limit;
        const char* script;
    };
    const Case cases[] = {
        {{}, 0, "update();"},
        {{{37.5, 127.25, 3}}, -1, "pushPos('37.500000000','127.250000000','-1',3);update();"},
        {{{-0.0000000004, -179.9999999996, 0}, {1e-9, 2, 4}},
         1000,
         "pushPos('-0.000000000','-180.000000000','1000',0);"
         "pushPos('0.000000001','2.000000000','1000',4);update();"},
    };
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const Case& c : cases) EXPECT_EQ(CMapDlg::PushScript(c.points, c.limit), c.script);
    QLocale::setDefault(saved);
}

TEST(WebMapQueue, CallsBeforeTheLoadArriveInOrder)
{
    const QTemporaryDir cache;
    CMapDlg map;
    map.SetTileUrl(DeadTileUrl());
    map.SetCacheDir(cache.path());
    std::vector<bool> loaded;
    QObject::connect(&map, &CMapDlg::pageLoaded, [&loaded](bool ok) { loaded.push_back(ok); });
    map.Load();
    map.Load();  // a second call changes nothing
    ASSERT_FALSE(map.Ready());
    map.PushPositions(Line(300, 37.0, 127.0, 1e-5, 0.0), 0);
    map.Clear(false);
    for (int i = 0; i < 4; ++i) map.PushPositions(Line(25, 37.1 + i, 127.0, 1e-5, 0.0), 0);
    map.ShowDistance();
    EXPECT_GE(map.Queued(), 6u);
    EXPECT_EQ(EvalInt(map, "skarnet.pointCount()"), 100);
    EXPECT_EQ(loaded, std::vector<bool>{true});
    EXPECT_TRUE(map.Ready());
    EXPECT_EQ(map.Queued(), 0u);
    EXPECT_TRUE(Eval(map, "skarnet.distanceShown()").toBool());
}

}  // namespace
