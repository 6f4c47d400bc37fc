#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "logio/extraction_writer.h"
#include "logio/log_recorder.h"
#include "support/captures.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

std::string ReadText(const std::filesystem::path& path)
{
    const auto bytes = testdata::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

// Every byte value, CR, LF and NUL included.
std::vector<std::uint8_t> MixedBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return bytes;
}

// Records bytes in blocks of at most 1024, as the serial link hands them over.
std::vector<std::uint8_t> RoundTrip(std::span<const std::uint8_t> bytes)
{
    const auto path = testdata::UniqueTempPath("round.txt");
    CLogRecorder recorder;
    EXPECT_EQ(recorder.Start(path), RecordStatus::Ok);
    for (std::size_t at = 0; at < bytes.size(); at += 1024)
        recorder.WriteBlock(bytes.subspan(at, std::min<std::size_t>(1024, bytes.size() - at)));
    EXPECT_EQ(recorder.ByteCount(), static_cast<std::int64_t>(bytes.size()));
    recorder.Stop();
    auto written = testdata::ReadBytes(path);
    std::filesystem::remove(path);
    return written;
}

}  // namespace

TEST(LogRecorder, BlocksComeBackByteIdentical)
{
    const auto mixed = MixedBytes(5000);
    EXPECT_EQ(RoundTrip(mixed), mixed);
    EXPECT_TRUE(RoundTrip({}).empty());  // a silent receiver leaves an empty file
    SKIP_WITHOUT_DATA();
    captures::ForEach(captures::kUbx | captures::kSbf | captures::kGsof,
                      [](const auto&, const auto& bytes) { EXPECT_EQ(RoundTrip(bytes), bytes); });
}

TEST(LogRecorder, WritesOnlyWhileRecordingAndStopsAtAnError)
{
    const auto path = testdata::UniqueTempPath("gate.txt");
    CLogRecorder recorder;
    EXPECT_EQ(recorder.WriteBlock(Bytes("before")), RecordStatus::Idle);
    ASSERT_EQ(recorder.Start(path), RecordStatus::Ok);
    recorder.SetLatestLogging(true);
    EXPECT_EQ(recorder.WriteBlock(Bytes("latest")), RecordStatus::Idle);
    recorder.SetLatestLogging(false);
    EXPECT_EQ(recorder.WriteBlock(Bytes("kept")), RecordStatus::Ok);
    // A second file that cannot be created leaves the running recording alone.
    EXPECT_EQ(recorder.Start("/proc/no-such-dir/log.txt"), RecordStatus::CannotCreate);
    EXPECT_EQ(std::tuple(recorder.IsRecording(), recorder.ByteCount()), std::tuple(true, 4));
    recorder.Stop();
    EXPECT_EQ(recorder.WriteBlock(Bytes("after")), RecordStatus::Idle);
    EXPECT_EQ(ReadText(path), "kept");
    std::filesystem::remove(path);
    // Write errors are reported once and stop the recording.
    CLogRecorder full;
    ASSERT_EQ(full.Start("/dev/full"), RecordStatus::Ok);
    EXPECT_EQ(full.WriteBlock(Bytes("$GPGGA\r\n")), RecordStatus::WriteFailed);
    EXPECT_EQ(full.WriteBlock(Bytes("$GPGGA\r\n")), RecordStatus::Idle);
    EXPECT_FALSE(full.IsRecording());

    CLogRecorder removed;
    ASSERT_EQ(removed.Start(path), RecordStatus::Ok);
    ASSERT_EQ(removed.WriteBlock(Bytes("first")), RecordStatus::Ok);
    std::filesystem::remove(path);
    EXPECT_EQ(removed.WriteBlock(Bytes("second")), RecordStatus::FileRemoved);
    EXPECT_EQ(removed.WriteBlock(Bytes("third")), RecordStatus::Idle);
}

TEST(LogRecorder, ShortWriteKeepsTheBytesAlreadyWritten)
{
    const auto path = testdata::UniqueTempPath("limit.txt");
    const auto bytes = MixedBytes(120);
    CLogRecorder recorder;
    ASSERT_EQ(recorder.Start(path), RecordStatus::Ok);
    // A file size limit of 100 bytes; with SIGXFSZ ignored the write comes back short.
    const sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limit);
    const RecordStatus first = recorder.WriteBlock(std::span(bytes).first(60));
    const RecordStatus second = recorder.WriteBlock(std::span(bytes).subspan(60));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
    EXPECT_EQ(std::tuple(first, second), std::tuple(RecordStatus::Ok, RecordStatus::WriteFailed));
    EXPECT_EQ(recorder.WriteBlock(bytes), RecordStatus::Idle);
    // The 40 bytes that still fitted stay behind the first block, and are counted.
    EXPECT_EQ(recorder.ByteCount(), 100);
    EXPECT_EQ(testdata::ReadBytes(path),
              std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 100));
    std::filesystem::remove(path);
}

TEST(LatestLogging, WritesMessageTextsAsLines)
{
    const auto path = testdata::UniqueTempPath("latest.txt");
    const std::string gga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,");
    CLogRecorder recorder;
    recorder.SetLatestLogging(true);
    ASSERT_EQ(recorder.Start(path), RecordStatus::Ok);
    const std::pair<std::string, std::string> cases[] = {
        {gga, gga},                        // ends in LF: no second one
        {"", ""},                          // no GGA built yet
        {"abc", ""},                       // 3 characters: skipped
        {"abcd", "abcd\n"},                // 4 characters: a line
        {std::string("ab\0cdef", 7), ""},  // read up to the NUL: "ab"
        {std::string("abcde\0f", 7), "abcde\n"},
        {"a\nbc", "a\nbc"},  // holds an LF already
    };
    std::string expected;
    for (const auto& [text, adds] : cases) {
        recorder.WriteMessageText(text);
        expected += adds;
    }
    EXPECT_EQ(ReadText(path), expected);
    EXPECT_EQ(recorder.ByteCount(), static_cast<std::int64_t>(expected.size()));
    std::filesystem::remove(path);
}

TEST(LatestLogging, EachNewSecondStartsTheFileAgain)
{
    const auto path = testdata::UniqueTempPath("rewind.txt");
    CLogRecorder recorder;
    recorder.SetLatestLogging(true);
    ASSERT_EQ(recorder.Start(path), RecordStatus::Ok);
    EXPECT_EQ(recorder.OnEpochTime("123519.00"), RecordStatus::Ok);  // differs from 0
    recorder.WriteMessageText("long first epoch text");
    EXPECT_EQ(recorder.OnEpochTime("123519.50"), RecordStatus::Idle);  // same whole second
    recorder.WriteMessageText("more");
    EXPECT_EQ(ReadText(path), "long first epoch text\nmore\n");
    EXPECT_EQ(recorder.OnEpochTime("123520.00"), RecordStatus::Ok);
    EXPECT_EQ(recorder.ByteCount(), 0);
    recorder.WriteMessageText("short");
    EXPECT_EQ(ReadText(path), "short\n");  // cut at the rewind: no tail of the older second
    // An empty time counts as 0 and rewinds but is not remembered; a reset forgets the second.
    EXPECT_EQ(recorder.OnEpochTime(""), RecordStatus::Ok);
    EXPECT_EQ(recorder.OnEpochTime("123520"), RecordStatus::Idle);
    recorder.ResetTimeOfDay();
    EXPECT_EQ(recorder.OnEpochTime("123520"), RecordStatus::Ok);
    std::filesystem::remove(path);
}

TEST(LogNames, NamesAndTimeNumbers)
{
    std::tm t{};  // 2015-03-05 14:07:09
    std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec) =
        std::tuple(115, 2, 5, 14, 7, 9);
    EXPECT_EQ(AutoLogName(t), "Log_20150305_140709.txt");
    EXPECT_EQ(AutoExtractionName(t, "GGA"), "Ext_20150305_140709.GGA");
    for (const auto& [text, number] : {std::pair{"123519.00", 123519},
                                       {"000001", 1},
                                       {"", 0},
                                       {"x12", 0},
                                       {"9999999999999", 999999999}})
        EXPECT_EQ(TimeOfDayNumber(text), number) << text;
}

namespace {

const std::string kGga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,");
const std::string kRmc = Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,");
// A UBX frame whose payload happens to read "GGA".
const std::vector<std::uint8_t> kUbx = testdata::UbxFrame(0x0107, Bytes(std::string("GGA\0", 4)));

std::string Extract(std::string_view type)
{
    const auto path = testdata::UniqueTempPath("ext." + std::string(type));
    CExtractionWriter writer;
    EXPECT_EQ(writer.Start(path, type), RecordStatus::Ok);
    for (auto message : {Bytes(kGga), std::span<const std::uint8_t>(kUbx), Bytes(kRmc)})
        writer.WriteMessage(message);
    writer.Stop();
    std::string text = ReadText(path);
    std::filesystem::remove(path);
    return text;
}

}  // namespace

TEST(Extraction, CopiesMessagesOfTheTypeUnchanged)
{
    EXPECT_EQ(Extract("GGA"), kGga);  // the UBX frame's "GGA" bytes do not count
    EXPECT_EQ(Extract("RMC"), kRmc);
    // Binary messages go to "BIN" whole, though no text of theirs says "BIN".
    EXPECT_EQ(Extract("BIN"), std::string(kUbx.begin(), kUbx.end()));
    EXPECT_EQ(Extract("GSV"), "");
}

TEST(Extraction, EmptyTypeLogsAndFailures)
{
    const auto path = testdata::UniqueTempPath("ext");
    CExtractionWriter writer;
    EXPECT_EQ(writer.Start(path, ""), RecordStatus::Idle);
    EXPECT_FALSE(std::filesystem::exists(path));

    std::ofstream(path) << "stale";
    ASSERT_EQ(writer.Start(path, "LOGS"), RecordStatus::Ok);
    EXPECT_TRUE(writer.HandsLinesToRawLog());
    EXPECT_EQ(std::filesystem::file_size(path), 0u);  // created afresh for the window
    EXPECT_EQ(writer.WriteMessage(Bytes(kGga)), RecordStatus::Idle);

    EXPECT_EQ(writer.Start("/proc/no-such-dir/x.GGA", "GGA"), RecordStatus::CannotCreate);
    EXPECT_FALSE(writer.IsRunning());
    ASSERT_EQ(writer.Start("/dev/full", "BIN"), RecordStatus::Ok);
    EXPECT_EQ(writer.WriteMessage(kUbx), RecordStatus::WriteFailed);
    EXPECT_EQ(writer.WriteMessage(kUbx), RecordStatus::Idle);
    std::filesystem::remove(path);
}
