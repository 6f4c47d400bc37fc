#include "tool/position_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "intake/intake_dispatcher.h"
#include "intake/intake_listener.h"
#include "tool/tool_text.h"

namespace {

namespace fs = std::filesystem;

std::string XmlEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// "yyyy-mm-ddThh:mm:ss.sssZ" from the ddmmyy date and the time of day; empty without a date.
std::string IsoTime(const GnssReceiverState& s)
{
    const std::string& d = s.dateText;
    if (d.size() != 6 || d.find_first_not_of("0123456789") != std::string::npos ||
        s.timeOfDayMs == kNoTime)
        return {};
    const int day = std::stoi(d.substr(0, 2));
    const int month = std::stoi(d.substr(2, 2));
    const int year = 2000 + std::stoi(d.substr(4, 2));
    if (day < 1 || day > 31 || month < 1 || month > 12) return {};
    const std::uint64_t ms = s.timeOfDayMs % 86400000;
    char text[40];
    std::snprintf(text, sizeof text,
                  "%04d-%02d-%02dT%02" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64 "Z", year,
                  month, day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return text;
}

// GPX fix kinds: none, 2d, 3d, dgps, pps; RTK counts as differential.
const char* GpxFix(const GnssReceiverState& s)
{
    switch (s.fixQuality) {
        case 0: return "none";
        case 2:
        case 4:
        case 5: return "dgps";
        case 3: return "pps";
        default: return s.fixMode == 2 ? "2d" : "3d";
    }
}

// Buffered writes to a file descriptor; remembers the first failure.
class COutput {
public:
    explicit COutput(int fd) : file_(::fdopen(fd, "wb"))
    {
        if (file_ == nullptr) {
            ::close(fd);
            failed_ = true;
        } else {
            std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
        }
    }
    ~COutput() { Close(); }
    COutput(const COutput&) = delete;
    COutput& operator=(const COutput&) = delete;

    void Write(std::string_view text)
    {
        if (!failed_ && std::fwrite(text.data(), 1, text.size(), file_) != text.size())
            failed_ = true;
    }
    // False when anything failed, including the final flush.
    bool Close()
    {
        if (file_ != nullptr) {
            if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) failed_ = true;
            if (std::fclose(file_) != 0) failed_ = true;
            file_ = nullptr;
        }
        return !failed_;
    }
    bool Failed() const { return failed_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// Writes one format; Point sees every epoch with position and time.
class CPointWriter {
public:
    explicit CPointWriter(COutput& out) : out_(out) {}
    virtual ~CPointWriter() = default;
    virtual void Begin(const std::string& name) = 0;
    // False when the position is skipped.
    virtual bool Point(const GnssReceiverState& s) = 0;
    virtual void End() = 0;

protected:
    COutput& out_;
};

class CCsvWriter final : public CPointWriter {
public:
    CCsvWriter(COutput& out, const ExportOptions& options)
        : CPointWriter(out), converter_(kGeographicRow, options.gridRow), project_(options.project)
    {
        geographic_ = options.gridRow == kGeographicRow;
    }
    void Begin(const std::string&) override { out_.Write(kExportCsvHeader); }
    bool Point(const GnssReceiverState& s) override
    {
        double east = 0;
        double north = 0;
        const CoordConverter::Status status =
            project_ ? project_(s.longitudeDeg, s.latitudeDeg, east, north)
                     : converter_.Convert(s.longitudeDeg, s.latitudeDeg, east, north);
        if (!status.Ok() || !std::isfinite(east) || !std::isfinite(north)) return false;
        // Degrees need more than millimetre decimals.
        const int decimals = geographic_ ? 9 : 3;
        out_.Write(s.timeText + ',' + Fixed(north, decimals) + ',' + Fixed(east, decimals) + ',' +
                   Fixed(s.ellipsoidHeight, 3) + ',' + std::to_string(s.fixQuality) + "\r\n");
        return true;
    }
    void End() override {}

private:
    CoordConverter converter_;
    std::function<CoordConverter::Status(double, double, double&, double&)> project_;
    bool geographic_ = false;
};

class CGpxWriter final : public CPointWriter {
public:
    using CPointWriter::CPointWriter;
    void Begin(const std::string& name) override
    {
        out_.Write(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gpx version=\"1.1\" creator=\"Skarnet2\" "
            "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
            "<trk><name>");
        out_.Write(XmlEscaped(name));
        out_.Write("</name><trkseg>\n");
    }
    bool Point(const GnssReceiverState& s) override
    {
        std::string line = "<trkpt lat=\"" + Fixed(s.latitudeDeg, 9) + "\" lon=\"" +
                           Fixed(s.longitudeDeg, 9) + "\"><ele>" + Fixed(s.mslAltitude, 3) +
                           "</ele>";
        const std::string time = IsoTime(s);
        if (!time.empty()) line += "<time>" + time + "</time>";
        line += std::string("<fix>") + GpxFix(s) + "</fix>";
        if (s.satellitesUsed >= 0) line += "<sat>" + std::to_string(s.satellitesUsed) + "</sat>";
        out_.Write(line + "</trkpt>\n");
        return true;
    }
    void End() override { out_.Write("</trkseg></trk>\n</gpx>\n"); }
};

// Placemarks stream out as they come; the track's coordinates wait for the end.
class CKmlWriter final : public CPointWriter {
public:
    using CPointWriter::CPointWriter;
    void Begin(const std::string& name) override
    {
        out_.Write(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document><name>");
        out_.Write(XmlEscaped(name));
        out_.Write("</name>\n<Folder><name>positions</name>\n");
    }
    bool Point(const GnssReceiverState& s) override
    {
        const std::string coordinates = Fixed(s.longitudeDeg, 9) + ',' + Fixed(s.latitudeDeg, 9) +
                                        ',' + Fixed(s.mslAltitude, 3);
        out_.Write("<Placemark><name>" + XmlEscaped(s.timeText) + "</name><Point><coordinates>" +
                   coordinates + "</coordinates></Point></Placemark>\n");
        track_ += coordinates;
        track_ += '\n';
        return true;
    }
    void End() override
    {
        out_.Write(
            "</Folder>\n<Placemark><name>track</name><LineString><altitudeMode>absolute"
            "</altitudeMode><coordinates>\n");
        out_.Write(track_);
        out_.Write("</coordinates></LineString></Placemark>\n</Document>\n</kml>\n");
    }

private:
    std::string track_;
};

class CExportListener final : public IIntakeListener {
public:
    CExportListener(CPointWriter& writer, ExportResult& result) : writer_(writer), result_(result)
    {
    }
    bool OnRefreshViews(GnssReceiverState& s) override
    {
        if (!s.Has(ContentFlag::Position | ContentFlag::TimeOfDay)) return false;
        if (writer_.Point(s)) {
            ++result_.positions;
        } else {
            ++result_.skipped;
        }
        return true;
    }
    void OnRawLine(std::string_view, bool) override {}
    void OnErrorLine(std::string_view) override {}

private:
    CPointWriter& writer_;
    ExportResult& result_;
};

// A new file beside target that nobody else uses, opened for writing; -1 when none.
int CreateTemporary(const fs::path& target, fs::path& name)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder / ("." + target.filename().string() + ".part" + std::to_string(::getpid()) +
                         "-" + std::to_string(attempt));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

std::unique_ptr<CPointWriter> MakeWriter(COutput& out, const ExportOptions& options)
{
    switch (options.format) {
        case ExportFormat::kGpx: return std::make_unique<CGpxWriter>(out);
        case ExportFormat::kKml: return std::make_unique<CKmlWriter>(out);
        case ExportFormat::kCsv: break;
    }
    return std::make_unique<CCsvWriter>(out, options);
}

}  // namespace

std::optional<ExportFormat> ParseExportFormat(std::string_view text)
{
    if (text == "csv") return ExportFormat::kCsv;
    if (text == "gpx") return ExportFormat::kGpx;
    if (text == "kml") return ExportFormat::kKml;
    return std::nullopt;
}

std::string_view ExportExtension(ExportFormat format)
{
    switch (format) {
        case ExportFormat::kGpx: return ".gpx";
        case ExportFormat::kKml: return ".kml";
        case ExportFormat::kCsv: break;
    }
    return ".csv";
}

ExportResult ExportPositions(const std::string& inPath, const std::string& outPath,
                             const ExportOptions& options)
{
    ExportResult result;
    if (options.format == ExportFormat::kCsv && FindCoordSystem(options.gridRow) == nullptr) {
        result.outcome = ExportOutcome::kBadGridRow;
        return result;
    }
    std::ifstream in(inPath, std::ios::binary);
    if (!in) {
        result.outcome = ExportOutcome::kCannotOpen;
        return result;
    }
    std::error_code ec;
    const std::uint64_t total = fs::file_size(inPath, ec);

    fs::path temporary;
    const int fd = CreateTemporary(outPath, temporary);
    if (fd < 0) {
        result.outcome = ExportOutcome::kCannotCreate;
        return result;
    }
    auto out = std::make_unique<COutput>(fd);
    const auto writer = MakeWriter(*out, options);
    writer->Begin(fs::path(inPath).filename().string());

    CExportListener listener(*writer, result);
    CIntakeDispatcher intake(listener);
    options.choice.ApplyTo(intake);
    std::vector<std::uint8_t> block(kExportBlock);
    while (result.outcome == ExportOutcome::kDone) {
        if (options.cancel != nullptr && options.cancel->load()) {
            result.outcome = ExportOutcome::kCancelled;
            break;
        }
        in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        result.bytes += got;
        intake.Arrive(std::span<const std::uint8_t>(block).first(got));
        if (out->Failed()) result.outcome = ExportOutcome::kWriteError;
        if (options.progress) options.progress(result.bytes, std::max(total, result.bytes));
    }
    if (result.outcome == ExportOutcome::kDone && in.bad())
        result.outcome = ExportOutcome::kReadError;
    if (result.outcome == ExportOutcome::kDone) {
        intake.IdleFlush();
        writer->End();
        if (!out->Close()) result.outcome = ExportOutcome::kWriteError;
    }
    out.reset();
    if (result.outcome == ExportOutcome::kDone) {
        fs::rename(temporary, outPath, ec);
        if (ec) result.outcome = ExportOutcome::kWriteError;
    }
    if (!result.Ok()) fs::remove(temporary, ec);
    return result;
}

std::string ExportSummary(const ExportResult& result, const std::string& outPath)
{
    std::string text;
    switch (result.outcome) {
        case ExportOutcome::kDone:
            text = std::to_string(result.positions) + " positions written to '" + outPath + "'";
            if (result.skipped > 0) {
                text += ", " + std::to_string(result.skipped) + " skipped (" +
                        std::string(CoordConverter::kLatitudeFailedToConverge) + ")";
            }
            return text;
        case ExportOutcome::kCannotOpen: return "cannot open the log";
        case ExportOutcome::kCannotCreate: return "cannot create '" + outPath + "'";
        case ExportOutcome::kBadGridRow: return "no such grid row";
        case ExportOutcome::kReadError: text = "read error"; break;
        case ExportOutcome::kWriteError: text = "cannot write '" + outPath + "'"; break;
        case ExportOutcome::kCancelled: text = "cancelled"; break;
    }
    return text + "; the partial output was removed";
}
