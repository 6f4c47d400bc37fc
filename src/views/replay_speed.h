#pragma once

#include <QCoreApplication>
#include <QString>
#include <array>

// What the replay window and other parts ask of the main window during a replay.
enum class ReplayControl : int {
    GoToStart = 0,
    Slower = 1,
    Play = 2,
    Pause = 3,
    Faster = 4,
    GoToEnd = 5,
    Exit = 6,
    RestartTimer = 7,
    SliderReleased = 8,
    JumpToEntry = 9,
};

// One playback speed: its value in milliseconds and where slower and faster lead.
struct ReplaySpeedStep {
    int value;
    const char* text;  // UTF-8, translated at use
    int slower;
    int faster;
};

inline constexpr int kInitialSpeedValue = 1000;
inline constexpr int kFastestSpeedValue = 1;
inline constexpr int kEntriesPerTickAtFastest = 5;

inline constexpr std::array<ReplaySpeedStep, 6> kReplaySpeeds{{
    {1000, QT_TRANSLATE_NOOP("CReplayDlg", "x1배속"), 1000, 500},
    {500, QT_TRANSLATE_NOOP("CReplayDlg", "x2배속"), 1000, 250},
    {250, QT_TRANSLATE_NOOP("CReplayDlg", "x4배속"), 500, 125},
    {125, QT_TRANSLATE_NOOP("CReplayDlg", "x8배속"), 250, 50},
    {50, QT_TRANSLATE_NOOP("CReplayDlg", "x20배속"), 125, 1},
    {1, QT_TRANSLATE_NOOP("CReplayDlg", "x최대배속"), 50, 1},
}};

// The table row of a speed value; a value not in the table counts as x1.
const ReplaySpeedStep& SpeedStep(int speedValue);
int SlowerSpeed(int speedValue);
int FasterSpeed(int speedValue);
QString SpeedText(int speedValue);

// Period of the playback tick: the speed value divided by the log's rate in whole Hz
// (at least 1), never below 1 ms so that the fastest speed still yields to the event loop.
int TimerPeriodMs(int speedValue, int frameIntervalMs);
int EntriesPerTick(int speedValue);
