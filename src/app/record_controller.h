#pragma once

#include <QObject>
#include <QString>

#include "app/frame_services.h"
#include "logio/log_recorder.h"

class CRecordDlg;

// Recording: the start and stop commands, the recorder that writes the link's bytes before
// they are decoded, latest logging, and the record window along the bottom of the map cell.
class CRecordController : public QObject, public IFeatureController {
    Q_OBJECT

public:
    static constexpr int kWindowHeight = 32;

    explicit CRecordController(IFrameServices& frame, QObject* parent = nullptr);

    bool IsRecording() const { return recorder_.IsRecording(); }

    // IFeatureController
    void AddActivity(FrameActivity& activity) const override;
    void UpdateCommands(const FrameActivity& activity) override;
    void PlaceOverlays(const QRect& mapCell) override;
    void OnBytesArrived(std::span<const std::uint8_t> bytes) override;
    void OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser) override;
    void AddReportLines(QStringList& lines) const override;
    void OnClose() override { Stop(); }

public slots:
    // Recording into the given file (the command asks for the name first).
    bool Start(const QString& path);
    void Stop();

private:
    void OnStartCommand();
    void OnEpoch(EpochRefresh& epoch);
    void ReportStatus(RecordStatus status);

    IFrameServices& frame_;
    CLogRecorder recorder_;
    CRecordDlg* window_ = nullptr;
    qint64 lastByteCount_ = -1;  // of the last recording, for the report
};
