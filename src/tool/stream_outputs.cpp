#include "tool/stream_outputs.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <utility>
#include <vector>

#include "tool/fd_io.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A pty's input queue must stay empty this long to count as read: bytes still in the
// kernel's flip buffers reach it a moment later.
constexpr milliseconds kPtySettle{20};

// A TCP server on the loopback address handing every client the same stream.
class CTcpFanout final : public CServeOutput {
public:
    ~CTcpFanout() override
    {
        for (const Client& client : clients_) ::shutdown(client.fd.Get(), SHUT_WR);
    }

    bool Listen(std::uint16_t port, std::string& error)
    {
        listener_ = ListenOnLoopback(port, error);
        return listener_.Valid();
    }
    std::uint16_t Port() const { return LocalPort(listener_); }

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
    std::size_t Backlog() override
    {
        std::size_t most = 0;
        for (const Client& client : clients_) most = std::max(most, client.out.Pending());
        return most;
    }

private:
    struct Client {
        CFd fd;
        COutgoing out;
        bool talks = true;
        bool gone = false;
    };

    static bool Flush(Client& client) { return client.out.PushTo(client.fd.Get()); }
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
        for (CFd fd = AcceptClient(listener_); fd.Valid(); fd = AcceptClient(listener_))
            clients_.push_back(Client{std::move(fd), {}, true, false});
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
    std::size_t Backlog() override { return out_.Pending(); }

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

}  // namespace

std::unique_ptr<CServeOutput> OpenStreamOutput(std::optional<std::uint16_t> tcpPort,
                                               const std::optional<std::string>& ptyLink,
                                               std::string_view prefix, std::ostream& err)
{
    std::string error;
    if (tcpPort) {
        auto tcp = std::make_unique<CTcpFanout>();
        if (!tcp->Listen(*tcpPort, error)) {
            err << prefix << error << '\n';
            return nullptr;
        }
        err << "listening on 127.0.0.1:" << tcp->Port() << std::endl;
        return tcp;
    }
    auto pty = std::make_unique<CPtyOutput>();
    if (!pty->Open(*ptyLink, error)) {
        err << prefix << error << '\n';
        return nullptr;
    }
    err << "serving on " << *ptyLink << " -> " << pty->SlavePath() << std::endl;
    return pty;
}
