#include "geo/coord_system_table.h"

#include <cmath>

#include "i18n/translatable.h"

namespace {

constexpr double Rad(double degrees) { return degrees * kCoordPi / 180.0; }

constexpr int kBessel = 0;
constexpr int kWgs84 = 1;
constexpr int kGrs80 = 2;

constexpr ProjectionKind kGeo = ProjectionKind::kGeographic;
constexpr ProjectionKind kTm = ProjectionKind::kTransverseMercator;
constexpr ProjectionKind kUtm = ProjectionKind::kUtm;

// 125, 127, 129 and 131 degrees plus 10.405 seconds of arc (the corrected old origins).
constexpr double kWest10405 = 2.18171200985643;
constexpr double kCentral10405 = 2.21661859489632;
constexpr double kEast10405 = 2.25152517993621;
constexpr double kEastSea10405 = 2.28643176497609;

const double kLat38 = Rad(38.0);

}  // namespace

const std::array<Ellipsoid, kEllipsoidCount> kEllipsoids = {{
    {"Bessel 1841", 6377397.155, 6356078.962818189},
    {"WGS84", 6378137.0, 6356752.3142},
    {"GRS80", 6378137.0, 6356752.314140356},
}};

// clang-format off
const std::array<CoordSystem, kCoordSystemCount> kCoordSystems = {{
    {kBessel, kTm, Rad(129), kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|구좌표|동부원점"), "EPSG:2096"},
    {kBessel, kTm, Rad(127), kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|구좌표|중부원점"), "EPSG:2097"},
    {kBessel, kTm, Rad(125), kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|구좌표|서부원점"), "EPSG:2098"},
    {kBessel, kTm, Rad(127.5), kLat38, 2000000, 1000000, 0.9996, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|UTM|단일원점|UTM(K)"), "EPSG:5178"},
    {kBessel, kTm, kWest10405, kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|보정된구좌표|서부원점"), "EPSG:5173"},
    {kBessel, kTm, kCentral10405, kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|보정된구좌표|중부원점"), "EPSG:5174"},
    {kBessel, kTm, kCentral10405, kLat38, 550000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|보정된구좌표|제주원점"), "EPSG:5175"},
    {kBessel, kTm, kEast10405, kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|보정된구좌표|동부원점"), "EPSG:5176"},
    {kBessel, kTm, kEastSea10405, kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|보정된구좌표|동해원점"), "EPSG:5177"},
    {kBessel, kTm, Rad(128), kLat38, 600000, 400000, 0.9999, SKARNET2_TRANSLATABLE("CoordSystem", "Bessel|TM|네이버(KATECH)"), "NHN:128"},
    {kWgs84, kGeo, 0, 0, 0, 0, 1, SKARNET2_TRANSLATABLE("CoordSystem", "WGS84|경위도"), "EPSG:4326"},
    {kWgs84, kUtm, Rad(123), 0, 0, 500000, 0.9996, SKARNET2_TRANSLATABLE("CoordSystem", "WGS84|UTM51N"), "EPSG:32651"},
    {kWgs84, kUtm, Rad(129), 0, 0, 500000, 0.9996, SKARNET2_TRANSLATABLE("CoordSystem", "WGS84|UTM52N"), "EPSG:32652"},
    {kGrs80, kTm, Rad(127.5), kLat38, 2000000, 1000000, 0.9996, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|UTM-K(도로명지도)"), "EPSG:5179"},
    {kGrs80, kTm, Rad(125), kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|구좌표|서부원점"), "EPSG:5180"},
    {kGrs80, kTm, Rad(127), kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|구좌표|중부원점(다음지도)"), "EPSG:5181"},
    {kGrs80, kTm, Rad(129), kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|구좌표|동부원점"), "EPSG:5183"},
    {kGrs80, kTm, Rad(131), kLat38, 500000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|구좌표|동해원점"), "EPSG:5184"},
    {kGrs80, kTm, Rad(125), kLat38, 600000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|신좌표|서부원점"), "EPSG:5185"},
    {kGrs80, kTm, Rad(127), kLat38, 600000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|신좌표|중부원점"), "EPSG:5186"},
    {kGrs80, kTm, Rad(129), kLat38, 600000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|신좌표|동부원점"), "EPSG:5187"},
    {kGrs80, kTm, Rad(131), kLat38, 600000, 200000, 1, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|신좌표|동해원점"), "EPSG:5188"},
    {kGrs80, kTm, Rad(128), kLat38, 600000, 400000, 0.9999, SKARNET2_TRANSLATABLE("CoordSystem", "GRS80|TM|네이버"), "NHN:128"},
}};
// clang-format on

const CoordSystem* FindCoordSystem(int row)
{
    if (row < 0 || row >= kCoordSystemCount) return nullptr;
    return &kCoordSystems[static_cast<std::size_t>(row)];
}

SeriesConstants MakeSeriesConstants(double es)
{
    SeriesConstants c;
    c.e0 = 1.0 - es / 4.0 * (1.0 + es / 16.0 * (3.0 + 1.25 * es));
    c.e1 = 0.375 * es + 0.03125 * es * es * (1.40625 * es + 3.0);
    c.e2 = 0.05859375 * es * es * (1.0 + 0.75 * es);
    c.e3 = es * es * es * (35.0 / 3072.0);
    return c;
}

double MeridianArc(double a, const SeriesConstants& c, double phi)
{
    return a * (c.e0 * phi - c.e1 * std::sin(2.0 * phi) + c.e2 * std::sin(4.0 * phi) -
                c.e3 * std::sin(6.0 * phi));
}

std::optional<int> UtmZone(double longitude)
{
    // Keeps the integer conversion defined.
    if (!std::isfinite(longitude) || std::fabs(longitude) > 1e6) return std::nullopt;
    return static_cast<int>(std::trunc((longitude + 180.0) / 6.0)) + 1;
}

int PlotUtmRow(double longitude) { return UtmZone(longitude) == 52 ? 12 : 11; }

std::optional<int> PlotCoordSystemRow(int plotIndex, double longitude)
{
    switch (plotIndex) {
        case 0: return 3;
        case 1: return 9;
        case 2: return PlotUtmRow(longitude);
        case 3: return 7;
        case 4: return 5;
        case 5: return 4;
        case 6: return 8;
        default: return std::nullopt;
    }
}
