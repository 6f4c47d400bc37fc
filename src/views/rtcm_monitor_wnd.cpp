#include "views/rtcm_monitor_wnd.h"

#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>

#include "geo/ecef.h"

namespace {

constexpr int kColumns = 4;
constexpr int kDefaultWidth = 460;
constexpr int kDefaultHeight = 460;
constexpr int kSummaryLines = 5;

QString Seconds(std::int64_t ms)
{
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1);
}

}  // namespace

CRtcmMonitorWnd::CRtcmMonitorWnd(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(tr("RTCM 모니터"));
    table_ = new QTableWidget(0, kColumns, this);
    table_->setHorizontalHeaderLabels(
        {tr("메시지"), tr("개수"), tr("마지막 수신"), tr("경과(초)")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    summary_ = new QLabel(this);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    summary_->setMinimumHeight(summary_->fontMetrics().lineSpacing() * kSummaryLines + 4);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);
    resize(kDefaultWidth, kDefaultHeight);
}

void CRtcmMonitorWnd::Show(const CRtcmMonitor::Snapshot& s, std::int64_t nowMs,
                           const QDateTime& wallNow)
{
    table_->setRowCount(static_cast<int>(s.types.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const CRtcmMonitor::TypeRow& t = s.types[static_cast<std::size_t>(row)];
        const QString cells[kColumns] = {
            QString::number(t.type), QString::number(t.count),
            wallNow.addMSecs(t.lastMs - nowMs).toString(QStringLiteral("HH:mm:ss")),
            Seconds(nowMs - t.lastMs)};
        for (int column = 0; column < kColumns; ++column) {
            QTableWidgetItem* item = table_->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignCenter);
                table_->setItem(row, column, item);
            }
            item->setText(cells[column]);
        }
    }
    QStringList lines;
    lines << tr("수신 속도: %1 bit/s (최근 10초)").arg(s.bitsPerSecond, 0, 'f', 0)
          << tr("CRC 오류: %1").arg(s.crcFailures);
    if (s.station) {
        const Geodetic g = EcefToGeodetic({s.station->x, s.station->y, s.station->z});
        lines << tr("기준국 %1: %2, %3, %4 m")
                     .arg(s.station->stationId)
                     .arg(g.latitudeDeg, 0, 'f', 7)
                     .arg(g.longitudeDeg, 0, 'f', 7)
                     .arg(g.heightM, 0, 'f', 3);
    } else {
        lines << tr("기준국: -");
    }
    lines << (s.baselineM ? tr("기선 길이: %1 m").arg(*s.baselineM, 0, 'f', 1)
                          : tr("기선 길이: -"));
    if (s.stale) lines << QStringLiteral("stale");
    summary_->setText(lines.join(QLatin1Char('\n')));
    summary_->setStyleSheet(s.stale ? QStringLiteral("color: #c00000") : QString());
}

int CRtcmMonitorWnd::RowCount() const { return table_->rowCount(); }

QString CRtcmMonitorWnd::RowText(int row) const
{
    QStringList cells;
    for (int column = 0; column < kColumns; ++column) {
        const QTableWidgetItem* item = table_->item(row, column);
        cells << (item ? item->text() : QString());
    }
    return cells.join(QStringLiteral(" | "));
}

QString CRtcmMonitorWnd::SummaryText() const { return summary_->text(); }

QString CRtcmMonitorWnd::ToolTipText(const CRtcmMonitor::Snapshot& s)
{
    QStringList types;
    for (const auto& t : s.types) types << QStringLiteral("%1:%2").arg(t.type).arg(t.count);
    QString text = tr("RTCM %1, %2 bit/s, CRC 오류 %3")
                       .arg(types.isEmpty() ? QStringLiteral("-") : types.join(QLatin1Char(' ')))
                       .arg(s.bitsPerSecond, 0, 'f', 0)
                       .arg(s.crcFailures);
    if (s.stale) text += QStringLiteral(", stale");
    return text;
}
