#include "app/record_controller.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "app/command_ids.h"
#include "app/local_time.h"
#include "decode/gnss_receiver_state.h"
#include "settings/settings_store.h"
#include "views/record_dlg.h"

CRecordController::CRecordController(IFrameServices& frame, QObject* parent)
    : QObject(parent), frame_(frame)
{
    window_ = new CRecordDlg(frame_.ViewArea());
    window_->hide();
    connect(window_, &CRecordDlg::stopRequested, this, &CRecordController::Stop);
    connect(frame_.Action(command::kRecordStart), &QAction::triggered, this,
            &CRecordController::OnStartCommand);
    connect(frame_.Action(command::kRecordStop), &QAction::triggered, this,
            &CRecordController::Stop);
    frame_.AddEpochSink(EpochStage::TimeOfDay, QStringLiteral("latest logging"),
                        [this](EpochRefresh& epoch) { OnEpoch(epoch); });
}

void CRecordController::AddActivity(FrameActivity& activity) const
{
    activity.recording = recorder_.IsRecording();
}

void CRecordController::UpdateCommands(const FrameActivity& activity)
{
    frame_.Action(command::kRecordStart)->setEnabled(!activity.recording && !activity.replaying);
    frame_.Action(command::kRecordStop)->setEnabled(activity.recording && !activity.replaying);
}

void CRecordController::PlaceOverlays(const QRect& map)
{
    window_->setGeometry(map.x(), map.bottom() + 1 - kWindowHeight, map.width(), kWindowHeight);
    window_->raise();
}

void CRecordController::AddReportLines(QStringList& lines) const
{
    if (recorder_.IsRecording()) {
        lines << QStringLiteral("recording: %1 bytes").arg(recorder_.ByteCount());
    } else if (lastByteCount_ >= 0) {
        lines << QStringLiteral("recorded: %1 bytes").arg(lastByteCount_);
    }
}

void CRecordController::OnStartCommand()
{
    QString path;
    if (frame_.Store().Get(settings::kReplayAutoNaming) != 0) {
        path = QDir::current().filePath(QString::fromStdString(AutoLogName(LocalNow())));
    } else {
        path = QFileDialog::getSaveFileName(frame_.Window(), tr("로그 기록"), QString(),
                                            tr("Every File(*.*);;Text File (*.txt *.doc)"));
        if (path.isEmpty()) return;
    }
    Start(path);
}

bool CRecordController::Start(const QString& path)
{
    const FrameActivity activity = frame_.Activity();
    if (activity.recording || activity.replaying) return false;
    recorder_.SetLatestLogging(frame_.Store().Get(settings::kReplayLatestLogging) != 0);
    if (recorder_.Start(QFile::encodeName(path).toStdString()) != RecordStatus::Ok) {
        frame_.ShowMessage(tr("파일을 생성할 수 없습니다!"), tr("로그 기록"));
        return false;
    }
    window_->Show(path);
    window_->SetLength(0);
    window_->show();
    frame_.PlaceViews();
    frame_.UpdateCommandStates();
    return true;
}

void CRecordController::Stop()
{
    if (recorder_.IsRecording()) lastByteCount_ = recorder_.ByteCount();
    recorder_.Stop();
    window_->hide();
    frame_.UpdateCommandStates();
}

void CRecordController::OnBytesArrived(std::span<const std::uint8_t> bytes)
{
    if (recorder_.IsRecording()) ReportStatus(recorder_.WriteBlock(bytes));
}

void CRecordController::OnEpoch(EpochRefresh& epoch)
{
    // Latest logging starts the file over at each new time of day.
    if (recorder_.IsLatestLogging() && (epoch.delivered & ContentFlag::TimeOfDay))
        ReportStatus(recorder_.OnEpochTime(epoch.state.timeText));
}

void CRecordController::OnMessageDecoded(std::span<const std::uint8_t> message, const CParser&)
{
    // Latest logging keeps the current second's sentences; binary messages have no text.
    if (recorder_.IsRecording() && recorder_.IsLatestLogging() && !message.empty() &&
        message[0] == '$') {
        ReportStatus(recorder_.WriteMessageText(
            std::string_view(reinterpret_cast<const char*>(message.data()), message.size())));
    }
}

void CRecordController::ReportStatus(RecordStatus status)
{
    if (status == RecordStatus::WriteFailed || status == RecordStatus::FileRemoved) {
        // The recorder has closed the file; what it wrote stays.
        lastByteCount_ = recorder_.ByteCount();
        window_->hide();
        frame_.UpdateCommandStates();
        frame_.ShowMessage(
            tr("로그 파일에 쓸 수 없어 기록을 멈췄습니다. 기록된 %1 bytes는 남아 있습니다.")
                .arg(recorder_.ByteCount()),
            tr("로그 기록"));
        return;
    }
    if (recorder_.IsRecording()) window_->SetLength(recorder_.ByteCount());
}
