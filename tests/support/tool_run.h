#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_data.h"
#include "tool/decode_command.h"
#include "tool/receiver_simulator.h"

// One run of a skarnet2-tool command with its exit code and both outputs.
struct ToolRun {
    int code;
    std::string out;
    std::string err;
};

template <auto Command>
ToolRun Tool(std::vector<std::string_view> args)
{
    std::ostringstream out, err;
    const int code = Command(args, out, err);
    return {code, out.str(), err.str()};
}

inline std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

inline std::vector<std::string> Lines(const std::string& text) { return Split(text, '\n'); }
inline std::vector<std::string> Fields(const std::string& line) { return Split(line, ','); }

// The whole output of a simulated receiver.
inline std::string Simulated(const SimulatorOptions& options,
                             SimulatedProtocol protocol = SimulatedProtocol::Nmea)
{
    std::string out;
    for (CReceiverSimulator simulator(options, protocol); simulator.NextEpoch(out);) continue;
    return out;
}

// A file of its own in the temporary folder holding bytes; its path.
inline std::string WriteTemp(const std::string& name, std::string_view bytes)
{
    const auto path = testdata::UniqueTempPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

inline std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    return WriteTemp(name, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

// The epochs decode prints, each split into its fields (header and summary left out).
inline std::vector<std::vector<std::string>> DecodedRows(std::vector<std::string_view> args)
{
    const ToolRun run = Tool<RunDecode>(std::move(args));
    EXPECT_EQ(run.code, 0) << run.err;
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : Lines(run.out))
        if (line[0] != 't' && line[0] != '#') rows.push_back(Fields(line));
    return rows;
}

// Milliseconds of the day of an "hhmmss.sss" text.
inline std::int64_t DayMs(const std::string& hhmmss)
{
    const std::int64_t t = std::llround(std::stod(hhmmss) * 1000);
    return t / 10000000 * 3600000 + t / 100000 % 100 * 60000 + t % 100000;
}
