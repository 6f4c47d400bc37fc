#include "tool/receiver_simulator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegreeLat = 111319.49;
constexpr double kMaxSeconds = 7.0 * 86400.0;
constexpr std::int64_t kCentisecondsPerDay = 8640000;
constexpr double kWanderRadius = 50.0;
constexpr double kMslAltitude = 40.0;
constexpr double kGeoidSeparation = 23.5;
constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;
constexpr double kUsedElevation = 10.0;
constexpr std::size_t kMaxUsedPerSystem = 12;
constexpr std::array<std::int32_t, 4> kQualities = {1, 2, 5, 4};

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

bool IsLeapYear(std::int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::int32_t DaysInMonth(std::int32_t year, std::int32_t month)
{
    static constexpr std::array<std::int32_t, 12> kDays = {31, 28, 31, 30, 31, 30,
                                                           31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year)) return 29;
    return kDays[static_cast<std::size_t>(month - 1)];
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

// Typical 1-sigma horizontal error of each fix quality, metres.
double QualitySigma(std::int32_t quality)
{
    switch (quality) {
        case 2: return 0.5;
        case 4: return 0.012;
        case 5: return 0.15;
        default: return 1.6;
    }
}

}  // namespace

CReceiverSimulator::CReceiverSimulator(const SimulatorOptions& options)
    : options_(options), random_(options.seed)
{
    // Out-of-range settings are pulled into range so the run is always well formed.
    if (!(options_.rateHz > 0.0 && options_.rateHz <= 100.0)) options_.rateHz = 1.0;
    if (!(options_.seconds > 0.0)) options_.seconds = 0.0;
    options_.seconds = std::min(options_.seconds, kMaxSeconds);
    if (!(options_.latitudeDeg >= -90.0 && options_.latitudeDeg <= 90.0))
        options_.latitudeDeg = 0.0;
    if (!(options_.longitudeDeg >= -180.0 && options_.longitudeDeg <= 180.0)) {
        options_.longitudeDeg = 0.0;
    }
    const std::int32_t start = std::max<std::int32_t>(options_.startHhmmss, 0);
    const std::int64_t startSeconds = static_cast<std::int64_t>(start / 10000 % 24) * 3600 +
                                      (start / 100 % 100 % 60) * 60 + start % 100 % 60;
    startCentiseconds_ = startSeconds * 100;
    timeOfDayCs_ = static_cast<std::int32_t>(startCentiseconds_);

    // Near the poles a metre is many degrees of longitude; the floor keeps the walk finite.
    metresPerDegreeLon_ =
        std::max(kMetresPerDegreeLat * std::cos(options_.latitudeDeg * kPi / 180.0), 1000.0);

    constellations_ = {{"GPGSV", 1, 1, 32, {}},
                       {"GLGSV", 2, 65, 96, {}},
                       {"GAGSV", 3, 1, 36, {}},
                       {"GBGSV", 4, 1, 63, {}}};
    for (Constellation& system : constellations_) {
        const std::size_t count = 8 + static_cast<std::size_t>(Uniform() * 5.0);
        while (system.satellites.size() < count) {
            system.satellites.push_back(NewSatellite(system, false));
        }
    }
    StepSatellites(0.0);

    hdop_ = Uniform(0.7, 1.1);
    errorOrientationDeg_ = Uniform(0.0, 180.0);
    qualityUntil_ = Uniform(15.0, 20.0);
}

std::uint64_t CReceiverSimulator::EpochCount() const
{
    const double count = std::round(options_.seconds * options_.rateHz);
    return count < 1.0 ? 1 : static_cast<std::uint64_t>(count);
}

double CReceiverSimulator::Uniform()
{
    // Own mapping from the raw 32-bit output, so every standard library gives the same doubles.
    return static_cast<double>(random_() & 0xFFFFFFFFu) * (1.0 / 4294967296.0);
}

double CReceiverSimulator::Uniform(double low, double high)
{
    return low + (high - low) * Uniform();
}

double CReceiverSimulator::Noise()
{
    // Sum of four uniforms: close enough to a bell curve, and never wild.
    const double sum = Uniform() + Uniform() + Uniform() + Uniform();
    return (sum - 2.0) * 1.7320508075688772;
}

CReceiverSimulator::Satellite CReceiverSimulator::NewSatellite(const Constellation& system,
                                                               bool rising)
{
    Satellite satellite;
    const std::int32_t span = system.lastPrn - system.firstPrn + 1;
    for (;;) {
        satellite.prn = system.firstPrn + static_cast<std::int32_t>(Uniform() * span);
        const bool taken = std::any_of(system.satellites.begin(), system.satellites.end(),
                                       [&](const Satellite& s) { return s.prn == satellite.prn; });
        if (!taken) break;
    }
    satellite.elevationDeg = rising ? 5.0 : Uniform(8.0, 85.0);
    satellite.azimuthDeg = Uniform(0.0, 360.0);
    const double elevationSpeed = Uniform(0.004, 0.02);
    satellite.elevationRate = (rising || Uniform() < 0.5) ? elevationSpeed : -elevationSpeed;
    satellite.azimuthRate = (Uniform() < 0.5 ? 1.0 : -1.0) * Uniform(0.005, 0.04);
    return satellite;
}

void CReceiverSimulator::StepSatellites(double dt)
{
    for (Constellation& system : constellations_) {
        for (Satellite& satellite : system.satellites) {
            satellite.elevationDeg += satellite.elevationRate * dt;
            satellite.azimuthDeg += satellite.azimuthRate * dt;
            if (satellite.azimuthDeg >= 360.0) satellite.azimuthDeg -= 360.0;
            if (satellite.azimuthDeg < 0.0) satellite.azimuthDeg += 360.0;
            if (satellite.elevationDeg > 88.0) {
                satellite.elevationDeg = 88.0;
                satellite.elevationRate = -std::fabs(satellite.elevationRate);
            }
            // A setting satellite makes room for a new one rising elsewhere.
            if (satellite.elevationDeg < 5.0) satellite = NewSatellite(system, true);
            const double snr = 28.0 + 20.0 * satellite.elevationDeg / 90.0 + Noise();
            satellite.snr = std::clamp(snr, 25.0, 50.0);
        }
    }
}

void CReceiverSimulator::Step(double dt)
{
    // Damped spring towards the point plus random pushes: tens of centimetres per second,
    // a few metres of spread.
    constexpr double kSpring = 0.001;
    constexpr double kDamping = 0.1;
    constexpr double kPush = 0.067;
    const double root = std::sqrt(dt);
    velocityNorth_ += (-kSpring * north_ - kDamping * velocityNorth_) * dt + kPush * root * Noise();
    velocityEast_ += (-kSpring * east_ - kDamping * velocityEast_) * dt + kPush * root * Noise();
    north_ += velocityNorth_ * dt;
    east_ += velocityEast_ * dt;
    const double radius = std::hypot(north_, east_);
    if (radius > kWanderRadius) {
        north_ *= kWanderRadius / radius;
        east_ *= kWanderRadius / radius;
        const double outward = (velocityNorth_ * north_ + velocityEast_ * east_) / kWanderRadius;
        if (outward > 0.0) {
            velocityNorth_ -= outward * north_ / kWanderRadius;
            velocityEast_ -= outward * east_ / kWanderRadius;
        }
    }

    altitudeOffset_ += -0.05 * altitudeOffset_ * dt + 0.05 * root * Noise();
    hdop_ += (0.9 - hdop_) * 0.02 * dt + 0.01 * root * Noise();
    hdop_ = std::clamp(hdop_, 0.5, 1.5);
    errorOrientationDeg_ += 0.5 * root * Noise();
    if (errorOrientationDeg_ >= 180.0) errorOrientationDeg_ -= 180.0;
    if (errorOrientationDeg_ < 0.0) errorOrientationDeg_ += 180.0;
    correctionAge_ = Uniform(0.5, 1.5);
    StepSatellites(dt);
}

void CReceiverSimulator::AdvanceDate(std::int64_t day)
{
    while (day_ < day) {
        ++day_;
        if (++dayOfMonth_ > DaysInMonth(year_, month_)) {
            dayOfMonth_ = 1;
            if (++month_ > 12) {
                month_ = 1;
                ++year_;
            }
        }
    }
}

std::int32_t CReceiverSimulator::FixQuality() const { return kQualities[qualityIndex_]; }

std::int32_t CReceiverSimulator::UsedCount(const Constellation& system) const
{
    std::size_t used = 0;
    for (const Satellite& satellite : system.satellites) {
        if (satellite.elevationDeg >= kUsedElevation) ++used;
    }
    return static_cast<std::int32_t>(std::min(used, kMaxUsedPerSystem));
}

bool CReceiverSimulator::NextEpoch(std::string& out)
{
    if (epoch_ >= EpochCount()) return false;
    const double dt = 1.0 / options_.rateHz;
    if (epoch_ > 0) Step(dt);

    const double elapsed = static_cast<double>(epoch_) * dt;
    while (elapsed >= qualityUntil_) {
        qualityIndex_ = (qualityIndex_ + 1) % kQualities.size();
        qualityUntil_ += Uniform(15.0, 20.0);
    }
    // Whole centiseconds from the epoch number, so no rounding error piles up over a long run.
    const std::int64_t total =
        startCentiseconds_ + std::llround(static_cast<double>(epoch_) * 100.0 / options_.rateHz);
    timeOfDayCs_ = static_cast<std::int32_t>(total % kCentisecondsPerDay);
    AdvanceDate(total / kCentisecondsPerDay);

    AppendGga(out);
    AppendRmc(out);
    AppendGsa(out);
    AppendGsv(out);
    AppendGst(out);
    AppendZda(out);
    AppendVtg(out);
    ++epoch_;
    return true;
}

double CReceiverSimulator::SpeedMetresPerSecond() const
{
    return std::hypot(velocityNorth_, velocityEast_);
}

double CReceiverSimulator::CourseDeg() const
{
    double course = std::atan2(velocityEast_, velocityNorth_) * 180.0 / kPi;
    if (course < 0.0) course += 360.0;
    // Would print as "360.00".
    if (course >= 359.995) course = 0.0;
    return course;
}

void CReceiverSimulator::AppendPosition(std::string& s) const
{
    const double latitude =
        std::clamp(options_.latitudeDeg + north_ / kMetresPerDegreeLat, -90.0, 90.0);
    double longitude = options_.longitudeDeg + east_ / metresPerDegreeLon_;
    if (longitude > 180.0) longitude -= 360.0;
    if (longitude < -180.0) longitude += 360.0;
    AppendAngle(s, latitude, 2);
    s += latitude < 0.0 ? ",S," : ",N,";
    AppendAngle(s, longitude, 3);
    s += longitude < 0.0 ? ",W" : ",E";
}

void CReceiverSimulator::AppendGga(std::string& out)
{
    const std::int32_t quality = FixQuality();
    std::int32_t used = 0;
    for (const Constellation& system : constellations_) used += UsedCount(system);

    std::string& s = sentence_;
    s.assign("$GNGGA,");
    AppendTime(s, timeOfDayCs_);
    s += ',';
    AppendPosition(s);
    s += ',';
    AppendInt(s, quality, 1);
    s += ',';
    AppendInt(s, used, 2);
    s += ',';
    AppendFixed(s, hdop_, 2);
    s += ',';
    AppendFixed(s, kMslAltitude + altitudeOffset_, 3);
    s += ",M,";
    AppendFixed(s, kGeoidSeparation, 3);
    s += ",M,";
    // Differential and RTK fixes carry the age of the corrections and the base station id.
    if (quality != 1) {
        AppendFixed(s, correctionAge_, 1);
        s += ",0001";
    } else {
        s += ',';
    }
    Finish(s, out);
}

void CReceiverSimulator::AppendRmc(std::string& out)
{
    std::string& s = sentence_;
    s.assign("$GNRMC,");
    AppendTime(s, timeOfDayCs_);
    s += ",A,";
    AppendPosition(s);
    s += ',';
    AppendFixed(s, SpeedMetresPerSecond() * kKnotsPerMetrePerSecond, 3);
    s += ',';
    AppendFixed(s, CourseDeg(), 2);
    s += ',';
    AppendInt(s, dayOfMonth_, 2);
    AppendInt(s, month_, 2);
    AppendInt(s, year_ % 100, 2);
    s += ",,,";
    s += ModeIndicator(FixQuality());
    s += ",V";
    Finish(s, out);
}

void CReceiverSimulator::AppendGsa(std::string& out)
{
    const double vdop = hdop_ * 1.4;
    const double pdop = std::sqrt(hdop_ * hdop_ + vdop * vdop);
    std::string& s = sentence_;
    for (const Constellation& system : constellations_) {
        s.assign("$GNGSA,A,3,");
        std::size_t listed = 0;
        for (const Satellite& satellite : system.satellites) {
            if (listed == kMaxUsedPerSystem) break;
            if (satellite.elevationDeg < kUsedElevation) continue;
            AppendInt(s, satellite.prn, 2);
            s += ',';
            ++listed;
        }
        for (; listed < kMaxUsedPerSystem; ++listed) s += ',';
        AppendFixed(s, pdop, 2);
        s += ',';
        AppendFixed(s, hdop_, 2);
        s += ',';
        AppendFixed(s, vdop, 2);
        s += ',';
        AppendInt(s, system.systemId, 1);
        Finish(s, out);
    }
}

void CReceiverSimulator::AppendGsv(std::string& out)
{
    std::string& s = sentence_;
    for (const Constellation& system : constellations_) {
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
                const Satellite& satellite = system.satellites[i];
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

void CReceiverSimulator::AppendGst(std::string& out)
{
    const double sigma = QualitySigma(FixQuality()) * hdop_ / 0.9;
    const double major = sigma * (1.0 + 0.05 * Noise());
    const double minor = major * 0.7;
    const double angle = errorOrientationDeg_ * kPi / 180.0;
    const double sine = std::sin(angle);
    const double cosine = std::cos(angle);
    const double sigmaLat = std::hypot(major * cosine, minor * sine);
    const double sigmaLon = std::hypot(major * sine, minor * cosine);

    std::string& s = sentence_;
    s.assign("$GNGST,");
    AppendTime(s, timeOfDayCs_);
    s += ',';
    AppendFixed(s, major * 1.2, 3);
    s += ',';
    AppendFixed(s, major, 3);
    s += ',';
    AppendFixed(s, minor, 3);
    s += ',';
    AppendFixed(s, errorOrientationDeg_, 1);
    s += ',';
    AppendFixed(s, sigmaLat, 3);
    s += ',';
    AppendFixed(s, sigmaLon, 3);
    s += ',';
    AppendFixed(s, major * 1.6, 3);
    Finish(s, out);
}

void CReceiverSimulator::AppendZda(std::string& out)
{
    std::string& s = sentence_;
    s.assign("$GNZDA,");
    AppendTime(s, timeOfDayCs_);
    s += ',';
    AppendInt(s, dayOfMonth_, 2);
    s += ',';
    AppendInt(s, month_, 2);
    s += ',';
    AppendInt(s, year_, 4);
    s += ",00,00";
    Finish(s, out);
}

void CReceiverSimulator::AppendVtg(std::string& out)
{
    const double speed = SpeedMetresPerSecond();
    std::string& s = sentence_;
    s.assign("$GNVTG,");
    AppendFixed(s, CourseDeg(), 2);
    s += ",T,,M,";
    AppendFixed(s, speed * kKnotsPerMetrePerSecond, 3);
    s += ",N,";
    AppendFixed(s, speed * 3.6, 3);
    s += ",K,";
    s += ModeIndicator(FixQuality());
    Finish(s, out);
}
