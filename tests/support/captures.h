#pragma once

// The real receiver captures of the data folder and what tests know of each (counts from the
// data README). Tests walk them through ForEach, which skips the files that are not there.
#include <cstdint>
#include <functional>
#include <vector>

namespace captures {

enum Protocol : unsigned { kNmea = 1, kUbx = 2, kSbf = 4, kGsof = 8, kRtcm = 16, kOther = 32 };

// -1: not known (or not what the decoder counts).
struct Capture {
    const char* path;  // under the data folder
    unsigned protocols;
    int nmeaEpochs = -1;
    int ubxEpochs = -1;
    int sbfEpochs = -1;
    int nmeaBad = 0;  // checksum failures as the receiver sent them
    int ubxBad = 0;
};

const std::vector<Capture>& All();

// Calls visit for every present capture carrying any of the protocols; returns how many.
std::size_t ForEach(
    unsigned protocols,
    const std::function<void(const Capture&, const std::vector<std::uint8_t>&)>& visit);

// One capture by its path; empty without the data.
std::vector<std::uint8_t> Read(const char* path);

}  // namespace captures
