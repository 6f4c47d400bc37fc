#include "views/graphs/graph_windows.h"

#include <QVBoxLayout>

#include "views/graphs/graph_ctrls.h"
#include "views/graphs/heading_ctrl.h"

namespace {

// The graph fills the modeless window.
template <class Ctrl>
Ctrl* Host(QDialog* dialog, const QString& caption, Ctrl* graph, QSize size)
{
    dialog->setWindowTitle(caption);
    dialog->setModal(false);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(graph);
    dialog->resize(size);
    return graph;
}

const QSize kGraphSize(480, 300);
const QSize kGaugeSize(300, 360);

}  // namespace

CVerPosToolDlg::CVerPosToolDlg(QWidget* parent)
    : QDialog(parent),
      graph_(Host(this, tr("N-S 그래프"),
                  new CPosDevGraphCtrl(tr("N-S 그래프"), QStringLiteral("N"), QStringLiteral("S")),
                  kGraphSize))
{
}

CHorPosToolDlg::CHorPosToolDlg(QWidget* parent)
    : QDialog(parent),
      graph_(Host(this, tr("E-W 그래프"),
                  new CPosDevGraphCtrl(tr("E-W 그래프"), QStringLiteral("E"), QStringLiteral("W")),
                  kGraphSize))
{
}

CSpeedToolDlg::CSpeedToolDlg(QWidget* parent)
    : QDialog(parent), graph_(Host(this, tr("속도 그래프"), new CSpeedGraphCtrl, kGraphSize))
{
}

CDistanceToolDlg::CDistanceToolDlg(QWidget* parent)
    : QDialog(parent), graph_(Host(this, tr("거리 그래프"), new CDistanceGraphCtrl, kGraphSize))
{
}

CElevationToolDlg::CElevationToolDlg(QWidget* parent)
    : QDialog(parent), graph_(Host(this, tr("표고 그래프"), new CElevationGraphCtrl, kGraphSize))
{
}

CHdgAvrToolDlg::CHdgAvrToolDlg(QWidget* parent)
    : QDialog(parent),
      graph_(Host(this, tr("HEADING(AVR) 그래프"), new CHdgDevGraphCtrl, kGraphSize))
{
}

CHeadingToolDlg::CHeadingToolDlg(QWidget* parent)
    : QDialog(parent), graph_(Host(this, tr("방향계"), new CHeadingCtrl, kGaugeSize))
{
}
