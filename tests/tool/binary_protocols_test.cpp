#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/decode_command.h"
#include "tool/receiver_simulator.h"
#include "tool/simulate_command.h"

namespace {

using namespace std::string_literals;
using Bytes = std::string;
using Rows = std::vector<std::vector<std::string>>;

Rows Decode(const Bytes& log, std::string_view block = "10240")
{
    return DecodedRows({WriteTemp("binary.log", log), "--block", block});
}

unsigned U8(const Bytes& b, std::size_t at) { return static_cast<unsigned char>(b[at]); }
unsigned Le16(const Bytes& b, std::size_t at) { return U8(b, at) | U8(b, at + 1) << 8; }

// Frame checks from the published layouts, independent of the simulator: the length of the
// valid frame at `at`, else 0.
std::size_t UbxFrame(const Bytes& b, std::size_t at)
{
    const std::size_t n = at + 6 <= b.size() ? Le16(b, at + 4) + 8 : 0;
    if (n == 0 || at + n > b.size()) return 0;
    unsigned a = 0, c = 0;
    for (std::size_t i = at + 2; i < at + n - 2; ++i) a = (a + U8(b, i)) & 0xFF, c = (c + a) & 0xFF;
    const bool ok = b.compare(at, 2, "\xB5\x62") == 0 && a == U8(b, at + n - 2);
    return ok && c == U8(b, at + n - 1) ? n : 0;
}

std::size_t SbfBlock(const Bytes& b, std::size_t at)
{
    const std::size_t n = at + 8 <= b.size() ? Le16(b, at + 6) : 0;
    if (n < 8 || at + n > b.size()) return 0;
    unsigned crc = 0;
    for (std::size_t i = at * 8 + 32; i < (at + n) * 8; ++i) {  // bit by bit, MSB first
        const unsigned bit = (U8(b, i / 8) >> (7 - i % 8) ^ crc >> 15) & 1;
        crc = (crc << 1 ^ (bit ? 0x1021 : 0)) & 0xFFFF;
    }
    return b.compare(at, 2, "$@") == 0 && n % 4 == 0 && crc == Le16(b, at + 2) ? n : 0;
}

std::size_t GsofPacket(const Bytes& b, std::size_t at)
{
    const std::size_t n = at + 4 <= b.size() ? U8(b, at + 3) + 6 : 0;
    if (n == 0 || at + n > b.size()) return 0;
    unsigned sum = 0;
    for (std::size_t i = at + 1; i < at + n - 2; ++i) sum += U8(b, i);
    const bool ok = U8(b, at) == 2 && U8(b, at + 2) == 0x40 && U8(b, at + n - 1) == 3;
    return ok && (sum & 0xFF) == U8(b, at + n - 2) && U8(b, at + 5) <= U8(b, at + 6) ? n : 0;
}

const struct Case {
    SimulatedProtocol protocol;
    double degrees;  // position resolution, NMEA's 1e-7 minute included
    std::size_t (*frame)(const Bytes&, std::size_t);
    std::int64_t aheadOfUtcMs;
} kCases[] = {{SimulatedProtocol::Ubx, 1.1e-7, UbxFrame, 18000},
              {SimulatedProtocol::Sbf, 2e-9, SbfBlock, 18000},
              {SimulatedProtocol::Gsof, 2e-9, GsofPacket, 18000},
              // The window's AUTO sync takes the positions of NMEA beside UBX.
              {SimulatedProtocol::Mixed, 1.1e-7, nullptr, 0}};

// Across midnight and the GPS week change (5 Dec 2026 is a Saturday): every frame checks,
// and the binary protocols give the NMEA epochs in GPS time, 18 s ahead of UTC, with the
// same positions to their resolution.
TEST(BinaryProtocols, SimulateThenDecodeGivesTheNmeaEpochs)
{
    SimulatorOptions options;
    options.rateHz = 5;
    options.startHhmmss = 235930;
    const Rows nmea = Decode(Simulated(options, SimulatedProtocol::Nmea));
    ASSERT_EQ(nmea.size(), 300u);
    // The NMEA epochs themselves: every 0.2 s across midnight, near the start point, with a fix.
    EXPECT_EQ(nmea[1][0].substr(0, 10) + nmea[150][0].substr(0, 10), "235930.200000000.000");
    EXPECT_NEAR(std::stod(nmea[299][2]), options.longitudeDeg, 0.001);
    EXPECT_GE(std::stoi(nmea[299][5]), 1);
    for (const Case& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.protocol));
        const Bytes log = Simulated(options, c.protocol);
        std::size_t frames = 0, laterPages = 0;
        for (std::size_t at = 0; c.frame && at < log.size(); ++frames) {
            const std::size_t n = c.frame(log, at);
            ASSERT_GT(n, 0u) << "byte " << at;
            laterPages += c.frame == GsofPacket && U8(log, at + 5) > 0;
            at += n;
        }
        EXPECT_GE(frames, c.frame ? 3 * nmea.size() : 0);
        EXPECT_GE(laterPages, c.frame == GsofPacket ? nmea.size() : 0);

        const Rows rows = Decode(log);
        ASSERT_EQ(rows.size(), nmea.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(DayMs(rows[i][0]), (DayMs(nmea[i][0]) + c.aheadOfUtcMs) % 86400000);
            EXPECT_NEAR(std::stod(rows[i][1]), std::stod(nmea[i][1]), c.degrees) << i;
            EXPECT_NEAR(std::stod(rows[i][2]), std::stod(nmea[i][2]), c.degrees) << i;
            EXPECT_NEAR(std::stod(rows[i][3]), std::stod(nmea[i][3]), 0.0011) << i;
        }
    }
}

std::vector<Bytes> SimulatedLogs()
{
    SimulatorOptions options;
    options.rateHz = 2;
    options.seconds = 8;
    std::vector<Bytes> logs;
    for (const Case& c : kCases) logs.push_back(Simulated(options, c.protocol));
    return logs;
}

// Output does not depend on how the bytes arrive, nor on a capture that starts inside a frame
// (whose signatures, a rejected sentence and a corrupt frame must not decide anything).
TEST(BinaryProtocols, DecodeDoesNotDependOnBlockSizeOrACutStart)
{
    std::vector<Bytes> logs = SimulatedLogs();
    if (const auto dir = testdata::DataDir()) {
        const auto bytes =
            testdata::ReadBytes(*dir / "ubx/gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log");
        logs.emplace_back(bytes.begin(), bytes.end());
    }
    const Bytes cut = "\x02\x08\x40\x05-$GPGGA,1*00\r\n\xB5\x62\x01\x07\x00\x00\x01\x02$@xx"s;
    for (const Bytes& log : logs) {
        const Rows expected = Decode(log);
        ASSERT_GE(expected.size(), 16u);
        for (const char* block : {"1", "7", "1024"}) {
            EXPECT_EQ(Decode(log, block), expected) << block;
            EXPECT_EQ(Decode(cut + log, block), expected) << "cut, " << block;
        }
    }
}

// Fields of the sentences with this address, without "$", "*hh" and CR LF.
Rows Sentences(const std::string& bytes, std::string_view address)
{
    Rows result;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size() + 1, 120u) << line;  // high-precision positions, CR LF included
        line = line.substr(1, line.find('*') - 1) + ",";
        if (const auto fields = Fields(line); fields[0] == address) result.push_back(fields);
    }
    return result;
}

TEST(ReceiverSimulatorTest, MidnightMovesTimeAndDateOn)
{
    const std::string bytes = Simulated({.rateHz = 1.0, .seconds = 5.0, .startHhmmss = 235958});
    std::string times, rmcDates, zdaDates;
    for (const auto& s : Sentences(bytes, "GNRMC")) times += s[1] + " ", rmcDates += s[9] + " ";
    for (const auto& s : Sentences(bytes, "GNZDA")) zdaDates += s[2] + s[3] + s[4] + " ";
    EXPECT_EQ(times, "235958.00 235959.00 000000.00 000001.00 000002.00 ");
    EXPECT_EQ(rmcDates, "051226 051226 061226 061226 061226 ");
    EXPECT_EQ(zdaDates, "05122026 05122026 06122026 06122026 06122026 ");
}

}  // namespace
