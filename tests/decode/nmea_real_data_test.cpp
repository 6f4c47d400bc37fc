// Real receiver captures through the decoder, checked against an independent reading of the
// same files.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "decode/nmea_parser.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

std::vector<std::filesystem::path> NmeaCaptures()
{
    auto files = testdata::FilesIn("nmea");
    for (auto& f : testdata::FilesIn("mixed")) files.push_back(f);
    return files;
}

// A plain reading of the file: lines, the last '$' before '*hh' at the line end, the XOR,
// and the fields. No code of the decoder is used.
struct PlainSentence {
    std::string address;
    std::vector<std::string> fields;
};

std::vector<PlainSentence> ReadValidSentences(const std::vector<std::uint8_t>& bytes)
{
    std::vector<PlainSentence> out;
    const std::string text(bytes.begin(), bytes.end());
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find_first_of("\r\n", lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        const std::size_t star = line.rfind('*');
        if (star == std::string::npos || star + 3 != line.size() || lineEnd == text.size())
            continue;
        const std::size_t dollar = line.rfind('$', star);
        if (dollar == std::string::npos) continue;
        unsigned sum = 0;
        for (std::size_t i = dollar + 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        if (line.compare(star + 1, 2, hex) != 0) continue;
        PlainSentence s;
        std::string body = line.substr(dollar + 1, star - dollar - 1);
        std::size_t from = 0;
        for (;;) {
            const std::size_t comma = body.find(',', from);
            s.fields.push_back(body.substr(from, comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        s.address = s.fields[0];
        out.push_back(std::move(s));
    }
    return out;
}

std::optional<std::uint64_t> PlainTime(const std::string& t)
{
    if (t.size() < 6 || t.find_first_not_of("0123456789") < 6) return std::nullopt;
    const int hh = std::stoi(t.substr(0, 2)), mm = std::stoi(t.substr(2, 2)),
              ss = std::stoi(t.substr(4, 2));
    if (mm > 59 || ss > 60) return std::nullopt;
    std::uint64_t ms = ((hh % 24) * 3600 + mm * 60 + ss) * 1000ull;
    if (t.size() > 7 && t[6] == '.' && std::isdigit(static_cast<unsigned char>(t[7]))) {
        ms += 100 * (t[7] - '0');
        if (t.size() > 8 && std::isdigit(static_cast<unsigned char>(t[8]))) ms += 10 * (t[8] - '0');
    }
    return ms;
}

// Epochs as the receiver meant them: a new time of a position sentence (GGA, RMC, GNS, GLL
// from a "G?" talker) starts one; ZDA keeps time only while no position sentence has a time.
std::size_t IndependentEpochCount(const std::vector<std::uint8_t>& bytes)
{
    struct Kind {
        const char* name;
        std::size_t minFields;
        std::size_t timeField;
        bool position;
    };
    static const Kind kKinds[] = {{"GGA", 14, 1, true},
                                  {"RMC", 9, 1, true},
                                  {"GNS", 13, 1, true},
                                  {"GLL", 6, 5, true},
                                  {"ZDA", 6, 1, false}};
    std::optional<std::uint64_t> current;
    bool positionClock = false;
    std::size_t changes = 0;
    for (const PlainSentence& s : ReadValidSentences(bytes)) {
        if (s.address.size() < 5 || s.address[0] != 'G') continue;
        const Kind* kind = nullptr;
        for (const Kind& k : kKinds)
            if (s.address.compare(2, 3, k.name) == 0) kind = &k;
        if (!kind || s.fields.size() < kind->minFields || s.fields.size() <= kind->timeField)
            continue;
        const auto t = PlainTime(s.fields[kind->timeField]);
        if (!t) continue;
        if (!kind->position && positionClock) continue;
        if (kind->position && !positionClock) {
            positionClock = true;
            if (current && *t < *current) {
                current = t;
                continue;
            }
        }
        if (current && *t != *current) ++changes;
        current = t;
    }
    return current ? changes + 1 : 0;
}

using EpochKey = std::tuple<std::uint64_t, double, double, double, int, int, int, float, float,
                            float, int, int, std::uint32_t>;

std::vector<EpochKey> Keys(const std::vector<GnssReceiverState>& epochs)
{
    std::vector<EpochKey> keys;
    for (const auto& s : epochs)
        keys.emplace_back(s.timeOfDayMs, s.latitudeDeg, s.longitudeDeg, s.ellipsoidHeight,
                          s.fixQuality, s.fixMode, s.satellitesUsed, s.hdop, s.pdop, s.speedKmh,
                          s.inViewTotal, s.usedTotal, s.contentFlags);
    return keys;
}

std::vector<GnssReceiverState> DecodeFile(const std::vector<std::uint8_t>& bytes, std::size_t block)
{
    RecordingOwner owner;
    owner.FeedInBlocks(bytes, block);
    return owner.epochs;
}

TEST(NmeaRealData, EpochCountsMatchAnIndependentReading)
{
    SKIP_WITHOUT_DATA();
    const auto files = NmeaCaptures();
    ASSERT_GE(files.size(), 20u);
    std::size_t total = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const auto bytes = testdata::ReadBytes(file);
        const auto epochs = DecodeFile(bytes, 10240);
        EXPECT_EQ(epochs.size(), IndependentEpochCount(bytes));
        total += epochs.size();
    }
    EXPECT_GT(total, 1900u);
}

TEST(NmeaRealData, EpochCountsMatchTheInventory)
{
    SKIP_WITHOUT_DATA();
    // Counts the capture inventory lists for these files.
    const std::map<std::string, std::size_t> expected = {
        {"nmea/gpsd_android-gpsdf_pglor_badck.log", 51},
        {"nmea/gpsd_ashtech-ac12_pashr_pos_binary.log", 5},
        {"nmea/gpsd_ericsson-gru04_ptnlr_gns.log", 71},
        {"nmea/gpsd_hemisphere_hdt_vtg_zda.log", 118},
        {"nmea/gpsd_oxts_pashr_25hz.log", 41},
        {"nmea/gpsd_quectel-l76k_5hz_bd.log", 151},
        {"nmea/gpsd_trimble_rtkfix_10hz.log", 122},
        {"nmea/gpsd_ublox-neo-5q_gga_badck.log", 23},
        {"nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log", 29},
        {"mixed/gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log", 655},
        {"mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log", 158},
        {"mixed/rtklib_ublox_nmea_rxmraw_truncated.ubx", 242},
    };
    for (const auto& [name, count] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(DecodeFile(testdata::ReadBytes(*testdata::DataDir() / name), 10240).size(),
                  count);
    }
}

TEST(NmeaRealData, BlockSizeDoesNotChangeTheEpochs)
{
    SKIP_WITHOUT_DATA();
    for (const auto& file : NmeaCaptures()) {
        SCOPED_TRACE(file.filename().string());
        const auto bytes = testdata::ReadBytes(file);
        const auto reference = Keys(DecodeFile(bytes, 10240));
        for (std::size_t block : {1, 7, 1024})
            EXPECT_EQ(Keys(DecodeFile(bytes, block)), reference) << block;
    }
}

TEST(NmeaRealData, ChecksumFailuresAsTheReceiversSentThem)
{
    SKIP_WITHOUT_DATA();
    const std::map<std::string, std::uint32_t> expected = {
        {"gpsd_android-gpsdf_pglor_badck.log", 46},
        {"gpsd_gp-320fw_coldboot_rollover_garbage.log", 33},
        {"gpsd_ublox-neo-5q_gga_badck.log", 23},
        {"gpsd_st-teseo-liv4f_gst_badck.log", 1},
        {"gpsd_ublox-neo-m9n_nmea41_gst_zda.log", 0},
    };
    for (const auto& [name, errors] : expected) {
        SCOPED_TRACE(name);
        RecordingOwner owner;
        owner.FeedInBlocks(testdata::ReadBytes(*testdata::DataDir() / "nmea" / name), 1024);
        EXPECT_EQ(owner.parser.ErrorCount(), errors);
    }
}

TEST(NmeaRealData, HandCheckedEpochs)
{
    SKIP_WITHOUT_DATA();
    const auto dir = *testdata::DataDir();
    {
        // $GNRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*07
        // $GNGGA,003956.00,4552.65403,S,17030.00668,E,1,12,0.64,14.2,M,1.8,M,,*56
        // four GNGSA (1.05,0.64,0.83) with 8 + 3 + 3 + 6 satellites, GSV 12 + 10 + 9 + 10
        const auto epochs = DecodeFile(
            testdata::ReadBytes(dir / "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log"), 10240);
        ASSERT_FALSE(epochs.empty());
        const GnssReceiverState& s = epochs[0];
        EXPECT_EQ(s.timeOfDayMs, 2396000u);
        EXPECT_NEAR(s.latitudeDeg, -45.877567167, 1e-9);
        EXPECT_NEAR(s.longitudeDeg, 170.500111333, 1e-9);
        EXPECT_NEAR(s.mslAltitude, 14.2, 1e-5);
        EXPECT_NEAR(s.ellipsoidHeight, 16.0, 1e-5);
        EXPECT_EQ(s.fixQuality, 1);
        EXPECT_EQ(s.satellitesUsed, 12);
        EXPECT_EQ(s.fixMode, 3);
        EXPECT_FLOAT_EQ(s.pdop, 1.05f);
        EXPECT_NEAR(s.speedKmh, 0.025 * 1.852, 1e-6);
        EXPECT_EQ(s.dateText, "20190412");  // the GNZDA after the RMC has the last word
        EXPECT_EQ(s.usedTotal, 20);
        EXPECT_EQ(s.usedCount[4], 3);
        EXPECT_EQ(s.usedCount[6], 6);
        EXPECT_EQ(s.inViewTotal, 41);
        EXPECT_EQ(s.inViewCount[1], 12);
        EXPECT_EQ(s.inViewCount[4], 9);
        EXPECT_TRUE(s.Has(0x3C730000u));
    }
    {
        // $GNGGA,132819.70,4134.49795443,N,09345.03431421,W,2,10,0.9,278.161,M,-31.442,M,6.6,0133*6B
        // $GNRMC,132819.70,A,4134.49795443,N,09345.03431421,W,0.355,139.060,180320,11.5985,E,D*32
        const auto epochs =
            DecodeFile(testdata::ReadBytes(dir / "nmea/gpsd_trimble_rtkfix_10hz.log"), 10240);
        ASSERT_GE(epochs.size(), 2u);
        const GnssReceiverState& s = epochs[1];
        EXPECT_EQ(s.timeOfDayMs, (13 * 3600 + 28 * 60 + 19) * 1000u + 700);
        EXPECT_NEAR(s.latitudeDeg, 41 + 34.49795443 / 60, 1e-10);
        EXPECT_NEAR(s.longitudeDeg, -(93 + 45.03431421 / 60), 1e-10);
        EXPECT_NEAR(s.ellipsoidHeight, 278.161 - 31.442, 1e-4);
        EXPECT_EQ(s.fixQuality, 2);
        EXPECT_EQ(s.stationId, "0133");
        EXPECT_NEAR(s.speedKmh, 0.355 * 1.852, 1e-5);
        EXPECT_FLOAT_EQ(s.courseDeg, 139.06f);
        EXPECT_EQ(epochs[1].timeOfDayMs - epochs[0].timeOfDayMs, 100u);
    }
}

}  // namespace
