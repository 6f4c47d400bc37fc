#include <cmath>

#include "tool/epoch_writers.h"

namespace {

struct Signal {
    std::uint8_t sigId;
    double cnoOffset;  // dB-Hz below the first signal
};

// gnssId, and the two signals each satellite is tracked on (L1 and L2 or their kin).
struct SystemCodes {
    std::uint8_t gnssId;
    Signal signals[2];
};

SystemCodes Codes(SimulatedSystem system)
{
    switch (system) {
        case SimulatedSystem::Glonass: return {6, {{0, 0.0}, {2, 4.0}}};  // L1OF, L2OF
        case SimulatedSystem::Galileo: return {2, {{0, 0.0}, {5, 2.0}}};  // E1C, E5bI
        case SimulatedSystem::BeiDou: return {3, {{0, 0.0}, {2, 3.0}}};   // B1I D1, B2I D1
        case SimulatedSystem::Gps: break;
    }
    return {0, {{0, 0.0}, {3, 4.0}}};  // L1C/A, L2 CL
}

// u-blox numbers GLONASS satellites by slot, NMEA from 65 on.
std::uint8_t SvId(const SimulatedConstellation& system, const SimulatedSatellite& satellite)
{
    const std::int32_t id =
        system.system == SimulatedSystem::Glonass ? satellite.prn - 64 : satellite.prn;
    return static_cast<std::uint8_t>(id);
}

std::int16_t Azimuth(double degrees)
{
    const long azimuth = std::lround(degrees);
    return static_cast<std::int16_t>(azimuth >= 360 ? azimuth - 360 : azimuth);
}

std::uint8_t Cno(double dbHz) { return Scaled<std::uint8_t>(std::max(dbHz, 0.0), 1.0); }

// Opens a frame: sync, class, id and a length patched by Close.
std::size_t Open(std::string& out, std::uint8_t messageClass, std::uint8_t id)
{
    const std::size_t start = out.size();
    out += '\xB5';
    out += '\x62';
    out += static_cast<char>(messageClass);
    out += static_cast<char>(id);
    PutLe<std::uint16_t>(out, 0);
    return start;
}

void Close(std::string& out, std::size_t start)
{
    PatchLe(out, start + 4, static_cast<std::uint16_t>(out.size() - start - 6));
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::size_t i = start + 2; i < out.size(); ++i) {
        a = static_cast<std::uint8_t>(a + static_cast<std::uint8_t>(out[i]));
        b = static_cast<std::uint8_t>(b + a);
    }
    out += static_cast<char>(a);
    out += static_cast<char>(b);
}

void PutPosition(std::string& out, const ReceiverEpoch& e)
{
    PutLe(out, Scaled<std::int32_t>(e.longitudeDeg, 1e-7));
    PutLe(out, Scaled<std::int32_t>(e.latitudeDeg, 1e-7));
    PutLe(out, Scaled<std::int32_t>(e.EllipsoidHeight(), 1e-3));
    PutLe(out, Scaled<std::int32_t>(e.mslAltitude, 1e-3));
    PutLe(out, Scaled<std::uint32_t>(std::hypot(e.sigmaLat, e.sigmaLon), 1e-3));
    PutLe(out, Scaled<std::uint32_t>(e.sigmaAlt, 1e-3));
}

void PutUtc(std::string& out, const ReceiverEpoch& e)
{
    const std::int32_t seconds = e.timeOfDayCs / 100;
    PutLe(out, static_cast<std::uint16_t>(e.year));
    out += static_cast<char>(e.month);
    out += static_cast<char>(e.day);
    out += static_cast<char>(seconds / 3600);
    out += static_cast<char>(seconds / 60 % 60);
    out += static_cast<char>(seconds % 60);
}

bool Differential(const ReceiverEpoch& e) { return e.fixQuality != 1; }

// NAV-PVT and NAV-STATUS carrier solution: 1 float, 2 fixed.
std::uint8_t CarrierSolution(const ReceiverEpoch& e)
{
    return e.fixQuality == 5 ? 1 : e.fixQuality == 4 ? 2 : 0;
}

void AppendPosLlh(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t frame = Open(out, 0x01, 0x02);
    PutLe(out, e.gpsMsOfWeek);
    PutPosition(out, e);
    Close(out, frame);
}

void AppendStatus(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t frame = Open(out, 0x01, 0x03);
    PutLe(out, e.gpsMsOfWeek);
    out += '\x03';  // 3D fix
    // gpsFixOk, week and time of week set, differential solution.
    out += static_cast<char>(0x0D | (Differential(e) ? 0x02 : 0));
    out += static_cast<char>((Differential(e) ? 0x01 : 0) | (CarrierSolution(e) ? 0x02 : 0));
    out += static_cast<char>(CarrierSolution(e) << 6);
    PutLe<std::uint32_t>(out, 28000);  // time to first fix
    PutLe(out, static_cast<std::uint32_t>(60000 + e.elapsedMs));
    Close(out, frame);
}

void AppendDop(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t frame = Open(out, 0x01, 0x04);
    PutLe(out, e.gpsMsOfWeek);
    const double tdop = e.hdop * 0.8;
    PutLe(out, Scaled<std::uint16_t>(std::hypot(e.pdop, tdop), 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.pdop, 0.01));
    PutLe(out, Scaled<std::uint16_t>(tdop, 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.vdop, 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.hdop, 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.hdop * 0.75, 0.01));
    PutLe(out, Scaled<std::uint16_t>(e.hdop * 0.66, 0.01));
    Close(out, frame);
}

void AppendPvt(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t frame = Open(out, 0x01, 0x07);
    PutLe(out, e.gpsMsOfWeek);
    PutUtc(out, e);
    out += '\x07';                  // date and time valid, fully resolved
    PutLe<std::uint32_t>(out, 20);  // time accuracy, ns
    PutLe(out, static_cast<std::int32_t>(e.timeOfDayCs % 100 * 10000000));
    out += '\x03';
    out += static_cast<char>(0x01 | (Differential(e) ? 0x02 : 0) | CarrierSolution(e) << 6);
    out += '\xE0';  // date and time confirmed
    out += static_cast<char>(e.satellitesUsed);
    // lon, lat, height, hMSL, hAcc, vAcc come in the order NAV-POSLLH has them.
    PutPosition(out, e);
    PutLe(out, Scaled<std::int32_t>(e.velocityNorth, 1e-3));
    PutLe(out, Scaled<std::int32_t>(e.velocityEast, 1e-3));
    PutLe<std::int32_t>(out, 0);
    PutLe(out, Scaled<std::int32_t>(e.speed, 1e-3));
    PutLe(out, Scaled<std::int32_t>(e.courseDeg, 1e-5));
    PutLe<std::uint32_t>(out, 150);      // speed accuracy, mm/s
    PutLe<std::uint32_t>(out, 2000000);  // heading accuracy, 1e-5 degree
    PutLe(out, Scaled<std::uint16_t>(e.pdop, 0.01));
    out.append(6, '\0');           // flags3 and reserved
    PutLe<std::int32_t>(out, 0);   // vehicle heading
    PutLe<std::int16_t>(out, 0);   // magnetic declination
    PutLe<std::uint16_t>(out, 0);  // its accuracy
    Close(out, frame);
}

void AppendTimeUtc(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t frame = Open(out, 0x01, 0x21);
    PutLe(out, e.gpsMsOfWeek);
    PutLe<std::uint32_t>(out, 20);
    PutLe(out, static_cast<std::int32_t>(e.timeOfDayCs % 100 * 10000000));
    PutUtc(out, e);
    out += '\x37';  // time of week, week and UTC valid; UTC as USNO keeps it
    Close(out, frame);
}

void AppendSat(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t frame = Open(out, 0x01, 0x35);
    PutLe(out, e.gpsMsOfWeek);
    out += '\x01';  // version
    const std::size_t count = out.size();
    out.append(3, '\0');
    std::uint8_t satellites = 0;
    for (const SimulatedConstellation& system : e.constellations) {
        for (const SimulatedSatellite& satellite : system.satellites) {
            out += static_cast<char>(Codes(system.system).gnssId);
            out += static_cast<char>(SvId(system, satellite));
            out += static_cast<char>(Cno(satellite.snr));
            out += static_cast<char>(std::lround(satellite.elevationDeg));
            PutLe(out, Azimuth(satellite.azimuthDeg));
            PutLe<std::int16_t>(out, satellite.used ? 3 : 0);  // residual, 0.1 m
            // Code and carrier locked, healthy, ephemeris; used ones say so.
            std::uint32_t flags = 0x07 | 0x10 | 0x800;
            if (satellite.used) flags |= 0x08 | (Differential(e) ? 0x40 : 0);
            PutLe(out, flags);
            ++satellites;
        }
    }
    out[count] = static_cast<char>(satellites);
    Close(out, frame);
}

void AppendSig(const ReceiverEpoch& e, std::string& out)
{
    const std::size_t frame = Open(out, 0x01, 0x43);
    PutLe(out, e.gpsMsOfWeek);
    out += '\0';  // version
    const std::size_t count = out.size();
    out.append(3, '\0');
    std::uint8_t signals = 0;
    for (const SimulatedConstellation& system : e.constellations) {
        const SystemCodes codes = Codes(system.system);
        for (const SimulatedSatellite& satellite : system.satellites) {
            for (const Signal& signal : codes.signals) {
                out += static_cast<char>(codes.gnssId);
                out += static_cast<char>(SvId(system, satellite));
                out += static_cast<char>(signal.sigId);
                const bool glonass = system.system == SimulatedSystem::Glonass;
                out += static_cast<char>(glonass ? (satellite.prn * 5) % 14 : 0);  // freqId
                PutLe<std::int16_t>(out, 0);
                out += static_cast<char>(Cno(satellite.snr - signal.cnoOffset));
                out += '\x07';  // code and carrier locked
                out += static_cast<char>(satellite.used && Differential(e) ? 1 : 0);
                out += '\x02';  // Klobuchar ionosphere model
                // Healthy; used signals add code, carrier and Doppler used.
                PutLe<std::uint16_t>(out, satellite.used ? 0x0039 : 0x0001);
                out.append(4, '\0');
                ++signals;
            }
        }
    }
    out[count] = static_cast<char>(signals);
    Close(out, frame);
}

}  // namespace

void AppendUbxEpoch(const ReceiverEpoch& epoch, std::string& out)
{
    AppendPosLlh(epoch, out);
    AppendStatus(epoch, out);
    AppendDop(epoch, out);
    AppendPvt(epoch, out);
    AppendTimeUtc(epoch, out);
    AppendSat(epoch, out);
    AppendSig(epoch, out);
}
