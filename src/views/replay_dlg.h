#pragma once

#include <QDialog>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <map>

#include "views/replay_speed.h"

class QLabel;
class QSlider;
class QToolButton;

// Control numbers of the replay window; the layout and the tests address controls by them.
enum class ReplayControlId : int {
    GoToStart = 1001,
    Slower = 1002,
    Play = 1003,
    Faster = 1004,
    GoToEnd = 1005,
    FileName = 1006,
    Slider = 1007,
    FrameRate = 1008,
    Exit = 1009,
    SpeedText = 1010,
    Pause = 1011,
};

// Where each control of the replay window sits for a window width w.
std::map<ReplayControlId, QRect> ReplayLayout(int width);

// The slider's floating tip: "Val = n", or "label, Val = n" for a labelled slider.
QString SliderTipText(const QString& label, int value);

// The picture of a replay button, drawn rather than loaded so that no bitmap ships.
QPixmap ReplayButtonPixmap(ReplayControlId button, int size);

// The translucent strip that drives a replay: buttons, position slider, speed, file name and
// frame rate. It only reports what the user does; the main window plays and answers through
// the slots.
class CReplayDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kButtonSize = 32;
    static constexpr int kTextTop = 33;
    static constexpr int kTextHeight = 15;
    static constexpr int kHeight = kTextTop + kTextHeight;
    static constexpr int kAlpha = 178;

    explicit CReplayDlg(QWidget* parent = nullptr);

    bool IsPlaying() const { return playing_; }
    QToolButton* Button(ReplayControlId id) const;
    QSlider* Slider() const { return slider_; }
    QLabel* SliderTip() const { return tip_; }
    QLabel* SpeedLabel() const { return speedText_; }
    QLabel* FileNameLabel() const { return fileName_; }
    QLabel* FrameRateLabel() const { return frameRate_; }

public slots:
    // Shows pause while playing and play while paused; only one of them is ever visible.
    void SetPlaying(bool playing);
    void SetSpeedText(const QString& text);
    void SetFileName(const QString& path);
    void SetFrameRateText(const QString& text);
    // Entries 0 to count - 1 (just 0 for an empty index).
    void SetRange(int count);
    // Follows playback, but never pulls the handle from under the user's mouse.
    void SetPosition(int entry);
    void Reset();

signals:
    void control(int code, qint64 argument);
    void jumpSeconds(int seconds);
    void stepOneFrame();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* AddButton(ReplayControlId id, const QString& toolTip, ReplayControl code);
    QLabel* AddText(ReplayControlId id);
    void CreateSlider();
    void ShowTip(int value);
    void OnSliderReleased();
    void TogglePlay();
    void JumpByKey(int direction, Qt::KeyboardModifiers modifiers);
    void StepOneFrame();
    void Emit(ReplayControl code, qint64 argument = 0);

    std::map<ReplayControlId, QToolButton*> buttons_;
    QSlider* slider_ = nullptr;
    QLabel* tip_ = nullptr;
    QLabel* speedText_ = nullptr;
    QLabel* fileName_ = nullptr;
    QLabel* frameRate_ = nullptr;
    bool playing_ = false;
};
