#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The texts of the position plot and its scale table, as plain functions so that they can be
// checked without painting.

inline constexpr int kPlotScaleCount = 28;
// Metres per grid step, from the finest zoom (index 0) to the coarsest.
inline constexpr std::array<double, kPlotScaleCount> kPlotScales{
    0.01, 0.02, 0.03, 0.05, 0.1, 0.2, 0.3,  0.5,  1,    2,    3,     5,     10,    20,
    30,   50,   100,  200,  300, 500, 1000, 2000, 3000, 5000, 10000, 20000, 30000, 50000};

// A stored index may come from anywhere: every use goes through this clamp to 0..27.
int ClampPlotScaleIndex(int index);
double PlotScaleMetres(int index);
// "1cm", "30m", "50km": centimetres rounded, metres and kilometres truncated.
QString PlotScaleLabel(int index);
// 28 at the finest zoom down to 1 at the coarsest.
int PlotLevel(int index);
// "Level: 28/28".
QString PlotLevelLine(int index);
QString PlotCountLine(std::int64_t count);

QString PlotEastingText(double easting);
QString PlotNorthingText(double northing);
QString PlotEllipsoidLabel();
// "UTM-K", "KATECH", "UTM" and the four origins; empty for an index outside 0..6.
QString PlotCoordSystemName(int system);
// "좌표계:" followed by the system name.
QString PlotCoordSystemLabel(int system);

// Degree texts of the running average and the maximum-error point.
QString PlotAverageLine(double latitude, double longitude);
QString PlotMaxErrorLine(double latitude, double longitude);
// Stands in for the maximum-error line when the centre is not a fixed point.
QString PlotBlankMaxErrorLine();

// Fix classes of the legend, in legend order.
inline constexpr int kPlotLegendCount = 5;
enum class PlotClassSlot : int { kGps = 0, kDgps = 1, kFloat = 2, kRtk = 3, kDr = 4 };
// "GPS", "DGPS", "Float", "RTK", "DR"; empty outside 0..4.
QString PlotLegendLabel(int slot);
// The legend slot of a GGA fix-quality number: 2 DGPS, 5 float, 4 RTK, 6 DR, anything else GPS.
PlotClassSlot PlotSlotOfClass(std::int32_t fixClass);
