#include "tool/relay_output.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ostream>
#include <span>
#include <utility>

#include "net/relay_protocol.h"
#include "tool/fd_io.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The introduction has no line ending: it is whole once the line has been quiet this long,
// or this long in bytes.
constexpr milliseconds kIntroductionQuiet{30};
constexpr std::size_t kMaxIntroduction = 1024;
// Reads per socket and turn, so that one busy viewer cannot hold up the others.
constexpr int kReadRounds = 16;
constexpr std::string_view kServerName = "skarnet2-tool";

std::span<const std::uint8_t> AsBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

enum class ReadResult { Open, Ended, Broken };

// One non-blocking read of up to size bytes.
ReadResult ReadSome(int fd, std::uint8_t* data, std::size_t size, std::size_t& got)
{
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        got = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (n > 0) return ReadResult::Open;
        if (n == 0) return ReadResult::Ended;
        if (errno == EINTR) continue;
        got = 0;
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReadResult::Open : ReadResult::Broken;
    }
}

class CRelayOutput final : public CServeOutput {
public:
    CRelayOutput(RelayOptions options, std::string_view prefix, std::ostream& err)
        : options_(std::move(options)), prefix_(prefix), err_(err)
    {
    }
    ~CRelayOutput() override;

    bool Open(std::string& error);
    std::uint16_t Port() const { return LocalPort(listener_); }
    std::optional<std::uint16_t> ChannelPort() const
    {
        if (!channelListener_.Valid()) return std::nullopt;
        return LocalPort(channelListener_);
    }

    bool HasReader() override
    {
        return std::any_of(viewers_.begin(), viewers_.end(),
                           [](const Viewer& viewer) { return viewer.stage == Stage::Streaming; });
    }
    void Send(std::span<const std::uint8_t> epoch) override;
    void Serve(milliseconds timeout) override;
    std::size_t Backlog() override
    {
        std::size_t most = 0;
        for (const Viewer& viewer : viewers_) most = std::max(most, viewer.out.Pending());
        return most;
    }
    bool Delivered() override
    {
        return std::all_of(viewers_.begin(), viewers_.end(),
                           [](const Viewer& viewer) { return viewer.out.Pending() == 0; }) &&
               std::all_of(channel_.begin(), channel_.end(),
                           [](const ChannelClient& client) { return client.out.Pending() == 0; });
    }

private:
    enum class Stage { Introducing, Streaming, Refused };

    struct Viewer {
        CFd fd;
        Stage stage = Stage::Introducing;
        std::string introduction;
        Clock::time_point lastByte;
        std::optional<relay::ViewerIntroduction> who;
        relay::CAliveFilter alive;
        std::uint64_t corrections = 0;
        std::uint64_t alives = 0;
        COutgoing out;
        bool talks = true;
        bool gone = false;
    };

    struct ChannelClient {
        CFd fd;
        relay::CDeviceChannelDecoder cutter;
        COutgoing out;
        bool talks = true;
        bool gone = false;
    };

    std::optional<Clock::time_point> NextIntroductionDue() const;
    void AttendViewer(Viewer& viewer, short events);
    void ReadViewer(Viewer& viewer);
    void Take(Viewer& viewer, std::span<const std::uint8_t> bytes);
    void InputEnded(Viewer& viewer);
    void Conclude(Viewer& viewer);
    void Flush(Viewer& viewer);
    void KeepCorrections(Viewer& viewer, std::span<const std::uint8_t> bytes);
    void DropGoneViewers();
    void Report(const Viewer& viewer);
    void AttendChannel(ChannelClient& client, short events);
    void Answer(ChannelClient& client, std::string_view frame);
    void AcceptAll();

    RelayOptions options_;
    std::string prefix_;
    std::ostream& err_;
    CFd listener_;
    CFd channelListener_;
    CFd corrections_;
    bool writeFailed_ = false;
    std::vector<Viewer> viewers_;
    std::vector<ChannelClient> channel_;
};

bool CRelayOutput::Open(std::string& error)
{
    if (options_.correctionsPath) {
        const std::string& path = *options_.correctionsPath;
        corrections_ = CFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!corrections_.Valid()) return Failed("cannot create '" + path + "'", error);
    }
    listener_ = ListenOnLoopback(options_.port, error);
    if (!listener_.Valid()) return false;
    if (options_.deviceChannelPort) {
        channelListener_ = ListenOnLoopback(*options_.deviceChannelPort, error);
        if (!channelListener_.Valid()) {
            error = "device channel: " + error;
            return false;
        }
    }
    return true;
}

// What viewers sent up to the end still counts, and each gets its line.
CRelayOutput::~CRelayOutput()
{
    for (Viewer& viewer : viewers_) {
        if (viewer.stage == Stage::Streaming && viewer.talks) ReadViewer(viewer);
        if (viewer.stage == Stage::Streaming) InputEnded(viewer);
        if (viewer.who) Report(viewer);
        ::shutdown(viewer.fd.Get(), SHUT_WR);
    }
    for (const ChannelClient& client : channel_) ::shutdown(client.fd.Get(), SHUT_WR);
}

void CRelayOutput::Send(std::span<const std::uint8_t> epoch)
{
    for (Viewer& viewer : viewers_) {
        if (viewer.stage != Stage::Streaming || viewer.gone) continue;
        viewer.out.Queue(epoch);
        Flush(viewer);
    }
    DropGoneViewers();
}

std::optional<Clock::time_point> CRelayOutput::NextIntroductionDue() const
{
    std::optional<Clock::time_point> due;
    for (const Viewer& viewer : viewers_) {
        if (viewer.stage != Stage::Introducing || viewer.introduction.empty()) continue;
        const auto when = viewer.lastByte + kIntroductionQuiet;
        if (!due || when < *due) due = when;
    }
    return due;
}

void CRelayOutput::Serve(milliseconds timeout)
{
    const auto now = Clock::now();
    if (const auto due = NextIntroductionDue())
        timeout = std::clamp(std::chrono::ceil<milliseconds>(*due - now), milliseconds{0}, timeout);

    std::vector<pollfd> fds{{listener_.Get(), POLLIN, 0}, {channelListener_.Get(), POLLIN, 0}};
    for (const Viewer& viewer : viewers_) {
        const short events = (viewer.talks ? POLLIN : 0) | (viewer.out.Pending() > 0 ? POLLOUT : 0);
        fds.push_back({viewer.fd.Get(), events, 0});
    }
    for (const ChannelClient& client : channel_) {
        const short events = (client.talks ? POLLIN : 0) | (client.out.Pending() > 0 ? POLLOUT : 0);
        fds.push_back({client.fd.Get(), events, 0});
    }
    // A negative descriptor (no device channel) is skipped by poll.
    if (::poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) > 0) {
        for (std::size_t i = 0; i < viewers_.size(); ++i)
            AttendViewer(viewers_[i], fds[2 + i].revents);
        for (std::size_t i = 0; i < channel_.size(); ++i)
            AttendChannel(channel_[i], fds[2 + viewers_.size() + i].revents);
        std::erase_if(channel_, [](const ChannelClient& client) { return client.gone; });
        if ((fds[0].revents | fds[1].revents) & POLLIN) AcceptAll();
    }
    const auto after = Clock::now();
    for (Viewer& viewer : viewers_) {
        if (viewer.stage == Stage::Introducing && !viewer.gone && !viewer.introduction.empty() &&
            after - viewer.lastByte >= kIntroductionQuiet)
            Conclude(viewer);
    }
    DropGoneViewers();
}

// Input first: a viewer that sent its last corrections and hung up still has them counted.
void CRelayOutput::AttendViewer(Viewer& viewer, short events)
{
    if (viewer.gone) return;
    if (events & POLLIN) ReadViewer(viewer);
    if (!viewer.gone && (events & (POLLERR | POLLHUP))) viewer.gone = true;
    if (!viewer.gone && viewer.out.Pending() > 0) Flush(viewer);
}

void CRelayOutput::ReadViewer(Viewer& viewer)
{
    std::uint8_t block[4096];
    for (int round = 0; round < kReadRounds && !viewer.gone && viewer.talks; ++round) {
        std::size_t room = sizeof block;
        // Whatever comes after a full introduction is the stream's.
        if (viewer.stage == Stage::Introducing)
            room = std::min(room, kMaxIntroduction - viewer.introduction.size());
        std::size_t got = 0;
        const ReadResult result = ReadSome(viewer.fd.Get(), block, room, got);
        if (result == ReadResult::Broken) {
            viewer.gone = true;
        } else if (result == ReadResult::Ended) {
            viewer.talks = false;
            InputEnded(viewer);
        } else if (got == 0) {
            return;
        } else {
            Take(viewer, {block, got});
        }
    }
}

void CRelayOutput::Take(Viewer& viewer, std::span<const std::uint8_t> bytes)
{
    switch (viewer.stage) {
        case Stage::Introducing:
            viewer.introduction.append(bytes.begin(), bytes.end());
            viewer.lastByte = Clock::now();
            if (viewer.introduction.size() >= kMaxIntroduction) Conclude(viewer);
            return;
        case Stage::Streaming:
            viewer.alive.Feed(
                bytes, [&](std::span<const std::uint8_t> data) { KeepCorrections(viewer, data); },
                [&] {
                    ++viewer.alives;
                    viewer.out.Queue(AsBytes(relay::kAlive));
                });
            return;
        case Stage::Refused: return;  // it is about to be closed
    }
}

// Nothing more will come: an introduction is as whole as it gets, a partial ALIVE was data.
void CRelayOutput::InputEnded(Viewer& viewer)
{
    if (viewer.stage == Stage::Introducing) {
        if (viewer.introduction.empty()) {
            viewer.gone = true;
        } else {
            Conclude(viewer);
        }
    } else if (viewer.stage == Stage::Streaming) {
        viewer.alive.Finish(
            [&](std::span<const std::uint8_t> data) { KeepCorrections(viewer, data); });
    }
}

void CRelayOutput::Conclude(Viewer& viewer)
{
    viewer.who = relay::ParseIntroduction(viewer.introduction);
    viewer.introduction.clear();
    viewer.introduction.shrink_to_fit();
    if (!viewer.who) {
        viewer.gone = true;
        return;
    }
    std::string reply;
    if (options_.foreignDevice && viewer.who->device == *options_.foreignDevice) {
        viewer.stage = Stage::Refused;
        reply = "FAILED_BELONG_TO_OTHER\r\n";
    } else {
        viewer.stage = Stage::Streaming;
        if (viewer.who->login.empty()) {
            reply = "CONNECTED\r\n";
        } else {
            reply = "LOGINED " + viewer.who->login + " ";
            for (std::size_t i = 0; i < options_.devices.size(); ++i)
                reply += (i > 0 ? ";" : "") + options_.devices[i];
            reply += "\r\n";
        }
    }
    viewer.out.Queue(AsBytes(reply));
    Flush(viewer);
}

// A refused viewer is closed once its reply is out. Unread input would make the close a
// reset, which can cost the viewer the reply still on its way.
void CRelayOutput::Flush(Viewer& viewer)
{
    if (!viewer.out.PushTo(viewer.fd.Get())) {
        viewer.gone = true;
    } else if (viewer.stage == Stage::Refused && viewer.out.Pending() == 0) {
        DrainInput(viewer.fd.Get());
        ::shutdown(viewer.fd.Get(), SHUT_WR);
        viewer.gone = true;
    }
}

void CRelayOutput::KeepCorrections(Viewer& viewer, std::span<const std::uint8_t> bytes)
{
    viewer.corrections += bytes.size();
    if (!corrections_.Valid() || writeFailed_) return;
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::write(corrections_.Get(), bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::string error;
            Failed("cannot write '" + *options_.correctionsPath + "'", error);
            err_ << prefix_ << error << std::endl;
            writeFailed_ = true;
            return;
        }
        at += static_cast<std::size_t>(n);
    }
}

void CRelayOutput::DropGoneViewers()
{
    std::erase_if(viewers_, [this](const Viewer& viewer) {
        if (viewer.gone && viewer.who) Report(viewer);
        return viewer.gone;
    });
}

void CRelayOutput::Report(const Viewer& viewer)
{
    const std::string& login = viewer.who->login;
    err_ << "viewer " << viewer.who->viewerId << ' ' << (login.empty() ? "-" : login)
         << " corrections " << viewer.corrections << " bytes, alive " << viewer.alives << std::endl;
}

// Answers every checked request for one of the devices; other devices get no answer, since
// any VS002 would read as the device being there.
void CRelayOutput::AttendChannel(ChannelClient& client, short events)
{
    if (events & POLLIN) {
        std::uint8_t block[4096];
        for (int round = 0; round < kReadRounds && client.talks && !client.gone; ++round) {
            std::size_t got = 0;
            const ReadResult result = ReadSome(client.fd.Get(), block, sizeof block, got);
            if (result == ReadResult::Broken) client.gone = true;
            if (result == ReadResult::Ended) client.talks = false;
            if (got == 0) break;
            client.cutter.FeedFrames({block, got},
                                     [&](std::string_view frame) { Answer(client, frame); });
        }
    }
    if (events & (POLLERR | POLLHUP)) client.gone = true;
    if (client.gone) return;
    client.gone = !client.out.PushTo(client.fd.Get());
    // One that has stopped asking goes once it has its answers.
    if (!client.gone && !client.talks && client.out.Pending() == 0) {
        ::shutdown(client.fd.Get(), SHUT_WR);
        client.gone = true;
    }
}

void CRelayOutput::Answer(ChannelClient& client, std::string_view frame)
{
    const auto query = relay::ReadDeviceRequest(frame);
    if (!query || std::find(options_.devices.begin(), options_.devices.end(), query->device) ==
                      options_.devices.end())
        return;
    client.out.Queue(
        AsBytes(relay::DeviceAnswer(query->viewerId, kServerName, "OK", query->device, "ONLINE")));
}

void CRelayOutput::AcceptAll()
{
    for (CFd fd = AcceptClient(listener_); fd.Valid(); fd = AcceptClient(listener_)) {
        Viewer& viewer = viewers_.emplace_back();
        viewer.fd = std::move(fd);
        viewer.lastByte = Clock::now();
    }
    if (!channelListener_.Valid()) return;
    for (CFd fd = AcceptClient(channelListener_); fd.Valid(); fd = AcceptClient(channelListener_))
        channel_.emplace_back().fd = std::move(fd);
}

}  // namespace

std::unique_ptr<CServeOutput> OpenRelayOutput(const RelayOptions& options, std::string_view prefix,
                                              std::ostream& err)
{
    auto relay = std::make_unique<CRelayOutput>(options, prefix, err);
    std::string error;
    if (!relay->Open(error)) {
        err << prefix << error << '\n';
        return nullptr;
    }
    err << "relay listening on 127.0.0.1:" << relay->Port() << std::endl;
    if (const auto channelPort = relay->ChannelPort())
        err << "device channel listening on 127.0.0.1:" << *channelPort << std::endl;
    return relay;
}
