#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Pixel geometry of the sky map and the signal chart, free of painting so that it can be
// checked on its own.

// Sky map: the grid's centre and the horizon radius for a client size.
struct PolarGrid {
    QPoint centre;
    int radius = 0;
};
inline constexpr int kSkyMargin = 30;         // room for the spoke labels
inline constexpr int kSkyLabelOffset = 12;    // spoke labels sit this far outside
inline constexpr int kSkySatelliteDrop = 10;  // satellites are drawn this much lower
inline constexpr int kSkyCountBoxHeight = 50;

PolarGrid SkyGrid(QSize client);
// The same radius around a centre moved down by kSkySatelliteDrop.
PolarGrid SkySatelliteGrid(QSize client);
// Point at the given radius and angle (0 up, clockwise), rounded to whole pixels.
QPoint PolarPoint(QPoint centre, double radius, double angleDeg);
// Elevations outside 0..90 are pinned to the horizon or the zenith.
QPoint SatellitePoint(const PolarGrid& grid, int elevationDeg, int azimuthDeg);
QRect CentredRect(QPoint centre, QSize size);

// Signal chart.
inline constexpr int kSnrLabelStrip = 30;  // label cells below the bars
inline constexpr int kSnrFullScale = 60;   // dB-Hz that spans the window height
inline constexpr int kSnrWeakerTextHeight = 20;

int SnrChartBottom(int height);
// Top row of a bar, kept between the window top and the chart bottom.
int SnrBarTop(int height, int value);
// Left edge of slot index (of count slots); index == count gives the right edge.
int SnrSlotLeft(int width, int count, int index);
// A rectangle given by its edges, shrunk by one pixel on every side; empty when nothing is
// left of it.
QRect InnerRect(int left, int top, int right, int bottom);
