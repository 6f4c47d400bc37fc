#include "decode/time_index_set.h"

#include <algorithm>
#include <bit>
#include <iterator>

CTimeIndexSet::CTimeIndexSet(std::int32_t typeCount)
    : typeCount_(std::clamp(typeCount, std::int32_t{1}, kMaxTypes))
{
    Clear();
}

void CTimeIndexSet::Clear()
{
    for (auto& index : index_) index.clear();
    smallest_.fill(kInitialSmallestIntervalMs);
    last_.fill(kNoTime);
    typesAtTime_.clear();
    count_ = 0;
}

bool CTimeIndexSet::Add(std::int32_t type, std::uint64_t time, std::uint64_t filePosition,
                        std::uint32_t length)
{
    if (!Valid(type) || time == kNoTime) return false;
    const auto t = static_cast<std::size_t>(type);
    if (!index_[t].emplace(time, TimeIndexEntry{filePosition, length}).second) return false;
    ++count_;
    const std::uint64_t previous = last_[t];
    if (previous != kNoTime && time > previous && time - previous < smallest_[t])
        smallest_[t] = time - previous;
    last_[t] = time;
    typesAtTime_[time] |= 1u << type;
    return true;
}

std::int32_t CTimeIndexSet::Select() const
{
    const auto types = static_cast<std::size_t>(typeCount_);
    std::uint64_t reference = kInitialSmallestIntervalMs;
    for (std::size_t t = 0; t < types; ++t)
        if (!index_[t].empty() && smallest_[t] < reference) reference = smallest_[t];
    std::uint32_t candidates = 0;
    for (std::size_t t = 0; t < types; ++t)
        if (!index_[t].empty() && smallest_[t] == reference) candidates |= 1u << t;

    if (candidates == 0) return typeCount_;
    if (std::popcount(candidates) == 1) return std::countr_zero(candidates);
    const auto firstInLog = [&](auto positionOf) {
        std::uint64_t best = kNoTime;
        std::int32_t chosen = typeCount_;
        for (std::size_t t = 0; t < types; ++t) {
            if (!(candidates & (1u << t))) continue;
            const std::uint64_t position = positionOf(t);
            if (position < best) {
                best = position;
                chosen = static_cast<std::int32_t>(t);
            }
        }
        return chosen;
    };
    for (const auto& entry : typesAtTime_) {
        if (entry.second != candidates) continue;
        const std::uint64_t time = entry.first;
        return firstInLog([&](std::size_t t) { return index_[t].at(time).filePosition; });
    }
    return firstInLog([&](std::size_t t) { return index_[t].begin()->second.filePosition; });
}

bool CTimeIndexSet::FindGaps(std::int32_t type, std::vector<IndexGap>& gaps) const
{
    if (!Valid(type)) return !gaps.empty();
    const auto t = static_cast<std::size_t>(type);
    const std::uint64_t interval = smallest_[t];
    const TimeIndex& index = index_[t];
    for (auto it = index.begin(); it != index.end(); ++it) {
        const auto next = std::next(it);
        if (next == index.end()) break;
        if (next->first - it->first != interval)
            gaps.push_back(IndexGap{it->first + interval, type});
    }
    return !gaps.empty();
}

const TimeIndex& CTimeIndexSet::Get(std::int32_t type) const
{
    static const TimeIndex kEmpty;
    return Valid(type) ? index_[static_cast<std::size_t>(type)] : kEmpty;
}

std::uint64_t CTimeIndexSet::SmallestInterval(std::int32_t type) const
{
    return Valid(type) ? smallest_[static_cast<std::size_t>(type)] : kInitialSmallestIntervalMs;
}

std::optional<CTimeIndexSet::Located> CTimeIndexSet::Locate(std::int32_t type, std::uint64_t time,
                                                            std::span<const std::uint8_t> log,
                                                            std::uint64_t filePosition) const
{
    if (!Valid(type)) return std::nullopt;
    const TimeIndex& index = index_[static_cast<std::size_t>(type)];
    const auto it = index.lower_bound(time);
    if (it == index.end()) return std::nullopt;
    const std::uint64_t entry = it->second.filePosition;
    if (entry < filePosition || entry - filePosition + it->second.length > log.size())
        return std::nullopt;
    Located located{it->first, entry, static_cast<std::size_t>(entry - filePosition), log.size()};
    const auto next = std::next(it);
    if (next != index.end() && next->second.filePosition > entry)
        located.limit = static_cast<std::size_t>(
            std::min<std::uint64_t>(log.size(), next->second.filePosition - filePosition));
    return located;
}
