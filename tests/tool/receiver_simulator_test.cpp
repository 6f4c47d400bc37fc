#include "tool/receiver_simulator.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/tool_run.h"
#include "tool/simulate_command.h"

namespace {

SimulatorOptions Options(double rate, double seconds, std::int32_t start = 235930)
{
    SimulatorOptions options;
    options.rateHz = rate;
    options.seconds = seconds;
    options.startHhmmss = start;
    return options;
}

// Fields of the sentences with this address, without "$", "*hh" and CR LF.
std::vector<std::vector<std::string>> Sentences(const std::string& bytes, std::string_view address)
{
    std::vector<std::vector<std::string>> result;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size() + 1, 120u) << line;  // high-precision positions, CR LF included
        line = line.substr(1, line.find('*') - 1) + ",";
        if (const auto fields = Fields(line); fields[0] == address) result.push_back(fields);
    }
    return result;
}

}  // namespace

TEST(ReceiverSimulatorTest, SameSeedSameBytesOtherSeedOtherBytes)
{
    SimulatorOptions options = Options(10.0, 20.0);
    options.seed = 42;
    const std::string first = Simulated(options);
    EXPECT_EQ(first, Simulated(options));
    options.seed = 43;
    EXPECT_NE(first, Simulated(options));
}

TEST(ReceiverSimulatorTest, MidnightMovesTimeAndDateOn)
{
    const std::string bytes = Simulated(Options(1.0, 5.0, 235958));
    std::string times, rmcDates, zdaDates;
    for (const auto& s : Sentences(bytes, "GNRMC")) times += s[1] + " ", rmcDates += s[9] + " ";
    for (const auto& s : Sentences(bytes, "GNZDA")) zdaDates += s[2] + s[3] + s[4] + " ";
    EXPECT_EQ(times, "235958.00 235959.00 000000.00 000001.00 000002.00 ");
    EXPECT_EQ(rmcDates, "051226 051226 061226 061226 061226 ");
    EXPECT_EQ(zdaDates, "05122026 05122026 06122026 06122026 06122026 ");
}

// Runs of 14 to 21 epochs of quality 1, 2, 5, 4 in turn, HDOP between 0.5 and 1.5.
TEST(ReceiverSimulatorTest, FixQualityCyclesThroughAllKinds)
{
    std::vector<std::pair<std::string, int>> runs;
    for (const auto& s : Sentences(Simulated(Options(1.0, 600.0)), "GNGGA")) {
        if (runs.empty() || runs.back().first != s[6]) runs.emplace_back(s[6], 0);
        ++runs.back().second;
        EXPECT_TRUE(std::stod(s[8]) >= 0.5 && std::stod(s[8]) <= 1.5) << s[8];
    }
    ASSERT_GT(runs.size(), 8u);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].first, std::string(1, "1254"[i % 4])) << "run " << i;
        const bool last = i + 1 == runs.size();  // cut by the end of the run
        EXPECT_TRUE(last || (runs[i].second >= 14 && runs[i].second <= 21)) << i;
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
    EXPECT_EQ(out.str(), Simulated(options));
    EXPECT_EQ(out.str().substr(0, 17), "$GNGGA,010203.00,");
}
