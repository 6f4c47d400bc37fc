#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <memory>
#include <span>
#include <vector>

#include "app/epoch_fan_out.h"
#include "app/frame_services.h"
#include "decode/taxi_meter.h"
#include "intake/intake_dispatcher.h"
#include "views/display_toggles.h"

class CConverterController;
class CExternalCommands;
class CGraphController;
class CSetupController;
class CLinkController;
class CLanguageController;
class CLookController;
class CMapController;
class CNetworkMonitor;
class CNmeaDataWnd;
class CNtripClient;
class CRelayClient;
class CNmeaLogDlg;
class CPlotsView;
class CRecordController;
class CReplayController;
class CSettingsStore;
class CSkyMapWnd;
class CSnrWnd;
class QAction;
class QLabel;

// The main window: the view layout, menus and toolbars, the status bar, and the fan-out of
// each shown epoch to the views. Every byte goes from a link controller through the intake
// to the decoders, and each epoch from the intake through the fan-out to the views; each
// feature (link, recording, replay) is a controller the frame owns.
class CMainFrame : public QMainWindow, private IIntakeListener, private IFrameServices {
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

    explicit CMainFrame(CSettingsStore& store, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Received bytes as the serial port hands them over (tests and benchmarks feed here too).
    void FeedSerialBytes(std::span<const std::uint8_t> bytes) { FeedArrival(bytes); }

    QString StatusPaneText(int pane) const;
    QString StatusPaneToolTip(int pane) const;
    QAction* Action(int command) const override;
    int MainViewIndex() const { return mainView_; }
    const GnssReceiverState& Snapshot() const { return intake_.Snapshot(); }
    std::uint64_t EpochsShown() const { return epochsShown_; }
    // The per-epoch refresh, in the order its sinks run.
    QStringList EpochSinkNames() const { return fanOut_.Names(); }
    // One fact per line for scripts: epochs, last snapshot, link, errors, then each
    // controller's own lines.
    QStringList ReportLines() const;

    CLinkController& Links() const { return *links_; }
    CRecordController& Recording() const { return *recording_; }
    CReplayController& Replay() const { return *replay_; }
    CNtripClient& Ntrip() const { return *ntrip_; }
    CRelayClient& Relay() const { return *relay_; }
    CMapController& Map() const { return *map_; }
    CNetworkMonitor& Network() const { return *network_; }
    CExternalCommands& External() const { return *external_; }
    CGraphController& Graphs() const { return *graphs_; }
    CSetupController& Setup() const { return *setup_; }
    CConverterController& Converter() const { return *converter_; }
    CLookController& Look() const { return *look_; }
    CLanguageController& Language() const { return *language_; }
    // 0 web map, 1 plot map, 2 both side by side in the large pane.
    int ViewMode() const { return viewMode_; }
    CPlotsView* PlotView() const { return plot_; }
    CSkyMapWnd* SkyMap() const { return sky_; }
    CSnrWnd* SignalWindow() const { return snr_; }
    CNmeaDataWnd* StatusPanel() const { return panel_; }
    CNmeaLogDlg* RawLog() const { return rawLog_; }
    QWidget* ViewArea() override { return area_; }

public slots:
    void OnWebMap();
    void OnPlotMap();
    void OnMapAndPlot();
    void OnNextMainView();
    void OnClear();
    void OnAbout();
    void OnFilterToggle(int command, bool on);

signals:
    // Text for a message box the frame would show; tests listen instead of clicking.
    void messageShown(const QString& text);
    // Every epoch the views are given (tests compare live and replayed runs).
    void epochShown(qint64 timeOfDayMs, double latitude, double longitude);

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

    // IFrameServices
    CSettingsStore& Store() override { return store_; }
    CIntakeDispatcher& Intake() override { return intake_; }
    QWidget* Window() override { return this; }
    CNmeaDataWnd& Panel() override { return *panel_; }
    CPlotsView& Plot() override { return *plot_; }
    CNmeaLogDlg& RawLogView() override { return *rawLog_; }
    void SetPane(int pane, const QString& text) override;
    void SetPaneToolTip(int pane, const QString& text) override;
    void ShowStatusMessage(const QString& text, int timeoutMs) override;
    void ShowMessage(const QString& text, const QString& caption) override;
    void ShowTimedMessage(const QString& text, const QString& caption, int timeoutMs) override;
    FrameActivity Activity() const override;
    void UpdateCommandStates() override;
    void PlaceViews() override;
    void AddEpochSink(EpochStage stage, const QString& name, EpochSink sink) override;
    ReceiverLink ReceiverLinkKind() const override;
    void WriteToReceiver(const QByteArray& bytes) override;
    void FeedArrival(std::span<const std::uint8_t> bytes) override;
    void FeedFromReader(const std::function<std::int64_t(std::span<std::uint8_t>)>& read) override;
    void ClearViews() override { OnClear(); }
    void ResetIntake() override;
    void StopIdleFlush() override { idleTimer_.stop(); }
    void ReloadSettings(int tab) override;

    void CreateViews();
    void AddViewSinks();
    void CreateControllers();
    void CreateMenus();
    void CreateToolbars();
    void CreateStatusBar();
    void SetViewMode(int mode);
    QAction* AddCommand(int command, const QString& text, bool enabled);
    void AfterIntakePass();
    void UpdateTaxiFare();
    void ConfigureDecoder(CParser& parser);

    CSettingsStore& store_;
    CIntakeDispatcher intake_;
    CEpochFanOut fanOut_;
    CTaxiMeter taxiMeter_;
    CDisplayToggles toggles_;
    RawLogFilter rawLogFilter_;

    QWidget* area_ = nullptr;
    CPlotsView* plot_ = nullptr;
    CSkyMapWnd* sky_ = nullptr;
    CSnrWnd* snr_ = nullptr;
    CNmeaDataWnd* panel_ = nullptr;
    CNmeaLogDlg* rawLog_ = nullptr;
    std::array<QLabel*, kStatusPaneCount> panes_{};
    QHash<int, QAction*> actions_;

    std::unique_ptr<CLinkController> links_;
    std::unique_ptr<CReplayController> replay_;
    std::unique_ptr<CRecordController> recording_;
    std::unique_ptr<CNtripClient> ntrip_;
    std::unique_ptr<CRelayClient> relay_;
    std::unique_ptr<CNetworkMonitor> network_;
    std::unique_ptr<CMapController> map_;
    std::unique_ptr<CExternalCommands> external_;
    std::unique_ptr<CGraphController> graphs_;
    std::unique_ptr<CSetupController> setup_;
    std::unique_ptr<CConverterController> converter_;
    std::unique_ptr<CLookController> look_;
    std::unique_ptr<CLanguageController> language_;
    std::vector<IFeatureController*> controllers_;  // in the order they were registered

    QTimer idleTimer_;
    QTimer paintTimer_;
    QElapsedTimer paintClock_;
    qint64 lastPaintMs_ = 0;
    int mainView_ = 0;
    int viewMode_ = 1;
    std::int32_t operationType_ = 0;
    std::uint64_t epochsShown_ = 0;
    std::uint64_t errorLines_ = 0;
};
