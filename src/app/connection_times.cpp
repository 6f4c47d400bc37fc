#include "app/connection_times.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

constexpr std::int32_t kFixMode2D = 2;
constexpr std::int32_t kQualityFloat = 5;
constexpr std::int32_t kQualityFixed = 4;

QString Clock(const QDateTime& t) { return t.toString(QStringLiteral("HH:mm:ss")); }

std::int64_t SecondsBetween(const QDateTime& from, const QDateTime& to)
{
    return std::max<std::int64_t>(0, from.secsTo(to));
}

}  // namespace

QString SpanText(std::int64_t seconds)
{
    seconds = std::max<std::int64_t>(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString MinuteSecondText(std::int64_t seconds)
{
    seconds = std::max<std::int64_t>(0, seconds);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void CConnectionTimes::Start(const QDateTime& now)
{
    running_ = true;
    start_ = now;
    floatTime_ = now;
    fixedSeen_ = false;
    floatSeen_ = false;
    rtkFixedSeen_ = false;
}

void CConnectionTimes::Stop() { running_ = false; }

void CConnectionTimes::Track(std::int32_t fixMode, std::int32_t fixQuality, const QDateTime& now)
{
    if (fixMode < kFixMode2D) {
        fixedSeen_ = false;
    } else if (!fixedSeen_) {
        fixedSeen_ = true;
        fixTime_ = now;
    }
    if (!floatSeen_ && fixQuality == kQualityFloat) {
        floatSeen_ = true;
        floatTime_ = now;
    }
    if (!rtkFixedSeen_ && fixQuality == kQualityFixed) {
        floatSeen_ = true;
        rtkFixedSeen_ = true;
    }
}

QString CConnectionTimes::StatusText(const QDateTime& now) const
{
    const QString start = running_ ? Clock(start_) : QStringLiteral("-");
    const QString fixed = running_ && fixedSeen_ ? Clock(fixTime_) : QStringLiteral("-");
    const QString elapsed = running_ ? SpanText(SecondsBetween(start_, now)) : QStringLiteral("-");
    return QCoreApplication::translate("CConnectionTimes", "시작[%1] / Fixed[%2] / 경과[%3]")
        .arg(start, fixed, elapsed);
}

QString CConnectionTimes::FloatTimerText(const QDateTime& now) const
{
    if (floatSeen_ || !running_) return {};
    return MinuteSecondText(SecondsBetween(start_, now));
}

QString CConnectionTimes::FixedTimerText(const QDateTime& now) const
{
    if (rtkFixedSeen_ || !running_) return {};
    return floatSeen_ ? MinuteSecondText(SecondsBetween(floatTime_, now)) : QStringLiteral("00:00");
}
