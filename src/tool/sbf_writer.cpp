#include <cmath>

#include "tool/epoch_writers.h"

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// SBF signal numbers of the two signals each satellite is tracked on.
struct SystemSignals {
    std::uint8_t first;
    std::uint8_t second;
};

SystemSignals Signals(SimulatedSystem system)
{
    switch (system) {
        case SimulatedSystem::Glonass: return {8, 11};   // L1 C/A, L2 C/A
        case SimulatedSystem::Galileo: return {17, 22};  // E1 BC, E5 AltBOC
        case SimulatedSystem::BeiDou: return {28, 29};   // B1I, B2I
        case SimulatedSystem::Gps: break;
    }
    return {0, 3};  // L1 C/A, L2C
}

// SBF's own satellite numbering.
std::uint8_t Svid(SimulatedSystem system, std::int32_t prn)
{
    switch (system) {
        case SimulatedSystem::Glonass: return static_cast<std::uint8_t>(prn - 64 + 37);
        case SimulatedSystem::Galileo: return static_cast<std::uint8_t>(prn + 70);
        case SimulatedSystem::BeiDou:
            return static_cast<std::uint8_t>(prn <= 40 ? prn + 140 : prn + 182);
        case SimulatedSystem::Gps: break;
    }
    return static_cast<std::uint8_t>(prn);
}

// C/N0 in 0.25 dB-Hz above 10 dB-Hz (signals 1 and 2 have no offset; not sent here).
std::uint8_t Cn0(double dbHz) { return Scaled<std::uint8_t>(std::max(dbHz - 10.0, 0.0), 0.25); }

std::uint16_t Crc16(const std::string& bytes, std::size_t from)
{
    std::uint16_t crc = 0;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (static_cast<std::uint8_t>(bytes[i]) << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

// Opens a block: sync, room for the CRC, id, room for the length, TOW and WNc.
std::size_t Open(std::string& out, const ReceiverEpoch& e, std::uint16_t number,
                 std::uint16_t revision)
{
    const std::size_t start = out.size();
    out += "$@";
    PutLe<std::uint16_t>(out, 0);
    PutLe(out, static_cast<std::uint16_t>(number | revision << 13));
    PutLe<std::uint16_t>(out, 0);
    PutLe(out, e.gpsMsOfWeek);
    PutLe(out, static_cast<std::uint16_t>(e.gpsWeek));
    return start;
}

// Pads the block to a multiple of four bytes, then fills in its length and CRC.
void Close(std::string& out, std::size_t start)
{
    while ((out.size() - start) % 4 != 0) out += '\0';
    PatchLe(out, start + 6, static_cast<std::uint16_t>(out.size() - start));
    PatchLe(out, start + 2, Crc16(out, start + 4));
}

void AppendPvtGeodetic(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t block = Open(out, e, 4007, 2);
    out += static_cast<char>(e.fixQuality);  // 1, 2, 4, 5: the same numbers as GGA
    out += '\0';                             // no error
    PutLe(out, e.latitudeDeg * kRadiansPerDegree);
    PutLe(out, e.longitudeDeg * kRadiansPerDegree);
    PutLe(out, e.EllipsoidHeight());
    PutLe(out, static_cast<float>(e.geoidSeparation));
    PutLe(out, static_cast<float>(e.velocityNorth));
    PutLe(out, static_cast<float>(e.velocityEast));
    PutLe(out, 0.0f);
    PutLe(out, static_cast<float>(e.courseDeg));
    PutLe(out, 0.25);  // receiver clock bias, ms
    PutLe(out, 0.1f);  // clock drift, ppm
    out += '\0';       // GPS time
    out += '\0';       // WGS84
    out += static_cast<char>(e.satellitesUsed);
    out += '\0';
    const bool differential = e.fixQuality != 1;
    PutLe<std::uint16_t>(out, differential ? 1 : 65535);  // reference station
    PutLe(out, differential ? Scaled<std::uint16_t>(e.correctionAge, 0.01) : std::uint16_t{65535});
    PutLe<std::uint32_t>(out, 0x0B);  // GPS L1 and L2, GLONASS L1 signals used
    out += '\0';                      // no RAIM alert
    out += static_cast<char>(differential ? 1 : 0);
    PutLe<std::uint16_t>(out, 0);
    PutLe<std::uint16_t>(out, 12);  // latency, 0.1 ms
    // Accuracies are 2DRMS and twice the vertical sigma, in cm.
    PutLe(out, Scaled<std::uint16_t>(2.0 * std::hypot(e.sigmaLat, e.sigmaLon), 0.01));
    PutLe(out, Scaled<std::uint16_t>(2.0 * e.sigmaAlt, 0.01));
    out += '\0';
    Close(out, block);
}

void AppendDop(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t block = Open(out, e, 4001, 0);
    out += static_cast<char>(e.satellitesUsed);
    out += '\0';
    PutLe(out, Scaled<std::uint16_t>(e.pdop, 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.hdop * 0.8, 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.hdop, 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.vdop, 0.01));
    PutLe(out, static_cast<float>(e.sigmaLat * 5.0));  // protection levels, m
    PutLe(out, static_cast<float>(e.sigmaAlt * 5.0));
    Close(out, block);
}

void AppendChannelStatus(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t block = Open(out, e, 4013, 0);
    const std::size_t count = out.size();
    out += '\0';
    out += '\x0C';  // satellite sub-block length
    out += '\x08';  // state sub-block length
    out.append(3, '\0');
    std::uint8_t channel = 0;
    for (const SimulatedConstellation& system : e.constellations) {
        for (const SimulatedSatellite& satellite : system.satellites) {
            out += static_cast<char>(Svid(system.system, satellite.prn));
            const bool glonass = system.system == SimulatedSystem::Glonass;
            out += static_cast<char>(glonass ? satellite.prn * 5 % 14 + 1 : 0);  // FreqNr
            out.append(2, '\0');
            long azimuth = std::lround(satellite.azimuthDeg);
            if (azimuth >= 360) azimuth -= 360;
            const std::uint16_t riseSet = satellite.elevationRate > 0.0 ? 1 : 0;
            PutLe(out, static_cast<std::uint16_t>(azimuth | riseSet << 14));
            PutLe<std::uint16_t>(out, 0x0005);  // both signals healthy
            out += static_cast<char>(std::lround(satellite.elevationDeg));
            out += '\x01';  // one state sub-block: the main antenna
            out += static_cast<char>(channel);
            out += '\0';
            out += '\0';  // antenna
            out += '\0';
            PutLe<std::uint16_t>(out, 0x000F);  // both signals tracked
            PutLe<std::uint16_t>(out, satellite.used ? 0x000A : 0x0000);
            PutLe<std::uint16_t>(out, 0);
            ++channel;
        }
    }
    out[count] = static_cast<char>(channel);
    Close(out, block);
}

void AppendMeasEpoch(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t block = Open(out, e, 4027, 1);
    const std::size_t count = out.size();
    out += '\0';
    out += '\x14';  // type-1 sub-block length
    out += '\x0C';  // type-2 sub-block length
    out.append(3, '\0');
    std::uint8_t channel = 0;
    for (const SimulatedConstellation& system : e.constellations) {
        const SystemSignals signals = Signals(system.system);
        for (const SimulatedSatellite& satellite : system.satellites) {
            // Pseudorange grows towards the horizon; only its size has to be plausible.
            const auto rangeMm = static_cast<std::uint64_t>(
                (20200e3 + (90.0 - satellite.elevationDeg) * 60e3) * 1000.0);
            out += static_cast<char>(channel);
            out += static_cast<char>(signals.first);
            out += static_cast<char>(Svid(system.system, satellite.prn));
            out += static_cast<char>(rangeMm >> 32);
            PutLe(out, static_cast<std::uint32_t>(rangeMm));
            PutLe<std::int32_t>(out, 0);   // Doppler
            PutLe<std::uint16_t>(out, 0);  // carrier phase: not available
            out += '\x80';
            out += static_cast<char>(Cn0(satellite.snr));
            PutLe<std::uint16_t>(out, 600);  // lock time, s
            out += '\0';
            out += '\x01';  // one more signal follows
            out += static_cast<char>(signals.second);
            out += '\xFE';  // lock time, s
            out += static_cast<char>(Cn0(satellite.snr - 4.0));
            out += '\0';
            out += '\x80';  // carrier phase: not available
            out += '\0';
            PutLe<std::uint16_t>(out, 0);
            PutLe<std::uint16_t>(out, 0);
            PutLe<std::uint16_t>(out, 0);
            ++channel;
        }
    }
    out[count] = static_cast<char>(channel);
    Close(out, block);
}

}  // namespace

void AppendSbfEpoch(const ReceiverEpoch& epoch, std::string& out)
{
    AppendPvtGeodetic(epoch, out);
    AppendDop(epoch, out);
    AppendChannelStatus(epoch, out);
    AppendMeasEpoch(epoch, out);
}
