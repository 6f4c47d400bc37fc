// Reading and writing the arbitrary point in its three input styles.
#include <QStringList>
#include <cmath>
#include <cstdlib>

#include "geo/dms.h"
#include "setup/setup_coord_dlg.h"

std::optional<double> ParseCoordText(const QString& text, int style)
{
    if (style < kDegrees || style > kDegreesMinutesSeconds) return std::nullopt;
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != style + 1) return std::nullopt;
    double value = 0.0;
    double scale = 1.0;
    bool negative = false;
    for (int i = 0; i < static_cast<int>(parts.size()); ++i) {
        bool ok = false;
        const double part = parts[i].toDouble(&ok);
        if (!ok || !std::isfinite(part)) return std::nullopt;
        if (i == 0) {
            negative = parts[i].startsWith(QLatin1Char('-'));
            // Whole degrees when minutes follow, so "127.5 30" is not read as 128.
            if (style != kDegrees && part != std::trunc(part)) return std::nullopt;
        } else if (part < 0.0 || part >= 60.0 || (i < style && part != std::trunc(part))) {
            return std::nullopt;
        }
        value += std::fabs(part) / scale;
        scale *= 60.0;
    }
    return negative ? -value : value;
}

QString FormatCoordText(double degrees, int style)
{
    if (style == kDegrees) return QString::asprintf("%.7f", degrees);
    int d = 0;
    int m = 0;
    double s = 0.0;
    ToDms(std::fabs(degrees), d, m, s);
    const char* sign = degrees < 0 ? "-" : "";
    if (style == kDegreesMinutes) return QString::asprintf("%s%d %.7f", sign, d, m + s / 60.0);
    return QString::asprintf("%s%d %d %.5f", sign, d, m, s);
}
