#pragma once

#include <cstdint>
#include <random>
#include <string>
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

// The project's own receiver: what a multi-constellation NMEA 4.11 receiver sends, for a
// receiver wandering near a point. The same options and seed always give the same bytes.
class CReceiverSimulator {
public:
    explicit CReceiverSimulator(const SimulatorOptions& options);

    // Appends the sentences of the next epoch to out; false once the run is over.
    bool NextEpoch(std::string& out);
    // Number of epochs the whole run produces.
    std::uint64_t EpochCount() const;

private:
    struct Satellite {
        std::int32_t prn = 0;
        double elevationDeg = 0.0;
        double azimuthDeg = 0.0;
        double elevationRate = 0.0;  // degrees per second
        double azimuthRate = 0.0;    // degrees per second
        double snr = 0.0;
    };
    struct Constellation {
        const char* gsvTalker;
        std::int32_t systemId;
        std::int32_t firstPrn;
        std::int32_t lastPrn;
        std::vector<Satellite> satellites;
    };

    double Uniform();  // [0, 1)
    double Uniform(double low, double high);
    double Noise();  // zero mean, unit variance, bounded
    Satellite NewSatellite(const Constellation& system, bool rising);
    void Step(double dt);
    void StepSatellites(double dt);
    void AdvanceDate(std::int64_t day);
    std::int32_t FixQuality() const;
    std::int32_t UsedCount(const Constellation& system) const;
    double SpeedMetresPerSecond() const;
    double CourseDeg() const;
    void AppendPosition(std::string& s) const;

    void AppendGga(std::string& out);
    void AppendRmc(std::string& out);
    void AppendGsa(std::string& out);
    void AppendGsv(std::string& out);
    void AppendGst(std::string& out);
    void AppendZda(std::string& out);
    void AppendVtg(std::string& out);

    SimulatorOptions options_;
    std::uint64_t epoch_ = 0;
    std::mt19937 random_;

    // Time of the current epoch.
    std::int64_t startCentiseconds_ = 0;
    std::int32_t timeOfDayCs_ = 0;
    std::int64_t day_ = 0;
    std::int32_t year_ = 2026;
    std::int32_t month_ = 12;
    std::int32_t dayOfMonth_ = 5;

    // Receiver offset from the chosen point, local north/east in metres.
    double north_ = 0.0;
    double east_ = 0.0;
    double velocityNorth_ = 0.0;
    double velocityEast_ = 0.0;
    double altitudeOffset_ = 0.0;
    double metresPerDegreeLon_ = 1.0;
    double hdop_ = 0.9;
    double correctionAge_ = 1.0;
    double errorOrientationDeg_ = 0.0;

    std::size_t qualityIndex_ = 0;
    double qualityUntil_ = 0.0;  // simulated seconds since the start
    std::vector<Constellation> constellations_;
    std::string sentence_;
};
