#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <span>

class CIntakeDispatcher;
class CNmeaDataWnd;
class CNmeaLogDlg;
class CParser;
class CPlotsView;
class CSettingsStore;
class QAction;
class QRect;
class QWidget;
struct GnssReceiverState;

// Status bar panes by number.
namespace pane {
inline constexpr int kConnection = 1;
inline constexpr int kPort = 2;
inline constexpr int kTimes = 3;
inline constexpr int kNtrip = 4;
inline constexpr int kRtcm = 5;
inline constexpr int kSix = 6;
inline constexpr int kInternet = 7;
}  // namespace pane

// How the receiver is reached, for what is sent to it.
enum class ReceiverLink { None, Serial, Network };

// What the frame is busy with; the link, recording and replay exclude each other.
struct FrameActivity {
    bool linkOpen = false;
    bool recording = false;
    bool replaying = false;  // scanning counts
};

// The steps of each epoch's refresh, in the order they run.
enum class EpochStage {
    NtripUpload,
    Satellites,
    TimeOfDay,
    Graphs,
    WebMap,
    Plot,
    ReplayPoint,
    StatusPanel,
};

// One epoch on its way through the sinks.
struct EpochRefresh {
    GnssReceiverState& state;  // sinks may clear the content bits they consumed
    std::uint32_t delivered;   // the content bits as the epoch came
    bool validPosition;        // latitude, longitude and height are numbers and not zero
};

using EpochSink = std::function<void(EpochRefresh&)>;

// A feature of the window: it owns its dialogs, timers and sockets, and the enabling rules of
// its commands. The frame calls these hooks; each has nothing to do by default.
class IFeatureController {
public:
    virtual ~IFeatureController() = default;

    virtual void AddActivity(FrameActivity& activity) const { (void)activity; }
    virtual void UpdateCommands(const FrameActivity& activity) = 0;
    // Overlays that live along the bottom of the map cell.
    virtual void PlaceOverlays(const QRect& mapCell) { (void)mapCell; }
    // Bytes of the link as they arrive, before they are decoded.
    virtual void OnBytesArrived(std::span<const std::uint8_t> bytes) { (void)bytes; }
    virtual void OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser)
    {
        (void)message;
        (void)parser;
    }
    virtual void AfterIntakePass(const GnssReceiverState& snapshot) { (void)snapshot; }
    // The views start again: all for the clear command, otherwise for a new run of data.
    virtual void OnViewsReset(bool all) { (void)all; }
    // The settings of a tab of the settings window were applied.
    virtual void OnSettingsApplied(int tab) { (void)tab; }
    // Lines of the --report ("name: value").
    virtual void AddReportLines(QStringList& lines) const { (void)lines; }
    // The window is closing.
    virtual void OnClose() {}
};

// What the frame offers its controllers.
class IFrameServices {
public:
    virtual ~IFrameServices() = default;

    virtual CSettingsStore& Store() = 0;
    virtual CIntakeDispatcher& Intake() = 0;
    virtual QWidget* Window() = 0;    // parent of dialogs
    virtual QWidget* ViewArea() = 0;  // parent of overlays
    virtual QAction* Action(int command) const = 0;
    virtual CNmeaDataWnd& Panel() = 0;
    virtual CPlotsView& Plot() = 0;
    virtual CNmeaLogDlg& RawLogView() = 0;

    virtual void SetPane(int pane, const QString& text) = 0;
    virtual void SetPaneToolTip(int pane, const QString& text) = 0;
    virtual void ShowStatusMessage(const QString& text, int timeoutMs) = 0;
    // A warning box (tests listen to the frame's messageShown instead).
    virtual void ShowMessage(const QString& text, const QString& caption) = 0;
    // A box that closes itself after timeoutMs.
    virtual void ShowTimedMessage(const QString& text, const QString& caption, int timeoutMs) = 0;

    virtual FrameActivity Activity() const = 0;
    virtual void UpdateCommandStates() = 0;
    virtual void PlaceViews() = 0;
    virtual void AddEpochSink(EpochStage stage, const QString& name, EpochSink sink) = 0;

    virtual ReceiverLink ReceiverLinkKind() const = 0;
    // Bytes for the receiver on whatever link is open; dropped without one.
    virtual void WriteToReceiver(const QByteArray& bytes) = 0;

    // Received bytes: recorded, then decoded.
    virtual void FeedArrival(std::span<const std::uint8_t> bytes) = 0;
    // Network reads straight into the intake's buffer: read returns a count, 0 or less at end.
    virtual void FeedFromReader(
        const std::function<std::int64_t(std::span<std::uint8_t>)>& read) = 0;
    // The clear command: every view starts empty.
    virtual void ClearViews() = 0;
    // Forgets the stream: idle flush stopped, intake reset, shown-epoch count zeroed.
    virtual void ResetIntake() = 0;
    virtual void StopIdleFlush() = 0;
    // Takes over the settings of a tab of the settings window that was applied, and tells
    // the controllers.
    virtual void ReloadSettings(int tab) = 0;
};
