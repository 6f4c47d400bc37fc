#pragma once

#include <array>
#include <optional>
#include <string_view>

// Degrees to radians and back use this value of pi throughout the converter.
inline constexpr double kCoordPi = 3.14159265358979;

struct Ellipsoid {
    std::string_view name;
    double a;  // semi-major axis, m
    double b;  // semi-minor axis, m
};

inline constexpr int kEllipsoidCount = 3;
// Bessel 1841, WGS84, GRS80.
extern const std::array<Ellipsoid, kEllipsoidCount> kEllipsoids;

enum class ProjectionKind { kGeographic = 0, kTransverseMercator = 1, kUtm = 2 };

struct CoordSystem {
    int ellipsoid;  // index into kEllipsoids
    ProjectionKind kind;
    double centralMeridian;  // radians
    double originLatitude;   // radians
    double falseNorthing;    // m
    double falseEasting;     // m
    double scale;
    std::string_view name;  // UTF-8, as listed in the conversion dialog
    std::string_view code;  // e.g. "EPSG:5179"
};

inline constexpr int kCoordSystemCount = 23;
// WGS84 latitude/longitude: every grid conversion passes through it.
inline constexpr int kGeographicRow = 10;
// GRS80 UTM-K (EPSG:5179): where positions from other programs and the deviation graphs go.
inline constexpr int kUtmKRow = 13;
extern const std::array<CoordSystem, kCoordSystemCount> kCoordSystems;

// Nothing for a row outside the table.
const CoordSystem* FindCoordSystem(int row);

// Meridian-arc series constants of an ellipsoid with squared eccentricity es.
struct SeriesConstants {
    double e0;
    double e1;
    double e2;
    double e3;
};
SeriesConstants MakeSeriesConstants(double es);
// Meridian arc from the equator to latitude phi (radians) on semi-major axis a, in metres.
double MeridianArc(double a, const SeriesConstants& c, double phi);

// Zone number floor((longitude + 180) / 6) + 1 truncated toward zero; nothing for a longitude
// that is not finite or is far outside any zone.
std::optional<int> UtmZone(double longitude);
// The plot's UTM row: zone 52 uses row 12, every other zone (and no zone) row 11.
int PlotUtmRow(double longitude);

inline constexpr int kPlotCoordSystemCount = 7;
// Plot coordinate system 0..6 (UTM-K, KATECH, UTM, east, central, west, East Sea origins) to
// its table row; the UTM row depends on the longitude. Nothing for other indices.
std::optional<int> PlotCoordSystemRow(int plotIndex, double longitude);
