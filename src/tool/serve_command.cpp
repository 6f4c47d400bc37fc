#include "tool/serve_command.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tool/fd_io.h"
#include "tool/log_epochs.h"
#include "tool/relay_output.h"
#include "tool/stream_outputs.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::string_view kPrefix = "skarnet2-tool serve: ";
constexpr std::string_view kUsage =
    "usage: skarnet2-tool serve FILE (--tcp PORT | --pty LINK | --relay PORT) "
    "[--rate HZ|max | --real-time] [--burst N [--burst-from FILE]] [--loop]\n"
    "       relay stand-in: [--device-channel PORT] [--devices ID1;ID2;...] "
    "[--foreign-device ID] [--corrections FILE]\n";
constexpr double kMaxRateHz = 100000.0;
// Longest single wait, so that a stop request is seen soon.
constexpr milliseconds kPollSlice{50};
// How long the end of the log may take to reach slow readers.
constexpr milliseconds kDeliveryTimeout{10000};

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnStopSignal(int) { stopRequested.store(true); }

bool StopRequested() { return stopRequested.load(); }

// Ctrl-C and SIGTERM end the stream through the stop flag, so that the way out removes the
// link; the previous handlers come back afterwards.
class CStopSignals {
public:
    CStopSignals()
    {
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~CStopSignals()
    {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

struct ServeOptions {
    std::string path;
    std::optional<std::uint16_t> tcpPort;
    std::optional<std::string> ptyLink;
    std::optional<std::uint16_t> relayPort;
    std::optional<std::uint16_t> deviceChannelPort;
    std::optional<std::vector<std::string>> devices;
    std::optional<std::string> foreignDevice;
    std::optional<std::string> correctionsPath;
    std::optional<double> rateHz;
    bool asRead = false;      // --rate max
    std::uint64_t burst = 0;  // epochs sent as fast as read before the pacing starts
    std::string burstFrom;    // the burst's own log, looped; empty: the served log
    bool realTime = false;
    bool loop = false;
};

std::nullopt_t Rejected(std::ostream& err, const std::string& message)
{
    err << kPrefix << message << '\n' << kUsage;
    return std::nullopt;
}

bool ParseCount(std::string_view text, std::uint64_t& count)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, count, 10);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParsePort(std::string_view text, std::uint16_t& port)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, port, 10);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// "!(x > 0)" also turns away NaN.
bool ParseRate(std::string_view text, double& rate)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, rate);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && rate > 0.0 &&
           rate <= kMaxRateHz;
}

// A device ID goes into the LOGINED line and the device channel's frames, so it holds none
// of their separators.
bool IsDeviceId(std::string_view id)
{
    return !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
        return c > ' ' && c < 0x7F && std::string_view("[]|,;").find(c) == std::string_view::npos;
    });
}

// "ID1;ID2;...", a trailing ";" allowed.
bool ParseDevices(std::string_view text, std::vector<std::string>& devices)
{
    if (text.ends_with(';')) text.remove_suffix(1);
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find(';', at), text.size());
        if (!IsDeviceId(text.substr(at, end - at))) return false;
        devices.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return true;
}

// The relay stand-in's options; false with the complaint written when the value does not fit.
bool TakeRelayValue(ServeOptions& options, std::string_view name, std::string_view value,
                    std::ostream& err)
{
    const std::string quoted = "'" + std::string(value) + "'";
    std::uint16_t port = 0;
    std::vector<std::string> devices;
    if ((name == "--relay" || name == "--device-channel") && ParsePort(value, port)) {
        (name == "--relay" ? options.relayPort : options.deviceChannelPort) = port;
    } else if (name == "--relay" || name == "--device-channel") {
        Rejected(err, std::string(name) + " needs a port from 0 to 65535, not " + quoted);
        return false;
    } else if (name == "--devices" && ParseDevices(value, devices)) {
        options.devices = std::move(devices);
    } else if (name == "--foreign-device" && IsDeviceId(value)) {
        options.foreignDevice = std::string(value);
    } else if (name == "--corrections" && !value.empty()) {
        options.correctionsPath = std::string(value);
    } else if (name == "--corrections") {
        Rejected(err, "--corrections needs a file path");
        return false;
    } else {
        Rejected(err, std::string(name) + " needs device IDs without spaces or any of []|,; (" +
                          (name == "--devices" ? "ID1;ID2;..." : "one ID") + "), not " + quoted);
        return false;
    }
    return true;
}

// False with the complaint written when the value does not fit the option.
bool TakeValue(ServeOptions& options, std::string_view name, std::string_view value,
               std::ostream& err)
{
    const std::string quoted = "'" + std::string(value) + "'";
    std::uint16_t port = 0;
    double rate = 0.0;
    if (name == "--tcp" && ParsePort(value, port)) {
        options.tcpPort = port;
    } else if (name == "--pty" && !value.empty()) {
        options.ptyLink = std::string(value);
    } else if (name == "--burst" && ParseCount(value, options.burst)) {
    } else if (name == "--burst") {
        Rejected(err, "--burst needs a number of epochs, not " + quoted);
        return false;
    } else if (name == "--burst-from" && !value.empty()) {
        options.burstFrom = std::string(value);
    } else if (name == "--rate" && value == "max") {
        options.asRead = true;
    } else if (name == "--rate" && ParseRate(value, rate)) {
        options.rateHz = rate;
    } else if (name == "--tcp") {
        Rejected(err, "--tcp needs a port from 0 to 65535, not " + quoted);
        return false;
    } else if (name == "--pty") {
        Rejected(err, "--pty needs a link path");
        return false;
    } else {
        Rejected(err, "--rate must be a number above 0 and at most 100000, not " + quoted);
        return false;
    }
    return true;
}

std::optional<ServeOptions> CheckOptions(ServeOptions options, std::ostream& err)
{
    if (options.path.empty()) return Rejected(err, "no log file given");
    const int outputs = int{options.tcpPort.has_value()} + int{options.ptyLink.has_value()} +
                        int{options.relayPort.has_value()};
    if (outputs != 1) return Rejected(err, "give one of --tcp PORT, --pty LINK and --relay PORT");
    if (!options.relayPort) {
        const std::pair<bool, std::string_view> relayOnly[] = {
            {options.deviceChannelPort.has_value(), "--device-channel"},
            {options.devices.has_value(), "--devices"},
            {options.foreignDevice.has_value(), "--foreign-device"},
            {options.correctionsPath.has_value(), "--corrections"},
        };
        for (const auto& [given, name] : relayOnly)
            if (given) return Rejected(err, std::string(name) + " needs --relay");
    }
    if ((options.rateHz || options.asRead) && options.realTime)
        return Rejected(err, "--rate and --real-time cannot be given together");
    if (options.burst > 0 && (options.asRead || options.realTime))
        return Rejected(err, "--burst goes with --rate HZ or the log's clock");
    if (!options.burstFrom.empty() && options.burst == 0)
        return Rejected(err, "--burst-from needs --burst N");
    return options;
}

std::optional<ServeOptions> ParseServeArgs(std::span<const std::string_view> args,
                                           std::ostream& err)
{
    ServeOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        if (name == "--loop") {
            options.loop = true;
        } else if (name == "--real-time") {
            options.realTime = true;
        } else if (name == "--tcp" || name == "--pty" || name == "--rate" || name == "--burst" ||
                   name == "--burst-from") {
            if (i + 1 >= args.size()) return Rejected(err, std::string(name) + " needs a value");
            if (!TakeValue(options, name, args[++i], err)) return std::nullopt;
        } else if (name == "--relay" || name == "--device-channel" || name == "--devices" ||
                   name == "--foreign-device" || name == "--corrections") {
            if (i + 1 >= args.size()) return Rejected(err, std::string(name) + " needs a value");
            if (!TakeRelayValue(options, name, args[++i], err)) return std::nullopt;
        } else if (name.size() > 1 && name[0] == '-') {
            return Rejected(err, "unknown option '" + std::string(name) + "'");
        } else if (!options.path.empty()) {
            return Rejected(err, "only one log file can be served at a time");
        } else {
            options.path = name;
        }
    }
    return CheckOptions(std::move(options), err);
}

bool ReadLog(const std::string& path, std::vector<std::uint8_t>& log)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<char> block(std::size_t{1} << 20);
    while (file) {
        file.read(block.data(), static_cast<std::streamsize>(block.size()));
        log.insert(log.end(), block.begin(), block.begin() + file.gcount());
    }
    return !file.bad();
}

std::unique_ptr<CServeOutput> OpenOutput(const ServeOptions& options, std::ostream& err)
{
    if (!options.relayPort) return OpenStreamOutput(options.tcpPort, options.ptyLink, kPrefix, err);
    RelayOptions relay;
    relay.port = *options.relayPort;
    relay.deviceChannelPort = options.deviceChannelPort;
    if (options.devices) relay.devices = *options.devices;
    relay.foreignDevice = options.foreignDevice;
    relay.correctionsPath = options.correctionsPath;
    return OpenRelayOutput(relay, kPrefix, err);
}

// Serves the readers at least once, even when the schedule is behind, so that new clients
// are let in at any rate. False when a stop came first.
bool WaitUntil(CServeOutput& output, Clock::time_point when)
{
    for (;;) {
        const auto left = std::chrono::ceil<milliseconds>(when - Clock::now());
        output.Serve(std::clamp(left, milliseconds{0}, kPollSlice));
        if (StopRequested()) return false;
        if (Clock::now() >= when) return true;
    }
}

// --rate max: the next epoch waits until the slowest reader has nearly caught up, so nothing
// is dropped and the stream runs as fast as the readers take it.
bool WaitForRoom(CServeOutput& output, std::size_t epoch)
{
    constexpr std::size_t kRoom = kBacklogLimit / 4;
    if (epoch % 64 == 0) output.Serve(milliseconds{0});  // lets new readers in
    while (output.Backlog() > kRoom) {
        output.Serve(kPollSlice);
        if (StopRequested()) return false;
    }
    return !StopRequested();
}

bool WaitForReader(CServeOutput& output)
{
    while (!StopRequested()) {
        if (output.HasReader()) return true;
        output.Serve(kPollSlice);
    }
    return false;
}

// Sends every epoch at its time from the start of the pass; false when stopped.
bool StreamLog(CServeOutput& output, std::span<const std::uint8_t> log,
               std::span<const LogEpoch> epochs, std::span<const std::chrono::microseconds> pace,
               bool loop, bool asRead, std::uint64_t burst)
{
    Clock::time_point start = Clock::now();
    std::uint64_t sent = 0;
    do {
        for (std::size_t i = 0; i < epochs.size(); ++i, ++sent) {
            // The pacing starts where the burst ends.
            if (sent == burst && burst > 0) start = Clock::now() - pace[i];
            if (asRead || sent < burst ? !WaitForRoom(output, i)
                                       : !WaitUntil(output, start + pace[i]))
                return false;
            output.Send(log.subspan(epochs[i].offset, epochs[i].length));
        }
        start += pace.back();
    } while (loop);
    return true;
}

// A burst from its own log, looped as often as it takes; false when stopped.
bool StreamBurst(CServeOutput& output, std::span<const std::uint8_t> log,
                 std::span<const LogEpoch> epochs, std::uint64_t burst)
{
    for (std::uint64_t sent = 0; sent < burst; ++sent) {
        const std::size_t i = static_cast<std::size_t>(sent % epochs.size());
        if (!WaitForRoom(output, i)) return false;
        output.Send(log.subspan(epochs[i].offset, epochs[i].length));
    }
    return true;
}

void AwaitDelivery(CServeOutput& output)
{
    const auto deadline = Clock::now() + kDeliveryTimeout;
    while (!StopRequested() && Clock::now() < deadline && !output.Delivered())
        output.Serve(milliseconds{5});
}

}  // namespace

void RequestServeStop() { stopRequested.store(true); }

int RunServe(std::span<const std::string_view> args, std::ostream& err)
{
    const auto options = ParseServeArgs(args, err);
    if (!options) return 2;
    std::vector<std::uint8_t> log;
    if (!ReadLog(options->path, log)) {
        err << kPrefix << "cannot read '" << options->path << "'\n";
        return 1;
    }
    if (log.empty()) {
        err << kPrefix << "'" << options->path << "' holds nothing to serve\n";
        return 1;
    }
    const std::vector<LogEpoch> epochs = ServeEpochs(log);
    const auto pace = PaceEpochs(epochs, options->rateHz);
    std::vector<std::uint8_t> burstLog;
    if (!options->burstFrom.empty() &&
        (!ReadLog(options->burstFrom, burstLog) || burstLog.empty())) {
        err << kPrefix << "cannot read '" << options->burstFrom << "' for the burst\n";
        return 1;
    }
    const std::vector<LogEpoch> burstEpochs = ServeEpochs(burstLog);
    const bool ownBurst = !burstEpochs.empty();

    stopRequested.store(false);
    const CStopSignals signals;
    const std::unique_ptr<CServeOutput> output = OpenOutput(*options, err);
    if (!output) return 1;
    if (WaitForReader(*output) &&
        (!ownBurst || StreamBurst(*output, burstLog, burstEpochs, options->burst)) &&
        StreamLog(*output, log, epochs, pace, options->loop, options->asRead,
                  ownBurst ? 0 : options->burst))
        AwaitDelivery(*output);
    return 0;
}
