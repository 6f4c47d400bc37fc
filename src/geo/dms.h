#pragma once

#include <optional>
#include <string_view>

// Splits decimal degrees into whole degrees, whole minutes and seconds, each truncated toward
// zero (so all three carry the sign of value). Seconds within 1e-5 of 60 carry into the
// minutes, and 59 minutes into the degrees. False (outputs zero) for a value that is not
// finite or does not fit an int.
bool ToDms(double value, int& degrees, int& minutes, double& seconds);

// Reads "<degrees>도 <minutes>분 <seconds>초" (UTF-8, blanks around the numbers allowed, e.g.
// "126도 54분 33.73742초") as decimal degrees; a minus sign on the degrees applies to the whole
// value. Nothing for a text of another form.
std::optional<double> ParseDms(std::string_view text);
