#pragma once
#include <QColor>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <span>

class QWebEngineProfile;
class QWebEngineView;
class CTileSchemeHandler;

// One position for the map: degrees, and the fix class of the position plot (0 GPS, 1 DGPS,
// 2 FLOAT, 3 RTK FIX, 4 DR).
struct MapPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    int fixClass = 0;
};

// Call once before the QApplication exists: registers the tile scheme the page loads tiles through.
// It also adds --no-compilation-cache to the JavaScript flags in QTWEBENGINE_CHROMIUM_FLAGS, so
// the page does not keep a compiled copy of every position script.
void RegisterMapSchemes();

// The web map: a Leaflet page from the program's resources showing the receiver's track,
// with tiles fetched through a disk cache so the map keeps working offline.
class CMapDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMapDlg(QWidget* parent = nullptr);
    ~CMapDlg() override;
    // Tile URL template with {z} {x} {y} (and optionally {s}); an empty text means the default
    // public OpenStreetMap server "https://tile.openstreetmap.org/{z}/{x}/{y}.png" with its
    // attribution.
    void SetTileUrl(const QString& urlTemplate);
    // Folder of the persistent tile cache (default: QStandardPaths::CacheLocation + "/tiles").
    void SetCacheDir(const QString& folder);
    void SetClassColours(const std::array<QColor, 5>& colours);
    // Loads the page from the program's resources (once; later calls do nothing).
    void Load();
    bool Ready() const;  // the page finished loading
    // Script calls: queued while the page loads, sent in order once it is ready, never lost.
    // Each of these is ONE runJavaScript call, whatever the number of points:
    //   "pushPos('%.9f','%.9f','%d',class);" for each point, then "update();"
    void PushPositions(std::span<const MapPoint> points, int limit);
    void Clear(bool all);  // "clear(true)" / "clear(false)"
    void ShowDistance();   // "showDistance()"
    // Any script, queued the same way; done gets the result (tests read the page's state).
    void RunScript(const QString& code, std::function<void(const QVariant&)> done = {});

    // The script PushPositions sends.
    static QString PushScript(std::span<const MapPoint> points, int limit);
    QString TileUrl() const { return tileUrl_; }
    QString CacheDir() const;
    QWebEngineView* View() const { return view_; }
    // Scripts waiting for the page.
    std::size_t Queued() const { return queue_.size(); }

signals:
    void pageLoaded(bool ok);

private:
    struct Script {
        QString code;
        std::function<void(const QVariant&)> done;
    };
    void Send(const Script& script);
    void OnLoadFinished(bool ok);
    QString TileSourceScript() const;
    QString ColoursScript() const;

    CTileSchemeHandler* tiles_;
    QWebEngineProfile* profile_;
    QWebEngineView* view_;
    std::deque<Script> queue_;
    std::array<QColor, 5> colours_;
    QString tileUrl_;
    int tileGeneration_ = 0;
    bool loadRequested_ = false;
    bool ready_ = false;
};
