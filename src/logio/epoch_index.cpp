#include "logio/epoch_index.h"

#include <algorithm>

void CEpochIndex::Clear()
{
    std::vector<Record>().swap(records_);  // a day's index is tens of megabytes: give it back
    lastRawMs_ = 0;
    dayOffsetMs_ = 0;
}

void CEpochIndex::Reserve(std::size_t count) { records_.reserve(count); }

std::uint64_t CEpochIndex::Pack(std::uint64_t offset, std::uint64_t length)
{
    const std::uint64_t o = std::min(offset, kMaxOffset);
    const std::uint64_t l = std::min<std::uint64_t>(length, kMaxLength);
    return (o << kLengthBits) | l;
}

bool CEpochIndex::Add(std::uint64_t timeOfDayMs, double latitude, double longitude, float altitude,
                      std::uint32_t fixQuality, std::uint64_t offset, std::uint64_t length)
{
    if (!records_.empty() && timeOfDayMs == lastRawMs_) return false;
    std::int64_t time = static_cast<std::int64_t>(timeOfDayMs) + dayOffsetMs_;
    if (!records_.empty() && time < records_.back().timeMs) {
        dayOffsetMs_ += kDayMs;
        time += kDayMs;
    }
    lastRawMs_ = timeOfDayMs;
    records_.push_back({time, latitude, longitude, altitude, fixQuality, Pack(offset, length)});
    return true;
}

void CEpochIndex::ExtendLast(std::uint64_t end)
{
    if (records_.empty()) return;
    const std::uint64_t offset = records_.back().location >> kLengthBits;
    if (end > offset) records_.back().location = Pack(offset, end - offset);
}

EpochEntry CEpochIndex::At(std::size_t n) const
{
    const Record& r = records_[n];
    return {r.timeMs,
            r.latitude,
            r.longitude,
            r.altitude,
            r.fixQuality,
            r.location >> kLengthBits,
            static_cast<std::uint32_t>(r.location & kMaxLength)};
}

std::optional<std::size_t> CEpochIndex::FindSecond(std::int64_t second) const
{
    const auto it =
        std::lower_bound(records_.begin(), records_.end(), second * 1000,
                         [](const Record& r, std::int64_t ms) { return r.timeMs < ms; });
    if (it == records_.end() || it->timeMs / 1000 != second) return std::nullopt;
    return static_cast<std::size_t>(it - records_.begin());
}

std::optional<std::size_t> CEpochIndex::FindSecondNear(std::int64_t second, bool forward) const
{
    if (records_.empty()) return std::nullopt;
    const std::int64_t first = records_.front().timeMs / 1000;
    const std::int64_t last = records_.back().timeMs / 1000;
    second = std::clamp(second, first, last);
    for (int tries = 0; tries < kSecondTries && second >= first && second <= last; ++tries) {
        if (const auto n = FindSecond(second)) return n;
        second += forward ? 1 : -1;
    }
    return std::nullopt;
}

std::optional<std::size_t> CEpochIndex::FindReadable(std::size_t n) const
{
    for (int tries = 0; tries < kSecondTries && n < records_.size(); ++tries, ++n)
        if ((records_[n].location & kMaxLength) != 0) return n;
    return std::nullopt;
}

std::vector<GeoPoint> CEpochIndex::ToGeoPoints() const
{
    std::vector<GeoPoint> points;
    points.reserve(records_.size());
    for (const Record& r : records_)
        points.emplace_back(r.longitude, r.latitude, r.altitude, r.timeMs, r.fixQuality);
    return points;
}

std::size_t CEpochIndex::MemoryBytes() const { return records_.capacity() * sizeof(Record); }
