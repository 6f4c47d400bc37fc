#pragma once

// Helpers for driving the web map page from tests: waiting, reading page state, tracks.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTimer>
#include <QVariant>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "webmap/map_dlg.h"

namespace webmap_test {

// Errors the page reports on its console (the test main counts them).
inline int& PageErrors()
{
    static int count = 0;
    return count;
}

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Runs code on the page (queued like every other call) and waits for its value.
inline QVariant Eval(CMapDlg& map, const QString& code, int timeoutMs = 10000)
{
    auto result = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
    map.RunScript(code, [result](const QVariant& value) { *result = {true, value}; });
    WaitFor([&] { return result->first; }, timeoutMs);
    return result->second;
}

inline int EvalInt(CMapDlg& map, const QString& code) { return Eval(map, code).toInt(); }
inline double EvalDouble(CMapDlg& map, const QString& code) { return Eval(map, code).toDouble(); }
inline QString EvalText(CMapDlg& map, const QString& code) { return Eval(map, code).toString(); }

// A tile template for a local port nobody listens on: tiles fail at once.
inline QString DeadTileUrl()
{
    QTcpServer probe;
    const quint16 port = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 9;
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port);
}

// n positions in a straight line from (lat, lon), stepping the given degrees.
inline std::vector<MapPoint> Line(int n, double lat, double lon, double dLat, double dLon,
                                  int fixClass = 3)
{
    std::vector<MapPoint> points;
    for (int i = 0; i < n; ++i) points.push_back({lat + i * dLat, lon + i * dLon, fixClass});
    return points;
}

// "lat,lon,class" as the page describes a position.
inline QString Described(const MapPoint& p)
{
    return QStringLiteral("%1,%2,%3")
        .arg(QString::number(p.latitude, 'f', 9), QString::number(p.longitude, 'f', 9))
        .arg(p.fixClass);
}

inline double GreatCircle(double lat1, double lon1, double lat2, double lon2)
{
    constexpr double kRadius = 6371008.8;
    constexpr double kRad = 3.14159265358979323846 / 180.0;
    const double s1 = std::sin((lat2 - lat1) * kRad / 2);
    const double s2 = std::sin((lon2 - lon1) * kRad / 2);
    const double a = s1 * s1 + std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * s2 * s2;
    return 2 * kRadius * std::asin(std::sqrt(a));
}

}  // namespace webmap_test
