#pragma once

#include <cstdint>
#include <random>
#include <vector>

// Settings of one simulated run.
struct SimulatorOptions {
    double rateHz = 1.0;                // epochs per second, 0 < rate <= 100
    double seconds = 60.0;              // length of the run
    std::int32_t startHhmmss = 235930;  // UTC time of the first epoch
    double latitudeDeg = 37.473125;
    double longitudeDeg = 126.881210;
    std::uint32_t seed = 1;
};

enum class SimulatedSystem { Gps, Glonass, Galileo, BeiDou };

struct SimulatedSatellite {
    std::int32_t prn = 0;  // as NMEA numbers it (GLONASS 65-96)
    double elevationDeg = 0.0;
    double azimuthDeg = 0.0;
    double elevationRate = 0.0;  // degrees per second
    double azimuthRate = 0.0;    // degrees per second
    double snr = 0.0;            // first signal, dB-Hz
    bool used = false;           // in the solution
};

struct SimulatedConstellation {
    SimulatedSystem system;
    const char* gsvTalker;
    std::int32_t systemId;  // NMEA 4.11 GSA system id
    std::int32_t firstPrn;
    std::int32_t lastPrn;
    std::vector<SimulatedSatellite> satellites;
};

// Everything the receiver knows at one epoch; each protocol writer reports from this alone,
// so every protocol tells the same story.
struct ReceiverEpoch {
    std::uint64_t index = 0;
    std::uint64_t elapsedMs = 0;   // since the first epoch
    std::int32_t timeOfDayCs = 0;  // UTC
    std::int32_t year = 2026;
    std::int32_t month = 12;
    std::int32_t day = 5;
    std::uint32_t gpsWeek = 0;
    std::uint32_t gpsMsOfWeek = 0;

    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double mslAltitude = 0.0;
    double geoidSeparation = 0.0;
    double velocityNorth = 0.0;  // m/s
    double velocityEast = 0.0;
    double speed = 0.0;  // m/s over ground
    double courseDeg = 0.0;

    std::int32_t fixQuality = 1;  // GGA numbering: 1, 2, 4 or 5
    std::int32_t satellitesUsed = 0;
    double hdop = 0.9;
    double vdop = 1.26;
    double pdop = 1.55;
    double correctionAge = 1.0;  // seconds; differential and RTK fixes only

    // Error ellipse and standard deviations, metres.
    double errorRms = 0.0;
    double errorMajor = 0.0;
    double errorMinor = 0.0;
    double errorOrientationDeg = 0.0;
    double sigmaLat = 0.0;
    double sigmaLon = 0.0;
    double sigmaAlt = 0.0;

    std::vector<SimulatedConstellation> constellations;

    double EllipsoidHeight() const { return mslAltitude + geoidSeparation; }
};

// The receiver itself: a point wandering near the chosen place, satellites rising and
// setting, fix quality cycling through its kinds, a UTC clock. The same options and seed
// always give the same epochs.
class CReceiverModel {
public:
    explicit CReceiverModel(const SimulatorOptions& options);

    // Moves on to the next epoch; false once the run is over.
    bool Next();
    const ReceiverEpoch& Epoch() const { return epoch_; }
    std::uint64_t EpochCount() const;

private:
    double Uniform();  // [0, 1)
    double Uniform(double low, double high);
    double Noise();  // zero mean, unit variance, bounded
    SimulatedSatellite NewSatellite(const SimulatedConstellation& system, bool rising);
    void Step(double dt);
    void StepSatellites(double dt);
    void AdvanceDate(std::int64_t day);
    void Describe();

    SimulatorOptions options_;
    std::uint64_t next_ = 0;
    std::mt19937 random_;
    std::int64_t startCentiseconds_ = 0;
    std::int64_t day_ = 0;

    // Offset from the chosen point, local north/east in metres.
    double north_ = 0.0;
    double east_ = 0.0;
    double altitudeOffset_ = 0.0;
    double metresPerDegreeLon_ = 1.0;
    std::size_t qualityIndex_ = 0;
    double qualityUntil_ = 0.0;  // simulated seconds since the start

    ReceiverEpoch epoch_;
};
