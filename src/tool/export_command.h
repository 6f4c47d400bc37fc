#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

// skarnet2-tool export FILE --format csv|gpx|kml [--grid ROW] [--out PATH]
// Writes the log's positions as CSV in grid ROW (default 13, GRS80 UTM-K), or as a GPX or
// KML track; returns the process exit code (2 for wrong arguments).
int RunExport(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

// The output when --out is absent: the log's path with its extension replaced by the
// format's (appended instead when the log already has that extension, so the log is never
// the output).
std::string DefaultExportPath(const std::string& logPath, std::string_view extension);
