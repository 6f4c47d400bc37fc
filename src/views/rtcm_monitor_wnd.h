#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

#include "net/rtcm_monitor.h"

class QLabel;
class QTableWidget;

// The RTCM monitor: per message number the count, the last arrival and its age; the bit rate
// of the last ten seconds, CRC failures, the reference station and the baseline to the rover;
// "stale" when nothing came for ten seconds.
class CRtcmMonitorWnd : public QWidget {
    Q_OBJECT

public:
    explicit CRtcmMonitorWnd(QWidget* parent = nullptr);

    // nowMs on the monitor's clock; wallNow turns arrival times into clock times.
    void Show(const CRtcmMonitor::Snapshot& snapshot, std::int64_t nowMs, const QDateTime& wallNow);

    int RowCount() const;
    // The row's cells joined by " | ".
    QString RowText(int row) const;
    QString SummaryText() const;

    // One line for a tooltip: types with counts, bit rate, CRC failures, stale.
    static QString ToolTipText(const CRtcmMonitor::Snapshot& snapshot);

private:
    QTableWidget* table_ = nullptr;
    QLabel* summary_ = nullptr;
};
