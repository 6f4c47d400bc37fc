#include "tool/receiver_simulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tool/simulate_command.h"

namespace {

std::string Simulate(const SimulatorOptions& options)
{
    CReceiverSimulator simulator(options);
    std::string out;
    while (simulator.NextEpoch(out)) {
    }
    return out;
}

// Written here on purpose rather than borrowed from the simulator.
std::string Checksum(std::string_view body)
{
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char text[3];
    std::snprintf(text, sizeof text, "%02X", sum);
    return text;
}

// Fields of each sentence (only those with the given address, if one is given) without "$",
// "*hh" and CR LF; fields[0] is the address.
std::vector<std::vector<std::string>> Sentences(const std::string& bytes,
                                                std::string_view address = {})
{
    std::vector<std::vector<std::string>> result;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(1, line.find('*') - 1);
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');) fields.push_back(field);
        if (line.back() == ',') fields.emplace_back();
        if (address.empty() || fields[0] == address) result.push_back(fields);
    }
    return result;
}

SimulatorOptions Options(double rate, double seconds, std::int32_t start = 235930)
{
    SimulatorOptions options;
    options.rateHz = rate;
    options.seconds = seconds;
    options.startHhmmss = start;
    return options;
}

}  // namespace

TEST(ReceiverSimulatorTest, EveryLineIsAFramedSentenceWithAValidChecksum)
{
    const std::string bytes = Simulate(Options(5.0, 40.0));
    std::size_t lines = 0;
    for (std::size_t at = 0; at < bytes.size(); ++lines) {
        const std::size_t end = bytes.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "unterminated line at " << at;
        const std::string_view line(bytes.data() + at, end - at);
        ASSERT_EQ(line.front(), '$') << line;
        ASSERT_EQ(line.find_first_of("\r\n"), std::string_view::npos) << line;
        const std::size_t star = line.size() - 3;
        ASSERT_EQ(line[star], '*') << line;
        EXPECT_EQ(line.substr(star + 1), Checksum(line.substr(1, star - 1))) << line;
        EXPECT_LE(line.size() + 2, 120u) << line;
        at = end + 2;
    }
    EXPECT_GT(lines, 200u * 15u);
}

TEST(ReceiverSimulatorTest, SameSeedSameBytesOtherSeedOtherBytes)
{
    SimulatorOptions options = Options(10.0, 20.0);
    options.seed = 42;
    const std::string first = Simulate(options);
    EXPECT_EQ(first, Simulate(options));
    options.seed = 43;
    EXPECT_NE(first, Simulate(options));
}

TEST(ReceiverSimulatorTest, MidnightMovesTimeAndDateOn)
{
    const std::string bytes = Simulate(Options(1.0, 5.0, 235958));
    std::string times, rmcDates, zdaDates;
    for (const auto& s : Sentences(bytes, "GNRMC")) times += s[1] + " ", rmcDates += s[9] + " ";
    for (const auto& s : Sentences(bytes, "GNZDA")) zdaDates += s[2] + s[3] + s[4] + " ";
    EXPECT_EQ(times, "235958.00 235959.00 000000.00 000001.00 000002.00 ");
    EXPECT_EQ(rmcDates, "051226 051226 061226 061226 061226 ");
    EXPECT_EQ(zdaDates, "05122026 05122026 06122026 06122026 06122026 ");
}

TEST(ReceiverSimulatorTest, FixQualityCyclesThroughAllKinds)
{
    const auto gga = Sentences(Simulate(Options(1.0, 600.0)), "GNGGA");
    std::vector<std::pair<std::string, int>> runs;
    for (const auto& s : gga) {
        if (runs.empty() || runs.back().first != s[6]) runs.emplace_back(s[6], 0);
        ++runs.back().second;
        const double hdop = std::stod(s[8]);
        EXPECT_GE(hdop, 0.5);
        EXPECT_LE(hdop, 1.5);
    }
    ASSERT_GT(runs.size(), 8u);
    const std::string order = "1254";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].first, std::string(1, order[i % 4])) << "run " << i;
        if (i + 1 < runs.size()) {
            EXPECT_GE(runs[i].second, 14) << "run " << i;
            EXPECT_LE(runs[i].second, 21) << "run " << i;
        }
    }
}

TEST(SimulateCommandTest, WritesTheSimulatorOutput)
{
    const std::vector<std::string_view> args = {"--rate",  "2",      "--seconds", "3",
                                                "--start", "010203", "--lat",     "-10.5",
                                                "--lon",   "20.25",  "--seed",    "7"};
    std::ostringstream out, err;
    EXPECT_EQ(RunSimulate(args, out, err), 0);
    EXPECT_EQ(err.str(), "");
    SimulatorOptions options = Options(2.0, 3.0, 10203);
    options.latitudeDeg = -10.5;
    options.longitudeDeg = 20.25;
    options.seed = 7;
    EXPECT_EQ(out.str(), Simulate(options));
    EXPECT_EQ(out.str().substr(0, 17), "$GNGGA,010203.00,");
}

TEST(SimulateCommandTest, BadArgumentsFailWithoutOutput)
{
    // Words split at single spaces; a trailing space makes an empty last word.
    // clang-format off
    const char* const cases[] = {
        "--bogus", "--rate", "--rate 0", "--rate 100.5", "--rate 10x", "--seconds -1",
        "--start 240000", "--start 120060", "--start 12a000", "--lat 45", "--lat 91 --lon 0",
        "--seed 4294967296", "--protocol rtcm", "2"};
    // clang-format on
    for (const std::string_view line : cases) {
        std::vector<std::string_view> args;
        for (std::size_t at = 0;;) {
            const std::size_t space = line.find(' ', at);
            args.push_back(line.substr(at, space - at));
            if (space == std::string_view::npos) break;
            at = space + 1;
        }
        std::ostringstream out, err;
        EXPECT_EQ(RunSimulate(args, out, err), 2) << line;
        EXPECT_TRUE(out.str().empty()) << line;
        const std::string message = err.str();
        EXPECT_EQ(message.rfind("skarnet2-tool simulate: ", 0), 0u) << message;
        EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    }
}
