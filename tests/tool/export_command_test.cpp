#include "tool/export_command.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "geo/coord_converter.h"
#include "support/recording_owner.h"
#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/decode_command.h"
#include "tool/position_export.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Capture(const char* name) { return (*testdata::DataDir() / name).string(); }

// A folder of its own, so leftovers of the temporary output show.
fs::path Folder()
{
    const fs::path folder = testdata::UniqueTempPath("export");
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::size_t FileCount(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

const char* const kCaptures[] = {
    "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log",
    "ubx/gpsd_ublox-neo-m8p_4hz_relposned.log",
    "mixed/pyubx2_ublox-m8_nmea_ubx_39s.log",
};

// The WGS84 points (lat, lon) of a GPX file's trkpt attributes, or of a KML file's
// "lon,lat,alt" coordinate texts (its placemarks and its track).
std::vector<std::pair<double, double>> ReadXml(const fs::path& path)
{
    QFile file(QString::fromStdString(path.string()));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<std::pair<double, double>> read;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == u"trkpt")
            read.emplace_back(a.value("lat").toDouble(), a.value("lon").toDouble());
        if (xml.name() != u"coordinates") continue;
        for (const QString& point : xml.readElementText().split('\n', Qt::SkipEmptyParts)) {
            const QStringList p = point.split(',');
            read.emplace_back(p[1].toDouble(), p[0].toDouble());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return read;
}

// CSV rows in the grid asked for; GPX and KML points in degrees whatever the grid.
TEST(PositionExport, RowsAreTheDecodedPositions)
{
    SKIP_WITHOUT_DATA();
    const fs::path folder = Folder();
    const struct {
        const char* file;
        int row;
    } cases[] = {{kCaptures[0], 13}, {kCaptures[1], 5}, {kCaptures[2], 12}, {kCaptures[0], 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto decoded = DecodedRows({Capture(c.file)});
        const fs::path out = folder / "out.csv";
        ExportOptions options;
        options.gridRow = c.row;
        const ExportResult result = ExportPositions(Capture(c.file), out.string(), options);
        ASSERT_TRUE(result.Ok());
        const std::string text = ReadText(out);
        ASSERT_EQ(text.rfind(kExportCsvHeader, 0), 0u);
        const auto lines = Lines(text);
        ASSERT_EQ(lines.size(), decoded.size() + 1);
        ASSERT_GT(decoded.size(), 20u);
        EXPECT_EQ(result.positions, decoded.size());
        const CoordConverter converter(kGeographicRow, c.row);
        const double tolerance = c.row == kGeographicRow ? 1e-9 : 1e-3;
        std::int64_t firstLag = 0;
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            const auto& d = decoded[i];
            const auto csv = Fields(lines[i + 1].substr(0, lines[i + 1].size() - 1));  // CR
            ASSERT_EQ(csv.size(), 5u);
            double east = 0, north = 0;
            ASSERT_TRUE(converter.Convert(std::stod(d[2]), std::stod(d[1]), east, north).Ok());
            // UBX time texts are UTC, the decoded time of day GPS time.
            const std::int64_t lag = DayMs(csv[0]) / 1000 - DayMs(d[0]) / 1000;
            if (i == 0) firstLag = lag;
            EXPECT_TRUE(lag == firstLag && std::abs(lag) <= 18) << lag;
            EXPECT_NEAR(std::stod(csv[1]), north, tolerance);
            EXPECT_NEAR(std::stod(csv[2]), east, tolerance);
            EXPECT_EQ(csv[3], d[3]);
            EXPECT_EQ(csv[4], d[5]);
        }
        for (const ExportFormat format : {ExportFormat::kGpx, ExportFormat::kKml}) {
            const fs::path track = folder / ("out" + std::string(ExportExtension(format)));
            options.format = format;
            ASSERT_TRUE(ExportPositions(Capture(c.file), track.string(), options).Ok());
            const auto xml = ReadXml(track);
            const std::size_t n = decoded.size();
            ASSERT_EQ(xml.size(), format == ExportFormat::kKml ? 2 * n : n);
            EXPECT_TRUE(std::equal(xml.begin() + n, xml.end(), xml.begin()));  // KML's track
            for (const std::size_t i : {std::size_t{0}, n - 1}) {
                EXPECT_NEAR(xml[i].first, std::stod(decoded[i][1]), 1e-9);
                EXPECT_NEAR(xml[i].second, std::stod(decoded[i][2]), 1e-9);
            }
        }
        EXPECT_EQ(FileCount(folder), 3u);
    }
}

// GPX knows none, 2d, 3d, dgps and pps: every differential kind (DGPS, RTK fixed and float) is
// dgps, and a 2D fix from GSA is 2d.
TEST(PositionExport, GpxFixFollowsTheFixQuality)
{
    const fs::path folder = Folder(), in = folder / "fixes.log", out = folder / "fixes.gpx";
    std::ofstream log(in, std::ios::binary);
    const char* const times[] = {"120000", "120001", "120002", "120003", "120004", "120005"};
    for (int q = 1; q <= 6; ++q) {
        const std::string mode = q == 6 ? "2" : "3";
        log << Sentence("GPGGA," + std::string(times[q - 1]) + ".00,3730.000,N,12700.000,E," +
                        std::to_string(q) + ",08,0.9,50.0,M,20.0,M,,")
            << Sentence("GPGSA,A," + mode + ",01,02,03,04,,,,,,,,,1.5,0.9,1.2")
            << Sentence("GPRMC," + std::string(times[q - 1]) +
                        ".00,A,3730.000,N,12700.000,E,0.0,0.0,070126,,,A");
    }
    log.close();
    ExportOptions options;
    options.format = ExportFormat::kGpx;
    ASSERT_TRUE(ExportPositions(in.string(), out.string(), options).Ok());
    const std::string gpx = ReadText(out);
    std::vector<std::string> fixes;
    for (std::size_t at = gpx.find("<fix>"); at != std::string::npos;
         at = gpx.find("<fix>", at + 1))
        fixes.push_back(gpx.substr(at + 5, gpx.find('<', at + 5) - at - 5));
    EXPECT_EQ(fixes, (std::vector<std::string>{"3d", "dgps", "pps", "dgps", "dgps", "2d"}));
    // 7 January, not 1 July.
    EXPECT_NE(gpx.find("<time>2026-01-07T12:00:05.000Z</time>"), std::string::npos) << gpx;
}

TEST(PositionExport, LineAcrossTwoBlocksIsExportedOnceAndNoPositionsGiveTheHeader)
{
    SKIP_WITHOUT_DATA();
    const fs::path folder = Folder();
    const std::string log = ReadText(Capture(kCaptures[0]));
    const fs::path out = folder / "out.csv";
    ASSERT_TRUE(ExportPositions(Capture(kCaptures[0]), out.string(), {}).Ok());
    const std::string baseline = ReadText(out);
    // The last GGA starting early enough to be pushed across the first block boundary by a
    // TXT sentence of at least 25 bytes.
    const std::size_t gga = log.rfind("GGA,", kExportBlock - 60) - 3;
    for (const std::size_t inside : {std::size_t{1}, std::size_t{10}, std::size_t{30}}) {
        const std::size_t pad = kExportBlock - inside - gga;
        std::string txt;
        // A TXT sentence is 21 bytes plus its text.
        while (pad - txt.size() >= 76) txt += Sentence("GPTXT,01,01,02," + std::string(25, 'x'));
        txt += Sentence("GPTXT,01,01,02," + std::string(pad - txt.size() - 21, 'x'));
        ASSERT_EQ(txt.size(), pad);
        const fs::path in = folder / "split.log";
        std::ofstream(in, std::ios::binary) << txt << log;
        ASSERT_TRUE(ExportPositions(in.string(), out.string(), {}).Ok());
        EXPECT_EQ(ReadText(out), baseline) << inside;
    }
    const fs::path none = folder / "none.log";
    std::ofstream(none, std::ios::binary)
        << Sentence("GPTXT,01,01,02,no fix") << Sentence("GPGSV,1,1,01,05,40,083,46");
    const ExportResult result = ExportPositions(none.string(), out.string(), {});
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(result.positions, 0u);
    EXPECT_EQ(ReadText(out), kExportCsvHeader);
}

TEST(PositionExport, FailuresLeaveNoTemporaryFileAndProjectionFailuresAreCounted)
{
    SKIP_WITHOUT_DATA();
    const fs::path folder = Folder();
    const std::string in = Capture(kCaptures[1]);
    const fs::path out = folder / "out.csv";
    std::ofstream(out) << "old";

    std::atomic<bool> cancel{false};
    std::uint64_t lastDone = 0, lastTotal = 0;
    ExportOptions options;
    options.cancel = &cancel;
    options.progress = [&](std::uint64_t done, std::uint64_t total) {
        lastDone = done;
        lastTotal = total;
        if (done >= 2 * kExportBlock) cancel = true;
    };
    ExportResult result = ExportPositions(in, out.string(), options);
    EXPECT_EQ(result.outcome, ExportOutcome::kCancelled);
    EXPECT_EQ(lastDone, 2 * kExportBlock);
    EXPECT_EQ(lastTotal, fs::file_size(in));
    EXPECT_EQ(ReadText(out), "old");
    EXPECT_EQ(FileCount(folder), 1u);

    EXPECT_EQ(ExportPositions(in, (folder / "missing" / "x.csv").string(), {}).outcome,
              ExportOutcome::kCannotCreate);
    EXPECT_EQ(ExportPositions((folder / "nothing.log").string(), out.string(), {}).outcome,
              ExportOutcome::kCannotOpen);

    // Every other position fails to converge; the rest are still written.
    int call = 0;
    options = {};
    options.project = [&call](double lon, double lat, double& east, double& north) {
        east = lon;
        north = lat;
        return ++call % 2 == 0 ? CoordConverter::Status{CoordConverter::kLatitudeFailedToConverge}
                               : CoordConverter::Status{};
    };
    result = ExportPositions(in, out.string(), options);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.skipped, static_cast<std::uint64_t>(call / 2));
    EXPECT_EQ(result.positions + result.skipped, static_cast<std::uint64_t>(call));
    EXPECT_EQ(Lines(ReadText(out)).size(), result.positions + 1);
    EXPECT_NE(ExportSummary(result, "x").find("skipped (Latitude failed to converge)"),
              std::string::npos);
    EXPECT_EQ(FileCount(folder), 1u);
}

TEST(ExportCommand, DefaultOutputReplacesTheLastExtension)
{
    EXPECT_EQ(DefaultExportPath("/d/run.log", ".csv"), "/d/run.csv");
    EXPECT_EQ(DefaultExportPath("/d/run", ".kml"), "/d/run.kml");
    EXPECT_EQ(DefaultExportPath("/d/run.csv", ".csv"), "/d/run.csv.csv");
}

}  // namespace
