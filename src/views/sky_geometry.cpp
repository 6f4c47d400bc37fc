#include "views/sky_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }
}  // namespace

PolarGrid SkyGrid(QSize client)
{
    const int radius = std::max(0, std::min(client.width(), client.height()) / 2 - kSkyMargin);
    return {QPoint(client.width() / 2, client.height() / 2), radius};
}

PolarGrid SkySatelliteGrid(QSize client)
{
    PolarGrid grid = SkyGrid(client);
    grid.centre.ry() += kSkySatelliteDrop;
    return grid;
}

QPoint PolarPoint(QPoint centre, double radius, double angleDeg)
{
    const double a = Radians(angleDeg);
    return QPoint(static_cast<int>(std::floor(centre.x() + radius * std::sin(a) + 0.5)),
                  static_cast<int>(std::floor(centre.y() - radius * std::cos(a) + 0.5)));
}

QPoint SatellitePoint(const PolarGrid& grid, int elevationDeg, int azimuthDeg)
{
    const int elevation = std::clamp(elevationDeg, 0, 90);
    const double r = grid.radius * (90.0 - elevation) / 90.0;
    return PolarPoint(grid.centre, r, azimuthDeg);
}

QRect CentredRect(QPoint centre, QSize size)
{
    return QRect(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(),
                 size.height());
}

int SnrChartBottom(int height) { return height - kSnrLabelStrip; }

int SnrBarTop(int height, int value)
{
    const int bottom = SnrChartBottom(height);
    const double top = bottom - static_cast<double>(value) * height / kSnrFullScale;
    return std::clamp(static_cast<int>(std::lround(top)), 0, std::max(0, bottom));
}

int SnrSlotLeft(int width, int count, int index)
{
    if (count <= 0) return 0;
    return static_cast<int>(index * (static_cast<double>(width) / count) + 0.5);
}

QRect InnerRect(int left, int top, int right, int bottom)
{
    if (right - left <= 2 || bottom - top <= 2) return {};
    return QRect(left + 1, top + 1, right - left - 2, bottom - top - 2);
}
