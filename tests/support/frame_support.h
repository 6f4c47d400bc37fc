#pragma once

// Helpers for tests that build the main window and play its peers.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <optional>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/replay_controller.h"
#include "settings/settings_store.h"
#include "support/qt_support.h"
#include "support/test_data.h"
#include "views/nmea_data_wnd.h"

// A command of the frame; a missing one fails the test (by exception) instead of crashing.
inline QAction& Command(const CMainFrame& frame, int id)
{
    QAction* action = frame.Action(id);
    if (action == nullptr) throw std::runtime_error("no command " + std::to_string(id));
    return *action;
}

// Starts a replay and waits for its scan: what the scan reported; nothing when the replay did
// not start or the scan never ended.
inline std::optional<bool> ScanReplay(CMainFrame& frame, const QString& log,
                                      const QString& second = {})
{
    std::optional<bool> ready;
    const auto connection = QObject::connect(&frame.Replay(), &CReplayController::replayReady,
                                             [&](bool ok) { ready = ok; });
    const bool started = frame.Replay().Start(log, second);
    if (started) WaitFor([&] { return ready.has_value(); }, 10000);
    QObject::disconnect(connection);
    return started ? ready : std::nullopt;
}

// Lets the event loop run for a while.
inline void Pause(int ms)
{
    WaitFor([] { return false; }, ms);
}

// A settings file of the test's own; message boxes become messageShown signals.
class FrameTest : public ::testing::Test {
protected:
    FrameTest() { qputenv("SKARNET2_NO_MESSAGE_BOXES", "1"); }
    // Collects this frame's messages from now on.
    void Collect(CMainFrame& frame)
    {
        messages_.clear();
        QObject::connect(&frame, &CMainFrame::messageShown,
                         [this](const QString& text) { messages_ << text; });
    }

    QTemporaryDir dir_;
    CSettingsStore store_{dir_.filePath(QStringLiteral("s.conf"))};
    QStringList messages_;
};

// A capture from the data folder; the caller has checked SKIP_WITHOUT_DATA().
inline std::vector<std::uint8_t> Capture(const char* relative)
{
    return testdata::ReadBytes(*testdata::DataDir() / relative);
}

inline QByteArray AsBytes(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// Feeds bytes as the serial port would: blocks of blockSize, or random sizes of 1..1024
// when seed is given; then waits for the idle flush to show the last epoch.
inline void FeedAll(CMainFrame& frame, std::span<const std::uint8_t> bytes,
                    std::size_t blockSize = 1024, int seed = -1)
{
    std::mt19937 random(static_cast<unsigned>(seed));
    std::uniform_int_distribution<std::size_t> size(1, 1024);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = std::min(seed < 0 ? blockSize : size(random), bytes.size() - at);
        frame.FeedSerialBytes(bytes.subspan(at, n));
        at += n;
    }
    Pause(2 * CMainFrame::kIdleFlushMs);
}

// Waits until the status panel shows the last GGA time of the capture (read without the
// decoder).
inline bool ShowsLastGga(const CMainFrame& frame, std::span<const std::uint8_t> bytes)
{
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t at = text.rfind("GGA,");
    if (at == std::string::npos) return false;
    const std::string time = text.substr(at + 4, 6);
    return WaitFor([&] { return frame.StatusPanel()->State().timeText.rfind(time, 0) == 0; });
}

struct Shown {
    qint64 time;
    double latitude, longitude;
    bool operator==(const Shown&) const = default;
};

// Appends every epoch the frame shows to into.
inline void RecordShown(CMainFrame& frame, std::vector<Shown>& into)
{
    QObject::connect(&frame, &CMainFrame::epochShown, [&into](qint64 t, double lat, double lon) {
        into.push_back({t, lat, lon});
    });
}

// The next connection to server with what it sent until done(got) holds; nullptr when no
// connection came.
template <class Done>
QTcpSocket* AcceptPeer(QTcpServer& server, QByteArray& got, Done done)
{
    if (!WaitFor([&] { return server.hasPendingConnections(); })) return nullptr;
    QTcpSocket* peer = server.nextPendingConnection();
    WaitFor([&] {
        got += peer->readAll();
        return done(got);
    });
    return peer;
}

// Everything waiting on a non-blocking descriptor.
inline void ReadAvailable(int fd, QByteArray& into)
{
    char block[8192];
    for (ssize_t n; (n = ::read(fd, block, sizeof block)) > 0;) into.append(block, n);
}
