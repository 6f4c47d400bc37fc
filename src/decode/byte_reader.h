#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

// Reads fixed-width fields of a frame, little- or big-endian. Every read is checked against
// the frame: a field that does not lie wholly inside it reads as nothing.
class CByteReader {
public:
    explicit CByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    bool Has(std::size_t offset, std::size_t size) const
    {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    std::span<const std::uint8_t> Sub(std::size_t offset, std::size_t size) const
    {
        return Has(offset, size) ? bytes_.subspan(offset, size) : std::span<const std::uint8_t>{};
    }

    template <class T>
    std::optional<T> Le(std::size_t offset) const
    {
        return Read<T>(offset, std::endian::little);
    }
    template <class T>
    std::optional<T> Be(std::size_t offset) const
    {
        return Read<T>(offset, std::endian::big);
    }

private:
    template <class T>
    std::optional<T> Read(std::size_t offset, std::endian order) const
    {
        static_assert(std::is_arithmetic_v<T>);
        if (!Has(offset, sizeof(T))) return std::nullopt;
        std::uint8_t raw[sizeof(T)];
        std::memcpy(raw, bytes_.data() + offset, sizeof(T));
        if (order != std::endian::native)
            for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
                std::swap(raw[i], raw[sizeof(T) - 1 - i]);
        T value;
        std::memcpy(&value, raw, sizeof(T));
        return value;
    }

    std::span<const std::uint8_t> bytes_;
};
