#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QToolButton>
#include <cmath>
#include <functional>
#include <ostream>
#include <set>

#include "views/record_dlg.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 3000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents();
    return done();
}

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
    EXPECT_EQ(RecordStartLine(QTime(0, 0, 0)), "S 00:00:00");

    const std::pair<std::optional<qint64>, const char*> running[] = {
        {std::nullopt, "R --:--:--"},
        {0, "R 00:00:00"},
        {59, "R 00:00:59"},
        {3723, "R 01:02:03"},            // 1 h 2 min 3 s
        {24 * 3600 + 59, "R 24:00:59"},  // a day-long log keeps counting hours
        {-5, "R 00:00:00"},              // the clock went back
    };
    for (const auto& [seconds, text] : running) EXPECT_EQ(RecordRunningLine(seconds), text);

    EXPECT_EQ(RecordLengthLine(0), "Length : 0 bytes");
    EXPECT_EQ(RecordLengthLine(123456), "Length : 123456 bytes");
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
    // Name, time lines and stop button sit edge to edge on the first row at any width.
    EXPECT_EQ(r.fileName.right() + 1, r.startTime.left());
    EXPECT_EQ(r.startTime.right() + 1, r.stopButton.left());
    // Too narrow for a name: an empty rectangle rather than a negative width.
    EXPECT_EQ(RecordWindowLayout(100).fileName.width(), 0);
}

TEST(RecordAnimation, NineFramesLightOneDotEach)
{
    std::set<std::pair<int, int>> centres;
    for (int i = 0; i < kRecordAnimationFrames; ++i) {
        const QPoint p = RecordAnimationDotCentre(i);
        centres.insert({p.x(), p.y()});
        EXPECT_NEAR(std::hypot(p.x() - 16, p.y() - 16), 12.0, 1.0) << i;
        const QImage frame = RecordAnimationFrame(i);
        const QImage next = RecordAnimationFrame(i + 1);
        EXPECT_TRUE(IsReddish(frame.pixel(p))) << i;
        EXPECT_TRUE(IsGrey(next.pixel(p))) << i;
        EXPECT_TRUE(IsReddish(frame.pixel(16, 16))) << i;
        EXPECT_EQ(qAlpha(frame.pixel(0, 0)), 0) << i;
    }
    EXPECT_EQ(centres.size(), 9u);
    EXPECT_EQ(RecordAnimationDotCentre(0), QPoint(16, 4));  // twelve o'clock
    EXPECT_EQ(RecordAnimationDotCentre(9), RecordAnimationDotCentre(0));
}

TEST(RecordDlg, StartsWithPlaceholdersTipsAndTranslucency)
{
    CRecordDlg dlg;
    EXPECT_EQ(LabelText(dlg, "startTime"), "S --:--:--");
    EXPECT_EQ(LabelText(dlg, "runningTime"), "R --:--:--");
    EXPECT_EQ(LabelText(dlg, "length"), "Length : 0 bytes");
    EXPECT_EQ(dlg.findChild<QLabel*>("picture")->toolTip(), QStringLiteral("로그 기록 중"));
    EXPECT_EQ(dlg.findChild<QToolButton*>("stopButton")->toolTip(), QStringLiteral("기록 중지"));
    EXPECT_NEAR(dlg.windowOpacity(), 178.0 / 255.0, 0.01);
}

TEST(RecordDlg, ChildrenFollowTheLayoutAndPaint)
{
    CRecordDlg dlg;
    dlg.resize(500, 70);
    dlg.show();  // a hidden widget gets its resize event only when shown
    ASSERT_TRUE(WaitUntil([&] { return dlg.isVisible(); }));
    const RecordWindowRects r = RecordWindowLayout(500);
    EXPECT_EQ(dlg.findChild<QLabel*>("picture")->geometry(), r.picture);
    EXPECT_EQ(dlg.findChild<QToolButton*>("stopButton")->geometry(), r.stopButton);
    EXPECT_EQ(dlg.findChild<QLabel*>("fileName")->geometry(), r.fileName);
    EXPECT_EQ(dlg.findChild<QLabel*>("length")->geometry(), r.length);
    EXPECT_EQ(dlg.findChild<QLabel*>("startTime")->geometry(), r.startTime);
    EXPECT_EQ(dlg.findChild<QLabel*>("runningTime")->geometry(), r.runningTime);

    QImage image(dlg.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    dlg.render(&image);
    EXPECT_TRUE(IsReddish(image.pixel(16, 16)));        // the animation's core dot
    EXPECT_TRUE(IsReddish(image.pixel(500 - 16, 16)));  // the stop button's square
}

TEST(RecordDlg, ShowSetsTheLinesAndTheClockRuns)
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
    EXPECT_TRUE(WaitUntil([&] { return LabelText(dlg, "runningTime") == "R 00:00:01"; }));
}

TEST(RecordDlg, AnimationAdvancesWhileShown)
{
    CRecordDlg dlg;
    EXPECT_EQ(dlg.AnimationIndex(), 0);
    dlg.Show(QStringLiteral("a.txt"));
    EXPECT_TRUE(WaitUntil([&] { return dlg.AnimationIndex() >= 2; }, 2000));
    dlg.hide();
    const int stopped = dlg.AnimationIndex();
    const QDeadlineTimer deadline(3 * CRecordDlg::kAnimationPeriodMs);
    while (!deadline.hasExpired()) QCoreApplication::processEvents();
    EXPECT_EQ(dlg.AnimationIndex(), stopped);
}

TEST(RecordDlg, StopButtonAsksOnceAndStopsTheClock)
{
    CRecordDlg dlg;
    int requests = 0;
    QObject::connect(&dlg, &CRecordDlg::stopRequested, [&] { ++requests; });
    dlg.Show(QStringLiteral("a.txt"));
    dlg.findChild<QToolButton*>("stopButton")->click();
    EXPECT_EQ(requests, 1);
    // The running line no longer moves once stop was pressed.
    const QDeadlineTimer deadline(CRecordDlg::kClockPeriodMs + 300);
    while (!deadline.hasExpired()) QCoreApplication::processEvents();
    EXPECT_EQ(LabelText(dlg, "runningTime"), "R 00:00:00");
}
