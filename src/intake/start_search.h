#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/frame_check.h"
#include "decode/gnss_receiver_state.h"

// Message starts in the intake's stream, each byte searched once: what the carried bytes were
// already searched for is remembered, so that an arrival of a few bytes costs a look at those
// few, however long the tail that waits for more. The answers are those of a search over the
// whole span every time.
//
// Positions are stream offsets: a span handed in holds the stream from 'offset' on, and a
// stream offset keeps its byte for as long as spans reach it. Spans may start later (bytes
// done with) and end later (bytes arrived) from one call to the next.
class CStartSearch {
public:
    // Returned when there is no start.
    static constexpr std::size_t kNone = ~std::size_t{0};

    // A binary start counts when its frame checks out, or is still arriving and at most
    // maxWaitingFrame long.
    CStartSearch(CFrameCheck& frameCheck, std::size_t maxWaitingFrame)
        : frameCheck_(frameCheck), maxWaitingFrame_(maxWaitingFrame)
    {
    }

    // Takes note of bytes that arrived behind the span last searched and cannot change an
    // answer (the common arrival: a few bytes inside a message), so that the questions about
    // them cost nothing. True when every answer for bytes is the one for the span last
    // searched from offset.
    bool Advance(std::span<const std::uint8_t> bytes, std::uint64_t offset);

    // The first plausible start of a binary protocol's frame in bytes.
    std::size_t Binary(ProtocolId id, std::span<const std::uint8_t> bytes, std::uint64_t offset)
    {
        const BinaryProgress& p = binary_[static_cast<std::size_t>(id)];
        // A pass asks more than once about the same bytes.
        if (offset == p.from && offset + bytes.size() == p.end) return p.answer;
        return SearchBinary(id, bytes, offset);
    }
    // FindNmeaStart over bytes.
    std::size_t Nmea(std::span<const std::uint8_t> bytes, std::uint64_t offset)
    {
        if (offset == nmea_.from && offset + bytes.size() == nmea_.end) return nmea_.answer;
        return SearchNmea(bytes, offset);
    }
    void Forget();

    // The binary search without memory, for bytes that are not part of the stream.
    std::size_t BinaryOnce(ProtocolId id, std::span<const std::uint8_t> bytes);

private:
    static constexpr std::uint64_t kNever = ~std::uint64_t{0};

    struct BinaryProgress {
        // The span last searched and its answer; a span starting or ending earlier starts
        // afresh.
        std::uint64_t from = 0;
        std::uint64_t end = 0;
        std::size_t answer = kNone;
        // No signature before this is a plausible start, until the stream reaches resolveAt,
        // where a frame too long to wait for is complete and may check out after all.
        std::uint64_t next = 0;
        std::uint64_t resolveAt = kNever;
        // next is a plausible start until the stream reaches this (0: not known to be one).
        std::uint64_t standsUntil = 0;
    };
    // Line ends of one kind: none before next gives a start for the spans searched; when
    // start is set, the one at next gives it.
    struct LineEndProgress {
        std::uint64_t next = 0;
        std::uint64_t start = kNever;
    };
    struct NmeaProgress {
        std::uint64_t from = 0;
        std::uint64_t end = 0;
        std::size_t answer = kNone;
        std::uint64_t crSearched = 0;   // CRs looked for up to here...
        std::uint64_t lastCr = kNever;  // ...and the last one found
        // The span's line ends are CRs (else LFs); each kind is searched on where it was left.
        bool crLines = false;
        LineEndProgress byCr;
        LineEndProgress byLf;
    };

    std::size_t SearchBinary(ProtocolId id, std::span<const std::uint8_t> bytes,
                             std::uint64_t offset);
    std::size_t Resume(BinaryProgress& p, ProtocolId id, std::span<const std::uint8_t> bytes,
                       std::uint64_t offset);
    std::size_t SearchNmea(std::span<const std::uint8_t> bytes, std::uint64_t offset);
    // Advance where every answer was given for the span from offset to last.
    bool AdvanceSameStart(std::span<const std::uint8_t> bytes, std::uint64_t offset,
                          std::uint64_t last);
    // Advance for one protocol, given what the bytes from lookFrom (or offset) on hold.
    bool AdvanceBinary(BinaryProgress& p, bool leadSeen, std::uint64_t lookFrom,
                       std::uint64_t offset, std::uint64_t end);
    bool AdvanceNmea(bool lineEndSeen, std::uint64_t offset, std::uint64_t end);

    CFrameCheck& frameCheck_;
    std::size_t maxWaitingFrame_;
    std::array<BinaryProgress, kProtocolCount> binary_{};
    NmeaProgress nmea_;
};
