#include "webmap/map_dlg.h"

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include "webmap/tile_scheme.h"

namespace {

const QUrl kPageUrl(QStringLiteral("qrc:/map/map.html"));

// Keeps the view on the map: links (the attribution's) open in the desktop browser instead.
class CMapPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (url.scheme() == QLatin1String("qrc")) return true;
        if (isMainFrame && type == NavigationTypeLinkClicked &&
            (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")))
            QDesktopServices::openUrl(url);
        return false;
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override
    {
        if (level == ErrorMessageLevel)
            qWarning("map page: %s (%s:%d)", qUtf8Printable(message), qUtf8Printable(source), line);
    }
};

QString JsArgs(const QJsonArray& args)
{
    const QByteArray json = QJsonDocument(args).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString CssColour(const QColor& colour)
{
    if (colour.alpha() == 255) return colour.name(QColor::HexRgb);
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(QString::number(colour.alphaF(), 'f', 3));
}

// Every PushPositions call reaches the page as a new script, and V8 keeps compiled scripts in
// its compilation cache until they age out (measured: 40 MB of page heap per 80,000 calls).
// The page never runs the same script twice, so the cache buys nothing.
void AddJsFlag(const QByteArray& flag)
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.contains(flag)) return;
    const QByteArray option = "--js-flags=";
    const qsizetype at = flags.indexOf(option);
    if (at >= 0)
        flags.insert(at + option.size(), flag + ',');
    else
        flags += (flags.isEmpty() ? "" : " ") + option + flag;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

}  // namespace

void RegisterMapSchemes()
{
    AddJsFlag("--no-compilation-cache");
    QWebEngineUrlScheme scheme(webmap::kTileScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

CMapDlg::CMapDlg(QWidget* parent)
    : QWidget(parent),
      tiles_(new CTileSchemeHandler(this)),
      profile_(new QWebEngineProfile(this)),
      view_(new QWebEngineView(this)),
      colours_{QColor(0xe5, 0x39, 0x35), QColor(0x1e, 0x88, 0xe5), QColor(0xfb, 0x8c, 0x00),
               QColor(0x43, 0xa0, 0x47), QColor(0x8e, 0x24, 0xaa)}
{
    tiles_->SetCacheRoot(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                         QStringLiteral("/tiles"));
    // The tile handler keeps its own disk cache; the browser's copy would only go stale.
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile_->installUrlSchemeHandler(webmap::kTileScheme, tiles_);
    view_->setPage(new CMapPage(profile_, view_));
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    connect(view_, &QWebEngineView::loadStarted, this, [this] { ready_ = false; });
    connect(view_, &QWebEngineView::loadFinished, this, &CMapDlg::OnLoadFinished);
    // A crashed page comes back empty; the track is gone but the map works again.
    connect(view_->page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                ready_ = false;
                if (status != QWebEnginePage::NormalTerminationStatus) view_->reload();
            });
}

CMapDlg::~CMapDlg()
{
    // The page must go before its profile.
    delete view_;
    view_ = nullptr;
}

void CMapDlg::SetTileUrl(const QString& urlTemplate)
{
    tileUrl_ = urlTemplate.trimmed();
    tiles_->SetTemplate(tileUrl_);
    // A new address for every change, so the browser asks for the tiles again.
    ++tileGeneration_;
    if (ready_) RunScript(TileSourceScript());
}

void CMapDlg::SetCacheDir(const QString& folder) { tiles_->SetCacheRoot(folder); }

QString CMapDlg::CacheDir() const { return tiles_->CacheRoot(); }

void CMapDlg::SetClassColours(const std::array<QColor, 5>& colours)
{
    colours_ = colours;
    if (ready_) RunScript(ColoursScript());
}

void CMapDlg::Load()
{
    if (loadRequested_) return;
    loadRequested_ = true;
    view_->load(kPageUrl);
}

bool CMapDlg::Ready() const { return ready_; }

QString CMapDlg::PushScript(std::span<const MapPoint> points, int limit)
{
    const QString limitText = QString::number(limit);
    QString code;
    code.reserve(static_cast<qsizetype>(points.size()) * 48 + 16);
    for (const MapPoint& p : points) {
        code += QLatin1String("pushPos('") + QString::number(p.latitude, 'f', 9) +
                QLatin1String("','") + QString::number(p.longitude, 'f', 9) + QLatin1String("','") +
                limitText + QLatin1String("',") + QString::number(p.fixClass) + QLatin1String(");");
    }
    code += QLatin1String("update();");
    return code;
}

void CMapDlg::PushPositions(std::span<const MapPoint> points, int limit)
{
    RunScript(PushScript(points, limit));
}

void CMapDlg::Clear(bool all)
{
    RunScript(all ? QStringLiteral("clear(true);") : QStringLiteral("clear(false);"));
}

void CMapDlg::ShowDistance() { RunScript(QStringLiteral("showDistance();")); }

void CMapDlg::RunScript(const QString& code, std::function<void(const QVariant&)> done)
{
    Script script{code, std::move(done)};
    if (ready_ && queue_.empty())
        Send(script);
    else
        queue_.push_back(std::move(script));
}

void CMapDlg::Send(const Script& script)
{
    if (script.done)
        view_->page()->runJavaScript(script.code, 0, script.done);
    else
        view_->page()->runJavaScript(script.code);
}

void CMapDlg::OnLoadFinished(bool ok)
{
    ready_ = ok;
    if (ok) {
        Send({TileSourceScript() + ColoursScript(), {}});
        while (!queue_.empty()) {
            Send(queue_.front());
            queue_.pop_front();
        }
    }
    emit pageLoaded(ok);
}

QString CMapDlg::TileSourceScript() const
{
    const QString url = QStringLiteral("%1://tile/{z}/{x}/{y}?g=%2")
                            .arg(QLatin1String(webmap::kTileScheme))
                            .arg(tileGeneration_);
    return QStringLiteral("setTileSource(%1);")
        .arg(JsArgs({url, webmap::TileAttributionHtml(tileUrl_)}));
}

QString CMapDlg::ColoursScript() const
{
    QJsonArray list;
    for (const QColor& colour : colours_) list.append(CssColour(colour));
    return QStringLiteral("setClassColours(%1);")
        .arg(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)));
}
