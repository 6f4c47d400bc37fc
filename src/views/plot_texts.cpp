#include "views/plot_texts.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxErrorBlankWidth = 33;

// The plot's coordinate systems, in the order of the setup page's radio buttons.
constexpr std::array<const char*, 7> kCoordSystemNames{"UTM-K",
                                                       "KATECH",
                                                       "UTM",
                                                       QT_TRANSLATE_NOOP("CPlotsView", "동부원점"),
                                                       QT_TRANSLATE_NOOP("CPlotsView", "중부원점"),
                                                       QT_TRANSLATE_NOOP("CPlotsView", "서부원점"),
                                                       QT_TRANSLATE_NOOP("CPlotsView", "동해원점")};

constexpr std::array<const char*, kPlotLegendCount> kLegendLabels{"GPS", "DGPS", "Float", "RTK",
                                                                  "DR"};

}  // namespace

int ClampPlotScaleIndex(int index) { return std::clamp(index, 0, kPlotScaleCount - 1); }

double PlotScaleMetres(int index)
{
    return kPlotScales[static_cast<std::size_t>(ClampPlotScaleIndex(index))];
}

QString PlotScaleLabel(int index)
{
    const double s = PlotScaleMetres(index);
    if (s < 1.0) return QString::asprintf("%dcm", static_cast<int>(std::lround(s * 100.0)));
    if (s < 1000.0) return QString::asprintf("%dm", static_cast<int>(s));
    return QString::asprintf("%dkm", static_cast<int>(s / 1000.0));
}

int PlotLevel(int index) { return kPlotScaleCount - ClampPlotScaleIndex(index); }

QString PlotLevelLine(int index)
{
    return QString::asprintf("Level: %02d/%02d", PlotLevel(index), kPlotScaleCount);
}

QString PlotCountLine(std::int64_t count)
{
    return QString::asprintf("Count: %lld", static_cast<long long>(count));
}

QString PlotEastingText(double easting) { return QString::asprintf("E:%.7fm", easting); }

QString PlotNorthingText(double northing) { return QString::asprintf("N:%.7fm", northing); }

QString PlotEllipsoidLabel() { return QCoreApplication::translate("CPlotsView", "타원체:WGS84"); }

QString PlotCoordSystemName(int system)
{
    if (system < 0 || system >= static_cast<int>(kCoordSystemNames.size())) return {};
    return QCoreApplication::translate("CPlotsView",
                                       kCoordSystemNames[static_cast<std::size_t>(system)]);
}

QString PlotCoordSystemLabel(int system)
{
    return QCoreApplication::translate("CPlotsView", "좌표계:%1").arg(PlotCoordSystemName(system));
}

QString PlotAverageLine(double latitude, double longitude)
{
    return QString::asprintf("Avg Lat/Lon: %010.7f/%011.7f", latitude, longitude);
}

QString PlotMaxErrorLine(double latitude, double longitude)
{
    return QString::asprintf("Max.Err Lat/Lon: %010.7f/%011.7f", latitude, longitude);
}

QString PlotBlankMaxErrorLine() { return QString(kMaxErrorBlankWidth, QLatin1Char(' ')); }

QString PlotLegendLabel(int slot)
{
    if (slot < 0 || slot >= kPlotLegendCount) return {};
    return QString::fromLatin1(kLegendLabels[static_cast<std::size_t>(slot)]);
}

PlotClassSlot PlotSlotOfClass(std::int32_t fixClass)
{
    switch (fixClass) {
        case 2: return PlotClassSlot::kDgps;
        case 5: return PlotClassSlot::kFloat;
        case 4: return PlotClassSlot::kRtk;
        case 6: return PlotClassSlot::kDr;
        default: return PlotClassSlot::kGps;
    }
}
