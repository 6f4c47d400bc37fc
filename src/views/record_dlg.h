#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTime>
#include <QWidget>
#include <optional>

class QLabel;
class QTimer;
class QToolButton;

// "S hh:mm:ss" of the start time; "S --:--:--" before the first recording.
QString RecordStartLine(const std::optional<QTime>& start);
// "R hh:mm:ss" of the time recorded so far; hours go on past 24 for very long logs.
QString RecordRunningLine(std::optional<qint64> elapsedSeconds);
// "Length : n bytes".
QString RecordLengthLine(qint64 bytes);

// Where the record window puts its parts for a given width (pixels).
struct RecordWindowRects {
    QRect picture;
    QRect stopButton;
    QRect fileName;
    QRect length;
    QRect startTime;
    QRect runningTime;
};
RecordWindowRects RecordWindowLayout(int width);

// The nine pictures of the "recording" animation: a ring of dots with one lit, around a
// red dot. The lit dot of picture i sits at RecordAnimationDotCentre(i).
inline constexpr int kRecordAnimationFrames = 9;
QImage RecordAnimationFrame(int index);
QPoint RecordAnimationDotCentre(int index);
// The stop button's picture: a dark square on a light plate.
QImage RecordStopPicture();

// The small translucent window that stays up while a log is written: file name, length,
// start and running time, an animation that shows the recording is alive, and a stop button.
class CRecordDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kAnimationPeriodMs = 100;
    static constexpr int kClockPeriodMs = 1000;
    static constexpr int kAlpha = 178;  // of 255
    // 309 x 43 dialog units at the usual 1.5 x 1.625 pixels per unit.
    static constexpr QSize kDefaultSize{464, 70};

    explicit CRecordDlg(QWidget* parent = nullptr);

    // Starts the clock for a new log and shows the window.
    void Show(const QString& fileName);
    void SetLength(qint64 bytes);
    int AnimationIndex() const { return animationIndex_; }

signals:
    void stopRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* AddLabel(const QString& name, const QString& text);
    void AdvanceAnimation();
    void UpdateRunningLine();
    void OnStopClicked();

    QLabel* picture_;
    QToolButton* stopButton_;
    QLabel* fileName_;
    QLabel* length_;
    QLabel* startTime_;
    QLabel* runningTime_;
    QTimer* animationTimer_;
    QTimer* clockTimer_;
    QElapsedTimer elapsed_;
    int animationIndex_ = 0;
};
