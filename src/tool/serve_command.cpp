#include "tool/serve_command.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tool/log_epochs.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::string_view kPrefix = "skarnet2-tool serve: ";
constexpr std::string_view kUsage =
    "usage: skarnet2-tool serve FILE (--tcp PORT | --pty LINK) [--rate HZ | --real-time] "
    "[--loop]\n";
constexpr double kMaxRateHz = 100000.0;
// A reader this far behind misses whole epochs until it catches up: it loses time, but never
// gets a message cut in two.
constexpr std::size_t kBacklogLimit = std::size_t{1} << 20;
// Longest single wait, so that a stop request is seen soon.
constexpr milliseconds kPollSlice{50};
// How long the end of the log may take to reach slow readers.
constexpr milliseconds kDeliveryTimeout{10000};
// A pty's input queue must stay empty this long to count as read: bytes still in the
// kernel's flip buffers reach it a moment later.
constexpr milliseconds kPtySettle{20};

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

class CFd {
public:
    CFd() = default;
    explicit CFd(int fd) : fd_(fd) {}
    CFd(CFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    CFd& operator=(CFd&& other) noexcept
    {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~CFd() { Reset(); }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

bool Failed(const std::string& what, std::string& error)
{
    error = what + ": " + std::strerror(errno);
    return false;
}

enum class InputState { Open, Ended, Broken };

// Reads and drops what a reader sends (commands a receiver would take).
InputState DrainInput(int fd)
{
    std::uint8_t scrap[4096];
    for (int round = 0; round < 16; ++round) {
        const ssize_t n = ::read(fd, scrap, sizeof scrap);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        if (n == 0) return InputState::Ended;
        return errno == EAGAIN || errno == EWOULDBLOCK ? InputState::Open : InputState::Broken;
    }
    return InputState::Open;
}

// Bytes sent to one reader that its kernel buffer has not taken yet.
class COutgoing {
public:
    // The epoch is dropped whole while the reader is kBacklogLimit behind.
    void Queue(std::span<const std::uint8_t> epoch)
    {
        if (Pending() >= kBacklogLimit) return;
        if (sent_ > 0 && sent_ >= bytes_.size() / 2) {
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(sent_));
            sent_ = 0;
        }
        bytes_.insert(bytes_.end(), epoch.begin(), epoch.end());
    }
    std::size_t Pending() const { return bytes_.size() - sent_; }
    void Clear()
    {
        bytes_.clear();
        sent_ = 0;
    }
    // Hands the kernel what it takes now; false once the reader is gone.
    template <class Write>
    bool Push(Write&& write)
    {
        while (Pending() > 0) {
            const ssize_t n = write(bytes_.data() + sent_, Pending());
            if (n > 0) {
                sent_ += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            }
        }
        Clear();
        return true;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t sent_ = 0;
};

// Where the stream goes; nothing in it blocks.
class CServeOutput {
public:
    virtual ~CServeOutput() = default;
    virtual bool HasReader() = 0;
    virtual void Send(std::span<const std::uint8_t> epoch) = 0;
    // Waits up to timeout for the descriptors and serves them.
    virtual void Serve(milliseconds timeout) = 0;
    // Whether everything sent has reached the readers (or they left).
    virtual bool Delivered() = 0;
};

// A TCP server on the loopback address handing every client the same stream.
class CTcpFanout final : public CServeOutput {
public:
    ~CTcpFanout() override
    {
        for (const Client& client : clients_) ::shutdown(client.fd.Get(), SHUT_WR);
    }

    bool Listen(std::uint16_t port, std::string& error)
    {
        listener_ = CFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!listener_.Valid()) return Failed("cannot create a socket", error);
        const int on = 1;
        ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
                0 ||
            ::listen(listener_.Get(), SOMAXCONN) != 0) {
            return Failed("cannot listen on 127.0.0.1:" + std::to_string(port), error);
        }
        return true;
    }
    std::uint16_t Port() const
    {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

    bool HasReader() override { return !clients_.empty(); }
    void Send(std::span<const std::uint8_t> epoch) override
    {
        for (Client& client : clients_) {
            client.out.Queue(epoch);
            client.gone = !Flush(client);
        }
        std::erase_if(clients_, [](const Client& client) { return client.gone; });
    }
    void Serve(milliseconds timeout) override;
    bool Delivered() override
    {
        return std::all_of(clients_.begin(), clients_.end(),
                           [](const Client& client) { return client.out.Pending() == 0; });
    }

private:
    struct Client {
        CFd fd;
        COutgoing out;
        bool talks = true;
        bool gone = false;
    };

    static bool Flush(Client& client)
    {
        const int fd = client.fd.Get();
        // MSG_NOSIGNAL: a client that went away must not take the server down with SIGPIPE.
        return client.out.Push([fd](const std::uint8_t* data, std::size_t size) {
            return ::send(fd, data, size, MSG_NOSIGNAL);
        });
    }
    // A client that only closed its sending side may still read; one that is gone entirely
    // shows up when a send fails.
    static bool Attend(Client& client, short events)
    {
        if (events & (POLLERR | POLLHUP)) return false;
        if (events & POLLIN) {
            const InputState input = DrainInput(client.fd.Get());
            if (input == InputState::Broken) return false;
            client.talks = input == InputState::Open;
        }
        return !(events & POLLOUT) || Flush(client);
    }
    void Accept()
    {
        for (;;) {
            const int fd =
                ::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) return;
            clients_.push_back(Client{CFd(fd), {}, true, false});
        }
    }

    CFd listener_;
    std::vector<Client> clients_;
};

void CTcpFanout::Serve(milliseconds timeout)
{
    std::vector<pollfd> fds{{listener_.Get(), POLLIN, 0}};
    for (const Client& client : clients_) {
        const short events = (client.talks ? POLLIN : 0) | (client.out.Pending() > 0 ? POLLOUT : 0);
        fds.push_back({client.fd.Get(), events, 0});
    }
    if (::poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) <= 0) return;
    for (std::size_t i = 0; i < clients_.size(); ++i)
        clients_[i].gone = !Attend(clients_[i], fds[i + 1].revents);
    std::erase_if(clients_, [](const Client& client) { return client.gone; });
    if (fds[0].revents & POLLIN) Accept();
}

// A pseudo-terminal in raw mode whose slave a symbolic link names, written on the master
// side. While nobody has the slave open the master reports a hang-up and epochs are dropped,
// as on a serial line nobody listens to, instead of piling up for whoever opens it next.
class CPtyOutput final : public CServeOutput {
public:
    ~CPtyOutput() override { RemoveLink(); }

    bool Open(const std::string& link, std::string& error)
    {
        return OpenMaster(error) && MakeRaw(error) && MarkUnread(error) && MakeLink(link, error);
    }
    const std::string& SlavePath() const { return slavePath_; }

    bool HasReader() override
    {
        pollfd fd{master_.Get(), 0, 0};
        return ::poll(&fd, 1, 0) >= 0 && !(fd.revents & POLLHUP);
    }
    void Send(std::span<const std::uint8_t> epoch) override
    {
        if (!HasReader()) return;
        out_.Queue(epoch);
        Flush();
    }
    void Serve(milliseconds timeout) override;
    bool Delivered() override;

private:
    bool OpenMaster(std::string& error);
    bool MakeRaw(std::string& error);
    bool MarkUnread(std::string& error);
    bool MakeLink(const std::string& link, std::string& error);
    void RemoveLink();
    int SlaveQueued() const;
    void Flush()
    {
        const int fd = master_.Get();
        const bool open = out_.Push(
            [fd](const std::uint8_t* data, std::size_t size) { return ::write(fd, data, size); });
        if (!open) out_.Clear();
    }

    CFd master_;
    std::string slavePath_;
    std::string link_;
    COutgoing out_;
    std::optional<Clock::time_point> emptySince_;
};

void CPtyOutput::Serve(milliseconds timeout)
{
    const int waitMs = static_cast<int>(timeout.count());
    if (!HasReader()) {
        // The reader left: what it did not take is nobody's.
        out_.Clear();
        ::poll(nullptr, 0, waitMs);
        return;
    }
    pollfd fd{master_.Get(), static_cast<short>(POLLIN | (out_.Pending() > 0 ? POLLOUT : 0)), 0};
    if (::poll(&fd, 1, waitMs) <= 0) return;
    if (fd.revents & POLLIN) DrainInput(master_.Get());
    if (fd.revents & POLLOUT) Flush();
}

// Closing the master throws away what the slave has not read yet, so the end waits until
// the reader has taken it all.
bool CPtyOutput::Delivered()
{
    if (!HasReader()) return true;
    if (out_.Pending() > 0 || SlaveQueued() > 0) {
        emptySince_.reset();
        return false;
    }
    const auto now = Clock::now();
    if (!emptySince_) emptySince_ = now;
    return now - *emptySince_ >= kPtySettle;
}

bool CPtyOutput::OpenMaster(std::string& error)
{
    master_ = CFd(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master_.Valid() || ::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0)
        return Failed("cannot create a pseudo-terminal", error);
    char name[PATH_MAX];
    if (::ptsname_r(master_.Get(), name, sizeof name) != 0)
        return Failed("cannot name the pseudo-terminal", error);
    slavePath_ = name;
    return true;
}

// The terminal settings of a master are those of its slave.
bool CPtyOutput::MakeRaw(std::string& error)
{
    termios settings{};
    if (::tcgetattr(master_.Get(), &settings) != 0)
        return Failed("cannot read the terminal settings", error);
    ::cfmakeraw(&settings);
    if (::tcsetattr(master_.Get(), TCSANOW, &settings) != 0)
        return Failed("cannot set raw mode", error);
    return true;
}

// A slave that was never opened shows no hang-up; once opened and closed it does until the
// next reader comes, which is how readers are seen to come and go.
bool CPtyOutput::MarkUnread(std::string& error)
{
    const CFd slave(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.Valid()) return Failed("cannot open " + slavePath_, error);
    return true;
}

bool CPtyOutput::MakeLink(const std::string& link, std::string& error)
{
    struct stat status {};
    if (::lstat(link.c_str(), &status) == 0 && !S_ISLNK(status.st_mode)) {
        error = "'" + link + "' exists and is not a symbolic link";
        return false;
    }
    // A new link renamed over a stale one replaces it in one step.
    const std::string fresh = link + ".new" + std::to_string(::getpid());
    ::unlink(fresh.c_str());
    if (::symlink(slavePath_.c_str(), fresh.c_str()) != 0 ||
        ::rename(fresh.c_str(), link.c_str()) != 0) {
        const int cause = errno;
        ::unlink(fresh.c_str());
        errno = cause;
        return Failed("cannot make the link '" + link + "'", error);
    }
    link_ = link;
    return true;
}

// Only a link that still names this pty goes: another serve may have taken the name over.
void CPtyOutput::RemoveLink()
{
    if (link_.empty()) return;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link_.c_str(), target, sizeof target);
    if (n > 0 && std::string_view(target, static_cast<std::size_t>(n)) == slavePath_)
        ::unlink(link_.c_str());
}

int CPtyOutput::SlaveQueued() const
{
    const CFd probe(::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    int queued = 0;
    if (!probe.Valid() || ::ioctl(probe.Get(), FIONREAD, &queued) != 0) return 0;
    return queued;
}

struct ServeOptions {
    std::string path;
    std::optional<std::uint16_t> tcpPort;
    std::optional<std::string> ptyLink;
    std::optional<double> rateHz;
    bool realTime = false;
    bool loop = false;
};

std::nullopt_t Rejected(std::ostream& err, const std::string& message)
{
    err << kPrefix << message << '\n' << kUsage;
    return std::nullopt;
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
    if (options.tcpPort.has_value() == options.ptyLink.has_value())
        return Rejected(err, "give one of --tcp PORT and --pty LINK");
    if (options.rateHz && options.realTime)
        return Rejected(err, "--rate and --real-time cannot be given together");
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
        } else if (name == "--tcp" || name == "--pty" || name == "--rate") {
            if (i + 1 >= args.size()) return Rejected(err, std::string(name) + " needs a value");
            if (!TakeValue(options, name, args[++i], err)) return std::nullopt;
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
    std::string error;
    if (options.tcpPort) {
        auto tcp = std::make_unique<CTcpFanout>();
        if (!tcp->Listen(*options.tcpPort, error)) {
            err << kPrefix << error << '\n';
            return nullptr;
        }
        err << "listening on 127.0.0.1:" << tcp->Port() << std::endl;
        return tcp;
    }
    auto pty = std::make_unique<CPtyOutput>();
    if (!pty->Open(*options.ptyLink, error)) {
        err << kPrefix << error << '\n';
        return nullptr;
    }
    err << "serving on " << *options.ptyLink << " -> " << pty->SlavePath() << std::endl;
    return pty;
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
               bool loop)
{
    Clock::time_point start = Clock::now();
    do {
        for (std::size_t i = 0; i < epochs.size(); ++i) {
            if (!WaitUntil(output, start + pace[i])) return false;
            output.Send(log.subspan(epochs[i].offset, epochs[i].length));
        }
        start += pace.back();
    } while (loop);
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

    stopRequested.store(false);
    const CStopSignals signals;
    const std::unique_ptr<CServeOutput> output = OpenOutput(*options, err);
    if (!output) return 1;
    if (WaitForReader(*output) && StreamLog(*output, log, epochs, pace, options->loop))
        AwaitDelivery(*output);
    return 0;
}
