#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool geoid LAT LON
// Prints the geoid height of the Korean grid at the point in metres ("%.3f"; 0.000 outside the
// grid). Returns 2 with one error line for bad arguments, else 0.
int RunGeoid(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
