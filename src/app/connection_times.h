#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

// The connection's clock for the status line and the status panel: when the link came up,
// when the first fix came, and the times to float and to fixed RTK.
class CConnectionTimes {
public:
    void Start(const QDateTime& now);
    void Stop();
    // Called after each intake pass with the snapshot's fix mode and quality.
    void Track(std::int32_t fixMode, std::int32_t fixQuality, const QDateTime& now);

    bool Running() const { return running_; }
    // "시작[%s] / Fixed[%s] / 경과[%s]"
    QString StatusText(const QDateTime& now) const;
    // The status panel's timers: (to float, to fixed); each update passes one of them.
    QString FloatTimerText(const QDateTime& now) const;
    QString FixedTimerText(const QDateTime& now) const;
    bool FloatSeen() const { return floatSeen_; }
    bool RtkFixedSeen() const { return rtkFixedSeen_; }

private:
    bool running_ = false;
    QDateTime start_;
    QDateTime fixTime_;
    QDateTime floatTime_;
    bool fixedSeen_ = false;
    bool floatSeen_ = false;
    bool rtkFixedSeen_ = false;
};

// Seconds as "%H:%M:%S" and as "%M:%S" (minutes run past 59 rather than wrap into hours).
QString SpanText(std::int64_t seconds);
QString MinuteSecondText(std::int64_t seconds);
