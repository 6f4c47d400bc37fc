#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <array>

class QGridLayout;
class QLabel;
class QProgressBar;

// The two marks beside the passes: waiting, and done.
QPixmap CalcStatusMark(bool done, int size);

// Progress of the replay scan: the average pass above, the RMS pass below. Closing it is the
// user's way to give up on a long scan.
class CCalcStatusDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kAverageBar = 0;
    static constexpr int kRmsBar = 1;
    static constexpr int kDefaultRange = 1000;
    static constexpr int kMarkSize = 16;

    explicit CCalcStatusDlg(QWidget* parent = nullptr);

    QProgressBar* Bar(int bar) const;
    QLabel* StatusLabel(int bar) const;
    QLabel* MarkLabel(int bar) const;
    QLabel* PositionLabel(int bar) const;
    QLabel* EndLabel(int bar) const;
    bool IsDone(int bar) const;

    // Escape and the close box both end up here.
    void reject() override;

public slots:
    // Back to the start of a scan, centred over the main window.
    void Begin();
    void AverageDone(bool done);
    void RmsDone(bool done);
    void SetRange(int bar, int max);
    // A position beyond the range fills the bar rather than being dropped by it.
    void SetPos(int bar, int pos);
    void SetAverageProgress(int pos) { SetPos(kAverageBar, pos); }
    void SetRmsProgress(int pos) { SetPos(kRmsBar, pos); }

signals:
    void cancelRequested();

private:
    struct Pass {
        QLabel* status = nullptr;
        QLabel* mark = nullptr;
        QProgressBar* bar = nullptr;
        QLabel* position = nullptr;
        QLabel* end = nullptr;
        bool done = false;
    };

    void AddPass(int index, QGridLayout& grid);
    void SetDone(int bar, bool done, const QString& runningText, const QString& doneText);
    void CentreOnParent();
    bool IsValidBar(int bar) const { return bar == kAverageBar || bar == kRmsBar; }

    std::array<Pass, 2> passes_;
};
