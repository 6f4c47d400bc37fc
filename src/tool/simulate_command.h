#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool simulate [--rate HZ] [--seconds N] [--start HHMMSS] [--lat DEG --lon DEG] [--seed
// N] Writes the simulated receiver's bytes to out; returns the process exit code.
int RunSimulate(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
