#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/command_ids.h"
#include "app/link_controller.h"
#include "app/main_frame.h"
#include "app/ntrip_client.h"
#include "app/record_controller.h"
#include "app/replay_controller.h"
#include "settings/settings_store.h"
#include "support/frame_support.h"
#include "tool/simulate_command.h"

namespace {

// Each command that depends on the window's state, enabled or not, in each state.
struct Expected {
    const char* state;
    bool open, close, recordStart, recordStop, replayStart, replayStop, ntripStart, ntripStop,
        settings;
};

TEST(MenuStates, EveryCommandFollowsItsRuleInEveryState)
{
    qputenv("SKARNET2_NO_MESSAGE_BOXES", "1");
    QTemporaryDir dir;
    CSettingsStore store(dir.filePath(QStringLiteral("s.conf")));
    store.Write(settings::kViewMapPlot, 1);
    // A short simulated receiver log for the replay.
    const std::string log = dir.filePath(QStringLiteral("sim.log")).toStdString();
    {
        std::ofstream file(log, std::ios::binary);
        std::ostringstream err;
        const std::string_view args[] = {"--seconds", "20", "--rate", "1"};
        ASSERT_EQ(RunSimulate(args, file, err), 0) << err.str();
    }
    QTcpServer receiver, caster;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost) && caster.listen(QHostAddress::LocalHost));
    store.Write(settings::kCommTxMode, 0);
    store.Write(settings::kCommHostAddr, QStringLiteral("127.0.0.1"));
    store.Write(settings::kCommHostPort, QString::number(receiver.serverPort()));
    store.Write(settings::kNtripEnable, 1);
    store.Write(settings::kNtripHostAddr, QStringLiteral("127.0.0.1"));
    store.Write(settings::kNtripHostPort, caster.serverPort());
    for (const auto* key :
         {&settings::kNtripMountPoint, &settings::kNtripIdentity, &settings::kNtripPassword})
        store.Write(*key, QStringLiteral("x"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());  // "rtcm.txt" and recordings go here

    const struct {
        Expected expected;
        std::function<bool(CMainFrame&)> enter;
        std::function<void(CMainFrame&)> leave;
    } states[] = {
        {{"idle", 1, 0, 1, 0, 1, 0, 1, 0, 1}, [](CMainFrame&) { return true; }, nullptr},
        {{"network", 0, 1, 1, 0, 0, 0, 1, 0, 0},
         [](CMainFrame& f) { return f.Links().ConnectFromSettings(); },
         [](CMainFrame& f) { f.Links().OnClosePort(); }},
        {{"recording", 1, 0, 0, 1, 0, 0, 1, 0, 1},
         [&](CMainFrame& f) { return f.Recording().Start(dir.filePath(QStringLiteral("r.txt"))); },
         [](CMainFrame& f) { f.Recording().Stop(); }},
        {{"replaying", 1, 0, 0, 0, 0, 1, 0, 0, 0},
         [&](CMainFrame& f) { return ScanReplay(f, QString::fromStdString(log)).value_or(false); },
         [](CMainFrame& f) { f.Replay().Stop(); }},
        {{"ntrip", 1, 0, 1, 0, 1, 0, 0, 1, 1},
         [](CMainFrame& f) { return f.Ntrip().Start(); },
         [](CMainFrame& f) { f.Ntrip().Stop(); }},
    };
    CMainFrame frame(store);
    for (const auto& s : states) {
        ASSERT_TRUE(s.enter(frame)) << s.expected.state;
        const Expected& e = s.expected;
        const std::pair<int, bool> rules[] = {
            {command::kOpenPort, e.open},           {command::kClosePort, e.close},
            {command::kRecordStart, e.recordStart}, {command::kRecordStop, e.recordStop},
            {command::kReplayStart, e.replayStart}, {command::kReplayStop, e.replayStop},
            {command::kNtripStart, e.ntripStart},   {command::kNtripStop, e.ntripStop},
            {command::kSettings, e.settings}};
        for (const auto& [id, enabled] : rules)
            EXPECT_EQ(Command(frame, id).isEnabled(), enabled) << e.state << " command " << id;
        if (s.leave) s.leave(frame);
    }
    QDir::setCurrent(previous);
}

}  // namespace
