#include "app/replay_controller.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QStringList>
#include <optional>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/command_ids.h"
#include "app/local_time.h"
#include "decode/gnss_receiver_state.h"
#include "intake/intake_dispatcher.h"
#include "settings/settings_store.h"
#include "views/calc_status_dlg.h"
#include "views/missing_log_dlg.h"
#include "views/nmea_data_wnd.h"
#include "views/nmea_log_dlg.h"
#include "views/plots_view.h"
#include "views/reference_stations.h"
#include "views/replay_dlg.h"
#include "views/replay_speed.h"

namespace {

constexpr std::int32_t kErrorBaseStation = 1;
constexpr std::int32_t kErrorBaseArbitrary = 3;

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// The scan's warning in the window's language; %s in the text stands for the log's path.
QString ScanWarning(ScanStatus status, const QString& path)
{
    std::string_view text;
    switch (status) {
        case ScanStatus::CannotOpen: text = kReplayCannotOpenText; break;
        case ScanStatus::NotRecognised: text = kReplayNotRecognisedText; break;
        case ScanStatus::NoPositionOrTime: text = kReplayNoPositionText; break;
        case ScanStatus::NoReferenceStation: text = kReplayNoReferenceText; break;
        case ScanStatus::Ok:
        case ScanStatus::Cancelled: return {};
    }
    return QCoreApplication::translate("ReplayScan", std::string(text).c_str())
        .replace(QLatin1String("%s"), path);
}

}  // namespace

CReplayController::CReplayController(IFrameServices& frame, QObject* parent)
    : QObject(parent), frame_(frame)
{
    window_ = new CReplayDlg(frame_.ViewArea());
    window_->setWindowFlags(Qt::Widget);  // a strip inside the map cell
    window_->hide();
    calcDlg_ = new CCalcStatusDlg(frame_.Window());
    calcDlg_->hide();
    connect(calcDlg_, &CCalcStatusDlg::cancelRequested, this, [this] { cancelScan_ = true; });
    missingDlg_ = new CMissingLogDlg(frame_.Window());
    missingDlg_->setWindowFlags(Qt::Tool);
    missingDlg_->hide();

    player_ = std::make_unique<CReplayPlayer>(static_cast<IReplaySink&>(*this));
    connect(window_, &CReplayDlg::control, player_.get(), &CReplayPlayer::Control);
    connect(window_, &CReplayDlg::jumpSeconds, player_.get(), &CReplayPlayer::JumpSeconds);
    connect(window_, &CReplayDlg::stepOneFrame, player_.get(), &CReplayPlayer::StepOneFrame);
    connect(player_.get(), &CReplayPlayer::positionChanged, window_, &CReplayDlg::SetPosition);
    connect(player_.get(), &CReplayPlayer::playingChanged, window_, &CReplayDlg::SetPlaying);
    connect(player_.get(), &CReplayPlayer::speedChanged, window_,
            [this](int speed) { window_->SetSpeedText(SpeedText(speed)); });
    connect(player_.get(), &CReplayPlayer::exitRequested, this, &CReplayController::Stop);

    connect(frame_.Action(command::kReplayStart), &QAction::triggered, this,
            &CReplayController::OnStartCommand);
    connect(frame_.Action(command::kReplayStop), &QAction::triggered, this,
            &CReplayController::Stop);
    // Each replayed position is also a square at its entry in the plot.
    frame_.AddEpochSink(
        EpochStage::ReplayPoint, QStringLiteral("replay point"), [this](EpochRefresh& epoch) {
            if (active_ && epoch.validPosition && (epoch.delivered & ContentFlag::Position))
                frame_.Plot().AddReplayPoint(static_cast<int>(entry_));
        });
}

CReplayController::~CReplayController()
{
    cancelScan_ = true;
    JoinScan();
    StopSecondaryTrack();
}

void CReplayController::AddActivity(FrameActivity& activity) const
{
    activity.replaying = active_ || scanning_;
}

void CReplayController::UpdateCommands(const FrameActivity& a)
{
    frame_.Action(command::kReplayStart)->setEnabled(!a.replaying && !a.recording && !a.linkOpen);
    frame_.Action(command::kReplayStop)->setEnabled(a.replaying && !a.recording && !a.linkOpen);
}

void CReplayController::PlaceOverlays(const QRect& map)
{
    window_->setGeometry(map.x(), map.bottom() + 1 - kWindowHeight, map.width(), kWindowHeight);
    window_->raise();
}

void CReplayController::AddReportLines(QStringList& lines) const
{
    if (path_.isEmpty()) return;
    lines << QStringLiteral("replay: %1 of %2 frames")
                 .arg(player_->FrameIndex())
                 .arg(player_->FrameCount());
}

void CReplayController::JoinScan()
{
    if (scanThread_.joinable()) scanThread_.join();
}

void CReplayController::OnStartCommand()
{
    const QStringList paths = QFileDialog::getOpenFileNames(frame_.Window(), tr("리플레이"),
                                                            QString(), tr("Every File(*.*)"));
    if (paths.isEmpty()) return;
    Start(paths.first(), paths.size() > 1 ? paths.at(1) : QString());
}

ScanSettings CReplayController::SettingsFromStore() const
{
    CSettingsStore& store = frame_.Store();
    ScanSettings settings;
    settings.syncProtocol = store.ReadSyncProtocol();
    settings.errorBase = store.Get(settings::kErrorCalBase);
    settings.checkMissing = store.Get(settings::kReplayCheckMissingFrames) != 0;
    if (settings.errorBase == kErrorBaseArbitrary) {
        settings.referenceLatitude = store.Get(settings::kErrorCalLatitude).toDouble();
        settings.referenceLongitude = store.Get(settings::kErrorCalLongitude).toDouble();
    } else if (settings.errorBase == kErrorBaseStation) {
        if (const auto station = StationPosition(store.Get(settings::kErrorCalRefSite))) {
            settings.hasReferenceStation = true;
            settings.referenceLatitude = station->latitude;
            settings.referenceLongitude = station->longitude;
        }
    }
    return settings;
}

bool CReplayController::Start(const QString& path, const QString& secondPath)
{
    const FrameActivity activity = frame_.Activity();
    if (activity.replaying || activity.recording || activity.linkOpen) return false;
    const ScanSettings settings = SettingsFromStore();
    frame_.Panel().SetStatistics(0.0, 0.0, 0.0, 0.0);
    frame_.Intake().FullReset();
    frame_.ClearViews();
    if (settings.checkMissing) missingDlg_->Clear();
    calcDlg_->Begin();
    calcDlg_->show();
    scanning_ = true;
    cancelScan_ = false;
    frame_.UpdateCommandStates();
    JoinScan();
    scanThread_ = std::thread([this, settings, path] {
        const auto progress = [this](int pass, int permille) {
            QMetaObject::invokeMethod(
                this, [this, pass, permille] { calcDlg_->SetPos(pass, permille); },
                Qt::QueuedConnection);
        };
        CReplayScanner scanner(settings, cancelScan_, progress);
        auto result =
            std::make_shared<ScanResult>(scanner.ScanFile(QFile::encodeName(path).toStdString()));
        QMetaObject::invokeMethod(
            this, [this, path, result] { OnScanFinished(path, result); }, Qt::QueuedConnection);
    });
    if (!secondPath.isEmpty()) StartSecondaryTrack(secondPath, settings);
    return true;
}

void CReplayController::StartSecondaryTrack(const QString& path, const ScanSettings& settings)
{
    StopSecondaryTrack();
    cancelSecondary_ = false;
    secondaryThread_ = std::thread([this, path, settings] {
        ScanSettings quiet = settings;
        quiet.checkMissing = false;
        CReplayScanner scanner(quiet, cancelSecondary_);
        auto result =
            std::make_shared<ScanResult>(scanner.ScanFile(QFile::encodeName(path).toStdString()));
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                // The track replaces the replayed log's own positions in the plot's squares.
                if (result->status == ScanStatus::Ok && (active_ || scanning_)) {
                    secondary_ = std::move(result->index);
                    emit secondaryTrackLoaded(static_cast<int>(secondary_.Size()));
                }
            },
            Qt::QueuedConnection);
    });
}

void CReplayController::StopSecondaryTrack()
{
    cancelSecondary_ = true;
    if (secondaryThread_.joinable()) secondaryThread_.join();
    secondary_ = {};
}

void CReplayController::OnScanFinished(const QString& path, std::shared_ptr<ScanResult> result)
{
    JoinScan();
    scanning_ = false;
    calcDlg_->hide();
    frame_.UpdateCommandStates();
    if (result->status != ScanStatus::Ok) {
        StopSecondaryTrack();
        const QString message = ScanWarning(result->status, path);
        if (!message.isEmpty()) frame_.ShowMessage(message, tr("리플레이"));
        emit replayReady(false);
        return;
    }
    active_ = true;
    path_ = path;
    frame_.Intake().FullReset();
    frame_.Intake().SetReplayRunning(true);
    ShowScanResult(path, *result);
    qApp->installEventFilter(this);
    const auto interval = static_cast<int>(result->frameIntervalMs);
    if (!player_->Start(path, std::move(result->index), interval)) {
        Stop();
        frame_.ShowMessage(tr("로그 파일을 열 수 없습니다!"), tr("리플레이"));
        emit replayReady(false);
        return;
    }
    StartExtraction();
    frame_.UpdateCommandStates();
    emit replayReady(true);
}

void CReplayController::ShowScanResult(const QString& path, const ScanResult& result)
{
    // The plot's squares read their positions from the track's index, never from a copy.
    using Position = CPlotsView::ReplayPosition;
    frame_.Plot().SetReplayPositions([this](std::size_t n) -> std::optional<Position> {
        const CEpochIndex& track = Track();
        if (n >= track.Size()) return std::nullopt;
        const EpochEntry entry = track.At(n);
        return Position{entry.longitude, entry.latitude,
                        static_cast<std::int32_t>(entry.fixQuality)};
    });
    const ReplayResults& r = result.statistics;
    frame_.Panel().SetStatistics(r.horizontalRms, r.verticalRms, r.horizontalCep, r.verticalCep);
    frame_.Plot().SetErrorCircles(r.horizontalRms, r.horizontalCep);
    if (result.missingChecked) {
        int number = 0;
        for (const std::string& line : result.missingLines) {
            missingDlg_->AddLine(++number, FromStd(line), CMissingLogDlg::LineColour());
        }
        missingDlg_->show();
    }
    window_->Reset();
    window_->SetRange(static_cast<int>(result.index.Size()));
    window_->SetFileName(path);
    window_->SetFrameRateText(FromStd(result.RateText()));
    window_->SetSpeedText(SpeedText(kInitialSpeedValue));
    window_->show();
    frame_.PlaceViews();
}

void CReplayController::Stop()
{
    if (scanning_) {
        cancelScan_ = true;  // the scan ends and reports Cancelled
        return;
    }
    if (!active_) return;
    player_->Stop();
    active_ = false;
    qApp->removeEventFilter(this);
    frame_.Intake().SetReplayRunning(false);
    frame_.Intake().FullReset();
    frame_.Plot().SetReplayPositions({});
    StopSecondaryTrack();
#ifdef __GLIBC__
    // The index and the scan's buffers are freed; hand the pages back to the system.
    malloc_trim(0);
#endif
    window_->hide();
    StopExtraction();
    frame_.UpdateCommandStates();
}

void CReplayController::PlayEntryBytes(std::size_t entry, std::span<const std::uint8_t> bytes)
{
    entry_ = entry;
    frame_.Intake().FeedReplay(bytes);
}

void CReplayController::ClearViews() { frame_.ClearViews(); }

void CReplayController::ResetEpochState() { frame_.Intake().PartialReset(); }

void CReplayController::PlaybackEnded() { StopExtraction(); }

bool CReplayController::eventFilter(QObject* watched, QEvent* event)
{
    // During a replay the playback keys reach the replay window wherever the focus is.
    if (active_ && event->type() == QEvent::KeyPress && watched != window_) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Delete:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down: QCoreApplication::sendEvent(window_, event); return true;
            default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CReplayController::OnMessageDecoded(std::span<const std::uint8_t> message, const CParser&)
{
    if (active_ && extraction_.IsRunning() && !extraction_.HandsLinesToRawLog())
        extraction_.WriteMessage(message);
}

void CReplayController::StartExtraction()
{
    const QString type = extractionType_;
    if (type.isEmpty()) return;
    QString path;
    if (frame_.Store().Get(settings::kReplayAutoNaming) != 0) {
        path =
            QDir::current().filePath(FromStd(AutoExtractionName(LocalNow(), type.toStdString())));
    } else {
        path = QFileDialog::getSaveFileName(frame_.Window(), tr("추출"), QString(),
                                            tr("Every File(*.*)"));
        if (path.isEmpty()) return;
    }
    if (extraction_.Start(QFile::encodeName(path).toStdString(), type.toStdString()) !=
        RecordStatus::Ok) {
        frame_.ShowMessage(tr("파일을 생성할 수 없습니다!"), tr("로그 기록"));
        return;
    }
    if (extraction_.HandsLinesToRawLog()) {
        logsFile_ = std::make_unique<QFile>(path);
        if (logsFile_->open(QIODevice::Append)) frame_.RawLogView().SetLogsDevice(logsFile_.get());
    }
}

void CReplayController::StopExtraction()
{
    frame_.RawLogView().SetLogsDevice(nullptr);
    logsFile_.reset();
    extraction_.Stop();
}
