#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "decode/taxi_meter_step.h"

// The meter's settings as section "NMEA" of the settings store holds them, already read.
struct TaxiMeterSettings {
    std::int32_t operationType = 0;  // 1 runs the meter
    double basicDistanceM = 2000.0;
    std::int32_t basicFee = 3800;  // shown only; the fare steps do not use it
    double minSpeedKmh = 15.32;
    std::int32_t unitFee = 100;
    std::int32_t unitDistanceM = 132;
    std::int32_t displaySpeedLimitIndex = 0;  // 0..3; moving threshold index x 5 km/h
    std::int32_t gpsModule = 0;               // stored only

    bool operator==(const TaxiMeterSettings&) const = default;
};

// The same settings as the store hands them: integers and number texts.
struct TaxiMeterSettingTexts {
    std::int32_t operationType = 0;
    std::string_view basicDistance = "2000.0";
    std::string_view basicFee = "3800";
    std::string_view minSpeed = "15.32";
    std::string_view unitFee = "100";
    std::string_view unitDistance = "132";
    std::int32_t displaySpeedLimitIndex = 0;
    std::int32_t gpsModule = 0;
};

// Texts are read as numbers in the C locale; a text that is not a number keeps the default.
TaxiMeterSettings ReadTaxiMeterSettings(const TaxiMeterSettingTexts& texts);

// Fare meter over the positions the NMEA decoder leaves in its state: a basic fare covers the
// basic distance, then each unit distance adds the unit fee. Slow or stopped time counts as
// distance driven at the minimum speed.
class CTaxiMeter final : public ITaxiMeterStep {
public:
    static constexpr double kThresholdStepKmh = 5.0;
    static constexpr std::int32_t kMaxSpeedLimitIndex = 3;

    CTaxiMeter();

    // Takes new settings and starts the distances and the fare over.
    void LoadSettings(const TaxiMeterSettings& settings);
    void Step(const GnssReceiverState& state) override;
    void ResetSamples() override;

    // Receives the per-step diagnostic lines; silent when unset.
    void SetDiagnosticSink(std::function<void(std::string_view)> sink)
    {
        diagnostics_ = std::move(sink);
    }

    const TaxiMeterSettings& Settings() const { return settings_; }
    std::int32_t BasicFee() const { return settings_.basicFee; }
    double BasicDistance() const { return settings_.basicDistanceM; }
    std::int32_t UnitFee() const { return settings_.unitFee; }
    std::int32_t UnitDistance() const { return settings_.unitDistanceM; }
    double MinSpeedMps() const { return minSpeedMps_; }
    double MovingThresholdKmh() const { return movingThresholdKmh_; }

    double TotalMovingDistance() const { return totalMovingDistance_; }
    double LastMovingStep() const { return lastMovingStep_; }
    double BasicDistanceUsed() const { return basicDistanceUsed_; }
    double ExtraDistance() const { return extraDistance_; }
    std::int32_t ExtraFare() const { return extraFare_; }

private:
    // One position sample; timeSec < 0 when its time text was not a time.
    struct Sample {
        double latitudeDeg = 0.0;
        double longitudeDeg = 0.0;
        double heightM = 0.0;
        double speedKmh = 0.0;
        std::int64_t timeSec = 0;
    };

    static bool Unusable(const Sample& s);
    static double Between(const Sample& p, const Sample& q);
    void Charge(double d);
    std::int32_t FareFor(double extraDistance) const;

    TaxiMeterSettings settings_;
    double minSpeedMps_ = 0.0;
    double movingThresholdKmh_ = 0.0;

    Sample lastMoving_;
    Sample last_;
    double totalMovingDistance_ = 0.0;
    double lastMovingStep_ = 0.0;
    double basicDistanceUsed_ = 0.0;
    double extraDistance_ = 0.0;
    std::int32_t extraFare_ = 0;

    std::function<void(std::string_view)> diagnostics_;
};
