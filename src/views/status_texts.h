#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "decode/gnss_receiver_state.h"

// Cell texts of the receiver status panel. Everything here is plain formatting, so the panel's
// contents can be checked without painting it.

// One labelled cell; an empty label continues the item of the row above.
struct CellText {
    QString label;
    QString value;
};

// The panel's statistic values in metres; 0 means none yet.
struct PanelStatistics {
    double horizontalDrms = 0.0;
    double verticalDrms = 0.0;
    double horizontalCep = 0.0;
    double verticalCep = 0.0;
};

// Fare figures the main window copies out of the NMEA decoder's taxi meter.
struct TaxiFareValues {
    bool meterPresent = false;  // the NMEA decoder, and with it the meter, exists
    bool meterActive = false;   // the meter counts fares (the panel then shows the fare area)
    std::int32_t basicFee = 3800;
    std::int32_t unitFee = 0;
    std::int32_t unitDistance = 0;
    std::int32_t extraFare = 0;
    double basicDistanceUsed = 0.0;
    double extraDistance = 0.0;
    double totalMovingDistance = 0.0;
    double lastMovingStep = 0.0;
};

// One inertial sensor of the last u-blox sensor status, in the receiver's order.
struct SensorStatusValue {
    std::uint8_t calibration = 0;  // 2 and up: calibrated
    std::uint8_t time = 0;
};
inline constexpr int kSensorCount = 7;
using SensorStatusTable = std::array<SensorStatusValue, kSensorCount>;

struct FareRow {
    QString name;
    QString amount;
    QString distance;
};

struct SensorRow {
    QString time;
    QString status;
    QString sensor;
};

inline constexpr int kMainRowCount = 17;
inline constexpr int kBaseInfoRowCount = 12;
inline constexpr int kFareRowCount = 4;                   // header and three fare rows
inline constexpr int kSensorRowCount = 1 + kSensorCount;  // header and one row per sensor
inline constexpr int kKoreaOffsetHours = 9;

// Korean local date "%04d-%02d-%02d" from a "ddmmyy" (or ZDA "yyyymmdd") date text and an
// "hhmmss[.ss]" time text; "00:00:00" without a usable date.
QString LocalDateText(std::string_view dateText, std::string_view timeText);
// Korean local time "hh:mm:ss.ff0"; "00:00:00" without a usable time.
QString LocalTimeText(std::string_view timeText);

QString FixModeText(std::int32_t fixMode);
QString QualityText(std::int32_t fixQuality);
// Nothing when no known alarm bit is set.
std::optional<QString> InterferenceAlarmText(std::uint32_t interferenceFlags);
QString StatusValueText(const GnssReceiverState& state);
bool HasInterferenceAlarm(std::uint32_t interferenceFlags);

QString StationLabel(bool relayServerMode);
QString StationIdText(std::string_view stationId);
QString DopText(float pdop, float hdop, float vdop);
QString TwoDrmsText(const PanelStatistics& s);
QString DrmsText(const PanelStatistics& s);
QString CepText(const PanelStatistics& s);

QString LongitudeText(double longitudeDeg);
QString LongitudeDmsText(double longitudeDeg);
QString LatitudeText(double latitudeDeg);
QString LatitudeDmsText(double latitudeDeg);
// "%dº %d' %.5f\"" of a non-negative angle.
QString DmsText(double degrees);

QString MetresText(double metres);
QString DirectionText(float degrees);
QString SpeedText(float speedKmh);

struct PanelHeights {
    double mslAltitude = 0.0;
    double geoidSeparation = 0.0;
};
// The receiver's heights, with the geoid separation taken from the built-in grid where the
// grid covers the position and disagrees with the receiver.
PanelHeights GeoidCorrectedHeights(const GnssReceiverState& state);

// The statistics to show: the receiver's own error estimates replace the stored values unless
// a replay runs without "RMS from GST".
PanelStatistics PaintTimeStatistics(const PanelStatistics& stored, const GnssReceiverState& state,
                                    bool replayRunning, bool rmsFromGst);

std::array<CellText, kMainRowCount> MainCells(const GnssReceiverState& state,
                                              const PanelStatistics& statistics,
                                              bool relayServerMode);
std::array<CellText, kBaseInfoRowCount> BaseInfoCells(const GnssReceiverState& state,
                                                      const QString& timeToFloat,
                                                      const QString& timeToFixed);

// Without a meter only the basic fee is known.
TaxiFareValues FareValuesWithoutMeter(std::int32_t basicFee);
std::int32_t BasicFeeFromText(const QString& text);
std::array<FareRow, kFareRowCount> FareRows(const TaxiFareValues& fare);
QString ImuStateText(std::int32_t sensorsCalibrated);
std::array<SensorRow, kSensorRowCount> SensorRows(const SensorStatusTable& sensors);
