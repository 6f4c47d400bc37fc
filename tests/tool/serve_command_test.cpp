#include "tool/serve_command.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
    explicit CServeThread(std::vector<std::string> args)
        : thread_([this, args = std::move(args)] {
              const std::vector<std::string_view> views(args.begin(), args.end());
              std::ostringstream err;
              run_.code = RunServe(views, err);
              run_.err = err.str();
          })
    {
    }
    ~CServeThread()  // a failed assertion leaves early: stop serve, or the join waits forever
    {
        RequestServeStop();
        Finish();
    }
    ServeRun Finish()
    {
        if (thread_.joinable()) thread_.join();
        return run_;
    }

private:
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
    const auto end = Clock::now() + kTimeout;
    for (Bytes more; Count(got, what) < times && Clock::now() < end;) {
        if ((more = ReadAll(fd, 1)).empty()) return;
        got.append(more.begin(), more.end());
    }
}

// One stand-in for every viewer, as the window's relay mode talks to it: the device channel
// answers, each introduction gets its answer; then a viewer's ALIVE lines are answered between
// epochs, its other bytes kept, and the stream goes on byte for byte.
TEST(ServeRelay, ViewersAnsweredAliveBetweenEpochsCorrectionsKept)
{
    const Bytes log = SimulatedLog(SimulatedProtocol::Nmea, 10, 5);
    const std::string corrections = WriteTemp("relay_rtcm", AsBytes("stale"));
    const std::uint16_t port = FreePort(), channelPort = FreePort();
    CServeThread serve({WriteTemp("relay.nmea", log), "--relay", std::to_string(port),
                        "--device-channel", std::to_string(channelPort), "--rate", "100", "--loop",
                        "--devices", "DEV01;DEV02", "--foreign-device", "OTHER1", "--corrections",
                        corrections});
    // The device channel answers checked requests for its devices, put together across reads.
    const int channel = Connect(channelPort);
    ASSERT_GE(channel, 0);
    const std::string requests =
        relay::DeviceRequest("1a2b3c4d", "DEV09") + relay::DeviceRequest("1a2b3c4d", "DEV02");
    SendText(channel, requests.substr(0, 30));
    std::this_thread::sleep_for(milliseconds(2));
    SendText(channel, requests.substr(30));
    ::shutdown(channel, SHUT_WR);
    const Bytes answered = ReadAll(channel);  // then closed
    ::close(channel);
    std::vector<std::string> devices;
    relay::CDeviceChannelDecoder().Feed(answered,
                                        [&](const std::string& d) { devices.push_back(d); });
    EXPECT_EQ(devices, std::vector<std::string>{"DEV02"})
        << std::string(answered.begin(), answered.end());
    EXPECT_TRUE(std::string(answered.begin(), answered.end()).starts_with("[1a2b3c4d|VS002|"));

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
        {"CONNECT_TO VIEWER:0000000b LOGIN:lee DEVICE:OTHER1 OUTMSG:GGA",
         "FAILED_BELONG_TO_OTHER\r\n", false, "0000000b lee corrections 0 bytes, alive 0"},
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
        EXPECT_EQ(::recv(fd, &next, 1, MSG_DONTWAIT) == 0, !c.streams) << "closed by serve";
        ::close(fd);
        const std::string text(got.begin(), got.end());
        EXPECT_EQ(text.substr(0, c.reply.size() + 1),
                  c.reply + (c.streams ? std::string(1, static_cast<char>(log[0])) : ""));
    }

    const int fd = Connect(port);
    ASSERT_GE(fd, 0);
    SendText(fd, "CONNECT_TO VIEWER:1a2b3c4d LOGIN:kim");
    std::string got;
    ReadUntilCount(fd, got, "\r\n", 1);
    // What the viewer writes, one send each; the ALIVE lines among them count as ALIVE.
    const struct {
        std::string_view sent, corrections;
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
    std::size_t viewers = 1;
    for (const auto& c : cases) {
        if (c.line.empty()) continue;
        ++viewers;
        EXPECT_EQ(Count(run.err, "viewer " + c.line + "\n"), 1u) << run.err;
    }
    EXPECT_EQ(Count(run.err, "viewer 1a2b3c4d kim corrections " + std::to_string(expected.size()) +
                                 " bytes, alive " + std::to_string(alives) + "\n"),
              1u)
        << run.err;
    EXPECT_EQ(Count(run.err, "viewer "), viewers) << run.err;
    EXPECT_EQ(testdata::ReadBytes(corrections), AsBytes("\x01\x02" + expected))
        << "created fresh, byte-exact";

    // The viewer came in at an epoch of the running stream; each answer stands between two
    // epochs of the looped log, which goes on unharmed around them.
    const std::string reply = "LOGINED kim DEV01;DEV02\r\n";
    ASSERT_TRUE(got.starts_with(reply));
    std::string plain;
    std::vector<std::size_t> answers;  // where in the plain stream
    for (std::size_t at = reply.size();;) {
        const std::size_t alive = got.find(relay::kAlive, at);
        plain += got.substr(at, alive - at);
        if (alive == std::string::npos) break;
        answers.push_back(plain.size());
        at = alive + relay::kAlive.size();
    }
    EXPECT_EQ(answers.size(), alives);
    std::string looped;
    while (looped.size() < plain.size() + log.size()) looped.append(log.begin(), log.end());
    std::set<std::size_t> boundaries;
    for (const LogEpoch& epoch : ServeEpochs(log)) boundaries.insert(epoch.offset);
    const auto start = std::find_if(boundaries.begin(), boundaries.end(), [&](std::size_t b) {
        return looped.compare(b, plain.size(), plain) == 0;
    });
    ASSERT_NE(start, boundaries.end()) << "the stream goes on unharmed around the answers";
    for (const std::size_t at : answers)
        EXPECT_EQ(boundaries.count((*start + at) % log.size()), 1u) << at;
}

}  // namespace
