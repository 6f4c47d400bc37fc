#include "views/replay_speed.h"

#include <QCoreApplication>
#include <algorithm>

namespace {
constexpr int kMsPerSecond = 1000;
constexpr int kMinTimerPeriodMs = 1;

}  // namespace

const ReplaySpeedStep& SpeedStep(int speedValue)
{
    const auto found =
        std::find_if(kReplaySpeeds.begin(), kReplaySpeeds.end(),
                     [speedValue](const auto& step) { return step.value == speedValue; });
    return found != kReplaySpeeds.end() ? *found : kReplaySpeeds.front();
}

int SlowerSpeed(int speedValue) { return SpeedStep(speedValue).slower; }

int FasterSpeed(int speedValue) { return SpeedStep(speedValue).faster; }

QString SpeedText(int speedValue)
{
    return QCoreApplication::translate("CReplayDlg", SpeedStep(speedValue).text);
}

int TimerPeriodMs(int speedValue, int frameIntervalMs)
{
    // An interval of 0 (not yet known) must not divide by zero.
    const int perSecond = frameIntervalMs > 0 ? kMsPerSecond / frameIntervalMs : 1;
    return std::max(kMinTimerPeriodMs, speedValue / std::max(1, perSecond));
}

int EntriesPerTick(int speedValue)
{
    return speedValue == kFastestSpeedValue ? kEntriesPerTickAtFastest : 1;
}
