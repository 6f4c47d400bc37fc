#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Corrections go to a serial receiver in whole groups of four bytes; up to three wait for the
// next block. No byte is lost or reordered.
class CForwardGroups {
public:
    static constexpr std::size_t kGroup = 4;

    // Calls write(span) with what may go out now (at most twice per call).
    template <class Write>
    void Take(std::span<const std::uint8_t> bytes, Write&& write)
    {
        if (waiting_ > 0) {
            const std::size_t fill = std::min(kGroup - waiting_, bytes.size());
            std::copy_n(bytes.begin(), fill,
                        staging_.begin() + static_cast<std::ptrdiff_t>(waiting_));
            waiting_ += fill;
            bytes = bytes.subspan(fill);
            if (waiting_ < kGroup) return;
            write(std::span<const std::uint8_t>(staging_));
            waiting_ = 0;
        }
        const std::size_t whole = bytes.size() / kGroup * kGroup;
        if (whole > 0) write(bytes.first(whole));
        waiting_ = bytes.size() - whole;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(whole), waiting_, staging_.begin());
    }

    std::size_t Waiting() const { return waiting_; }
    void Clear() { waiting_ = 0; }

private:
    std::array<std::uint8_t, kGroup> staging_{};
    std::size_t waiting_ = 0;
};
