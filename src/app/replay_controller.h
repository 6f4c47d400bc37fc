#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "app/frame_services.h"
#include "app/replay_player.h"
#include "geo/position_statistics.h"
#include "logio/extraction_writer.h"
#include "logio/replay_scanner.h"

class CCalcStatusDlg;
class CMissingLogDlg;
class CReplayDlg;
class QFile;

// Replay: the start and stop commands, the scan on a worker thread with its progress window,
// the player that feeds indexed epochs through the intake, the replay strip in the map cell,
// the missing-message window, the second log's track and the extraction files.
class CReplayController : public QObject, public IFeatureController, private IReplaySink {
    Q_OBJECT

public:
    static constexpr int kWindowHeight = 50;

    explicit CReplayController(IFrameServices& frame, QObject* parent = nullptr);
    ~CReplayController() override;

    bool IsReplaying() const { return active_; }
    bool IsScanning() const { return scanning_; }
    CReplayPlayer* Player() const { return player_.get(); }
    CReplayDlg* Window() const { return window_; }
    CMissingLogDlg* MissingWindow() const { return missingDlg_; }
    // The positions the plot's replay squares come from: the second log's, when one was
    // chosen, else the replayed log's own.
    const CEpochIndex& Track() const { return secondary_.Empty() ? player_->Index() : secondary_; }

    // IFeatureController
    void AddActivity(FrameActivity& activity) const override;
    void UpdateCommands(const FrameActivity& activity) override;
    void PlaceOverlays(const QRect& mapCell) override;
    void OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser) override;
    void AddReportLines(QStringList& lines) const override;
    void OnClose() override { Stop(); }

public slots:
    // Replay of the given log: the scan runs on a worker thread, playback starts when the
    // index is ready. A second log, when given, is scanned alongside and becomes the plot's
    // secondary track: its positions are drawn as squares next to the replayed ones.
    bool Start(const QString& path, const QString& secondPath = {});
    void Stop();
    // The third toolbar's extraction type ("", "GGA", "BIN", "LOGS", ...).
    void SetExtractionType(const QString& type) { extractionType_ = type; }

signals:
    // The replay index is ready (or the scan failed: ok false).
    void replayReady(bool ok);
    void secondaryTrackLoaded(int epochs);

private:
    // IReplaySink
    void PlayEntryBytes(std::size_t entry, std::span<const std::uint8_t> bytes) override;
    void ClearViews() override;
    void ResetEpochState() override;
    void PlaybackEnded() override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void OnStartCommand();
    ScanSettings SettingsFromStore() const;
    void OnScanFinished(const QString& path, std::shared_ptr<ScanResult> result);
    void ShowScanResult(const QString& path, const ScanResult& result);
    void JoinScan();
    void StartSecondaryTrack(const QString& path, const ScanSettings& settings);
    void StopSecondaryTrack();
    void StartExtraction();
    void StopExtraction();

    IFrameServices& frame_;
    CReplayDlg* window_ = nullptr;
    CCalcStatusDlg* calcDlg_ = nullptr;
    CMissingLogDlg* missingDlg_ = nullptr;
    std::unique_ptr<CReplayPlayer> player_;
    CExtractionWriter extraction_;
    std::unique_ptr<QFile> logsFile_;
    QString extractionType_;
    CEpochIndex secondary_;  // the second log's track, when one was chosen
    std::thread scanThread_;
    std::atomic<bool> cancelScan_{false};
    std::thread secondaryThread_;
    std::atomic<bool> cancelSecondary_{false};
    bool scanning_ = false;
    bool active_ = false;
    std::size_t entry_ = 0;
    QString path_;  // of the last replay, for the report
};
