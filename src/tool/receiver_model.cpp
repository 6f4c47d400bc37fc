#include "tool/receiver_model.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegreeLat = 111319.49;
constexpr double kMaxSeconds = 7.0 * 86400.0;
constexpr std::int64_t kCentisecondsPerDay = 8640000;
constexpr double kWanderRadius = 50.0;
constexpr double kMslAltitude = 40.0;
constexpr double kGeoidSeparation = 23.5;
constexpr double kUsedElevation = 10.0;
constexpr std::size_t kMaxUsedPerSystem = 12;
constexpr std::array<std::int32_t, 4> kQualities = {1, 2, 5, 4};
// GPS time runs ahead of UTC by the leap seconds since 1980.
constexpr std::int64_t kGpsMinusUtcSeconds = 18;
constexpr std::int64_t kMsPerWeek = 604800000;

bool IsLeapYear(std::int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::int32_t DaysInMonth(std::int32_t year, std::int32_t month)
{
    static constexpr std::array<std::int32_t, 12> kDays = {31, 28, 31, 30, 31, 30,
                                                           31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year)) return 29;
    return kDays[static_cast<std::size_t>(month - 1)];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int32_t year, std::int32_t month, std::int32_t day)
{
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
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

CReceiverModel::CReceiverModel(const SimulatorOptions& options)
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
    epoch_.timeOfDayCs = static_cast<std::int32_t>(startCentiseconds_);

    // Near the poles a metre is many degrees of longitude; the floor keeps the walk finite.
    metresPerDegreeLon_ =
        std::max(kMetresPerDegreeLat * std::cos(options_.latitudeDeg * kPi / 180.0), 1000.0);

    epoch_.constellations = {{SimulatedSystem::Gps, "GPGSV", 1, 1, 32, {}},
                             {SimulatedSystem::Glonass, "GLGSV", 2, 65, 96, {}},
                             {SimulatedSystem::Galileo, "GAGSV", 3, 1, 36, {}},
                             {SimulatedSystem::BeiDou, "GBGSV", 4, 1, 63, {}}};
    for (SimulatedConstellation& system : epoch_.constellations) {
        const std::size_t count = 8 + static_cast<std::size_t>(Uniform() * 5.0);
        while (system.satellites.size() < count) {
            system.satellites.push_back(NewSatellite(system, false));
        }
    }
    StepSatellites(0.0);

    epoch_.hdop = Uniform(0.7, 1.1);
    epoch_.errorOrientationDeg = Uniform(0.0, 180.0);
    qualityUntil_ = Uniform(15.0, 20.0);
}

std::uint64_t CReceiverModel::EpochCount() const
{
    const double count = std::round(options_.seconds * options_.rateHz);
    return count < 1.0 ? 1 : static_cast<std::uint64_t>(count);
}

double CReceiverModel::Uniform()
{
    // Own mapping from the raw 32-bit output, so every standard library gives the same doubles.
    return static_cast<double>(random_() & 0xFFFFFFFFu) * (1.0 / 4294967296.0);
}

double CReceiverModel::Uniform(double low, double high) { return low + (high - low) * Uniform(); }

double CReceiverModel::Noise()
{
    // Sum of four uniforms: close enough to a bell curve, and never wild.
    const double sum = Uniform() + Uniform() + Uniform() + Uniform();
    return (sum - 2.0) * 1.7320508075688772;
}

SimulatedSatellite CReceiverModel::NewSatellite(const SimulatedConstellation& system, bool rising)
{
    SimulatedSatellite satellite;
    const std::int32_t span = system.lastPrn - system.firstPrn + 1;
    for (;;) {
        satellite.prn = system.firstPrn + static_cast<std::int32_t>(Uniform() * span);
        const bool taken =
            std::any_of(system.satellites.begin(), system.satellites.end(),
                        [&](const SimulatedSatellite& s) { return s.prn == satellite.prn; });
        if (!taken) break;
    }
    satellite.elevationDeg = rising ? 5.0 : Uniform(8.0, 85.0);
    satellite.azimuthDeg = Uniform(0.0, 360.0);
    const double elevationSpeed = Uniform(0.004, 0.02);
    satellite.elevationRate = (rising || Uniform() < 0.5) ? elevationSpeed : -elevationSpeed;
    satellite.azimuthRate = (Uniform() < 0.5 ? 1.0 : -1.0) * Uniform(0.005, 0.04);
    return satellite;
}

void CReceiverModel::StepSatellites(double dt)
{
    for (SimulatedConstellation& system : epoch_.constellations) {
        for (SimulatedSatellite& satellite : system.satellites) {
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

void CReceiverModel::Step(double dt)
{
    // Damped spring towards the point plus random pushes: tens of centimetres per second,
    // a few metres of spread.
    constexpr double kSpring = 0.001;
    constexpr double kDamping = 0.1;
    constexpr double kPush = 0.067;
    const double root = std::sqrt(dt);
    double& vn = epoch_.velocityNorth;
    double& ve = epoch_.velocityEast;
    vn += (-kSpring * north_ - kDamping * vn) * dt + kPush * root * Noise();
    ve += (-kSpring * east_ - kDamping * ve) * dt + kPush * root * Noise();
    north_ += vn * dt;
    east_ += ve * dt;
    const double radius = std::hypot(north_, east_);
    if (radius > kWanderRadius) {
        north_ *= kWanderRadius / radius;
        east_ *= kWanderRadius / radius;
        const double outward = (vn * north_ + ve * east_) / kWanderRadius;
        if (outward > 0.0) {
            vn -= outward * north_ / kWanderRadius;
            ve -= outward * east_ / kWanderRadius;
        }
    }

    altitudeOffset_ += -0.05 * altitudeOffset_ * dt + 0.05 * root * Noise();
    double& hdop = epoch_.hdop;
    hdop += (0.9 - hdop) * 0.02 * dt + 0.01 * root * Noise();
    hdop = std::clamp(hdop, 0.5, 1.5);
    double& orientation = epoch_.errorOrientationDeg;
    orientation += 0.5 * root * Noise();
    if (orientation >= 180.0) orientation -= 180.0;
    if (orientation < 0.0) orientation += 180.0;
    epoch_.correctionAge = Uniform(0.5, 1.5);
    StepSatellites(dt);
}

void CReceiverModel::AdvanceDate(std::int64_t day)
{
    while (day_ < day) {
        ++day_;
        if (++epoch_.day > DaysInMonth(epoch_.year, epoch_.month)) {
            epoch_.day = 1;
            if (++epoch_.month > 12) {
                epoch_.month = 1;
                ++epoch_.year;
            }
        }
    }
}

bool CReceiverModel::Next()
{
    if (next_ >= EpochCount()) return false;
    const double dt = 1.0 / options_.rateHz;
    if (next_ > 0) Step(dt);

    const double elapsed = static_cast<double>(next_) * dt;
    while (elapsed >= qualityUntil_) {
        qualityIndex_ = (qualityIndex_ + 1) % kQualities.size();
        qualityUntil_ += Uniform(15.0, 20.0);
    }
    // Whole centiseconds from the epoch number, so no rounding error piles up over a long run.
    const std::int64_t total =
        startCentiseconds_ + std::llround(static_cast<double>(next_) * 100.0 / options_.rateHz);
    epoch_.index = next_;
    epoch_.elapsedMs = static_cast<std::uint64_t>(total - startCentiseconds_) * 10;
    epoch_.timeOfDayCs = static_cast<std::int32_t>(total % kCentisecondsPerDay);
    AdvanceDate(total / kCentisecondsPerDay);
    Describe();
    ++next_;
    return true;
}

void CReceiverModel::Describe()
{
    ReceiverEpoch& e = epoch_;
    e.latitudeDeg = std::clamp(options_.latitudeDeg + north_ / kMetresPerDegreeLat, -90.0, 90.0);
    e.longitudeDeg = options_.longitudeDeg + east_ / metresPerDegreeLon_;
    if (e.longitudeDeg > 180.0) e.longitudeDeg -= 360.0;
    if (e.longitudeDeg < -180.0) e.longitudeDeg += 360.0;
    e.mslAltitude = kMslAltitude + altitudeOffset_;
    e.geoidSeparation = kGeoidSeparation;
    e.speed = std::hypot(e.velocityNorth, e.velocityEast);
    e.courseDeg = std::atan2(e.velocityEast, e.velocityNorth) * 180.0 / kPi;
    if (e.courseDeg < 0.0) e.courseDeg += 360.0;
    // Would print as "360.00".
    if (e.courseDeg >= 359.995) e.courseDeg = 0.0;
    e.fixQuality = kQualities[qualityIndex_];

    e.satellitesUsed = 0;
    for (SimulatedConstellation& system : e.constellations) {
        std::size_t used = 0;
        for (SimulatedSatellite& satellite : system.satellites) {
            satellite.used = used < kMaxUsedPerSystem && satellite.elevationDeg >= kUsedElevation;
            if (satellite.used) ++used;
        }
        e.satellitesUsed += static_cast<std::int32_t>(used);
    }
    e.vdop = e.hdop * 1.4;
    e.pdop = std::sqrt(e.hdop * e.hdop + e.vdop * e.vdop);

    const double sigma = QualitySigma(e.fixQuality) * e.hdop / 0.9;
    e.errorMajor = sigma * (1.0 + 0.05 * Noise());
    e.errorMinor = e.errorMajor * 0.7;
    const double angle = e.errorOrientationDeg * kPi / 180.0;
    const double sine = std::sin(angle);
    const double cosine = std::cos(angle);
    e.sigmaLat = std::hypot(e.errorMajor * cosine, e.errorMinor * sine);
    e.sigmaLon = std::hypot(e.errorMajor * sine, e.errorMinor * cosine);
    e.errorRms = e.errorMajor * 1.2;
    e.sigmaAlt = e.errorMajor * 1.6;

    const std::int64_t gpsMs =
        ((DaysFromCivil(e.year, e.month, e.day) - DaysFromCivil(1980, 1, 6)) * 86400 +
         kGpsMinusUtcSeconds) *
            1000 +
        std::int64_t{e.timeOfDayCs} * 10;
    e.gpsWeek = static_cast<std::uint32_t>(gpsMs / kMsPerWeek);
    e.gpsMsOfWeek = static_cast<std::uint32_t>(gpsMs % kMsPerWeek);
}
