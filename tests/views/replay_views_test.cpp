#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <utility>
#include <vector>

#include "views/replay_dlg.h"
#include "views/replay_speed.h"

namespace {

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

TEST_F(ReplayDlg, EveryButtonSendsItsCode)
{
    const Id buttons[] = {Id::GoToStart, Id::Slower,  Id::Play, Id::Pause,
                          Id::Faster,    Id::GoToEnd, Id::Exit};
    for (int code = 0; code < 7; ++code) {
        ASSERT_NE(dlg.Button(buttons[code]), nullptr) << code;
        controls.clear();
        dlg.Button(buttons[code])->click();
        EXPECT_EQ(controls, (std::vector<std::pair<int, qint64>>{{code, 0}}));
    }
}

TEST_F(ReplayDlg, KeysAndSliderBecomeSignals)
{
    // Return plays, Enter pauses, Up and Down change the speed.
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Up, Qt::Key_Down}) PressKey(dlg, key);
    EXPECT_EQ(controls, (std::vector<std::pair<int, qint64>>{{2, 0}, {3, 0}, {4, 0}, {1, 0}}));
    dlg.SetPlaying(true);
    for (int key : {Qt::Key_Left, Qt::Key_Right})
        for (auto m : {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier})
            PressKey(dlg, key, m);
    EXPECT_EQ(jumps, (std::vector<int>{-1, -10, -60, 1, 10, 60}));
    EXPECT_FALSE(dlg.IsPlaying());  // a jump shows one entry and stands still
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

}  // namespace
