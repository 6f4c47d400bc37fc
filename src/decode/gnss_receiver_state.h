#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class CParser;

// Protocol ids double as bit numbers of the owner's protocols-seen mask.
enum class ProtocolId : std::int32_t { Nmea = 0, Ubx = 1, Gsof = 2, Sbf = 3 };
inline constexpr int kProtocolCount = 4;
std::string_view ProtocolName(ProtocolId id);

// Row numbers of the satellite tables.
enum class Constellation : std::int32_t {
    Unspecified = 0,
    Gps = 1,
    Sbas = 2,
    Glonass = 3,
    Galileo = 4,
    Qzss = 5,
    BeiDou = 6,
};
inline constexpr int kConstellationCount = 7;
// Talker mapping result for an unrecognised talker; never stored in a table.
inline constexpr int kUnknownConstellation = 7;

inline constexpr int kMaxUsedPerConstellation = 21;
inline constexpr int kMaxInViewPerConstellation = 64;

inline constexpr std::uint64_t kNoTime = ~std::uint64_t{0};

// Fix quality codes follow the GGA numbering.
inline constexpr int kFixQualityCount = 10;
std::string_view FixQualityText(std::int32_t code);

// What the current epoch has delivered. The same layout is the message kind code
// returned by framing: a message's own low bit plus the data bits it can carry.
namespace ContentFlag {
inline constexpr std::uint32_t Gga = 0x00000001;
inline constexpr std::uint32_t Rmc = 0x00000002;
inline constexpr std::uint32_t Gns = 0x00000004;
inline constexpr std::uint32_t Gll = 0x00000008;
inline constexpr std::uint32_t Vtg = 0x00000020;
inline constexpr std::uint32_t Gsa = 0x00000040;
inline constexpr std::uint32_t Gst = 0x00000080;
inline constexpr std::uint32_t Gsv = 0x00000100;
inline constexpr std::uint32_t Attitude = 0x00000200;
inline constexpr std::uint32_t HeadingSentence = 0x00000400;
inline constexpr std::uint32_t Zda = 0x00000800;
inline constexpr std::uint32_t BaseStation = 0x00001000;
inline constexpr std::uint32_t Baseline = 0x00002000;
inline constexpr std::uint32_t Interference = 0x00004000;
inline constexpr std::uint32_t SensorStatus = 0x00008000;
inline constexpr std::uint32_t Position = 0x00010000;
inline constexpr std::uint32_t Height = 0x00020000;
inline constexpr std::uint32_t FixMode = 0x00040000;
inline constexpr std::uint32_t EcefPosition = 0x00080000;
inline constexpr std::uint32_t TimeOfDay = 0x00100000;
inline constexpr std::uint32_t Date = 0x00200000;
inline constexpr std::uint32_t Speed = 0x00400000;
inline constexpr std::uint32_t Course = 0x00800000;
inline constexpr std::uint32_t Heading = 0x01000000;
inline constexpr std::uint32_t FixQuality = 0x02000000;
inline constexpr std::uint32_t Dop = 0x04000000;
inline constexpr std::uint32_t SatellitesInView = 0x08000000;
inline constexpr std::uint32_t SatellitesUsed = 0x10000000;
inline constexpr std::uint32_t ErrorDeviation = 0x20000000;
inline constexpr std::uint32_t Unknown = 0x80000000;
}  // namespace ContentFlag

struct SatelliteInView {
    std::int32_t prn = 0;
    std::int32_t elevationDeg = 0;
    std::int32_t azimuthDeg = 0;
    std::int32_t snr[2] = {0, 0};
    std::uint32_t signalMask = 0;  // bit 0: slot 0 reported, bit 1: slot 1 reported
    std::int32_t constellation = 0;
};

// The one record every decoder fills and every view reads.
struct GnssReceiverState {
    std::uint64_t timeOfDayMs;
    std::int32_t fixQuality;
    std::int32_t satellitesUsed;
    double ellipsoidHeight;
    double geoidSeparation;
    double mslAltitude;
    std::int32_t fixMode;
    float speedKmh;
    float courseDeg;
    std::uint32_t timeOfDaySec;
    double latitudeDeg;
    double longitudeDeg;
    double baseLatitudeDeg;
    double baseLongitudeDeg;
    double baseHeight;
    double baselineNorth;
    double baselineEast;
    double baselineUp;
    float pdop;
    float hdop;
    float vdop;
    float horizontalAccuracy;
    float sigmaLon;
    float sigmaLat;
    float sigmaAlt;
    float headingDeg;
    float yawDeg;
    std::uint32_t interferenceFlags;
    std::int32_t sensorsCalibrated;
    // Per-epoch part: usedPrn through contentFlags.
    std::int32_t usedPrn[kConstellationCount][kMaxUsedPerConstellation];
    std::int32_t usedCount[kConstellationCount];
    std::int32_t usedTotal;
    SatelliteInView satellitesInView[kConstellationCount][kMaxInViewPerConstellation];
    std::int32_t inViewCount[kConstellationCount];
    std::int32_t lastUpdatedIndex[kConstellationCount];
    std::int32_t inViewTotal;
    std::uint32_t contentFlags;

    CParser* owner = nullptr;
    std::string timeText;
    std::string dateText;
    std::string stationId;

    GnssReceiverState() { Clear(); }

    // Everything from timeOfDayMs through contentFlags to zero, texts empty,
    // heading and yaw to "none".
    void Clear();
    // The satellite tables, their counts and the content flags.
    void ClearEpoch();

    bool Has(std::uint32_t flags) const { return (contentFlags & flags) == flags; }
};
