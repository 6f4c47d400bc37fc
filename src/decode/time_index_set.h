#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "decode/parser.h"

// The time indexes of one decoder, one per position type: where each position message of a
// log lies, the smallest interval between its epochs, and which type drives replay.
class CTimeIndexSet {
public:
    static constexpr std::int32_t kMaxTypes = 4;

    explicit CTimeIndexSet(std::int32_t typeCount);

    // Empties every index; smallest intervals back to 10000 ms; count to 0.
    void Clear();
    // Enters one message; false when its type is out of range or its time is already there.
    bool Add(std::int32_t type, std::uint64_t time, std::uint64_t filePosition,
             std::uint32_t length);
    // The type with the smallest interval; ties go to the type whose message comes first at
    // the first time where exactly the tied types were seen, else to the one whose first
    // entry lies first in the log. typeCount when nothing is indexed.
    std::int32_t Select() const;
    bool FindGaps(std::int32_t type, std::vector<IndexGap>& gaps) const;

    const TimeIndex& Get(std::int32_t type) const;
    std::uint64_t SmallestInterval(std::int32_t type) const;
    std::int32_t Count() const { return count_; }
    std::int32_t TypeCount() const { return typeCount_; }

    // Where the first epoch at or after time lies in log (bytes from filePosition on): the
    // first byte of its message and the end of the epoch (the next indexed message behind
    // it, or the end of log). Nothing when it does not lie wholly inside log.
    struct Located {
        std::uint64_t time;
        std::uint64_t filePosition;
        std::size_t begin;
        std::size_t limit;
    };
    std::optional<Located> Locate(std::int32_t type, std::uint64_t time,
                                  std::span<const std::uint8_t> log,
                                  std::uint64_t filePosition) const;

private:
    bool Valid(std::int32_t type) const { return type >= 0 && type < typeCount_; }

    std::int32_t typeCount_;
    std::array<TimeIndex, kMaxTypes> index_;
    std::array<std::uint64_t, kMaxTypes> smallest_{};
    std::array<std::uint64_t, kMaxTypes> last_{};
    // Time of day to the set of types seen there (bit per type).
    std::map<std::uint64_t, std::uint32_t> typesAtTime_;
    std::int32_t count_ = 0;
};
