#include "tool/serve_command.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/relay_protocol.h"
#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/decode_command.h"
#include "tool/log_epochs.h"
#include "tool/receiver_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kTimeout = std::chrono::seconds(10);

Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The simulated log and the bytes of each of its epochs, as the simulator produced them.
std::vector<std::string> SimulatedEpochs(SimulatedProtocol protocol, double rateHz, double seconds)
{
    SimulatorOptions options;
    options.rateHz = rateHz;
    options.seconds = seconds;
    CReceiverSimulator simulator(options, protocol);
    std::vector<std::string> epochs;
    for (std::string epoch; simulator.NextEpoch(epoch); epoch.clear()) epochs.push_back(epoch);
    return epochs;
}

std::string Joined(const std::vector<std::string>& parts)
{
    std::string all;
    for (const std::string& part : parts) all += part;
    return all;
}

std::filesystem::path TempPath(const std::string& name)
{
    return std::filesystem::temp_directory_path() / (name + "." + std::to_string(::getpid()));
}

std::string WriteTemp(const std::string& name, const Bytes& bytes)
{
    const auto path = TempPath(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// The epochs must tile the log: glued back together they give the file byte for byte.
void ExpectTiles(const std::vector<LogEpoch>& epochs, const Bytes& log)
{
    Bytes glued;
    for (const LogEpoch& epoch : epochs) {
        ASSERT_EQ(epoch.offset, glued.size());
        glued.insert(glued.end(), log.begin() + static_cast<std::ptrdiff_t>(epoch.offset),
                     log.begin() + static_cast<std::ptrdiff_t>(epoch.offset + epoch.length));
    }
    EXPECT_TRUE(glued == log);
}

TEST(LogEpochs, SimulatedLogsSplitWhereEachEpochStarts)
{
    // The mixed receiver sends each epoch's UBX frames ahead of its sentences; under AUTO sync
    // the sentences carry the epoch, so a cut falls behind the frames.
    const auto frames = SimulatedEpochs(SimulatedProtocol::Ubx, 5, 8);
    for (const auto protocol :
         {SimulatedProtocol::Nmea, SimulatedProtocol::Ubx, SimulatedProtocol::Sbf,
          SimulatedProtocol::Gsof, SimulatedProtocol::Mixed}) {
        SCOPED_TRACE(static_cast<int>(protocol));
        const auto sent = SimulatedEpochs(protocol, 5, 8);
        const Bytes log = AsBytes(Joined(sent));
        const auto epochs = SplitLogEpochs(log);
        ASSERT_EQ(epochs.size(), sent.size());
        std::size_t start = 0;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            const bool behindFrames = protocol == SimulatedProtocol::Mixed && i > 0;
            EXPECT_EQ(epochs[i].offset, start + (behindFrames ? frames[i].size() : 0)) << i;
            EXPECT_TRUE(epochs[i].hasTime) << i;
            // 5 Hz across midnight: each step is 200 ms, modulo the day.
            if (i > 0) {
                const std::uint64_t step =
                    epochs[i].timeOfDayMs + 86400000 - epochs[i - 1].timeOfDayMs;
                EXPECT_EQ(step % 86400000, 200u) << i;
            }
            start += sent[i].size();
        }
        ExpectTiles(epochs, log);
    }
}

TEST(LogEpochs, RealCapturesSplitIntoDecodesEpochs)
{
    SKIP_WITHOUT_DATA();
    for (const char* folder : {"nmea", "ubx", "sbf", "mixed"}) {
        for (const auto& path : testdata::FilesIn(folder)) {
            SCOPED_TRACE(path.string());
            const Bytes log = testdata::ReadBytes(path);
            std::vector<std::uint64_t> times;
            LogDecodeSummary summary;
            std::ifstream file(path, std::ios::binary);
            ASSERT_TRUE(DecodeLog(
                file, kDefaultDecodeBlock, {},
                [&times](const GnssReceiverState& s) { times.push_back(s.timeOfDayMs); }, summary));
            const auto epochs = SplitLogEpochs(log);
            ASSERT_EQ(epochs.size(), std::max<std::uint64_t>(summary.epochs, 1));
            for (std::size_t i = 0; i < times.size(); ++i)
                EXPECT_EQ(epochs[i].timeOfDayMs, times[i]) << i;
            ExpectTiles(epochs, log);
            // A cut falls on a message start.
            for (std::size_t i = 1; i < epochs.size(); ++i) {
                const std::uint8_t lead = log[epochs[i].offset];
                EXPECT_TRUE(lead == '$' || lead == 0xB5) << i;
            }
        }
    }
}

TEST(LogEpochs, LogWithoutTimesFallsBackToKilobyteChunks)
{
    const Bytes noise(2500, 0x5A);
    const auto chunks = ServeEpochs(noise);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], (LogEpoch{0, 1024, 0, false}));
    EXPECT_EQ(chunks[2], (LogEpoch{2048, 452, 0, false}));
    ExpectTiles(chunks, noise);
    EXPECT_TRUE(SplitFixedChunks(0).empty());
    EXPECT_EQ(SplitFixedChunks(1024).size(), 1u);

    const Bytes timed = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Nmea, 1, 3)));
    EXPECT_EQ(ServeEpochs(timed), SplitLogEpochs(timed));
}

TEST(LogEpochs, MixedLogFollowsTheProtocolThatCarriesPositions)
{
    // An empty UBX MON-VER poll ahead of NMEA fixes: UBX comes first but has no positions.
    const std::string monVer("\xB5\x62\x0A\x04\x00\x00\x0E\x34", 8);
    const auto sent = SimulatedEpochs(SimulatedProtocol::Nmea, 1, 6);
    const Bytes log = AsBytes(monVer + Joined(sent));
    const auto epochs = ServeEpochs(log);
    ASSERT_EQ(epochs.size(), sent.size());
    EXPECT_EQ(epochs[0].length, monVer.size() + sent[0].size()) << "the poll rides with epoch 1";
    EXPECT_EQ(epochs[1].length, sent[1].size());
    ExpectTiles(epochs, log);
}

TEST(LogEpochs, PacingFollowsTheLogClockOrTheGivenRate)
{
    const auto at = [](std::uint64_t ms) { return LogEpoch{0, 1, ms, true}; };
    const LogEpoch untimed{0, 1, 0, false};
    constexpr std::uint64_t kLastMsOfDay = 86399900;
    struct Case {
        const char* name;
        std::vector<LogEpoch> epochs;
        std::optional<double> rate;
        std::vector<std::int64_t> expectedMs;  // last entry: start of the next pass
    };
    const Case cases[] = {
        {"10 Hz clock", {at(1000), at(1100), at(1200)}, {}, {0, 100, 200, 300}},
        {"over midnight", {at(kLastMsOfDay), at(0), at(100)}, {}, {0, 100, 200, 300}},
        {"clock goes back: last good step",
         {at(0), at(500), at(200), at(700)},
         {},
         {0, 500, 1000, 1500, 2000}},
        {"outage cut to 10 s", {at(0), at(60000), at(60200)}, {}, {0, 10000, 10200, 10400}},
        {"no times: 1 Hz", {untimed, untimed}, {}, {0, 1000, 2000}},
        {"fixed rate ignores times", {at(0), at(60000), at(1)}, 4.0, {0, 250, 500, 750}},
        {"empty", {}, {}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pace = PaceEpochs(c.epochs, c.rate);
        ASSERT_EQ(pace.size(), c.expectedMs.size());
        for (std::size_t i = 0; i < pace.size(); ++i)
            EXPECT_EQ(pace[i], milliseconds(c.expectedMs[i])) << i;
    }
    EXPECT_EQ(PaceEpochs(std::vector<LogEpoch>(2, untimed), 1000.0)[1], microseconds(1000));
}

struct ServeRun {
    int code = -1;
    std::string err;
};

// Runs serve on its own thread, as the command line would.
class CServeThread {
public:
    explicit CServeThread(std::vector<std::string> args) : args_(std::move(args))
    {
        thread_ = std::thread([this] {
            const std::vector<std::string_view> views(args_.begin(), args_.end());
            std::ostringstream err;
            run_.code = RunServe(views, err);
            run_.err = err.str();
        });
    }
    ~CServeThread() { Finish(); }
    ServeRun Finish()
    {
        if (thread_.joinable()) thread_.join();
        return run_;
    }

private:
    std::vector<std::string> args_;
    ServeRun run_;
    std::thread thread_;
};

// A port nobody listens on right now.
std::uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Connects as soon as the server listens; -1 after the timeout.
int Connect(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (const auto end = Clock::now() + kTimeout; Clock::now() < end;) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
        ::close(fd);
        std::this_thread::sleep_for(milliseconds(5));
    }
    return -1;
}

// Reads until the other side ends, limit bytes have come, or the timeout.
Bytes ReadAll(int fd, std::size_t limit = SIZE_MAX, milliseconds timeout = kTimeout)
{
    Bytes got;
    std::uint8_t block[65536];
    for (const auto end = Clock::now() + timeout; Clock::now() < end && got.size() < limit;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n <= 0) break;  // end of stream; a pty slave says EIO once its master is closed
        got.insert(got.end(), block, block + n);
    }
    return got;
}

TEST(ServeCommand, TcpClientReceivesTheWholeLog)
{
    const Bytes log = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Nmea, 10, 20)));
    const std::string path = WriteTemp("skarnet2_serve_tcp.nmea", log);
    const std::uint16_t port = FreePort();
    CServeThread serve({path, "--tcp", std::to_string(port), "--rate", "1000"});
    const int fd = Connect(port);
    ASSERT_GE(fd, 0);
    const Bytes got = ReadAll(fd);
    ::close(fd);
    if (got.size() != log.size()) RequestServeStop();
    const ServeRun run = serve.Finish();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("listening on 127.0.0.1:" + std::to_string(port)), std::string::npos);
    EXPECT_TRUE(got == log) << got.size() << " of " << log.size() << " bytes";
}

// --rate max waits for a reader that falls behind instead of dropping epochs: a reader that
// starts late still gets several megabytes whole.
TEST(ServeCommand, RateMaxDropsNothingForASlowReader)
{
    const Bytes log = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Nmea, 10, 900)));
    ASSERT_GT(log.size(), 8u << 20);
    const std::string path = WriteTemp("skarnet2_serve_max.nmea", log);
    const std::uint16_t port = FreePort();
    CServeThread serve({path, "--tcp", std::to_string(port), "--rate", "max"});
    const int fd = Connect(port);
    ASSERT_GE(fd, 0);
    std::this_thread::sleep_for(milliseconds(500));  // the server runs far ahead meanwhile
    const Bytes got = ReadAll(fd);
    ::close(fd);
    if (got.size() != log.size()) RequestServeStop();
    const ServeRun run = serve.Finish();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(got == log) << got.size() << " of " << log.size() << " bytes";
}

// --burst: the first epochs as fast as read (from the log itself or another, looped), the
// rest at the rate.
TEST(ServeCommand, BurstThenPaced)
{
    const std::vector<std::string> epochs = SimulatedEpochs(SimulatedProtocol::Nmea, 10, 12);
    const std::vector<std::string> other = SimulatedEpochs(SimulatedProtocol::Ubx, 10, 4);
    ASSERT_EQ(epochs.size(), 120u);
    ASSERT_EQ(other.size(), 40u);
    const Bytes log = AsBytes(Joined(epochs));
    const std::string path = WriteTemp("skarnet2_serve_burst.nmea", log);
    const std::string otherPath = WriteTemp("skarnet2_serve_burst.ubx", AsBytes(Joined(other)));
    // 100 epochs of the other log: twice through it and half again.
    std::vector<std::string> otherBurst = other;
    otherBurst.insert(otherBurst.end(), other.begin(), other.end());
    otherBurst.insert(otherBurst.end(), other.begin(), other.begin() + 20);
    const struct {
        std::vector<std::string> extra;
        Bytes burst;
    } cases[] = {{{}, AsBytes(Joined({epochs.begin(), epochs.begin() + 100}))},
                 {{"--burst-from", otherPath}, AsBytes(Joined(otherBurst))}};
    for (const auto& c : cases) {
        const std::uint16_t port = FreePort();
        std::vector<std::string> args{path,      "--tcp", std::to_string(port), "--rate", "2",
                                      "--burst", "100"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        CServeThread serve(args);
        const int fd = Connect(port);
        ASSERT_GE(fd, 0);
        // Within a second: the burst and at most a few paced epochs of the log.
        const Bytes got = ReadAll(fd, SIZE_MAX, milliseconds(1000));
        ::close(fd);
        RequestServeStop();
        EXPECT_EQ(serve.Finish().code, 0);
        ASSERT_GE(got.size(), c.burst.size()) << c.extra.size();
        EXPECT_TRUE(std::equal(c.burst.begin(), c.burst.end(), got.begin())) << c.extra.size();
        const std::size_t paced = got.size() - c.burst.size();
        EXPECT_LT(paced, AsBytes(Joined({epochs.begin(), epochs.begin() + 5})).size());
    }
}

TEST(ServeCommand, ClientThatHangsUpDoesNotEndTheServer)
{
    const auto sent = SimulatedEpochs(SimulatedProtocol::Nmea, 10, 5);
    const std::string path = WriteTemp("skarnet2_serve_hangup.nmea", AsBytes(Joined(sent)));
    const std::uint16_t port = FreePort();
    // 5 Hz leaves the first client time to take the first epoch whole and hang up cleanly;
    // the second send after that meets a reset peer (EPIPE, SIGPIPE unless suppressed).
    CServeThread serve({path, "--tcp", std::to_string(port), "--rate", "5"});
    const int first = Connect(port);
    ASSERT_GE(first, 0);
    EXPECT_EQ(ReadAll(first, sent[0].size()).size(), sent[0].size());
    ::close(first);
    const int second = Connect(port);
    ASSERT_GE(second, 0);
    const std::size_t twoEpochs = sent[1].size() + sent[2].size();
    const Bytes got = ReadAll(second, twoEpochs);
    ::close(second);
    RequestServeStop();
    const ServeRun run = serve.Finish();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(got, AsBytes(sent[1] + sent[2])) << "the stream goes on for the next client";
}

TEST(ServeCommand, LoopStartsTheLogAgain)
{
    const Bytes log = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Ubx, 10, 3)));
    const std::string path = WriteTemp("skarnet2_serve_loop.ubx", log);
    const std::uint16_t port = FreePort();
    CServeThread serve({path, "--tcp", std::to_string(port), "--rate", "1000", "--loop"});
    const int fd = Connect(port);
    ASSERT_GE(fd, 0);
    const Bytes got = ReadAll(fd, 2 * log.size() + 1);
    ::close(fd);
    RequestServeStop();
    const ServeRun run = serve.Finish();
    EXPECT_EQ(run.code, 0) << run.err;
    ASSERT_GT(got.size(), 2 * log.size());
    Bytes twice = log;
    twice.insert(twice.end(), log.begin(), log.end());
    EXPECT_TRUE(std::equal(twice.begin(), twice.end(), got.begin()));
    EXPECT_EQ(got[2 * log.size()], log[0]) << "and a third time";
}

bool WaitForLink(const std::filesystem::path& link)
{
    for (const auto end = Clock::now() + kTimeout; Clock::now() < end;) {
        std::error_code ec;
        if (std::filesystem::read_symlink(link, ec).string().starts_with("/dev/pts/")) return true;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return false;
}

TEST(ServeCommand, PtyReaderGetsEveryByteRaw)
{
    // UBX carries CR, XON/XOFF and ^C bytes that a cooked terminal would eat.
    const Bytes log = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Ubx, 10, 10)));
    const std::string path = WriteTemp("skarnet2_serve_pty.ubx", log);
    const auto link = TempPath("skarnet2_serve_gps");
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/nonexistent/stale", link);
    CServeThread serve({path, "--pty", link.string(), "--rate", "1000"});
    ASSERT_TRUE(WaitForLink(link)) << "the stale link is replaced";
    const int fd = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const Bytes got = ReadAll(fd);
    ::close(fd);
    if (got.size() != log.size()) RequestServeStop();
    const ServeRun run = serve.Finish();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(got == log) << got.size() << " of " << log.size() << " bytes";
    struct stat status {};
    EXPECT_NE(::lstat(link.c_str(), &status), 0) << "the link goes with the server";
}

TEST(ServeCommand, BadArgumentsAndFiles)
{
    const std::string log = WriteTemp("skarnet2_serve_args.nmea", AsBytes("$GPGGA\r\n"));
    const std::string empty = WriteTemp("skarnet2_serve_empty.nmea", {});
    const std::string plainFile = WriteTemp("skarnet2_serve_notalink", AsBytes("keep"));
    struct Case {
        std::vector<std::string_view> args;
        int code;
        std::string_view message;
    };
    const Case cases[] = {
        {{}, 2, "no log file given"},
        {{log}, 2, "give one of --tcp PORT, --pty LINK and --relay PORT"},
        {{log, "--tcp", "0", "--relay", "0"}, 2, "give one of"},
        {{log, "--relay"}, 2, "--relay needs a value"},
        {{log, "--relay", "x"}, 2, "--relay needs a port from 0 to 65535, not 'x'"},
        {{log, "--relay", "0", "--device-channel", "70000"}, 2, "--device-channel needs a port"},
        {{log, "--tcp", "0", "--device-channel", "0"}, 2, "--device-channel needs --relay"},
        {{log, "--pty", "/tmp/x", "--foreign-device", "D"}, 2, "--foreign-device needs --relay"},
        {{log, "--tcp", "0", "--devices", "A"}, 2, "--devices needs --relay"},
        {{log, "--tcp", "0", "--corrections", "/tmp/c"}, 2, "--corrections needs --relay"},
        {{log, "--relay", "0", "--devices", "A;;B"}, 2, "--devices needs device IDs"},
        {{log, "--relay", "0", "--devices", "A B"}, 2, "not 'A B'"},
        {{log, "--relay", "0", "--foreign-device", "A|B"}, 2, "--foreign-device needs device"},
        {{log, "--relay", "0", "--corrections", ""}, 2, "--corrections needs a file path"},
        {{log, "--relay", "0", "--corrections", "/nonexistent/c"}, 1, "cannot create"},
        {{log, "--tcp", "1", "--pty", "/tmp/x"}, 2, "give one of"},
        {{log, "--tcp"}, 2, "--tcp needs a value"},
        {{log, "--tcp", "65536"}, 2, "--tcp needs a port from 0 to 65535, not '65536'"},
        {{log, "--tcp", "80x"}, 2, "not '80x'"},
        {{log, "--pty", ""}, 2, "--pty needs a link path"},
        {{log, "--tcp", "0", "--rate", "0"}, 2, "--rate must be a number above 0"},
        {{log, "--tcp", "0", "--rate", "nan"}, 2, "--rate must be"},
        {{log, "--tcp", "0", "--rate", "5", "--real-time"}, 2, "cannot be given together"},
        {{log, "--tcp", "0", "--rate", "max", "--real-time"}, 2, "cannot be given together"},
        {{log, "--tcp", "0", "--rate", "max", "--burst", "5"}, 2, "--burst goes with"},
        {{log, "--tcp", "0", "--burst", "x"}, 2, "--burst needs a number"},
        {{log, "--tcp", "0", "--burst-from", log}, 2, "--burst-from needs --burst"},
        {{log, "--tcp", "0", "--fast"}, 2, "unknown option '--fast'"},
        {{log, log, "--tcp", "0"}, 2, "only one log file"},
        {{"/nonexistent/gps.log", "--tcp", "0"}, 1, "cannot read '/nonexistent/gps.log'"},
        {{empty, "--tcp", "0"}, 1, "holds nothing to serve"},
        {{log, "--pty", plainFile}, 1, "exists and is not a symbolic link"},
    };
    for (const Case& c : cases) {
        std::ostringstream err;
        EXPECT_EQ(RunServe(c.args, err), c.code) << err.str();
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find("usage: skarnet2-tool serve") != std::string::npos, c.code == 2)
            << err.str();
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(plainFile)) << "a real file is never replaced";
}

// Relay stand-in: viewers on loopback, as the window's relay mode talks to it.

void SendText(int fd, std::string_view text)
{
    ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
}

std::size_t Count(std::string_view text, std::string_view what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != text.npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Reads on until the text holds what times, the stream ends or the timeout.
void ReadUntilCount(int fd, std::string& got, std::string_view what, std::size_t times)
{
    std::uint8_t block[65536];
    for (const auto end = Clock::now() + kTimeout;
         Clock::now() < end && Count(got, what) < times;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n <= 0) return;
        got.append(block, block + n);
    }
}

TEST(ServeRelay, ViewersAreAnsweredByTheirIntroduction)
{
    const auto log = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Nmea, 10, 5)));
    const std::string path = WriteTemp("skarnet2_relay_intro.nmea", log);
    const std::uint16_t port = FreePort();
    CServeThread serve({path, "--relay", std::to_string(port), "--rate", "100", "--loop",
                        "--devices", "DEV01;DEV02", "--foreign-device", "OTHER1"});
    const std::string longLogin(1024 - 33, 'k');
    const struct {
        std::string introduction, reply;
        bool streams;
        std::string line;  // at the end on stderr; none for what is not a viewer
    } cases[] = {
        // Whole at 1024 bytes: what follows at once is correction data.
        {"CONNECT_TO VIEWER:0000000d LOGIN:" + longLogin + "\x01\x02",
         "LOGINED " + longLogin + " DEV01;DEV02\r\n", true,
         "0000000d " + longLogin + " corrections 2 bytes, alive 0"},
        {"CONNECT_TO VIEWER:00000001", "CONNECTED\r\n", true,
         "00000001 - corrections 0 bytes, alive 0"},
        {"CONNECT_TO VIEWER:00000002 LOGIN:kim OUTMSG:GGA", "LOGINED kim DEV01;DEV02\r\n", true,
         "00000002 kim corrections 0 bytes, alive 0"},
        {"CONNECT_TO VIEWER:0000000A DEVICE:DEV01\r\n", "CONNECTED\r\n", true,
         "0000000A - corrections 0 bytes, alive 0"},
        {"CONNECT_TO VIEWER:0000000b LOGIN:lee DEVICE:OTHER1 OUTMSG:GGA",
         "FAILED_BELONG_TO_OTHER\r\n", false, "0000000b lee corrections 0 bytes, alive 0"},
        {"CONNECT_TO VIEWER:0000000c DEVICE:OTHER1", "FAILED_BELONG_TO_OTHER\r\n", false,
         "0000000c - corrections 0 bytes, alive 0"},
        {"GET / HTTP/1.0\r\n\r\n", "", false, ""},
        {"connect_to viewer:00000003", "", false, ""},
        {"CONNECT_TO VIEWER:1a2b3c", "", false, ""},
        {"CONNECT_TO VIEWER:1a2b3c4d LOGIN:a\rb", "", false, ""},
        {"CONNECT_TO VIEWER:" + std::string(2000, 'f'), "", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.introduction.substr(0, 60));
        const int fd = Connect(port);
        ASSERT_GE(fd, 0);
        SendText(fd, c.introduction);
        // A streaming viewer's reply is followed by the first epoch; the others are closed.
        const Bytes got = c.streams ? ReadAll(fd, c.reply.size() + 1) : ReadAll(fd);
        char next = 0;
        const bool closed = ::recv(fd, &next, 1, MSG_DONTWAIT) == 0;
        ::close(fd);
        if (c.streams) {
            ASSERT_GT(got.size(), c.reply.size());
            EXPECT_EQ(std::string(got.begin(), got.begin() + c.reply.size()), c.reply);
            EXPECT_EQ(got[c.reply.size()], log[0]);
        } else {
            EXPECT_EQ(std::string(got.begin(), got.end()), c.reply);
            EXPECT_TRUE(closed) << "closed by serve";
        }
    }
    RequestServeStop();
    const ServeRun run = serve.Finish();
    EXPECT_EQ(run.code, 0) << run.err;
    std::size_t viewers = 0;
    for (const auto& c : cases) {
        if (c.line.empty()) continue;
        ++viewers;
        EXPECT_EQ(Count(run.err, "viewer " + c.line + "\n"), 1u) << run.err;
    }
    EXPECT_EQ(Count(run.err, "viewer "), viewers) << run.err;
}

TEST(ServeRelay, ViewerGetsTheStreamATcpClientGets)
{
    const Bytes log = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Ubx, 10, 5)));
    const std::string path = WriteTemp("skarnet2_relay_stream.ubx", log);
    const std::string reply = "LOGINED kim SKN0001\r\n";
    std::map<std::string, Bytes> streams;
    for (const std::string output : {"--tcp", "--relay"}) {
        const std::uint16_t port = FreePort();
        CServeThread serve({path, output, std::to_string(port), "--rate", "1000"});
        const int fd = Connect(port);
        ASSERT_GE(fd, 0);
        if (output == "--relay") SendText(fd, "CONNECT_TO VIEWER:1a2b3c4d LOGIN:kim OUTMSG:GGA");
        Bytes& got = streams[output] = ReadAll(fd);
        ::close(fd);
        if (got.size() < log.size()) RequestServeStop();
        const ServeRun run = serve.Finish();
        EXPECT_EQ(run.code, 0) << run.err;
        if (output == "--relay") {
            EXPECT_EQ(Lines(run.err), (std::vector<std::string>{
                                          "relay listening on 127.0.0.1:" + std::to_string(port),
                                          "viewer 1a2b3c4d kim corrections 0 bytes, alive 0"}));
            ASSERT_GE(got.size(), reply.size());
            EXPECT_EQ(std::string(got.begin(), got.begin() + reply.size()), reply);
            got.erase(got.begin(), got.begin() + reply.size());
        }
    }
    EXPECT_TRUE(streams["--tcp"] == log);
    EXPECT_TRUE(streams["--relay"] == streams["--tcp"])
        << streams["--relay"].size() << " of " << streams["--tcp"].size() << " bytes";
}

TEST(ServeRelay, AliveIsAnsweredAndCorrectionsAreKept)
{
    const Bytes log = AsBytes(Joined(SimulatedEpochs(SimulatedProtocol::Nmea, 10, 5)));
    const std::string path = WriteTemp("skarnet2_relay_alive.nmea", log);
    const std::string corrections = WriteTemp("skarnet2_relay_rtcm", AsBytes("stale"));
    const std::uint16_t port = FreePort();
    CServeThread serve({path, "--relay", std::to_string(port), "--rate", "100", "--loop",
                        "--corrections", corrections});
    const int fd = Connect(port);
    ASSERT_GE(fd, 0);
    SendText(fd, "CONNECT_TO VIEWER:1a2b3c4d LOGIN:kim");
    std::string got;
    ReadUntilCount(fd, got, "\r\n", 1);
    // What the viewer writes, one send each; the ALIVE lines among them count as ALIVE.
    const struct {
        std::string_view sent;
        std::string_view corrections;
        std::size_t alives;
    } writes[] = {
        {"AL", "", 0},
        {"IVE\r\n", "", 1},  // split across two writes
        {std::string_view("\xD3\x00\x13"
                          "ALIVE\r\n"
                          "\x3E\xD0\x01",
                          13),
         std::string_view("\xD3\x00\x13\x3E\xD0\x01", 6), 1},
        {"AALIVE\r\n", "A", 1},
        {"ALIVE\r\r\n", "ALIVE\r\r\n", 0},
        {"ALIV", "", 0},
        {"E\r", "", 0},
        {"\nZ", "Z", 1},
        {"ALI", "ALI", 0},  // the viewer stops sending: a partial line is data
    };
    std::string expected;
    std::size_t alives = 0;
    for (const auto& w : writes) {
        SendText(fd, w.sent);
        expected += w.corrections;
        alives += w.alives;
        std::this_thread::sleep_for(milliseconds(2));
    }
    ReadUntilCount(fd, got, relay::kAlive, alives);
    ::shutdown(fd, SHUT_WR);
    RequestServeStop();
    const ServeRun run = serve.Finish();
    ::close(fd);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("viewer 1a2b3c4d kim corrections " + std::to_string(expected.size()) +
                           " bytes, alive " + std::to_string(alives) + "\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(testdata::ReadBytes(corrections), AsBytes(expected)) << "created fresh, byte-exact";

    // Each answer stands between two epochs of the looped log.
    const std::string reply = "LOGINED kim SKN0001\r\n";
    ASSERT_TRUE(got.starts_with(reply));
    std::set<std::size_t> boundaries;
    for (const LogEpoch& epoch : ServeEpochs(log)) boundaries.insert(epoch.offset);
    std::string plain;
    std::size_t answers = 0;
    for (std::size_t at = reply.size();;) {
        const std::size_t alive = got.find(relay::kAlive, at);
        plain += got.substr(at, alive - at);
        if (alive == std::string::npos) break;
        ++answers;
        EXPECT_EQ(boundaries.count(plain.size() % log.size()), 1u) << plain.size();
        at = alive + relay::kAlive.size();
    }
    EXPECT_EQ(answers, alives);
    std::string looped;
    while (looped.size() < plain.size()) looped.append(log.begin(), log.end());
    EXPECT_TRUE(looped.starts_with(plain)) << "the stream goes on unharmed around the answers";
}

TEST(ServeRelay, DeviceChannelAnswersCheckedRequestsForKnownDevices)
{
    const std::string path = WriteTemp("skarnet2_relay_channel.nmea", AsBytes("$GPGGA\r\n"));
    const std::uint16_t port = FreePort(), channelPort = FreePort();
    CServeThread serve({path, "--relay", std::to_string(port), "--device-channel",
                        std::to_string(channelPort), "--devices", "DEV01;DEV02"});
    std::string badChecksum = relay::DeviceRequest("1a2b3c4d", "DEV01");
    badChecksum[badChecksum.size() - 2] ^= 1;
    const struct {
        std::string request;
        std::string device;  // the answer's, or none
    } cases[] = {
        {relay::DeviceRequest("1a2b3c4d", "DEV02"), "DEV02"},
        {badChecksum, ""},
        {relay::DeviceRequest("1a2b3c4d", "DEV09"), ""},  // not one of --devices
        {"[1a2b3c4d,|VS001|DEV01|" + badChecksum.substr(badChecksum.size() - 3), ""},
        {"noise" + relay::DeviceRequest("0c09ffff", "DEV01"), "DEV01"},
    };
    const int fd = Connect(channelPort);
    ASSERT_GE(fd, 0);
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        // Cut in two, so that a request has to be put together across reads.
        SendText(fd, c.request.substr(0, 7));
        std::this_thread::sleep_for(milliseconds(2));
        SendText(fd, c.request.substr(7));
        if (!c.device.empty()) expected.push_back(c.device);
    }
    ::shutdown(fd, SHUT_WR);
    const Bytes got = ReadAll(fd);  // answered, then closed
    ::close(fd);
    RequestServeStop();
    const ServeRun run = serve.Finish();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("device channel listening on 127.0.0.1:" + std::to_string(channelPort)),
              std::string::npos)
        << run.err;
    relay::CDeviceChannelDecoder decoder;
    std::vector<std::string> devices;
    decoder.Feed(got, [&](const std::string& device) { devices.push_back(device); });
    EXPECT_EQ(devices, expected) << std::string(got.begin(), got.end());
    EXPECT_EQ(Count(std::string(got.begin(), got.end()), "|VS002|skarnet2-tool|OK|"),
              expected.size());
    EXPECT_TRUE(std::string(got.begin(), got.end()).starts_with("[1a2b3c4d|VS002|"));
}

}  // namespace
