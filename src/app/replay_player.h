#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <span>
#include <vector>

#include "logio/epoch_index.h"

// What playback needs of the window it plays into.
class IReplaySink {
public:
    virtual ~IReplaySink() = default;
    // Entry number and bytes of one indexed epoch, for the intake's replay feed.
    virtual void PlayEntryBytes(std::size_t entry, std::span<const std::uint8_t> bytes) = 0;
    virtual void ClearViews() = 0;
    // Forgets the epoch in progress but keeps the decoders.
    virtual void ResetEpochState() = 0;
    // The last entry has been played (extraction stops).
    virtual void PlaybackEnded() = 0;
};

// Plays an indexed log entry by entry on a timer, at the chosen speed, with single steps,
// jumps by entry and by time, and the two ends.
class CReplayPlayer : public QObject {
    Q_OBJECT

public:
    static constexpr int kStepPeriodMs = 1;
    // Entry reads are capped like the intake's message text buffer.
    static constexpr std::uint32_t kMaxEntryBytes = 6144;

    explicit CReplayPlayer(IReplaySink& sink, QObject* parent = nullptr);

    // Takes the scan's index and starts playing at x1. False when the file cannot be opened.
    bool Start(const QString& path, CEpochIndex index, int frameIntervalMs);
    void Stop();

    bool Active() const { return active_; }
    bool Playing() const { return playing_; }
    int FrameIndex() const { return frameIndex_; }
    int FrameCount() const { return static_cast<int>(index_.Size()); }
    int SpeedValue() const { return speed_; }
    int TimerPeriod() const;
    const CEpochIndex& Index() const { return index_; }
    // One of the speed table's values (1000 x1 ... 1 fastest), as Slower and Faster choose.
    void SetSpeed(int speed);

public slots:
    // The replay-control codes 0..9 (argument: the entry for 8 and 9).
    void Control(int code, qint64 argument);
    // Keys: jump by seconds (negative back) and pause; Space shows one frame.
    void JumpSeconds(int seconds);
    void StepOneFrame();
    // One playback tick (public so tests can drive it without waiting).
    void Tick();

signals:
    void positionChanged(int entry);
    void playingChanged(bool playing);
    void speedChanged(int speedValue);
    // Exit pressed (code 6): the window ends the replay.
    void exitRequested();
    // A frame shown with Space has been played: the map shows the distance so far.
    void distanceRequested();

private:
    void SetPlaying(bool playing);
    void StartSingleStep();
    void JumpToEntry(qint64 entry);
    void GoToEnd();
    bool PlayEntry(std::size_t n);

    IReplaySink& sink_;
    QFile file_;
    CEpochIndex index_;
    QTimer timer_;
    std::vector<std::uint8_t> buffer_;
    int frameIntervalMs_ = 1000;
    int frameIndex_ = 0;
    int speed_ = 1000;
    bool active_ = false;
    bool playing_ = false;
    bool singleStep_ = false;
    bool distanceRequest_ = false;
};
