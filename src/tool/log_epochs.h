#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tool/intake_choice.h"

// One epoch of a log as a receiver sent it: a run of bytes with the time of day its position
// messages carry.
struct LogEpoch {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::uint64_t timeOfDayMs = 0;
    bool hasTime = false;
    bool operator==(const LogEpoch&) const = default;
};

// Cuts the log where the window's intake closes each epoch it shows, so there are as many
// epochs as decode counts with the same choice. Bytes before the first cut belong to the first
// epoch; a tail behind the last shown epoch joins it. The epochs cover the log exactly.
std::vector<LogEpoch> SplitLogEpochs(std::span<const std::uint8_t> log,
                                     const IntakeChoice& choice = {});

inline constexpr std::size_t kFallbackChunkBytes = 1024;

// Chunks of chunkBytes (the last one shorter), without times.
std::vector<LogEpoch> SplitFixedChunks(std::size_t logSize,
                                       std::size_t chunkBytes = kFallbackChunkBytes);

// What serve sends: the epochs of the log, or fixed chunks when fewer than two of them carry a
// time (RTCM, unknown binary, a single fix).
std::vector<LogEpoch> ServeEpochs(std::span<const std::uint8_t> log);

// Steps taken when the log's own clock gives none, and the longest pause replayed.
inline constexpr std::chrono::milliseconds kDefaultEpochStep{1000};
inline constexpr std::chrono::milliseconds kLongestEpochStep{10000};

// When each epoch goes out, counted from the start of a pass; one entry more than there are
// epochs: the start of the next pass when looping. With rateHz the steps are 1/rateHz;
// otherwise they follow the epochs' times (a step over midnight wraps), a pause in the log is
// cut to kLongestEpochStep, and an epoch without a time or with a time not after the previous
// one takes the last good step (kDefaultEpochStep at first).
std::vector<std::chrono::microseconds> PaceEpochs(std::span<const LogEpoch> epochs,
                                                  std::optional<double> rateHz);
