#include <iostream>
#include <string_view>
#include <vector>

#include "tool/decode_command.h"
#include "tool/simulate_command.h"

namespace {

void Usage(std::ostream& out)
{
    out << "usage: skarnet2-tool simulate [--rate HZ] [--seconds N] [--start HHMMSS] "
           "[--lat DEG --lon DEG] [--seed N]\n"
           "                              [--protocol nmea|ubx|sbf|gsof|mixed] > FILE\n"
           "       skarnet2-tool decode FILE [--block N] [--protocol auto|nmea|ubx|sbf|gsof]\n";
}

}  // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    if (argc < 2) {
        Usage(std::cerr);
        return 2;
    }
    const std::string_view command = argv[1];
    std::vector<std::string_view> args(argv + 2, argv + argc);
    if (command == "simulate") return RunSimulate(args, std::cout, std::cerr);
    if (command == "decode") return RunDecode(args, std::cout, std::cerr);
    if (command == "--help" || command == "-h" || command == "help") {
        Usage(std::cout);
        return 0;
    }
    std::cerr << "skarnet2-tool: unknown command '" << command << "'\n";
    Usage(std::cerr);
    return 2;
}
