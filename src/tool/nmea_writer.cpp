#include <algorithm>
#include <charconv>
#include <cmath>

#include "tool/epoch_writers.h"

namespace {

constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;
constexpr std::size_t kMaxUsedPerSystem = 12;

void AppendInt(std::string& out, std::int64_t value, int width)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const int length = static_cast<int>(result.ptr - buffer);
    if (length < width) out.append(static_cast<std::size_t>(width - length), '0');
    out.append(buffer, result.ptr);
}

void AppendFixed(std::string& out, double value, int decimals)
{
    // A value that rounds to zero must not print as "-0.00".
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;
    char buffer[48];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ptr);
}

// ddmm.mmmmmmm (or dddmm.mmmmmmm); whole units of 1e-7 minute so that rounding can never
// produce "60.0000000" minutes.
void AppendAngle(std::string& out, double degrees, int degreeDigits)
{
    const std::int64_t units = std::llround(std::fabs(degrees) * 60.0 * 1e7);
    const std::int64_t unitsPerDegree = 60 * 10000000LL;
    AppendInt(out, units / unitsPerDegree, degreeDigits);
    const std::int64_t rest = units % unitsPerDegree;
    AppendInt(out, rest / 10000000LL, 2);
    out += '.';
    AppendInt(out, rest % 10000000LL, 7);
}

void AppendTime(std::string& out, std::int32_t timeOfDayCs)
{
    const std::int32_t seconds = timeOfDayCs / 100;
    AppendInt(out, seconds / 3600, 2);
    AppendInt(out, seconds / 60 % 60, 2);
    AppendInt(out, seconds % 60, 2);
    out += '.';
    AppendInt(out, timeOfDayCs % 100, 2);
}

// Closes the sentence in text with "*hh\r\n" and moves it to out.
void Finish(std::string& text, std::string& out)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < text.size(); ++i) sum ^= static_cast<std::uint8_t>(text[i]);
    static constexpr char kHex[] = "0123456789ABCDEF";
    text += '*';
    text += kHex[sum >> 4];
    text += kHex[sum & 0x0F];
    text += "\r\n";
    out += text;
}

char ModeIndicator(std::int32_t quality)
{
    switch (quality) {
        case 2: return 'D';
        case 4: return 'R';
        case 5: return 'F';
        default: return 'A';
    }
}

void AppendPosition(std::string& s, const ReceiverEpoch& e)
{
    AppendAngle(s, e.latitudeDeg, 2);
    s += e.latitudeDeg < 0.0 ? ",S," : ",N,";
    AppendAngle(s, e.longitudeDeg, 3);
    s += e.longitudeDeg < 0.0 ? ",W" : ",E";
}

void AppendGga(const ReceiverEpoch& e, std::string& s, std::string& out)
{
    s.assign("$GNGGA,");
    AppendTime(s, e.timeOfDayCs);
    s += ',';
    AppendPosition(s, e);
    s += ',';
    AppendInt(s, e.fixQuality, 1);
    s += ',';
    AppendInt(s, e.satellitesUsed, 2);
    s += ',';
    AppendFixed(s, e.hdop, 2);
    s += ',';
    AppendFixed(s, e.mslAltitude, 3);
    s += ",M,";
    AppendFixed(s, e.geoidSeparation, 3);
    s += ",M,";
    // Differential and RTK fixes carry the age of the corrections and the base station id.
    if (e.fixQuality != 1) {
        AppendFixed(s, e.correctionAge, 1);
        s += ",0001";
    } else {
        s += ',';
    }
    Finish(s, out);
}

void AppendRmc(const ReceiverEpoch& e, std::string& s, std::string& out)
{
    s.assign("$GNRMC,");
    AppendTime(s, e.timeOfDayCs);
    s += ",A,";
    AppendPosition(s, e);
    s += ',';
    AppendFixed(s, e.speed * kKnotsPerMetrePerSecond, 3);
    s += ',';
    AppendFixed(s, e.courseDeg, 2);
    s += ',';
    AppendInt(s, e.day, 2);
    AppendInt(s, e.month, 2);
    AppendInt(s, e.year % 100, 2);
    s += ",,,";
    s += ModeIndicator(e.fixQuality);
    s += ",V";
    Finish(s, out);
}

void AppendGsa(const ReceiverEpoch& e, std::string& s, std::string& out)
{
    for (const SimulatedConstellation& system : e.constellations) {
        s.assign("$GNGSA,A,3,");
        std::size_t listed = 0;
        for (const SimulatedSatellite& satellite : system.satellites) {
            if (!satellite.used) continue;
            AppendInt(s, satellite.prn, 2);
            s += ',';
            ++listed;
        }
        for (; listed < kMaxUsedPerSystem; ++listed) s += ',';
        AppendFixed(s, e.pdop, 2);
        s += ',';
        AppendFixed(s, e.hdop, 2);
        s += ',';
        AppendFixed(s, e.vdop, 2);
        s += ',';
        AppendInt(s, system.systemId, 1);
        Finish(s, out);
    }
}

void AppendGsv(const ReceiverEpoch& e, std::string& s, std::string& out)
{
    for (const SimulatedConstellation& system : e.constellations) {
        const std::size_t inView = system.satellites.size();
        const std::size_t messages = (inView + 3) / 4;
        for (std::size_t message = 0; message < messages; ++message) {
            s.clear();
            s += '$';
            s += system.gsvTalker;
            s += ',';
            AppendInt(s, static_cast<std::int64_t>(messages), 1);
            s += ',';
            AppendInt(s, static_cast<std::int64_t>(message + 1), 1);
            s += ',';
            AppendInt(s, static_cast<std::int64_t>(inView), 2);
            const std::size_t last = std::min(inView, message * 4 + 4);
            for (std::size_t i = message * 4; i < last; ++i) {
                const SimulatedSatellite& satellite = system.satellites[i];
                std::int64_t azimuth = std::llround(satellite.azimuthDeg);
                if (azimuth >= 360) azimuth -= 360;
                s += ',';
                AppendInt(s, satellite.prn, 2);
                s += ',';
                AppendInt(s, std::llround(satellite.elevationDeg), 2);
                s += ',';
                AppendInt(s, azimuth, 3);
                s += ',';
                AppendInt(s, std::llround(satellite.snr), 2);
            }
            s += ",1";
            Finish(s, out);
        }
    }
}

void AppendGst(const ReceiverEpoch& e, std::string& s, std::string& out)
{
    s.assign("$GNGST,");
    AppendTime(s, e.timeOfDayCs);
    s += ',';
    AppendFixed(s, e.errorRms, 3);
    s += ',';
    AppendFixed(s, e.errorMajor, 3);
    s += ',';
    AppendFixed(s, e.errorMinor, 3);
    s += ',';
    AppendFixed(s, e.errorOrientationDeg, 1);
    s += ',';
    AppendFixed(s, e.sigmaLat, 3);
    s += ',';
    AppendFixed(s, e.sigmaLon, 3);
    s += ',';
    AppendFixed(s, e.sigmaAlt, 3);
    Finish(s, out);
}

void AppendZda(const ReceiverEpoch& e, std::string& s, std::string& out)
{
    s.assign("$GNZDA,");
    AppendTime(s, e.timeOfDayCs);
    s += ',';
    AppendInt(s, e.day, 2);
    s += ',';
    AppendInt(s, e.month, 2);
    s += ',';
    AppendInt(s, e.year, 4);
    s += ",00,00";
    Finish(s, out);
}

void AppendVtg(const ReceiverEpoch& e, std::string& s, std::string& out)
{
    s.assign("$GNVTG,");
    AppendFixed(s, e.courseDeg, 2);
    s += ",T,,M,";
    AppendFixed(s, e.speed * kKnotsPerMetrePerSecond, 3);
    s += ",N,";
    AppendFixed(s, e.speed * 3.6, 3);
    s += ",K,";
    s += ModeIndicator(e.fixQuality);
    Finish(s, out);
}

}  // namespace

void AppendNmeaEpoch(const ReceiverEpoch& epoch, std::string& out, std::string& scratch)
{
    AppendGga(epoch, scratch, out);
    AppendRmc(epoch, scratch, out);
    AppendGsa(epoch, scratch, out);
    AppendGsv(epoch, scratch, out);
    AppendGst(epoch, scratch, out);
    AppendZda(epoch, scratch, out);
    AppendVtg(epoch, scratch, out);
}
