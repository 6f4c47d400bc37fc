#pragma once

#include <optional>
#include <string>
#include <string_view>

// Number texts of the tool's arguments and output, independent of the locale.

// A whole finite number; nothing for anything else.
std::optional<double> ParseDouble(std::string_view text);
// "LAT,LON" in degrees within ±90 / ±180.
bool ParseReference(std::string_view text, double& latitude, double& longitude);
// Fixed-point text with the given decimals ("nan" when it cannot be written).
std::string Fixed(double value, int decimals);
