#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool decode FILE [--block N]
// Prints one CSV line per completed epoch and a summary; returns the process exit code.
int RunDecode(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
