#include <algorithm>
#include <cmath>

#include "tool/epoch_writers.h"

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr std::size_t kSatellitesPerRecord = 25;  // 10 bytes each within a 255-byte record

std::uint8_t SystemCode(SimulatedSystem system)
{
    switch (system) {
        case SimulatedSystem::Glonass: return 2;
        case SimulatedSystem::Galileo: return 3;
        case SimulatedSystem::BeiDou: return 5;
        case SimulatedSystem::Gps: break;
    }
    return 0;
}

// Position flags 2: differential, phase, fixed integer.
std::uint8_t SolutionFlags(std::int32_t quality)
{
    switch (quality) {
        case 2: return 0x01;
        case 4: return 0x07;
        case 5: return 0x03;
        default: return 0x00;
    }
}

std::uint8_t Snr(double dbHz) { return Scaled<std::uint8_t>(std::max(dbHz, 0.0), 0.25); }

// Opens a record; its length byte is filled in by CloseRecord.
std::size_t OpenRecord(std::string& records, std::uint8_t type)
{
    records += static_cast<char>(type);
    records += '\0';
    return records.size();
}

void CloseRecord(std::string& records, std::size_t data)
{
    records[data - 1] = static_cast<char>(records.size() - data);
}

void AppendSatelliteRecords(const ReceiverEpoch& e, std::string& records)
{
    std::vector<std::pair<const SimulatedConstellation*, const SimulatedSatellite*>> all;
    for (const SimulatedConstellation& system : e.constellations)
        for (const SimulatedSatellite& satellite : system.satellites)
            all.emplace_back(&system, &satellite);
    const std::size_t pages = (all.size() + kSatellitesPerRecord - 1) / kSatellitesPerRecord;
    const bool rtk = e.fixQuality == 4 || e.fixQuality == 5;
    for (std::size_t page = 0; page < pages; ++page) {
        const std::size_t data = OpenRecord(records, 48);
        records += '\x01';  // version
        records += static_cast<char>((page + 1) << 4 | pages);
        const std::size_t first = page * kSatellitesPerRecord;
        const std::size_t last = std::min(all.size(), first + kSatellitesPerRecord);
        records += static_cast<char>(last - first);
        for (std::size_t i = first; i < last; ++i) {
            const auto [system, satellite] = all[i];
            const bool glonass = system->system == SimulatedSystem::Glonass;
            records += static_cast<char>(glonass ? satellite->prn - 64 : satellite->prn);
            records += static_cast<char>(SystemCode(system->system));
            // Above the horizon, on a channel, tracked on L1 and L2; used in the position
            // (and in RTK when the fix is one).
            std::uint8_t flags = 0x0F;
            if (satellite->used) flags |= 0x40 | (rtk ? 0x80 : 0);
            records += static_cast<char>(flags);
            records += '\0';
            records += static_cast<char>(std::lround(satellite->elevationDeg));
            long azimuth = std::lround(satellite->azimuthDeg);
            if (azimuth >= 360) azimuth -= 360;
            PutBe(records, static_cast<std::uint16_t>(azimuth));
            records += static_cast<char>(Snr(satellite->snr));
            records += static_cast<char>(Snr(satellite->snr - 4.0));
            records += '\0';  // no L5
        }
        CloseRecord(records, data);
    }
}

}  // namespace

void CGsofWriter::AppendEpoch(const ReceiverEpoch& e, std::string& out)
{
    records_.clear();
    std::size_t data = OpenRecord(records_, 1);
    PutBe(records_, e.gpsMsOfWeek);
    PutBe(records_, static_cast<std::uint16_t>(e.gpsWeek));
    records_ += static_cast<char>(e.satellitesUsed);
    records_ += '\x3F';  // new position, clock, horizontal and height, least squares
    records_ += static_cast<char>(SolutionFlags(e.fixQuality));
    records_ += '\x01';  // initialisation counter
    CloseRecord(records_, data);

    data = OpenRecord(records_, 2);
    PutBe(records_, e.latitudeDeg * kRadiansPerDegree);
    PutBe(records_, e.longitudeDeg * kRadiansPerDegree);
    PutBe(records_, e.EllipsoidHeight());
    CloseRecord(records_, data);

    data = OpenRecord(records_, 8);
    records_ += '\x05';  // velocity and heading valid, from Doppler
    PutBe(records_, static_cast<float>(e.speed));
    PutBe(records_, static_cast<float>(e.courseDeg * kRadiansPerDegree));
    PutBe(records_, 0.0f);
    CloseRecord(records_, data);

    data = OpenRecord(records_, 9);
    PutBe(records_, static_cast<float>(e.pdop));
    PutBe(records_, static_cast<float>(e.hdop));
    PutBe(records_, static_cast<float>(e.vdop));
    PutBe(records_, static_cast<float>(e.hdop * 0.8));
    CloseRecord(records_, data);

    data = OpenRecord(records_, 12);
    PutBe(records_, static_cast<float>(e.errorRms));
    PutBe(records_, static_cast<float>(e.sigmaLon));
    PutBe(records_, static_cast<float>(e.sigmaLat));
    PutBe(records_, 0.0f);
    PutBe(records_, static_cast<float>(e.sigmaAlt));
    PutBe(records_, static_cast<float>(e.errorMajor));
    PutBe(records_, static_cast<float>(e.errorMinor));
    PutBe(records_, static_cast<float>(e.errorOrientationDeg));
    PutBe(records_, 1.0f);
    PutBe<std::uint16_t>(records_, 1);
    CloseRecord(records_, data);

    data = OpenRecord(records_, 16);
    PutBe(records_, e.gpsMsOfWeek);
    PutBe(records_, static_cast<std::uint16_t>(e.gpsWeek));
    PutBe<std::int16_t>(records_, 18);  // GPS - UTC, s
    records_ += '\x03';                 // time and offset valid
    CloseRecord(records_, data);

    AppendSatelliteRecords(e, records_);

    // A transmission longer than a page goes out as several; records may straddle pages.
    const std::size_t pages = (records_.size() + kPageCapacity - 1) / kPageCapacity;
    for (std::size_t page = 0; page < pages; ++page) {
        const std::size_t from = page * kPageCapacity;
        const std::size_t size = std::min(kPageCapacity, records_.size() - from);
        const std::size_t start = out.size();
        out += '\x02';
        out += '\x28';  // receiver status
        out += '\x40';
        out += static_cast<char>(size + 3);
        out += static_cast<char>(transmission_);
        out += static_cast<char>(page);
        out += static_cast<char>(pages - 1);
        out.append(records_, from, size);
        std::uint8_t sum = 0;
        for (std::size_t i = start + 1; i < out.size(); ++i)
            sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(out[i]));
        out += static_cast<char>(sum);
        out += '\x03';
    }
    ++transmission_;
}
