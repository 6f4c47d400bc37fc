#pragma once

// Byte helpers of the decoder and intake tests, written apart from the decoders.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <tuple>
#include <vector>

#include "decode/parser.h"
#include "support/epoch_keys.h"
#include "support/test_data.h"

using ByteVec = std::vector<std::uint8_t>;

inline ByteVec Cat(std::initializer_list<ByteVec> parts)
{
    ByteVec out;
    for (const ByteVec& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct UbxSeen {
    std::size_t at, length;  // payload length
    std::uint8_t cls, id;
    std::uint32_t U32(std::span<const std::uint8_t> d, std::size_t off) const
    {
        const std::uint8_t* p = &d[at + 6 + off];
        return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
    }
};

// UBX frames with a right Fletcher sum, in order; bad counts the candidates whose sum is wrong.
inline std::vector<UbxSeen> WalkUbx(std::span<const std::uint8_t> d, int* bad = nullptr)
{
    std::vector<UbxSeen> out;
    for (std::size_t i = 0; i + 8 <= d.size(); ++i) {
        if (d[i] != 0xB5 || d[i + 1] != 0x62) continue;
        const std::size_t n = d[i + 4] | d[i + 5] << 8;
        if (i + n + 8 > d.size()) break;
        const auto [a, b] = testdata::UbxChecksum(d.subspan(i + 2, n + 4));
        if (a != d[i + n + 6] || b != d[i + n + 7]) {
            if (bad) ++*bad;
            continue;
        }
        out.push_back({i, n, d[i + 2], d[i + 3]});
        i += n + 7;
    }
    return out;
}

// Where DecodeAtTime found an epoch, and what it gave.
struct AtTime {
    std::uint64_t key;
    EpochPosition position;
    std::uint64_t offset = 0;
    std::size_t length = 0;
};
inline AtTime DecodeAt(CParser& p, std::uint64_t time, std::span<const std::uint8_t> log,
                       std::uint64_t base)
{
    AtTime r{};
    r.key = p.DecodeAtTime(time, r.position, log, base, r.offset, r.length);
    return r;
}

// Decoded values against what they must be, one row a field: ExpectNear({NEAR(s.hdop, 0.9,
// 1e-6), ...}).
struct Near {
    const char* what;
    double got, want, tolerance;
};
#define NEAR(got, want, tolerance) \
    Near { #got, double(got), double(want), tolerance }
inline void ExpectNear(std::initializer_list<Near> rows)
{
    for (const Near& r : rows) EXPECT_NEAR(r.got, r.want, r.tolerance) << r.what;
}

// Both signal levels and the signal mask of satellite prn in row; {-1, -1, 0} when it is not
// there.
inline std::tuple<int, int, unsigned> Signals(const GnssReceiverState& s, int row, int prn)
{
    const SatelliteInView* sat = FindSat(s, row, prn);
    return sat ? std::tuple(sat->snr[0], sat->snr[1], sat->signalMask) : std::tuple(-1, -1, 0u);
}
