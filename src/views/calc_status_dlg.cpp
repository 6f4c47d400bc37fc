#include "views/calc_status_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <algorithm>

namespace {
constexpr int kBarWidth = 240;
constexpr int kGridRowsPerPass = 2;  // status line, then the bar with its labels
const QColor kIdleColour{160, 160, 160};
const QColor kDoneColour{40, 170, 60};
}  // namespace

QPixmap CalcStatusMark(bool done, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    if (!done) {
        painter.setPen(QPen(kIdleColour, s * 0.12));
        painter.drawEllipse(QRectF(s * 0.15, s * 0.15, s * 0.7, s * 0.7));
        return pixmap;
    }
    painter.setPen(QPen(kDoneColour, s * 0.16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF check[] = {{s * 0.15, s * 0.55}, {s * 0.4, s * 0.8}, {s * 0.85, s * 0.2}};
    painter.drawPolyline(check, 3);
    return pixmap;
}

CCalcStatusDlg::CCalcStatusDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("리플레이"));
    auto* grid = new QGridLayout(this);
    AddPass(kAverageBar, *grid);
    AddPass(kRmsBar, *grid);
    Begin();
}

void CCalcStatusDlg::AddPass(int index, QGridLayout& grid)
{
    Pass& pass = passes_[index];
    const int row = index * kGridRowsPerPass;
    pass.mark = new QLabel(this);
    pass.status = new QLabel(this);
    pass.bar = new QProgressBar(this);
    pass.bar->setTextVisible(false);
    pass.bar->setMinimumWidth(kBarWidth);
    pass.position = new QLabel(this);
    pass.end = new QLabel(this);
    grid.addWidget(pass.mark, row, 0);
    grid.addWidget(pass.status, row, 1, 1, 2);
    grid.addWidget(pass.position, row + 1, 0);
    grid.addWidget(pass.bar, row + 1, 1);
    grid.addWidget(pass.end, row + 1, 2);
}

QProgressBar* CCalcStatusDlg::Bar(int bar) const
{
    return IsValidBar(bar) ? passes_[bar].bar : nullptr;
}

QLabel* CCalcStatusDlg::StatusLabel(int bar) const
{
    return IsValidBar(bar) ? passes_[bar].status : nullptr;
}

QLabel* CCalcStatusDlg::MarkLabel(int bar) const
{
    return IsValidBar(bar) ? passes_[bar].mark : nullptr;
}

QLabel* CCalcStatusDlg::PositionLabel(int bar) const
{
    return IsValidBar(bar) ? passes_[bar].position : nullptr;
}

QLabel* CCalcStatusDlg::EndLabel(int bar) const
{
    return IsValidBar(bar) ? passes_[bar].end : nullptr;
}

bool CCalcStatusDlg::IsDone(int bar) const { return IsValidBar(bar) && passes_[bar].done; }

void CCalcStatusDlg::Begin()
{
    CentreOnParent();
    passes_[kAverageBar].status->setText(tr("평균 계산 중..."));
    passes_[kRmsBar].status->setText(tr("RMS 계산 중..."));
    for (int bar : {kAverageBar, kRmsBar}) {
        Pass& pass = passes_[bar];
        pass.done = false;
        pass.mark->setPixmap(CalcStatusMark(false, kMarkSize));
        pass.mark->setEnabled(false);
        pass.status->setEnabled(false);
        SetRange(bar, kDefaultRange);
        SetPos(bar, 0);
    }
}

void CCalcStatusDlg::AverageDone(bool done)
{
    SetDone(kAverageBar, done, tr("평균 계산 중..."), tr("평균 계산 완료"));
}

void CCalcStatusDlg::RmsDone(bool done)
{
    SetDone(kRmsBar, done, tr("RMS 계산 중..."), tr("계산 완료"));
}

void CCalcStatusDlg::SetDone(int bar, bool done, const QString& runningText,
                             const QString& doneText)
{
    Pass& pass = passes_[bar];
    pass.done = done;
    pass.status->setEnabled(true);
    pass.status->setText(done ? doneText : runningText);
    pass.mark->setEnabled(done);
    pass.mark->setPixmap(CalcStatusMark(done, kMarkSize));
}

void CCalcStatusDlg::SetRange(int bar, int max)
{
    if (!IsValidBar(bar)) return;
    const int top = std::max(0, max);
    passes_[bar].bar->setRange(0, top);
    passes_[bar].end->setText(QString::asprintf("%d", top));
}

void CCalcStatusDlg::SetPos(int bar, int pos)
{
    if (!IsValidBar(bar)) return;
    QProgressBar* progress = passes_[bar].bar;
    progress->setValue(std::clamp(pos, progress->minimum(), progress->maximum()));
    passes_[bar].position->setText(QString::asprintf("%d", pos));
}

void CCalcStatusDlg::reject()
{
    emit cancelRequested();
    QDialog::reject();
}

void CCalcStatusDlg::CentreOnParent()
{
    const QWidget* owner = parentWidget();
    if (owner == nullptr) return;
    adjustSize();
    const QPoint centre = owner->mapToGlobal(owner->rect().center());
    move(centre - rect().center());
}
