#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <atomic>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "app/connection_times.h"
#include "intake/intake_dispatcher.h"
#include "app/main_layout.h"
#include "app/replay_player.h"
#include "decode/taxi_meter.h"
#include "logio/extraction_writer.h"
#include "logio/log_recorder.h"
#include "logio/replay_scanner.h"
#include "views/display_toggles.h"

class CCalcStatusDlg;
class CComm;
class CMissingLogDlg;
class CRecordDlg;
class CReplayDlg;
class CNmeaDataWnd;
class CNmeaLogDlg;
class CPlotsView;
class CPortWatcher;
class CSettingsStore;
class CSkyMapWnd;
class CSnrWnd;
class CSocketClient;
class QAction;
class QComboBox;
class QLabel;
class QFile;
class QToolBar;

// The hub of the program: every received byte goes from a link through the intake to the
// decoders, and each epoch from the intake to the views laid out in this window.
class CMainFrame : public QMainWindow, private IIntakeListener, private IReplaySink {
    Q_OBJECT

public:
    static constexpr int kStatusPaneCount = 8;
    static constexpr int kIdleFlushMs = 300;
    // The window paints at most this often however fast epochs come: a 100 Hz receiver costs
    // one paint per screen refresh, not one per epoch.
    static constexpr int kMinPaintIntervalMs = 33;
    // Size before the window is maximised, and on a headless screen.
    static constexpr int kDefaultWidth = 1600;
    static constexpr int kDefaultHeight = 1000;

    enum class Link { None, Serial, Network };

    explicit CMainFrame(CSettingsStore& store, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Received bytes as the serial port hands them over (tests and benchmarks feed here too).
    void FeedSerialBytes(std::span<const std::uint8_t> bytes);

    QString StatusPaneText(int pane) const;
    QAction* Action(int command) const;
    int MainViewIndex() const { return mainView_; }
    Link ConnectedLink() const { return link_; }
    const GnssReceiverState& Snapshot() const { return intake_.Snapshot(); }
    std::uint64_t EpochsShown() const { return epochsShown_; }

    CPlotsView* PlotView() const { return plot_; }
    CSkyMapWnd* SkyMap() const { return sky_; }
    CSnrWnd* SignalWindow() const { return snr_; }
    CNmeaDataWnd* StatusPanel() const { return panel_; }
    CNmeaLogDlg* RawLog() const { return rawLog_; }
    CReplayDlg* ReplayWindow() const { return replayDlg_; }
    CMissingLogDlg* MissingWindow() const { return missingDlg_; }
    CReplayPlayer* Player() const { return player_.get(); }
    bool IsRecording() const { return recorder_.IsRecording(); }
    bool IsReplaying() const { return replayActive_; }
    bool IsScanning() const { return scanning_; }
    // The positions the plot's replay squares come from: the second log's, when one was
    // chosen, else the replayed log's own.
    const std::vector<GeoPoint>& ReplayTrack() const
    {
        return secondaryPoints_.empty() ? replayPoints_ : secondaryPoints_;
    }
    QWidget* ViewArea() const { return area_; }

public slots:
    // The open-port command with the dialog; false when cancelled or the link failed.
    bool OnOpenPort();
    // Opens the link the settings name, without the dialog.
    bool ConnectFromSettings();
    void OnClosePort();
    void OnNextMainView();
    void OnClear();
    void OnAbout();
    void OnFilterToggle(int command, bool on);
    // Recording into the given file (the commands ask for the name first).
    bool StartRecording(const QString& path);
    void StopRecording();
    // Replay of the given log: the scan runs on a worker thread, playback starts when the
    // index is ready.
    // A second log, when given, is scanned alongside and becomes the plot's secondary track:
    // its positions are drawn as squares next to the replayed ones, entry by entry.
    bool StartReplay(const QString& path, const QString& secondPath = {});
    void StopReplay();

signals:
    // Text for a message box the frame would show; tests listen instead of clicking.
    void messageShown(const QString& text);
    // Every epoch the views are given (tests compare live and replayed runs).
    void epochShown(qint64 timeOfDayMs, double latitude, double longitude);
    // The replay index is ready (or the scan failed: ok false).
    void replayReady(bool ok);
    void secondaryTrackLoaded(int epochs);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // IIntakeListener
    bool OnRefreshViews(GnssReceiverState& snapshot) override;
    void OnRawLine(std::string_view line, bool hasFix) override;
    void OnErrorLine(std::string_view line) override;
    void OnPassBegin() override;
    void OnPassEnd() override;
    void OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser) override;

    // IReplaySink
    void PlayEntryBytes(std::size_t entry, std::span<const std::uint8_t> bytes) override;
    void ClearViews() override;
    void ResetEpochState() override;
    void PlaybackEnded() override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void OnStartRecordingCommand();
    void OnStartReplayCommand();
    void OnScanFinished(const QString& path, std::shared_ptr<ScanResult> result);
    ScanSettings ReplayScanSettings(QString& error);
    void StartExtraction();
    void StopExtraction();
    void RecordBlock(std::span<const std::uint8_t> bytes);
    void ReportRecordStatus(RecordStatus status);
    void JoinScan();
    void StartSecondaryTrack(const QString& path, const ScanSettings& settings);
    void StopSecondaryTrack();

    void CreateViews();
    void CreateMenus();
    void CreateToolbars();
    void CreateStatusBar();
    QAction* AddCommand(int command, const QString& text, bool enabled);
    void PlaceViews();
    void UpdateCommandStates();
    void ApplyRawLogFilter();
    void AfterIntakePass();
    void OnIdleFlush();
    void OnSerialBytes(const QByteArray& bytes);
    void OnSocketNotice(int code);
    void OnLinkLost(const QString& reason);
    void OnPortAdded(const QString& port);
    void OnPortRemoved(const QString& port);
    void OnSerialPortLost(const QString& port);
    void ShowTimedMessage(const QString& text);
    bool OpenSerial();
    bool OpenNetwork();
    void FullReset();
    void SetPane(int pane, const QString& text);
    void ShowMessage(const QString& text, const QString& caption = {});
    void UpdateTaxiFare();
    void ConfigureDecoder(CParser& parser);

    CSettingsStore& store_;
    CIntakeDispatcher intake_;
    CTaxiMeter taxiMeter_;
    CDisplayToggles toggles_;
    RawLogFilter rawLogFilter_;
    CConnectionTimes times_;

    QWidget* area_ = nullptr;
    CPlotsView* plot_ = nullptr;
    CSkyMapWnd* sky_ = nullptr;
    CSnrWnd* snr_ = nullptr;
    CNmeaDataWnd* panel_ = nullptr;
    CNmeaLogDlg* rawLog_ = nullptr;
    std::array<QLabel*, kStatusPaneCount> panes_{};
    QHash<int, QAction*> actions_;
    QComboBox* extractionCombo_ = nullptr;
    QComboBox* relayCombo_ = nullptr;

    std::unique_ptr<CComm> comm_;
    std::unique_ptr<CSocketClient> socket_;
    std::unique_ptr<CPortWatcher> portWatcher_;
    Link link_ = Link::None;
    QString portName_;
    QString lostPort_;  // receiver port that vanished while open

    CLogRecorder recorder_;
    CExtractionWriter extraction_;
    std::unique_ptr<QFile> logsFile_;
    CRecordDlg* recordDlg_ = nullptr;
    CReplayDlg* replayDlg_ = nullptr;
    CCalcStatusDlg* calcDlg_ = nullptr;
    CMissingLogDlg* missingDlg_ = nullptr;
    std::unique_ptr<CReplayPlayer> player_;
    std::vector<GeoPoint> replayPoints_;
    std::vector<GeoPoint> secondaryPoints_;  // the second log's track, when one was chosen
    std::thread scanThread_;
    std::atomic<bool> cancelScan_{false};
    std::thread secondaryThread_;
    std::atomic<bool> cancelSecondary_{false};
    bool scanning_ = false;
    bool replayActive_ = false;
    std::size_t replayEntry_ = 0;

    QTimer idleTimer_;
    QTimer paintTimer_;
    QElapsedTimer paintClock_;
    qint64 lastPaintMs_ = 0;
    QTimer clockTimer_;
    int mainView_ = 0;
    std::int32_t operationType_ = 0;
    std::uint64_t epochsShown_ = 0;
    QString extractionFilter_;
};
