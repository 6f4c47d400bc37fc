#pragma once

// Descriptors, loopback listeners and per-reader send queues shared by serve's outputs.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

// A reader this far behind misses whole epochs until it catches up: it loses time, but never
// gets a message cut in two.
inline constexpr std::size_t kBacklogLimit = std::size_t{1} << 20;

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

inline bool Failed(const std::string& what, std::string& error)
{
    error = what + ": " + std::strerror(errno);
    return false;
}

enum class InputState { Open, Ended, Broken };

// Reads and drops what a reader sends (commands a receiver would take).
inline InputState DrainInput(int fd)
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
    // MSG_NOSIGNAL: a reader that went away must not take the server down with SIGPIPE.
    bool PushTo(int socket)
    {
        return Push([socket](const std::uint8_t* data, std::size_t size) {
            return ::send(socket, data, size, MSG_NOSIGNAL);
        });
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t sent_ = 0;
};

// A non-blocking listener on 127.0.0.1:PORT (0: any free port); invalid, with the reason in
// error, when it cannot listen.
inline CFd ListenOnLoopback(std::uint16_t port, std::string& error)
{
    CFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener.Valid()) {
        Failed("cannot create a socket", error);
        return listener;
    }
    const int on = 1;
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.Get(), SOMAXCONN) != 0) {
        Failed("cannot listen on 127.0.0.1:" + std::to_string(port), error);
        listener.Reset();
    }
    return listener;
}

inline std::uint16_t LocalPort(const CFd& socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// The next waiting connection, non-blocking; invalid when none waits.
inline CFd AcceptClient(const CFd& listener)
{
    return CFd(::accept4(listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}
