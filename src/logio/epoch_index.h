#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "geo/geo_point.h"

// One indexed epoch as the replay reads it back.
struct EpochEntry {
    std::int64_t timeMs = 0;  // milliseconds of the day, increasing across midnight
    double latitude = 0.0;
    double longitude = 0.0;
    float altitude = 0.0f;
    std::uint32_t fixQuality = 0;
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
};

// The replay's list of epochs: time, position and where the epoch's bytes lie in the log.
// Kept compact (40 bytes an epoch) because a day of 10 Hz data has close to a million.
class CEpochIndex {
public:
    // Offsets up to 1 TiB and lengths up to 16 MiB fit one packed word.
    static constexpr unsigned kLengthBits = 24;
    static constexpr std::uint64_t kMaxOffset = (std::uint64_t{1} << (64 - kLengthBits)) - 1;
    static constexpr std::uint32_t kMaxLength = (1u << kLengthBits) - 1;
    static constexpr std::int64_t kDayMs = 86'400'000;
    // A jump to a second that has no epoch looks this many seconds further.
    static constexpr int kSecondTries = 5;

    void Clear();
    void Reserve(std::size_t count);
    // Appends an epoch; a time equal to the last one is refused, a smaller one is taken as
    // the next day. Returns whether it was added.
    bool Add(std::uint64_t timeOfDayMs, double latitude, double longitude, float altitude,
             std::uint32_t fixQuality, std::uint64_t offset, std::uint64_t length);
    // Lets the last epoch run up to end (its bytes reach the next epoch or the end of file).
    void ExtendLast(std::uint64_t end);

    std::size_t Size() const { return records_.size(); }
    bool Empty() const { return records_.empty(); }
    EpochEntry At(std::size_t n) const;
    std::int64_t TimeAt(std::size_t n) const { return records_[n].timeMs; }

    // First epoch inside the whole second (time / 1000).
    std::optional<std::size_t> FindSecond(std::int64_t second) const;
    // The epoch for a jump to a second: that second, else up to kSecondTries seconds further
    // in the jump's direction, never past the first or last epoch's second.
    std::optional<std::size_t> FindSecondNear(std::int64_t second, bool forward) const;
    // First readable entry from n on (length non-zero), at most kSecondTries tries.
    std::optional<std::size_t> FindReadable(std::size_t n) const;

    // The plot's copy of the positions.
    std::vector<GeoPoint> ToGeoPoints() const;
    std::size_t MemoryBytes() const;

private:
    struct Record {
        std::int64_t timeMs;
        double latitude;
        double longitude;
        float altitude;
        std::uint32_t fixQuality;
        std::uint64_t location;  // offset << kLengthBits | length
    };
    static std::uint64_t Pack(std::uint64_t offset, std::uint64_t length);

    std::vector<Record> records_;
    std::uint64_t lastRawMs_ = 0;
    std::int64_t dayOffsetMs_ = 0;
};
