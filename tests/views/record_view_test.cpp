#include <gtest/gtest.h>

#include <QLabel>
#include <QRegularExpression>
#include <QToolButton>
#include <cmath>
#include <ostream>
#include <set>

#include "support/qt_support.h"
#include "views/record_dlg.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

QString LabelText(const CRecordDlg& dlg, const char* name)
{
    const auto* label = dlg.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

bool IsReddish(QRgb c) { return qRed(c) > 100 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsGrey(QRgb c)
{
    return qAlpha(c) == 255 && qRed(c) > 120 && std::abs(qRed(c) - qGreen(c)) < 10 &&
           std::abs(qRed(c) - qBlue(c)) < 10;
}

}  // namespace

TEST(RecordTexts, TimeAndLengthLines)
{
    EXPECT_EQ(RecordStartLine(std::nullopt), "S --:--:--");
    EXPECT_EQ(RecordStartLine(QTime()), "S --:--:--");
    EXPECT_EQ(RecordStartLine(QTime(14, 7, 9)), "S 14:07:09");
    // clang-format off
    const std::pair<std::optional<qint64>, const char*> running[] = {{std::nullopt, "R --:--:--"},
        {0, "R 00:00:00"}, {59, "R 00:00:59"}, {60, "R 00:01:00"}, {3599, "R 00:59:59"},
        {3723, "R 01:02:03"}, {24 * 3600 + 59, "R 24:00:59"},  // a day-long log keeps counting
        {-5, "R 00:00:00"}};                                   // the clock went back
    // clang-format on
    for (const auto& [seconds, text] : running) EXPECT_EQ(RecordRunningLine(seconds), text);
    EXPECT_EQ(RecordLengthLine(0), "Length : 0 bytes");
    EXPECT_EQ(RecordLengthLine(3'000'000'000), "Length : 3000000000 bytes");  // past 2 GiB
}

TEST(RecordLayout, PartsFollowTheWidth)
{
    const RecordWindowRects r = RecordWindowLayout(464);
    EXPECT_EQ(r.picture, QRect(0, 0, 32, 32));
    EXPECT_EQ(r.stopButton, QRect(464 - 32, 0, 32, 32));
    EXPECT_EQ(r.fileName, QRect(40, 0, 464 - 172, 15));
    EXPECT_EQ(r.length, QRect(40, 16, 200, 15));
    EXPECT_EQ(r.startTime, QRect(464 - 132, 0, 100, 15));
    EXPECT_EQ(r.runningTime, QRect(464 - 132, 16, 100, 15));
    // Too narrow for a name: an empty rectangle rather than a negative width.
    EXPECT_EQ(RecordWindowLayout(100).fileName.width(), 0);

    CRecordDlg dlg;
    dlg.resize(500, 70);
    dlg.show();  // a hidden widget gets its resize event only when shown
    ASSERT_TRUE(WaitFor([&] { return dlg.isVisible(); }));
    const auto* stop = dlg.findChild<QToolButton*>("stopButton");
    const auto* name = dlg.findChild<QLabel*>("fileName");
    ASSERT_TRUE(stop && name);
    EXPECT_EQ(stop->geometry(), RecordWindowLayout(500).stopButton);
    EXPECT_EQ(name->geometry(), RecordWindowLayout(500).fileName);
    const QImage image = RenderWidget(dlg, dlg.size(), Qt::white);
    EXPECT_TRUE(IsReddish(image.pixel(16, 16)));        // the animation's core dot
    EXPECT_TRUE(IsReddish(image.pixel(500 - 16, 16)));  // the stop button's square
}

TEST(RecordAnimation, NineFramesLightOneDotEach)
{
    std::set<std::pair<int, int>> centres;
    for (int i = 0; i < kRecordAnimationFrames; ++i) {
        const QPoint p = RecordAnimationDotCentre(i);
        centres.insert({p.x(), p.y()});
        EXPECT_NEAR(std::hypot(p.x() - 16, p.y() - 16), 12.0, 1.0) << i;
        const QImage frame = RecordAnimationFrame(i);
        EXPECT_TRUE(IsReddish(frame.pixel(p))) << i;
        EXPECT_TRUE(IsGrey(RecordAnimationFrame(i + 1).pixel(p))) << i;
        EXPECT_TRUE(IsReddish(frame.pixel(16, 16))) << i;
        EXPECT_EQ(qAlpha(frame.pixel(0, 0)), 0) << i;
    }
    EXPECT_EQ(centres.size(), 9u);
    EXPECT_EQ(RecordAnimationDotCentre(0), QPoint(16, 4));  // twelve o'clock
    EXPECT_EQ(RecordAnimationDotCentre(9), RecordAnimationDotCentre(0));
}

TEST(RecordDlg, ShowStartsTheClockAndTheAnimation)
{
    CRecordDlg dlg;
    dlg.Show(QStringLiteral("Log_20150305_140709.txt"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(LabelText(dlg, "fileName"), "Log_20150305_140709.txt");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^S \\d\\d:\\d\\d:\\d\\d$"))
                    .match(LabelText(dlg, "startTime"))
                    .hasMatch());
    EXPECT_EQ(LabelText(dlg, "runningTime"), "R 00:00:00");
    dlg.SetLength(1024);
    EXPECT_EQ(LabelText(dlg, "length"), "Length : 1024 bytes");
    EXPECT_TRUE(WaitFor([&] { return dlg.AnimationIndex() >= 2; }, 2000));
    EXPECT_TRUE(WaitFor([&] { return LabelText(dlg, "runningTime") == "R 00:00:01"; }));
    dlg.hide();
    const int stopped = dlg.AnimationIndex();
    WaitFor([] { return false; }, 3 * CRecordDlg::kAnimationPeriodMs);  // idle
    EXPECT_EQ(dlg.AnimationIndex(), stopped);
}

TEST(RecordDlg, StopButtonAsksOnceAndStopsTheClock)
{
    CRecordDlg dlg;
    int requests = 0;
    QObject::connect(&dlg, &CRecordDlg::stopRequested, [&] { ++requests; });
    dlg.Show(QStringLiteral("a.txt"));
    auto* stop = dlg.findChild<QToolButton*>("stopButton");
    ASSERT_NE(stop, nullptr);
    stop->click();
    EXPECT_EQ(requests, 1);
    // The running line no longer moves once stop was pressed.
    WaitFor([] { return false; }, CRecordDlg::kClockPeriodMs + 300);
    EXPECT_EQ(LabelText(dlg, "runningTime"), "R 00:00:00");
}
