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

TEST(RecordDlg, ShowStartsTheClockAndTheAnimationAndStopAsksOnceAndStopsThem)
{
    CRecordDlg dlg;
    int requests = 0;
    QObject::connect(&dlg, &CRecordDlg::stopRequested, [&] { ++requests; });
    dlg.Show(QStringLiteral("Log_20150305_140709.txt"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^S \\d\\d:\\d\\d:\\d\\d$"))
                    .match(LabelText(dlg, "startTime"))
                    .hasMatch());
    EXPECT_EQ(LabelText(dlg, "runningTime"), "R 00:00:00");
    EXPECT_TRUE(WaitFor([&] { return dlg.AnimationIndex() >= 2; }, 2000));
    EXPECT_TRUE(WaitFor([&] { return LabelText(dlg, "runningTime") == "R 00:00:01"; }));
    auto* stop = dlg.findChild<QToolButton*>("stopButton");
    ASSERT_NE(stop, nullptr);
    stop->click();
    EXPECT_EQ(requests, 1);
    // The running line no longer moves once stop was pressed, nor the animation once hidden.
    WaitFor([] { return false; }, CRecordDlg::kClockPeriodMs + 300);
    EXPECT_EQ(LabelText(dlg, "runningTime"), "R 00:00:01");
    dlg.hide();
    const int stopped = dlg.AnimationIndex();
    WaitFor([] { return false; }, 3 * CRecordDlg::kAnimationPeriodMs);
    EXPECT_EQ(dlg.AnimationIndex(), stopped);
}
