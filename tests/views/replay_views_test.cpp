#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <utility>
#include <vector>

#include "logio/missing_check.h"
#include "logio/replay_scanner.h"
#include "views/calc_status_dlg.h"
#include "views/missing_log_dlg.h"
#include "views/multi_line_list_box.h"
#include "views/replay_dlg.h"
#include "views/replay_speed.h"

namespace {

// A gap line as the scan writes it.
QString LineText(const char* sentence, qint64 timeMs)
{
    return QString::fromStdString(MissingLine(sentence, timeMs));
}

using Id = ReplayControlId;

TEST(ReplaySpeed, StepsFollowTheTableAndDivideTheTimerPeriod)
{
    // clang-format off
    struct Row { int value; const char* text; int slower; int faster; };
    // Each speed halves the period of the one before, then 20x and the unthrottled end.
    const Row rows[] = {{1000, "x1배속", 1000, 500}, {500, "x2배속", 1000, 250},
                        {250, "x4배속", 500, 125},   {125, "x8배속", 250, 50},
                        {50, "x20배속", 125, 1},     {1, "x최대배속", 50, 1}};
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(SpeedText(row.value), QString::fromUtf8(row.text));
        EXPECT_EQ(SlowerSpeed(row.value), row.slower);
        EXPECT_EQ(FasterSpeed(row.value), row.faster);
    }
    // An unknown value behaves as the starting speed instead of falling off the table.
    EXPECT_EQ(SpeedText(333), QString::fromUtf8("x1배속"));
    EXPECT_EQ(FasterSpeed(333), 500);
    // Speed, interval, period: 5 Hz at x1 and x8; a 2 s interval rounds to 0 Hz, taken as 1;
    // 10 Hz at x1; 1 Hz at x2; the fastest kept at 1 ms; an unknown interval divides by
    // nothing; 1000 / 300 is 3.
    // clang-format off
    const int periods[][3] = {{1000, 200, 200}, {125, 200, 25}, {1000, 2000, 1000},
        {1000, 100, 100}, {500, 1000, 500}, {1, 200, 1}, {1000, 0, 1000}, {50, 300, 16}};
    // clang-format on
    for (const auto& p : periods) EXPECT_EQ(TimerPeriodMs(p[0], p[1]), p[2]) << p[0] << "/" << p[1];
    EXPECT_EQ(EntriesPerTick(kFastestSpeedValue), 5);
    for (int speed : {1000, 500, 250, 125, 50}) EXPECT_EQ(EntriesPerTick(speed), 1);
}

// A replay window with every signal it sends recorded.
class ReplayDlg : public ::testing::Test {
protected:
    ReplayDlg()
    {
        QObject::connect(&dlg, &CReplayDlg::control, [this](int code, qint64 argument) {
            controls.emplace_back(code, argument);
        });
        QObject::connect(&dlg, &CReplayDlg::jumpSeconds, [this](int s) { jumps.push_back(s); });
        QObject::connect(&dlg, &CReplayDlg::stepOneFrame, [this] { ++steps; });
    }
    CReplayDlg dlg;
    std::vector<std::pair<int, qint64>> controls;
    std::vector<int> jumps;
    int steps = 0;
};

void PressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&widget, &event);
}

bool PlayShown(const CReplayDlg& dlg) { return !dlg.Button(Id::Play)->isHidden(); }
bool PauseShown(const CReplayDlg& dlg) { return !dlg.Button(Id::Pause)->isHidden(); }

TEST_F(ReplayDlg, EveryButtonSendsItsCode)
{
    // clang-format off
    struct Row { Id button; int code; const char* tip; };
    const Row rows[] = {{Id::GoToStart, 0, "처음으로 이동"}, {Id::Slower, 1, "속도 느리게"},
                        {Id::Play, 2, "플레이"}, {Id::Pause, 3, "중지"}, {Id::Faster, 4, "속도 빠르게"},
                        {Id::GoToEnd, 5, "마지막으로 이동"}, {Id::Exit, 6, "리플레이 나가기"}};
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        ASSERT_NE(dlg.Button(row.button), nullptr);
        EXPECT_EQ(dlg.Button(row.button)->toolTip(), QString::fromUtf8(row.tip));
        controls.clear();
        dlg.Button(row.button)->click();
        ASSERT_EQ(controls.size(), 1u);
        EXPECT_EQ(controls[0], std::make_pair(row.code, qint64{0}));
    }
}

TEST_F(ReplayDlg, PlayAndPauseTakeTurnsOnScreen)
{
    for (Id id : {Id::Play, Id::Pause, Id::Exit}) ASSERT_NE(dlg.Button(id), nullptr);
    dlg.resize(640, CReplayDlg::kHeight);
    const QPoint centre(66 + 16, 16);  // the play triangle's middle, the gap between pause bars
    EXPECT_GT(qGray(dlg.grab().toImage().pixel(centre)), 150);
    dlg.Button(Id::Play)->click();
    EXPECT_TRUE(PauseShown(dlg) && !PlayShown(dlg));
    EXPECT_LT(qGray(dlg.grab().toImage().pixel(centre)), 100);
    dlg.Button(Id::Exit)->click();  // leaving a replay leaves it ready to play again
    EXPECT_TRUE(PlayShown(dlg) && !PauseShown(dlg));
    dlg.SetPlaying(true);
    dlg.Button(Id::Pause)->click();
    EXPECT_TRUE(PlayShown(dlg));
    EXPECT_FALSE(dlg.IsPlaying());
}

TEST_F(ReplayDlg, KeysAndSliderBecomeSignals)
{
    PressKey(dlg, Qt::Key_Return);
    EXPECT_TRUE(dlg.IsPlaying());
    PressKey(dlg, Qt::Key_Enter);
    EXPECT_FALSE(dlg.IsPlaying());
    PressKey(dlg, Qt::Key_Up);
    PressKey(dlg, Qt::Key_Down);
    EXPECT_EQ(controls, (std::vector<std::pair<int, qint64>>{{2, 0}, {3, 0}, {4, 0}, {1, 0}}));

    dlg.SetPlaying(true);
    PressKey(dlg, Qt::Key_Left);
    EXPECT_FALSE(dlg.IsPlaying());  // a jump shows one entry and stands still
    for (auto m : {Qt::ShiftModifier, Qt::ControlModifier}) PressKey(dlg, Qt::Key_Left, m);
    for (auto m : {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier})
        PressKey(dlg, Qt::Key_Right, m);
    EXPECT_EQ(jumps, (std::vector<int>{-1, -10, -60, 1, 10, 60}));
    // Space steps one entry and stands still, unless the last entry is shown.
    dlg.SetRange(10);
    dlg.SetPosition(8);
    dlg.SetPlaying(true);
    PressKey(dlg, Qt::Key_Space);
    EXPECT_EQ(steps, 1);
    EXPECT_FALSE(dlg.IsPlaying());
    dlg.SetPosition(9);
    PressKey(dlg, Qt::Key_Space);
    EXPECT_EQ(steps, 1);

    // Only the exit button ends a replay; Escape must not hide the window behind its back.
    dlg.show();
    PressKey(dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isHidden());
    EXPECT_EQ(controls.size(), 4u);

    // Releasing the slider sends the entry.
    dlg.SetRange(100);
    EXPECT_EQ(dlg.Slider()->maximum(), 99);
    QSlider* slider = dlg.Slider();
    slider->setSliderDown(true);
    slider->setSliderPosition(42);
    EXPECT_EQ(dlg.SliderTip()->text(), QStringLiteral("Val = 42"));
    EXPECT_FALSE(dlg.SliderTip()->isHidden());
    dlg.SetPosition(7);  // playback must not pull the handle away from the user
    EXPECT_EQ(slider->value(), 42);
    slider->setSliderDown(false);
    ASSERT_EQ(controls.size(), 5u);
    EXPECT_EQ(controls.back(), std::make_pair(8, qint64{42}));
    EXPECT_TRUE(dlg.SliderTip()->isHidden());
    EXPECT_EQ(SliderTipText(QStringLiteral("Frame"), 5), QStringLiteral("Frame, Val = 5"));
    dlg.SetPosition(7);
    EXPECT_EQ(slider->value(), 7);
}

TEST_F(ReplayDlg, LayoutFollowsTheWidth)
{
    const int w = 640;
    // clang-format off
    const std::pair<Id, QRect> expected[] = {
        {Id::GoToStart, {0, 0, 32, 32}}, {Id::Play, {66, 0, 32, 32}}, {Id::Pause, {66, 0, 32, 32}},
        {Id::GoToEnd, {132, 0, 32, 32}}, {Id::Exit, {w - 32, 0, 32, 32}},
        {Id::Slider, {165, 0, w - 197, 32}}, {Id::SpeedText, {5, 33, 50, 15}},
        {Id::FileName, {60, 33, w - 260, 15}}, {Id::FrameRate, {w - 200, 33, 200, 15}}};
    // clang-format on
    const auto layout = ReplayLayout(w);
    dlg.resize(w, CReplayDlg::kHeight);
    dlg.show();
    for (const auto& [id, rect] : expected) EXPECT_EQ(layout.at(id), rect) << static_cast<int>(id);
    ASSERT_NE(dlg.Button(Id::Exit), nullptr);
    EXPECT_EQ(dlg.Button(Id::Exit)->geometry(), layout.at(Id::Exit));
    EXPECT_EQ(dlg.Slider()->geometry(), layout.at(Id::Slider));
    EXPECT_EQ(dlg.FrameRateLabel()->geometry(), layout.at(Id::FrameRate));
    dlg.SetFrameRateText(QString::fromStdString(FrameRateText("UBX", "", 1000, 5)));
    EXPECT_EQ(dlg.FrameRateLabel()->text(), QStringLiteral("UBX@1Hz  /4 Frames "));
    // Too narrow for everything: nothing gets a negative width.
    EXPECT_EQ(ReplayLayout(150).at(Id::Slider).width(), 0);
    EXPECT_EQ(ReplayLayout(150).at(Id::FileName).width(), 0);
}

TEST(CalcStatusDlg, PassesReportProgressCompletionAndCancel)
{
    CCalcStatusDlg dlg;
    for (int b : {0, 1})
        ASSERT_TRUE(dlg.Bar(b) && dlg.StatusLabel(b) && dlg.PositionLabel(b) && dlg.EndLabel(b));
    EXPECT_FALSE(dlg.StatusLabel(0)->isEnabled());
    dlg.AverageDone(false);
    EXPECT_TRUE(dlg.StatusLabel(0)->isEnabled());
    EXPECT_EQ(dlg.StatusLabel(0)->text(), QString::fromUtf8("평균 계산 중..."));
    dlg.SetAverageProgress(500);
    EXPECT_EQ(dlg.Bar(0)->value(), 500);
    EXPECT_EQ(dlg.PositionLabel(0)->text(), QStringLiteral("500"));
    dlg.AverageDone(true);
    EXPECT_EQ(dlg.StatusLabel(0)->text(), QString::fromUtf8("평균 계산 완료"));
    EXPECT_TRUE(dlg.IsDone(0));
    dlg.SetRange(1, 200);
    EXPECT_EQ(dlg.EndLabel(1)->text(), QStringLiteral("200"));
    dlg.RmsDone(false);
    dlg.SetRmsProgress(5000);  // beyond the range: the bar is full, not left behind
    EXPECT_EQ(dlg.Bar(1)->value(), 200);
    EXPECT_EQ(dlg.PositionLabel(1)->text(), QStringLiteral("5000"));
    dlg.RmsDone(true);
    EXPECT_EQ(dlg.StatusLabel(1)->text(), QString::fromUtf8("계산 완료"));
    dlg.SetPos(2, 10);  // no such bar: nothing happens
    dlg.Begin();
    EXPECT_EQ(dlg.Bar(0)->value(), 0);
    EXPECT_EQ(dlg.Bar(1)->maximum(), 1000);
    EXPECT_FALSE(dlg.IsDone(0) || dlg.IsDone(1));
    EXPECT_EQ(qAlpha(CalcStatusMark(false, 100).toImage().pixel(50, 50)), 0);  // hollow ring
    const QRgb tick = CalcStatusMark(true, 100).toImage().pixel(40, 79);
    EXPECT_GT(qGreen(tick), qRed(tick));  // a green tick when done

    // Closing asks to cancel, hiding does not.
    int cancels = 0;
    QObject::connect(&dlg, &CCalcStatusDlg::cancelRequested, [&cancels] { ++cancels; });
    dlg.show();
    dlg.hide();  // the scan hides it when done
    EXPECT_EQ(cancels, 0);
    dlg.show();
    dlg.close();
    EXPECT_EQ(cancels, 1);
    dlg.show();
    PressKey(dlg, Qt::Key_Escape);
    EXPECT_EQ(cancels, 2);
    EXPECT_TRUE(dlg.isHidden());
}

TEST(MissingLogDlg, ListsTextAndNumberAndFollowsNewLines)
{
    CMissingLogDlg dlg;
    EXPECT_TRUE(dlg.AddLine(0, LineText("GGA", 1000), CMissingLogDlg::LineColour()));
    EXPECT_FALSE(dlg.AddLine(1, LineText("GNS", 2000), CMissingLogDlg::LineColour()));
    EXPECT_TRUE(dlg.AddLine(2, LineText("RMC", 3000), CMissingLogDlg::LineColour()));
    ASSERT_EQ(dlg.TextList()->GetCount(), 2);
    ASSERT_EQ(dlg.NumberList()->GetCount(), 2);
    EXPECT_EQ(dlg.TextList()->GetText(1), LineText("RMC", 3000));
    EXPECT_EQ(dlg.TextList()->GetTextColour(0), QColor(6, 6, 6));
    EXPECT_EQ(dlg.NumberList()->GetText(1), QStringLiteral("2"));
    EXPECT_EQ(dlg.NumberList()->GetTextColour(1), QColor(255, 0, 0));
    dlg.resize(500, 300);
    dlg.show();  // the text takes 8/10 of the width, the numbers the rest
    EXPECT_EQ(dlg.TextList()->geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(dlg.NumberList()->geometry(), QRect(400, 0, 100, 300));

    // A double click copies the line.
    QGuiApplication::clipboard()->clear();
    CMultiLineListBox* list = dlg.TextList();
    const QPointF point = list->GetItemRect(1).center();
    QMouseEvent click(QEvent::MouseButtonDblClick, point, list->viewport()->mapToGlobal(point),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &click);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), LineText("RMC", 3000));
    dlg.CopyLineToClipboard(7);  // no such line: the clipboard keeps its text
    EXPECT_EQ(QGuiApplication::clipboard()->text(), LineText("RMC", 3000));

    for (int i = 3; i < 60; ++i) dlg.AddLine(i, LineText("GGA", i * 1000LL), Qt::black);
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(dlg.NumberList()->IsScrolledToBottom());
    QMenu menu;
    dlg.FillContextMenu(menu);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_TRUE(menu.actions()[0]->isChecked());
    menu.actions()[0]->trigger();  // "Auto Scroll" off: the position stays
    EXPECT_FALSE(dlg.IsAutoScroll());
    bar->setValue(0);
    for (int i = 60; i < 70; ++i) dlg.AddLine(i, LineText("GGA", i * 1000LL), Qt::black);
    EXPECT_EQ(bar->value(), 0);
    dlg.Clear();
    EXPECT_EQ(dlg.TextList()->GetCount() + dlg.NumberList()->GetCount(), 0);
}

}  // namespace
