#pragma once

#include <QString>
#include <memory>

#include "app/launch_options.h"

class CMainFrame;
class CSettingsStore;
class QSplashScreen;

// Starts the program: the splash, the settings store and the main window, then whatever the
// command line asks for (a link, a screenshot, quitting after a while).
class CSkarnet2App {
public:
    static constexpr int kSplashMs = 3000;
    static constexpr int kProgressCheckMs = 100;

    explicit CSkarnet2App(LaunchOptions options);
    ~CSkarnet2App();

    CSkarnet2App(const CSkarnet2App&) = delete;
    CSkarnet2App& operator=(const CSkarnet2App&) = delete;

    void Start();
    CMainFrame* MainFrame() const { return frame_.get(); }

private:
    void ShowMainFrame();
    void ApplyConnectTarget(const ConnectTarget& target);
    void Finish();
    void PrintReport();
    void PrintProgress();

    LaunchOptions options_;
    std::unique_ptr<CSettingsStore> store_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<QSplashScreen> splash_;
    bool reported_ = false;
    std::uint64_t nextProgress_ = 0;
};

// What the web map needs before the QApplication exists: its tile scheme, shared GL
// contexts, and, when running as root (CI, kiosks), the browser's sandbox turned off since it
// refuses to start otherwise.
void PrepareWebMapProcess();

// Blocks of a megabyte and more (a day's replay index, the scan's buffers) get pages of their
// own, so that freeing them gives the memory back at once. glibc's sliding threshold would
// otherwise keep them in the heap of the thread that made them, after the replay stops.
void ReturnLargeBlocksWhenFreed();
