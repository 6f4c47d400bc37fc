#include "intake/start_search.h"

#include <algorithm>
#include <cstring>

#include "intake/protocol_starts.h"

namespace {

constexpr std::uint8_t kCr = '\r';
constexpr std::uint8_t kLf = '\n';
// A line end gives a start only with its "*hh" inside the span.
constexpr std::uint64_t kMinLineEndIndex = 3;
constexpr std::uint64_t kNeverReached = ~std::uint64_t{0};
constexpr ProtocolId kBinaryProtocols[] = {ProtocolId::Ubx, ProtocolId::Gsof, ProtocolId::Sbf};
// Advance looks at arrivals up to this long; longer ones seldom pass, and are left to the
// searches.
constexpr std::uint64_t kQuietCheckLength = 32;

// What a byte may change an answer for: bit id - 1 for a binary protocol's signature lead, and
// the NMEA line end bytes.
constexpr std::uint8_t kLineEndClass = 0x08;
constexpr std::uint8_t LeadClass(ProtocolId id)
{
    return static_cast<std::uint8_t>(1u << (static_cast<int>(id) - 1));
}
constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (const ProtocolId id : kBinaryProtocols) classes[SignatureLead(id)] |= LeadClass(id);
    classes[kCr] |= kLineEndClass;
    classes[kLf] |= kLineEndClass;
    return classes;
}();

// Where the last CR in data[from, to) is, or to.
std::size_t FindLastCr(const std::uint8_t* data, std::size_t from, std::size_t to)
{
    constexpr std::size_t kShort = 16;
    if (to - from < kShort) {
        for (std::size_t i = to; i-- > from;) {
            if (data[i] == kCr) return i;
        }
        return to;
    }
    const void* cr = memrchr(data + from, kCr, to - from);
    return cr == nullptr ? to
                         : static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - data);
}

// Searches from bytes[at] on; returns the start or the size of bytes, leaving at on the first
// signature not yet done with. For a start, standsUntil is where the stream must reach before
// its verdict can change (0: at once); resolveAt notes where frames too long to wait for are
// complete.
std::size_t Scan(CFrameCheck& frameCheck, std::size_t maxWaitingFrame, ProtocolId id,
                 std::span<const std::uint8_t> bytes, std::uint64_t offset, std::size_t& at,
                 std::uint64_t& standsUntil, std::uint64_t& resolveAt)
{
    // Binary payloads are full of start signatures; one counts when its frame checks out, or
    // is still arriving and can fit in what the buffer carries over.
    while (at < bytes.size()) {
        const std::size_t found = FindBinarySignature(id, bytes, at);
        if (found == bytes.size()) {
            // The last byte may still begin a signature.
            at = std::max(at, bytes.size() - 1);
            break;
        }
        at = found;
        ProtocolId protocol = id;
        std::size_t frameLength = 0;
        const auto verdict = frameCheck.Check(bytes, at, protocol, frameLength);
        if (verdict == CFrameCheck::Verdict::Confirmed) {
            standsUntil = kNeverReached;
            return at;
        }
        if (verdict == CFrameCheck::Verdict::NeedMore) {
            // Once its length is known, a frame still arriving stays so until complete.
            if (frameLength <= maxWaitingFrame) {
                standsUntil = frameLength == 0 ? 0 : offset + at + frameLength;
                return at;
            }
            resolveAt = std::min(resolveAt, offset + at + frameLength);
        }
        ++at;
    }
    return bytes.size();
}

}  // namespace

bool CStartSearch::Advance(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    const std::uint64_t end = offset + bytes.size();
    const std::uint64_t last = nmea_.end;
    if (nmea_.from == offset && last < end && end - last <= kQuietCheckLength) {
        bool sameSpan = true;
        for (const ProtocolId id : kBinaryProtocols) {
            const BinaryProgress& p = binary_[static_cast<std::size_t>(id)];
            sameSpan = sameSpan && p.from == offset && p.end == last;
        }
        if (sameSpan) return AdvanceSameStart(bytes, offset, last);
    }
    // Where the answers for spans from offset on or before were last given; the bytes from
    // there (and the byte before, which may begin a signature with the next) are those to
    // look at.
    std::uint64_t seen = end;
    for (const ProtocolId id : kBinaryProtocols) {
        const BinaryProgress& p = binary_[static_cast<std::size_t>(id)];
        if (p.from <= offset && p.end <= end) seen = std::min(seen, p.end);
    }
    if (nmea_.from <= offset && nmea_.end <= end) seen = std::min(seen, nmea_.end);
    const std::uint64_t lookFrom = std::max(seen, offset + 1) - 1;
    if (end - lookFrom > kQuietCheckLength + 1) return false;
    std::uint8_t classes = 0;
    for (auto i = static_cast<std::size_t>(lookFrom - offset); i < bytes.size(); ++i) {
        classes |= kByteClasses[bytes[i]];
    }
    bool all = true;
    for (const ProtocolId id : kBinaryProtocols) {
        all = AdvanceBinary(binary_[static_cast<std::size_t>(id)], LeadClass(id) & classes,
                            lookFrom, offset, end) &&
              all;
    }
    return AdvanceNmea((classes & kLineEndClass) != 0, offset, end) && all;
}

bool CStartSearch::AdvanceSameStart(std::span<const std::uint8_t> bytes, std::uint64_t offset,
                                    std::uint64_t last)
{
    const std::uint64_t end = offset + bytes.size();
    std::uint8_t classes = 0;
    for (auto i = static_cast<std::size_t>(std::max(last, offset + 1) - 1 - offset);
         i < bytes.size(); ++i) {
        classes |= kByteClasses[bytes[i]];
    }
    bool all = true;
    for (const ProtocolId id : kBinaryProtocols) {
        BinaryProgress& p = binary_[static_cast<std::size_t>(id)];
        const bool none = p.answer == kNone;
        if (end >= p.resolveAt || (none ? (classes & LeadClass(id)) != 0 : end >= p.standsUntil)) {
            all = false;
            continue;
        }
        if (none) p.next = std::max(p.next, end - 1);
        p.end = end;
    }
    if ((classes & kLineEndClass) != 0) return false;
    if (nmea_.answer == kNone) {
        LineEndProgress& l = nmea_.crLines ? nmea_.byCr : nmea_.byLf;
        l.next = std::max(l.next, end);
    }
    nmea_.crSearched = end;
    nmea_.end = end;
    return all;
}

bool CStartSearch::AdvanceBinary(BinaryProgress& p, bool leadSeen, std::uint64_t lookFrom,
                                 std::uint64_t offset, std::uint64_t end)
{
    if (p.from == offset && p.end == end) return true;
    if (p.from > offset || p.end > end || end >= p.resolveAt) return false;
    if (p.answer == kNone) {
        // Where the search would go on: signatures beginning before the last byte.
        const std::uint64_t next = std::max(p.next, offset);
        if (leadSeen || next < lookFrom) return false;
        p.next = std::max(next, end - 1);
    } else {
        // An intact frame, or one still arriving, stays the start while the span holds it.
        if (p.next < offset || end >= p.standsUntil) return false;
        p.answer = static_cast<std::size_t>(p.next - offset);
    }
    p.from = offset;
    p.end = end;
    return true;
}

bool CStartSearch::AdvanceNmea(bool lineEndSeen, std::uint64_t offset, std::uint64_t end)
{
    NmeaProgress& n = nmea_;
    if (n.from == offset && n.end == end) return true;
    // Without a line end no start appears, and without a CR the line end byte stays unless
    // the last CR is done with.
    if (n.from > offset || n.end > end || lineEndSeen) return false;
    if (n.crLines != (n.lastCr != kNever && n.lastCr >= offset)) return false;
    LineEndProgress& l = n.crLines ? n.byCr : n.byLf;
    if (n.answer == kNone) {
        l.next = std::max(l.next, end);
    } else {
        if (l.start < offset || l.next < offset + kMinLineEndIndex) return false;
        n.answer = static_cast<std::size_t>(l.start - offset);
    }
    n.crSearched = end;
    n.from = offset;
    n.end = end;
    return true;
}

std::size_t CStartSearch::SearchBinary(ProtocolId id, std::span<const std::uint8_t> bytes,
                                       std::uint64_t offset)
{
    BinaryProgress& p = binary_[static_cast<std::size_t>(id)];
    const std::uint64_t end = offset + bytes.size();
    if (offset < p.from || end < p.end || end >= p.resolveAt) p = BinaryProgress{};
    p.from = offset;
    p.end = end;
    return p.answer = Resume(p, id, bytes, offset);
}

std::size_t CStartSearch::BinaryOnce(ProtocolId id, std::span<const std::uint8_t> bytes)
{
    BinaryProgress fresh;
    return Resume(fresh, id, bytes, 0);
}

std::size_t CStartSearch::Resume(BinaryProgress& p, ProtocolId id,
                                 std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    if (p.next < offset) {
        p.next = offset;
        p.standsUntil = 0;
    }
    const std::uint64_t end = offset + bytes.size();
    if (end < p.standsUntil) return static_cast<std::size_t>(p.next - offset);
    p.standsUntil = 0;
    auto at = static_cast<std::size_t>(p.next - offset);
    const std::size_t start =
        Scan(frameCheck_, maxWaitingFrame_, id, bytes, offset, at, p.standsUntil, p.resolveAt);
    p.next = offset + at;
    return start == bytes.size() ? kNone : start;
}

std::size_t CStartSearch::SearchNmea(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    NmeaProgress& n = nmea_;
    const std::uint64_t end = offset + bytes.size();
    if (offset < n.from || end < n.end) n = NmeaProgress{};
    n.from = offset;
    n.end = end;
    // The line end byte depends on every byte of the span: CR once one is there.
    const std::uint64_t crFrom = std::max(n.crSearched, offset);
    if (crFrom < end) {
        const std::size_t cr =
            FindLastCr(bytes.data(), static_cast<std::size_t>(crFrom - offset), bytes.size());
        if (cr < bytes.size()) n.lastCr = offset + cr;
    }
    n.crSearched = end;
    n.crLines = n.lastCr != kNever && n.lastCr >= offset;
    LineEndProgress& l = n.crLines ? n.byCr : n.byLf;
    if (l.start != kNever) {
        // Still the first start, unless the bytes done with reach into its sentence.
        if (l.start >= offset && l.next >= offset + kMinLineEndIndex) {
            return n.answer = static_cast<std::size_t>(l.start - offset);
        }
        l.start = kNever;
        ++l.next;
    }
    const auto from = static_cast<std::size_t>(std::max(l.next, offset) - offset);
    std::size_t lineEnd = 0;
    const std::size_t start = FindNmeaStartFrom(bytes, from, n.crLines ? kCr : kLf, lineEnd);
    if (start < bytes.size()) {
        l.next = offset + lineEnd;
        l.start = offset + start;
        return n.answer = start;
    }
    l.next = std::max(l.next, end);
    return n.answer = kNone;
}

void CStartSearch::Forget()
{
    binary_ = {};
    nmea_ = NmeaProgress{};
}
