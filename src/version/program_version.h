#pragma once

// The program's version, for the window title, the about box and both programs' --version.
namespace program_version {
inline constexpr int kMajor = 2;
inline constexpr int kMinor = 9;
inline constexpr int kBuildDate = 20230531;
// "2.09 (20230531)"
inline constexpr const char* kText = "2.09 (20230531)";
}  // namespace program_version
