#include "tool/export_command.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "geo/coord_system_table.h"
#include "tool/position_export.h"
#include "tool/tool_text.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool export: ";

struct ExportArgs {
    std::string path;
    std::string out;
    std::optional<ExportFormat> format;
    ExportOptions options;
};

bool ParseGridRow(std::string_view text, int& row)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), row);
    return ec == std::errc{} && end == text.data() + text.size() && FindCoordSystem(row) != nullptr;
}

bool ParseOption(std::span<const std::string_view> args, std::size_t& i, ExportArgs& parsed,
                 std::ostream& err)
{
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    const std::string_view value = hasValue ? args[i + 1] : "";
    if (arg == "--format") {
        parsed.format = ParseExportFormat(value);
        if (!parsed.format) {
            err << kPrefix << "--format must be csv, gpx or kml\n";
            return false;
        }
    } else if (arg == "--grid") {
        if (!hasValue || !ParseGridRow(value, parsed.options.gridRow)) {
            err << kPrefix << "--grid needs a table row from 0 to " << kCoordSystemCount - 1
                << "\n";
            return false;
        }
    } else if (arg == "--out") {
        if (value.empty()) {
            err << kPrefix << "--out needs a path\n";
            return false;
        }
        parsed.out = value;
    } else {
        err << kPrefix << "unknown option '" << arg << "'\n";
        return false;
    }
    ++i;
    return true;
}

}  // namespace

std::string DefaultExportPath(const std::string& logPath, std::string_view extension)
{
    std::filesystem::path path(logPath);
    if (path.extension() == extension) return logPath + std::string(extension);
    return path.replace_extension(extension).string();
}

int RunExport(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    ExportArgs parsed;
    if (!ParseLogArguments(args, parsed.path, kPrefix, "exported", err,
                           [&](std::size_t& i) { return ParseOption(args, i, parsed, err); }))
        return 2;
    if (!parsed.format) {
        err << kPrefix << "--format must be csv, gpx or kml\n";
        return 2;
    }
    parsed.options.format = *parsed.format;
    if (parsed.out.empty())
        parsed.out = DefaultExportPath(parsed.path, ExportExtension(*parsed.format));
    std::error_code ec;
    if (std::filesystem::equivalent(parsed.path, parsed.out, ec)) {
        err << kPrefix << "the output would replace the log\n";
        return 2;
    }

    const ExportResult result = ExportPositions(parsed.path, parsed.out, parsed.options);
    if (result.outcome == ExportOutcome::kCannotOpen) {
        err << kPrefix << "cannot open '" << parsed.path << "'\n";
        return 1;
    }
    if (!result.Ok()) {
        err << kPrefix << ExportSummary(result, parsed.out) << "\n";
        return 1;
    }
    out << ExportSummary(result, parsed.out) << "\n";
    return out ? 0 : 1;
}
