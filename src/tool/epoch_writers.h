#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "tool/receiver_model.h"

// Each writer appends what its protocol sends for one epoch to out.

// NMEA 0183 4.11: GGA, RMC, GSA, GSV, GST, ZDA, VTG. scratch holds one sentence at a time.
void AppendNmeaEpoch(const ReceiverEpoch& epoch, std::string& out, std::string& scratch);

// u-blox UBX: NAV-POSLLH, NAV-STATUS, NAV-DOP, NAV-PVT, NAV-TIMEUTC, NAV-SAT, NAV-SIG.
void AppendUbxEpoch(const ReceiverEpoch& epoch, std::string& out);

// Septentrio SBF: PVTGeodetic, DOP, ChannelStatus, MeasEpoch.
void AppendSbfEpoch(const ReceiverEpoch& epoch, std::string& out);

// Trimble GSOF records 1, 2, 8, 9, 12, 16 and 48 in one transmission of Trimcomm packets,
// split into as many pages as it needs.
class CGsofWriter {
public:
    static constexpr std::size_t kPageCapacity = 248;
    void AppendEpoch(const ReceiverEpoch& epoch, std::string& out);

private:
    std::string records_;
    std::uint8_t transmission_ = 0;
};

// Little- and big-endian field writing for the binary writers.
template <class T>
void Put(std::string& out, T value, std::endian order)
{
    static_assert(std::is_arithmetic_v<T>);
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (order != std::endian::native)
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    out.append(raw, sizeof(T));
}
template <class T>
void PutLe(std::string& out, T value)
{
    Put(out, value, std::endian::little);
}
template <class T>
void PutBe(std::string& out, T value)
{
    Put(out, value, std::endian::big);
}
template <class T>
void PatchLe(std::string& out, std::size_t at, T value)
{
    std::string field;
    PutLe(field, value);
    out.replace(at, sizeof(T), field);
}

// Whole units of a value, saturated to the field's range.
template <class T>
T Scaled(double value, double unit)
{
    const double units = std::round(value / unit);
    const double low = static_cast<double>(std::numeric_limits<T>::lowest());
    const double high = static_cast<double>(std::numeric_limits<T>::max());
    return static_cast<T>(std::clamp(units, low, high));
}
