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
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/relay_protocol.h"
#include "support/captures.h"
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

Bytes SimulatedLog(SimulatedProtocol protocol, double rateHz, double seconds)
{
    return AsBytes(Joined(SimulatedEpochs(protocol, rateHz, seconds)));
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
    const auto visited = captures::ForEach(
        captures::kNmea | captures::kUbx | captures::kSbf,
        [](const captures::Capture&, const Bytes& log) {
            std::vector<std::uint64_t> times;
            LogDecodeSummary summary;
            std::istringstream file(std::string(log.begin(), log.end()));
            ASSERT_TRUE(DecodeLog(
                file, kDefaultDecodeBlock, {},
                [&times](const GnssReceiverState& s) { times.push_back(s.timeOfDayMs); }, summary));
            const auto epochs = SplitLogEpochs(log);
            ASSERT_EQ(epochs.size(), std::max<std::size_t>(times.size(), 1));
            for (std::size_t i = 0; i < times.size(); ++i)
                EXPECT_EQ(epochs[i].timeOfDayMs, times[i]) << i;
            ExpectTiles(epochs, log);
            // A cut falls on a message start.
            for (std::size_t i = 1; i < epochs.size(); ++i)
                EXPECT_TRUE(log[epochs[i].offset] == '$' || log[epochs[i].offset] == 0xB5) << i;
        });
    EXPECT_GT(visited, 40u);
}

// Without times, kilobyte chunks; a mixed log follows the protocol that carries positions.
TEST(LogEpochs, UntimedLogsGoInKilobytesMixedOnesByPositions)
{
    const Bytes noise(2500, 0x5A);
    const auto chunks = ServeEpochs(noise);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], (LogEpoch{0, 1024, 0, false}));
    EXPECT_EQ(chunks[2], (LogEpoch{2048, 452, 0, false}));
    ExpectTiles(chunks, noise);
    EXPECT_TRUE(SplitFixedChunks(0).empty());
    EXPECT_EQ(SplitFixedChunks(1024).size(), 1u);

    // An empty UBX MON-VER poll ahead of NMEA fixes: UBX comes first but has no positions.
    const std::string monVer("\xB5\x62\x0A\x04\x00\x00\x0E\x34", 8);
    const auto sent = SimulatedEpochs(SimulatedProtocol::Nmea, 1, 6);
    const Bytes log = AsBytes(monVer + Joined(sent));
    const auto epochs = ServeEpochs(log);
    ASSERT_EQ(epochs.size(), sent.size());
    EXPECT_EQ(epochs[0].length, monVer.size() + sent[0].size()) << "the poll rides with epoch 1";
    EXPECT_EQ(epochs[1].length, sent[1].size());
    ExpectTiles(epochs, log);
    const Bytes timed = SimulatedLog(SimulatedProtocol::Nmea, 1, 3);
    EXPECT_EQ(ServeEpochs(timed), SplitLogEpochs(timed));
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
    // clang-format off
    const Case cases[] = {
        {"10 Hz clock", {at(1000), at(1100), at(1200)}, {}, {0, 100, 200, 300}},
        {"over midnight", {at(kLastMsOfDay), at(0), at(100)}, {}, {0, 100, 200, 300}},
        {"clock goes back: last good step", {at(0), at(500), at(200), at(700)}, {}, {0, 500, 1000, 1500, 2000}},
        {"outage cut to 10 s", {at(0), at(60000), at(60200)}, {}, {0, 10000, 10200, 10400}},
        {"no times: 1 Hz", {untimed, untimed}, {}, {0, 1000, 2000}},
        {"fixed rate ignores times", {at(0), at(60000), at(1)}, 4.0, {0, 250, 500, 750}},
        {"empty", {}, {}, {0}},
    };
    // clang-format on
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

// Serves a log on a fresh port ({log, "--tcp" or "--relay", options...}), reads it as one
// client after greet(fd), then stops serve.
struct Served {
    Bytes got;
    ServeRun run;
    std::uint16_t port;
};

Served ServeOnce(std::vector<std::string> args, std::size_t limit = SIZE_MAX,
                 milliseconds timeout = kTimeout, const std::function<void(int)>& greet = {})
{
    Served s{{}, {}, FreePort()};
    args.insert(args.begin() + 2, std::to_string(s.port));
    CServeThread serve(std::move(args));
    const int fd = Connect(s.port);
    EXPECT_GE(fd, 0) << "no connection";
    if (fd >= 0) {
        if (greet) greet(fd);
        s.got = ReadAll(fd, limit, timeout);
        ::close(fd);
    }
    RequestServeStop();
    s.run = serve.Finish();
    return s;
}

// --rate max waits for a reader that falls behind instead of dropping epochs: a reader that
// starts late still gets several megabytes whole.
TEST(ServeCommand, RateMaxDropsNothingForASlowReader)
{
    const Bytes log = SimulatedLog(SimulatedProtocol::Nmea, 10, 900);
    ASSERT_GT(log.size(), 8u << 20);
    // The server runs far ahead while the reader sleeps.
    const Served s =
        ServeOnce({WriteTemp("serve_max.nmea", log), "--tcp", "--rate", "max"}, SIZE_MAX, kTimeout,
                  [](int) { std::this_thread::sleep_for(milliseconds(500)); });
    EXPECT_EQ(s.run.code, 0) << s.run.err;
    EXPECT_TRUE(s.got == log) << s.got.size() << " of " << log.size() << " bytes";
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
        std::vector<std::string> args{path, "--tcp", "--rate", "2", "--burst", "100"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        // Within a second: the burst and at most a few paced epochs of the log.
        const Served s = ServeOnce(args, SIZE_MAX, milliseconds(1000));
        EXPECT_EQ(s.run.code, 0);
        ASSERT_GE(s.got.size(), c.burst.size()) << c.extra.size();
        EXPECT_TRUE(std::equal(c.burst.begin(), c.burst.end(), s.got.begin())) << c.extra.size();
        EXPECT_LT(s.got.size() - c.burst.size(),
                  Joined({epochs.begin(), epochs.begin() + 5}).size());
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

// At the highest rate allowed.
TEST(ServeCommand, LoopStartsTheLogAgain)
{
    const Bytes log = SimulatedLog(SimulatedProtocol::Ubx, 10, 3);
    const Served s =
        ServeOnce({WriteTemp("serve_loop.ubx", log), "--tcp", "--rate", "100000", "--loop"},
                  2 * log.size() + 1);
    EXPECT_EQ(s.run.code, 0) << s.run.err;
    Bytes thrice = log;
    thrice.insert(thrice.end(), log.begin(), log.end());
    thrice.push_back(log[0]);
    ASSERT_GT(s.got.size(), 2 * log.size());
    EXPECT_TRUE(std::equal(thrice.begin(), thrice.end(), s.got.begin()));
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
    const Bytes log = SimulatedLog(SimulatedProtocol::Ubx, 10, 10);
    const std::string path = WriteTemp("skarnet2_serve_pty.ubx", log);
    const auto link = testdata::UniqueTempPath("serve_gps");
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
    const Bytes log = SimulatedLog(SimulatedProtocol::Nmea, 10, 5);
    const std::string path = WriteTemp("relay_intro.nmea", log);
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
        {"CONNECT_TO VIEWER:1a2b3c", "", false, ""},
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
    const Bytes log = SimulatedLog(SimulatedProtocol::Ubx, 10, 5);
    const std::string path = WriteTemp("relay_stream.ubx", log);
    const Served tcp = ServeOnce({path, "--tcp", "--rate", "1000"});
    EXPECT_EQ(tcp.run.code, 0) << tcp.run.err;
    EXPECT_EQ(tcp.run.err.rfind("listening on 127.0.0.1:" + std::to_string(tcp.port) + "\n", 0),
              0u);
    EXPECT_TRUE(tcp.got == log) << tcp.got.size() << " of " << log.size() << " bytes";

    const Served relay =
        ServeOnce({path, "--relay", "--rate", "1000"}, SIZE_MAX, kTimeout,
                  [](int fd) { SendText(fd, "CONNECT_TO VIEWER:1a2b3c4d LOGIN:kim OUTMSG:GGA"); });
    EXPECT_EQ(relay.run.code, 0) << relay.run.err;
    EXPECT_EQ(
        Lines(relay.run.err),
        (std::vector<std::string>{"relay listening on 127.0.0.1:" + std::to_string(relay.port),
                                  "viewer 1a2b3c4d kim corrections 0 bytes, alive 0"}));
    Bytes expected = AsBytes("LOGINED kim SKN0001\r\n");
    expected.insert(expected.end(), log.begin(), log.end());
    EXPECT_TRUE(relay.got == expected) << relay.got.size() << " of " << expected.size() << " bytes";
}

TEST(ServeRelay, AliveIsAnsweredAndCorrectionsAreKept)
{
    const Bytes log = SimulatedLog(SimulatedProtocol::Nmea, 10, 5);
    const std::string path = WriteTemp("relay_alive.nmea", log);
    const std::string corrections = WriteTemp("relay_rtcm", AsBytes("stale"));
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
        // clang-format off
        {"AL", "", 0}, {"IVE\r\n", "", 1},  // split across two writes
        {std::string_view("\xD3\x00\x13" "ALIVE\r\n" "\x3E\xD0\x01", 13), std::string_view("\xD3\x00\x13\x3E\xD0\x01", 6), 1},
        {"ALIVE\r\r\n", "ALIVE\r\r\n", 0}, {"ALIV", "", 0}, {"E\r", "", 0}, {"\nZ", "Z", 1},
        {"ALI", "ALI", 0},  // the viewer stops sending: a partial line is data
        // clang-format on
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
