#include "app/replay_player.h"

#include <algorithm>
#include <utility>

#include "views/replay_speed.h"

CReplayPlayer::CReplayPlayer(IReplaySink& sink, QObject* parent) : QObject(parent), sink_(sink)
{
    connect(&timer_, &QTimer::timeout, this, &CReplayPlayer::Tick);
    buffer_.reserve(kMaxEntryBytes);
}

bool CReplayPlayer::Start(const QString& path, CEpochIndex index, int frameIntervalMs)
{
    Stop();
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly)) return false;
    index_ = std::move(index);
    frameIntervalMs_ = frameIntervalMs;
    frameIndex_ = 0;
    singleStep_ = false;
    distanceRequest_ = false;
    active_ = true;
    SetSpeed(kInitialSpeedValue);
    emit positionChanged(0);
    SetPlaying(true);
    return true;
}

void CReplayPlayer::Stop()
{
    timer_.stop();
    playing_ = false;
    active_ = false;
    file_.close();
    index_.Clear();
    frameIndex_ = 0;
}

int CReplayPlayer::TimerPeriod() const { return TimerPeriodMs(speed_, frameIntervalMs_); }

void CReplayPlayer::SetPlaying(bool playing)
{
    playing_ = playing;
    if (playing) {
        timer_.start(TimerPeriod());
    } else {
        timer_.stop();
    }
    emit playingChanged(playing);
}

void CReplayPlayer::SetSpeed(int speed)
{
    speed_ = speed;
    if (playing_ && !singleStep_) timer_.start(TimerPeriod());
    emit speedChanged(speed_);
}

void CReplayPlayer::Control(int code, qint64 argument)
{
    if (!active_) return;
    switch (static_cast<ReplayControl>(code)) {
        case ReplayControl::GoToStart:
            frameIndex_ = 0;
            sink_.ClearViews();
            sink_.ResetEpochState();
            emit positionChanged(0);
            break;
        case ReplayControl::Slower: SetSpeed(SlowerSpeed(speed_)); break;
        case ReplayControl::Faster: SetSpeed(FasterSpeed(speed_)); break;
        case ReplayControl::Play:
            singleStep_ = false;
            SetPlaying(true);
            break;
        case ReplayControl::Pause: SetPlaying(false); break;
        case ReplayControl::GoToEnd: GoToEnd(); break;
        case ReplayControl::Exit:
            timer_.stop();
            emit exitRequested();
            break;
        case ReplayControl::RestartTimer:
            if (playing_) timer_.start(TimerPeriod());
            break;
        case ReplayControl::SliderReleased:
            sink_.ClearViews();
            sink_.ResetEpochState();
            JumpToEntry(argument);
            break;
        case ReplayControl::JumpToEntry: JumpToEntry(argument); break;
    }
}

void CReplayPlayer::JumpToEntry(qint64 entry)
{
    if (index_.Empty()) return;
    const auto n = static_cast<std::size_t>(std::clamp<qint64>(entry, 0, FrameCount() - 1));
    const auto readable = index_.FindReadable(n);
    if (!readable) return;
    frameIndex_ = static_cast<int>(*readable);
    if (!playing_) StartSingleStep();
}

void CReplayPlayer::JumpSeconds(int seconds)
{
    if (!active_ || index_.Empty()) return;
    const std::size_t base = frameIndex_ > 0 ? static_cast<std::size_t>(frameIndex_ - 1) : 0;
    const std::int64_t target =
        std::max(index_.TimeAt(base) + std::int64_t{seconds} * 1000, index_.TimeAt(0));
    if (const auto n = index_.FindSecondNear(target / 1000, seconds > 0)) {
        frameIndex_ = static_cast<int>(*n);
    }
    StartSingleStep();
}

void CReplayPlayer::StepOneFrame()
{
    if (!active_ || frameIndex_ >= FrameCount()) return;
    distanceRequest_ = true;
    StartSingleStep();
}

void CReplayPlayer::StartSingleStep()
{
    // One entry is shown, then playback stands still.
    singleStep_ = true;
    if (playing_) {
        playing_ = false;
        emit playingChanged(false);
    }
    timer_.start(kStepPeriodMs);
}

void CReplayPlayer::GoToEnd()
{
    if (index_.Empty()) return;
    sink_.ClearViews();
    sink_.ResetEpochState();
    const std::size_t last = index_.Size() - 1;
    PlayEntry(last);
    emit positionChanged(static_cast<int>(last));
    SetPlaying(false);
    frameIndex_ = 0;
}

bool CReplayPlayer::PlayEntry(std::size_t n)
{
    const EpochEntry entry = index_.At(n);
    const std::uint32_t length = std::min(entry.length, kMaxEntryBytes);
    buffer_.resize(length);
    if (length == 0 || !file_.seek(static_cast<qint64>(entry.offset))) return false;
    const qint64 got = file_.read(reinterpret_cast<char*>(buffer_.data()), length);
    if (got <= 0) return false;  // the log shrank since the scan
    sink_.PlayEntryBytes(
        n, std::span<const std::uint8_t>(buffer_.data(), static_cast<std::size_t>(got)));
    return true;
}

void CReplayPlayer::Tick()
{
    if (!active_ || index_.Empty()) {
        timer_.stop();
        return;
    }
    if (frameIndex_ == 0) sink_.ClearViews();
    const int entries = singleStep_ ? 1 : EntriesPerTick(speed_);
    for (int i = 0; i < entries; ++i) {
        const auto n = static_cast<std::size_t>(frameIndex_);
        PlayEntry(n);
        emit positionChanged(frameIndex_);
        if (n + 1 < index_.Size()) {
            ++frameIndex_;
            continue;
        }
        // The last entry: stand still at the start, ready to play again.
        timer_.stop();
        playing_ = false;
        singleStep_ = false;
        frameIndex_ = 0;
        emit playingChanged(false);
        sink_.PlaybackEnded();
        return;
    }
    if (singleStep_) {
        singleStep_ = false;
        timer_.stop();
        emit playingChanged(false);
        if (std::exchange(distanceRequest_, false)) emit distanceRequested();
    } else if (timer_.interval() != TimerPeriod()) {
        timer_.start(TimerPeriod());
    }
}
