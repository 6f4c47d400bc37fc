#include "views/status_texts.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "geo/dms.h"
#include "geo/geoid_grid.h"
#include "geo/position_statistics.h"

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr double kGeoidTolerance = 0.001;
constexpr std::int32_t kDefaultBasicFee = 3800;  // the store's default for BASIC_FEE

// The status texts share the data window's translation context.
struct StatusTr {
    Q_DECLARE_TR_FUNCTIONS(CNmeaDataWnd)
};

QString NoTimeText() { return QStringLiteral("00:00:00"); }

bool AllDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits)
{
    int value = 0;
    for (const char c : digits) value = value * 10 + (c - '0');
    return value;
}

struct ClockTime {
    int secondsOfDay = 0;  // may pass one day for odd receiver texts
    std::string fraction;  // first two digits after the point, padded with '0'
};

std::optional<ClockTime> ParseTime(std::string_view text)
{
    if (text.size() < 6 || !AllDigits(text.substr(0, 6))) return std::nullopt;
    ClockTime t;
    t.secondsOfDay = Number(text.substr(0, 2)) * 3600 + Number(text.substr(2, 2)) * 60 +
                     Number(text.substr(4, 2));
    if (text.size() > 7 && text[6] == '.') {
        for (const char c : text.substr(7, 2)) {
            if (c < '0' || c > '9') break;
            t.fraction += c;
        }
    }
    // A one-digit fraction is tenths, so it is padded on the right.
    t.fraction.resize(2, '0');
    return t;
}

// The time text moved to Korean standard time; empty or unreadable texts count as midnight.
ClockTime LocalClock(std::string_view timeText)
{
    ClockTime t = ParseTime(timeText).value_or(ClockTime{0, "00"});
    t.secondsOfDay += kKoreaOffsetHours * 3600;
    return t;
}

std::optional<std::chrono::year_month_day> ParseDate(std::string_view text)
{
    int dd = 0, mm = 0, yyyy = 0;
    if (text.size() == 8 && AllDigits(text)) {
        // ZDA puts the year first, four digits.
        yyyy = Number(text.substr(0, 4));
        mm = Number(text.substr(4, 2));
        dd = Number(text.substr(6, 2));
    } else if (text.size() >= 6 && AllDigits(text.substr(0, 6))) {
        dd = Number(text.substr(0, 2));
        mm = Number(text.substr(2, 2));
        yyyy = 2000 + Number(text.substr(4, 2));
    } else {
        return std::nullopt;
    }
    namespace chr = std::chrono;
    // Out-of-range fields are pulled into the calendar instead of yielding an invalid date.
    const chr::year year(yyyy);
    const chr::month month(static_cast<unsigned>(std::clamp(mm, 1, 12)));
    const chr::day last = chr::year_month_day_last(year, chr::month_day_last(month)).day();
    const chr::day day = std::min(chr::day(static_cast<unsigned>(std::max(dd, 1))), last);
    return chr::year_month_day(year, month, day);
}

QString StatisticPair(double horizontal, double vertical)
{
    return QString::asprintf("%.4fm / (V)%.4fm", horizontal, vertical);
}

QString SignedAxisText(char axis, double metres)
{
    return QString::asprintf("%c %+.3f m", axis, metres);
}

// printf's %d of a double value is undefined outside int; show the nearest int instead.
int ShownInt(double value)
{
    if (std::isnan(value)) return 0;
    constexpr double kMin = std::numeric_limits<int>::min();
    constexpr double kMax = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, kMin, kMax));
}

QString HemisphereText(char letter, double absoluteDeg)
{
    return QString::asprintf("%c %.9fº", letter, absoluteDeg);
}

QString HemisphereDmsText(char letter, double absoluteDeg)
{
    return QString(QLatin1Char(letter)) + QLatin1Char(' ') + DmsText(absoluteDeg);
}

}  // namespace

QString LocalDateText(std::string_view dateText, std::string_view timeText)
{
    const auto date = ParseDate(dateText);
    if (!date) return NoTimeText();
    const ClockTime clock = LocalClock(timeText);
    using namespace std::chrono;
    const year_month_day local{sys_days(*date) + days(clock.secondsOfDay / kSecondsPerDay)};
    return QString::asprintf("%04d-%02u-%02u", static_cast<int>(local.year()),
                             static_cast<unsigned>(local.month()),
                             static_cast<unsigned>(local.day()));
}

QString LocalTimeText(std::string_view timeText)
{
    if (!ParseTime(timeText)) return NoTimeText();
    const ClockTime clock = LocalClock(timeText);
    const int s = clock.secondsOfDay % kSecondsPerDay;
    return QString::asprintf("%02d:%02d:%02d.%s0", s / 3600, s / 60 % 60, s % 60,
                             clock.fraction.c_str());
}

QString FixModeText(std::int32_t fixMode)
{
    if (fixMode <= 1) return StatusTr::tr("Invalid");
    return QString::asprintf("%dD", fixMode);
}

QString QualityText(std::int32_t fixQuality)
{
    if (fixQuality == 0) return QStringLiteral("-");
    const std::string_view name = FixQualityText(fixQuality);
    // Codes the table does not know (10 and up, or negative) are shown as "etc".
    const QString shown =
        name.empty() ? QStringLiteral("etc")
                     : QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return QStringLiteral("%1(%2)").arg(shown).arg(fixQuality);
}

std::optional<QString> InterferenceAlarmText(std::uint32_t interferenceFlags)
{
    struct Alarm {
        std::uint32_t bit;
        const char* text;
    };
    static constexpr std::array<Alarm, 4> kAlarms{{
        {0x01, QT_TRANSLATE_NOOP("CNmeaDataWnd", "Jamming Warning !")},
        {0x02, QT_TRANSLATE_NOOP("CNmeaDataWnd", "Jamming Critical !")},
        {0x10, QT_TRANSLATE_NOOP("CNmeaDataWnd", "Spoofing Indicated !")},
        {0x20, QT_TRANSLATE_NOOP("CNmeaDataWnd", "Multiple Spoofing Indicated !")},
    }};
    for (const Alarm& alarm : kAlarms) {
        if (interferenceFlags & alarm.bit) return StatusTr::tr(alarm.text);
    }
    return std::nullopt;
}

bool HasInterferenceAlarm(std::uint32_t interferenceFlags)
{
    return InterferenceAlarmText(interferenceFlags).has_value();
}

QString StatusValueText(const GnssReceiverState& state)
{
    if (auto alarm = InterferenceAlarmText(state.interferenceFlags)) return *alarm;
    return FixModeText(state.fixMode) + QStringLiteral(" / ") + QualityText(state.fixQuality);
}

QString StationLabel(bool relayServerMode)
{
    return relayServerMode ? StatusTr::tr("Device ID") : StatusTr::tr("Station ID");
}

QString StationIdText(std::string_view stationId)
{
    if (stationId.empty()) return QStringLiteral("-");
    return QString::fromLatin1(stationId.data(), static_cast<qsizetype>(stationId.size()));
}

QString DopText(float pdop, float hdop, float vdop)
{
    return QString::asprintf("%.1f / %.1f / %.1f", pdop, hdop, vdop);
}

QString TwoDrmsText(const PanelStatistics& s)
{
    if (s.horizontalDrms == 0.0) return QStringLiteral("-");
    return StatisticPair(2.0 * s.horizontalDrms, 2.0 * s.verticalDrms);
}

QString DrmsText(const PanelStatistics& s)
{
    if (s.horizontalDrms == 0.0) return QStringLiteral("-");
    return StatisticPair(s.horizontalDrms, s.verticalDrms);
}

QString CepText(const PanelStatistics& s)
{
    if (s.horizontalCep == 0.0) return QStringLiteral("-");
    return StatisticPair(s.horizontalCep, s.verticalCep);
}

QString LongitudeText(double longitudeDeg)
{
    return HemisphereText(longitudeDeg >= 0 ? 'E' : 'W', std::fabs(longitudeDeg));
}

QString LongitudeDmsText(double longitudeDeg)
{
    return HemisphereDmsText(longitudeDeg >= 0 ? 'E' : 'W', std::fabs(longitudeDeg));
}

QString LatitudeText(double latitudeDeg)
{
    return HemisphereText(latitudeDeg >= 0 ? 'N' : 'S', std::fabs(latitudeDeg));
}

QString LatitudeDmsText(double latitudeDeg)
{
    return HemisphereDmsText(latitudeDeg >= 0 ? 'N' : 'S', std::fabs(latitudeDeg));
}

QString DmsText(double degrees)
{
    int d = 0, m = 0;
    double s = 0.0;
    ToDms(degrees, d, m, s);
    return QString::asprintf("%dº %d' %.5f\"", d, m, s);
}

QString MetresText(double metres) { return QString::asprintf("%.3f m", metres); }

QString DirectionText(float degrees) { return QString::asprintf("%07.3fº", degrees); }

QString SpeedText(float speedKmh) { return QString::asprintf("%07.3f km/h", speedKmh); }

PanelHeights GeoidCorrectedHeights(const GnssReceiverState& state)
{
    PanelHeights heights{state.mslAltitude, state.geoidSeparation};
    const double n = GeoidHeight(state.latitudeDeg, state.longitudeDeg);
    if (n != 0.0 && std::fabs(n - state.geoidSeparation) >= kGeoidTolerance) {
        heights.geoidSeparation = n;
        heights.mslAltitude = state.ellipsoidHeight - n;
    }
    return heights;
}

PanelStatistics PaintTimeStatistics(const PanelStatistics& stored, const GnssReceiverState& state,
                                    bool replayRunning, bool rmsFromGst)
{
    if (replayRunning && !rmsFromGst) return stored;
    const auto estimate =
        ReceiverEstimateStatistics(state.sigmaLon, state.sigmaLat, state.sigmaAlt);
    if (!estimate) return stored;
    return {estimate->horizontalDrms, estimate->verticalDrms, estimate->horizontalCep,
            estimate->verticalCep};
}

std::array<CellText, kMainRowCount> MainCells(const GnssReceiverState& state,
                                              const PanelStatistics& statistics,
                                              bool relayServerMode)
{
    const PanelHeights heights = GeoidCorrectedHeights(state);
    return {{
        {StatusTr::tr("Date"), LocalDateText(state.dateText, state.timeText)},
        {StatusTr::tr("Time"), LocalTimeText(state.timeText)},
        {StatusTr::tr("Status"), StatusValueText(state)},
        {StationLabel(relayServerMode), StationIdText(state.stationId)},
        {StatusTr::tr("DOP(P/H/V)"), DopText(state.pdop, state.hdop, state.vdop)},
        {StatusTr::tr("2DRMS"), TwoDrmsText(statistics)},
        {StatusTr::tr("DRMS"), DrmsText(statistics)},
        {StatusTr::tr("CEP"), CepText(statistics)},
        {StatusTr::tr("경도"), LongitudeText(state.longitudeDeg)},
        {QString(), LongitudeDmsText(state.longitudeDeg)},
        {StatusTr::tr("위도"), LatitudeText(state.latitudeDeg)},
        {QString(), LatitudeDmsText(state.latitudeDeg)},
        {StatusTr::tr("Orthometric Height"), MetresText(heights.mslAltitude)},
        {StatusTr::tr("Geoid Separation"), MetresText(heights.geoidSeparation)},
        {StatusTr::tr("Course"), DirectionText(state.courseDeg)},
        {StatusTr::tr("Heading"), DirectionText(state.headingDeg)},
        {StatusTr::tr("Speed"), SpeedText(state.speedKmh)},
    }};
}

std::array<CellText, kBaseInfoRowCount> BaseInfoCells(const GnssReceiverState& state,
                                                      const QString& timeToFloat,
                                                      const QString& timeToFixed)
{
    return {{
        {StatusTr::tr("Base경도"), LongitudeText(state.baseLongitudeDeg)},
        {QString(), LongitudeDmsText(state.baseLongitudeDeg)},
        {StatusTr::tr("Base위도"), LatitudeText(state.baseLatitudeDeg)},
        {QString(), LatitudeDmsText(state.baseLatitudeDeg)},
        {StatusTr::tr("Base간 거리"), SignedAxisText('E', state.baselineEast)},
        {QString(), SignedAxisText('N', state.baselineNorth)},
        {QString(), SignedAxisText('U', state.baselineUp)},
        {StatusTr::tr("경도RMS"), MetresText(state.sigmaLon)},
        {StatusTr::tr("위도RMS"), MetresText(state.sigmaLat)},
        {StatusTr::tr("높이RMS"), MetresText(state.sigmaAlt)},
        {StatusTr::tr("Time"), StatusTr::tr("Float %1").arg(timeToFloat)},
        {QString(), StatusTr::tr("Fixed %1").arg(timeToFixed)},
    }};
}

TaxiFareValues FareValuesWithoutMeter(std::int32_t basicFee)
{
    TaxiFareValues fare;
    fare.basicFee = basicFee;
    return fare;
}

std::int32_t BasicFeeFromText(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? ShownInt(value) : kDefaultBasicFee;
}

std::array<FareRow, kFareRowCount> FareRows(const TaxiFareValues& fare)
{
    const double units = fare.unitDistance > 0 ? fare.extraDistance / fare.unitDistance : 0.0;
    const auto total = static_cast<long long>(fare.basicFee) + fare.extraFare;
    return {{
        {StatusTr::tr("구분"), StatusTr::tr("금액(원)"), StatusTr::tr("이동거리(M)")},
        {StatusTr::tr("기본구간"), QString::asprintf("%d", fare.basicFee),
         QString::asprintf("%d", ShownInt(fare.basicDistanceUsed))},
        {StatusTr::tr("구간외"), QString::asprintf("%d / %.1f", fare.extraFare, units),
         QString::asprintf("%d / %d", ShownInt(fare.extraDistance), fare.unitDistance)},
        {StatusTr::tr("총계"), QString::asprintf("%lld", total),
         QString::asprintf("(%.1f / %.1f)", fare.totalMovingDistance, fare.lastMovingStep)},
    }};
}

QString ImuStateText(std::int32_t sensorsCalibrated)
{
    return sensorsCalibrated != 0 ? StatusTr::tr("Calibrated") : StatusTr::tr("Uncalibrated");
}

std::array<SensorRow, kSensorRowCount> SensorRows(const SensorStatusTable& sensors)
{
    static constexpr std::array<const char*, kSensorCount> kNames{
        "Gyroscope-Z",     "Gyroscope-Temp",  "Gyroscope-Y",     "Gyroscope-X",
        "Accelerometer-X", "Accelerometer-Y", "Accelerometer-Z",
    };
    constexpr std::uint8_t kCalibrated = 2;
    std::array<SensorRow, kSensorRowCount> rows;
    rows[0] = {StatusTr::tr("Time"), StatusTr::tr("Status"), StatusTr::tr("Sensors")};
    for (int i = 0; i < kSensorCount; ++i) {
        const SensorStatusValue& s = sensors[static_cast<std::size_t>(i)];
        rows[static_cast<std::size_t>(i) + 1] = {
            QString::number(s.time),
            s.calibration >= kCalibrated ? StatusTr::tr("CALIBRATED")
                                         : StatusTr::tr("NOT CALIBRATED"),
            QString::fromLatin1(kNames[static_cast<std::size_t>(i)])};
    }
    return rows;
}
