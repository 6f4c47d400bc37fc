#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Number texts of the tool's arguments and output, independent of the locale.

// A whole finite number; nothing for anything else.
std::optional<double> ParseDouble(std::string_view text);
// "LAT,LON" in degrees within ±90 / ±180.
bool ParseReference(std::string_view text, double& latitude, double& longitude);
// Fixed-point text with the given decimals ("nan" when it cannot be written).
std::string Fixed(double value, int decimals);

// The arguments of a command that reads one log: every argument starting with '-' goes to
// option (which may step i over its value); the one other argument is the path. False with a
// message on err ("<prefix>only one log file can be <verb> at a time") when something is wrong.
bool ParseLogArguments(std::span<const std::string_view> args, std::string& path,
                       std::string_view prefix, std::string_view verb, std::ostream& err,
                       const std::function<bool(std::size_t& i)>& option);
