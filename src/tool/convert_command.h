#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool convert --from ROW --to ROW A B
// Converts one coordinate between two rows of the coordinate-system table. A B are
// (longitude, latitude) in degrees when the source row is geographic (decimal, or DMS texts
// such as "126도 52분 52.356초"), otherwise (easting, northing) in metres. Prints a grid result
// with four decimals, a geographic one with nine and in degrees, minutes and seconds. Returns
// 2 for bad arguments, 1 when the conversion fails, else 0.
int RunConvert(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
