#include "geo/geoid_grid.h"

#include <algorithm>
#include <cmath>

namespace geoid_detail {
extern const float kGrid[kGeoidRows * kGeoidColumns];  // generated at build time
}

std::span<const float, kGeoidRows * kGeoidColumns> GeoidGridValues()
{
    return std::span<const float, kGeoidRows * kGeoidColumns>(geoid_detail::kGrid);
}

double GeoidHeight(double latitudeDeg, double longitudeDeg)
{
    // The negated test also rejects NaN.
    if (!(latitudeDeg >= kGeoidSouthDeg && latitudeDeg <= kGeoidNorthDeg &&
          longitudeDeg >= kGeoidWestDeg && longitudeDeg <= kGeoidEastDeg))
        return 0;
    const double h = kGeoidStepDeg;
    const int r = std::min(static_cast<int>((kGeoidNorthDeg - latitudeDeg) / h), kGeoidRows - 1);
    const int c = std::min(static_cast<int>((longitudeDeg - kGeoidWestDeg) / h), kGeoidColumns - 1);
    const auto g = [](int row, int column) -> double {
        return geoid_detail::kGrid[row * kGeoidColumns + column];
    };
    if (g(r, c) == kGeoidNoData) return 0;
    // On the south and east edges the missing neighbour is replaced by the edge node itself
    // rather than read past the end of the grid.
    const int r1 = std::min(r + 1, kGeoidRows - 1), c1 = std::min(c + 1, kGeoidColumns - 1);
    const double dx = longitudeDeg - kGeoidWestDeg - c * h;
    const double dy = kGeoidNorthDeg - latitudeDeg - r * h;
    return ((h - dy) * ((h - dx) * g(r, c) + dx * g(r, c1)) +
            dy * ((h - dx) * g(r1, c) + dx * g(r1, c1))) /
           (h * h);
}
