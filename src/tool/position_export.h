#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "geo/coord_converter.h"
#include "tool/intake_choice.h"

// Positions of a receiver log written as a CSV table in one grid of the coordinate-system
// table, or as a GPX 1.1 track or a KML track in WGS84 degrees.

enum class ExportFormat { kCsv, kGpx, kKml };

// "csv", "gpx", "kml"; nothing for anything else.
std::optional<ExportFormat> ParseExportFormat(std::string_view text);
// ".csv", ".gpx", ".kml".
std::string_view ExportExtension(ExportFormat format);

inline constexpr std::size_t kExportBlock = 4096;
inline constexpr std::string_view kExportCsvHeader = "time,north,east,altitude,quality\r\n";

struct ExportOptions {
    ExportFormat format = ExportFormat::kCsv;
    // CSV grid row; row 10 writes latitude as north and longitude as east.
    int gridRow = kUtmKRow;
    IntakeChoice choice;
    // Called after each block with the bytes read so far and the file size.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Checked before each block; set from another thread to stop.
    const std::atomic<bool>* cancel = nullptr;
    // Replaces the grid projection (tests use it to make positions fail); longitude and
    // latitude in, easting and northing out.
    std::function<CoordConverter::Status(double lon, double lat, double& east, double& north)>
        project;
};

enum class ExportOutcome {
    kDone,
    kCannotOpen,    // the log cannot be read
    kCannotCreate,  // the output cannot be created in its folder
    kReadError,
    kWriteError,
    kCancelled,
    kBadGridRow,
};

struct ExportResult {
    ExportOutcome outcome = ExportOutcome::kDone;
    std::uint64_t positions = 0;  // written
    std::uint64_t skipped = 0;    // positions the grid projection failed on
    std::uint64_t bytes = 0;      // of the log read
    bool Ok() const { return outcome == ExportOutcome::kDone; }
};

// Reads inPath through the window's intake in kExportBlock blocks and writes every shown
// epoch with position and time. The output is built under a temporary name beside outPath
// and renamed onto it only when complete; on failure or cancel the temporary file is removed
// and outPath is left as it was.
ExportResult ExportPositions(const std::string& inPath, const std::string& outPath,
                             const ExportOptions& options);

// English one-line account of a result for the command line.
std::string ExportSummary(const ExportResult& result, const std::string& outPath);
