#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

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

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
