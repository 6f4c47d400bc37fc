#pragma once

#include <span>

// Korean geoid grid (EGM96 sampled at build time): row 0 at the north edge going south,
// column 0 at the west edge going east, the same step both ways; kGeoidNoData marks no data.
inline constexpr int kGeoidRows = 673;
inline constexpr int kGeoidColumns = 551;
inline constexpr double kGeoidNorthDeg = 42.99392;
inline constexpr double kGeoidSouthDeg = 32.0;
inline constexpr double kGeoidWestDeg = 123.0;
inline constexpr double kGeoidEastDeg = 131.998;
inline constexpr double kGeoidStepDeg = 0.01636;
inline constexpr float kGeoidNoData = 9999.0f;

// Geoid height N in metres above the WGS84 ellipsoid, bilinear between grid nodes; 0 outside
// the grid, for a cell whose north-west node has no data, and for non-finite input.
double GeoidHeight(double latitudeDeg, double longitudeDeg);

// All grid values, row by row.
std::span<const float, kGeoidRows * kGeoidColumns> GeoidGridValues();
