#include "app/replay_player.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "views/replay_speed.h"

namespace {

class RecordingSink : public IReplaySink {
public:
    void PlayEntryBytes(std::size_t, std::span<const std::uint8_t> bytes) override
    {
        played.emplace_back(bytes.begin(), bytes.end());
    }
    void ClearViews() override {}
    void ResetEpochState() override { ++resets; }
    void PlaybackEnded() override { ++ends; }

    std::vector<std::string> played;
    int resets = 0;
    int ends = 0;
};

// A log of count entries "E0000\n", "E0001\n", ... at the given interval from 12:00:00.
class ReplayPlayerTest : public ::testing::Test {
protected:
    CEpochIndex MakeLog(int count, int intervalMs)
    {
        QFile file(Path());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        CEpochIndex index;
        for (int i = 0; i < count; ++i) {
            const std::string text = Entry(i);
            index.Add(43'200'000u + static_cast<std::uint64_t>(i) * intervalMs, 37.0, 127.0, 50.0f,
                      1, static_cast<std::uint64_t>(file.pos()), text.size());
            file.write(text.data(), static_cast<qint64>(text.size()));
        }
        return index;
    }
    static std::string Entry(int i)
    {
        char text[16];
        std::snprintf(text, sizeof text, "E%04d\n", i);
        return text;
    }
    QString Path() const { return dir_.filePath(QStringLiteral("log.txt")); }

    QTemporaryDir dir_;
    RecordingSink sink_;
    CReplayPlayer player_{sink_};
};

TEST_F(ReplayPlayerTest, SpeedStepsSetThePeriodAndTheFastestPlaysFivePerTick)
{
    ASSERT_TRUE(player_.Start(Path(), MakeLog(100, 200), 200));  // 5 Hz
    EXPECT_TRUE(player_.Playing());
    EXPECT_EQ(player_.TimerPeriod(), 200);
    for (int i = 0; i < 3; ++i) player_.Control(static_cast<int>(ReplayControl::Faster), 0);
    EXPECT_EQ(SpeedText(player_.SpeedValue()).toStdString(), "x8배속");
    EXPECT_EQ(player_.TimerPeriod(), 25);
    player_.Control(static_cast<int>(ReplayControl::Faster), 0);
    player_.Control(static_cast<int>(ReplayControl::Faster), 0);
    EXPECT_EQ(player_.SpeedValue(), kFastestSpeedValue);
    player_.Tick();
    ASSERT_EQ(sink_.played.size(), 5u);
    EXPECT_EQ(sink_.played[4], Entry(4));
    EXPECT_EQ(player_.FrameIndex(), 5);
    player_.Control(static_cast<int>(ReplayControl::Slower), 0);
    EXPECT_EQ(SpeedText(player_.SpeedValue()).toStdString(), "x20배속");
}

TEST_F(ReplayPlayerTest, PlaysEveryEntryInOrderThenStandsAtTheStart)
{
    ASSERT_TRUE(player_.Start(Path(), MakeLog(7, 1000), 1000));
    for (int i = 0; i < 7; ++i) player_.Tick();
    ASSERT_EQ(sink_.played.size(), 7u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(sink_.played[static_cast<std::size_t>(i)], Entry(i));
    EXPECT_EQ(sink_.ends, 1);
    EXPECT_FALSE(player_.Playing());
    EXPECT_EQ(player_.FrameIndex(), 0);
}

TEST_F(ReplayPlayerTest, JumpsByTimeBySliderAndToTheEnd)
{
    int distances = 0;
    QObject::connect(&player_, &CReplayPlayer::distanceRequested, [&] { ++distances; });
    ASSERT_TRUE(player_.Start(Path(), MakeLog(600, 200), 200));  // two minutes at 5 Hz
    for (int i = 0; i < 50; ++i) player_.Tick();                 // ten seconds in
    player_.JumpSeconds(-60);                                    // back past the start
    EXPECT_EQ(player_.FrameIndex(), 0);
    EXPECT_FALSE(player_.Playing());
    player_.JumpSeconds(30);
    EXPECT_EQ(player_.FrameIndex(), 150);
    sink_.played.clear();
    player_.Tick();  // the single step shows one entry and stops
    ASSERT_EQ(sink_.played.size(), 1u);
    EXPECT_EQ(sink_.played[0], Entry(150));
    EXPECT_EQ(distances, 0);  // only a step with Space asks the map for the distance
    player_.StepOneFrame();
    player_.Tick();
    EXPECT_EQ(sink_.played.back(), Entry(151));
    EXPECT_EQ(distances, 1);
    player_.Control(static_cast<int>(ReplayControl::SliderReleased), 420);
    EXPECT_GE(sink_.resets, 1);
    player_.Tick();
    EXPECT_EQ(sink_.played.back(), Entry(420));
    player_.Control(static_cast<int>(ReplayControl::GoToEnd), 0);
    EXPECT_EQ(sink_.played.back(), Entry(599));
    EXPECT_EQ(player_.FrameIndex(), 0);
    EXPECT_FALSE(player_.Playing());
}

}  // namespace
