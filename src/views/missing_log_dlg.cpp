#include "views/missing_log_dlg.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>

#include "logio/missing_check.h"
#include "views/multi_line_list_box.h"
#include "views/view_fonts.h"

namespace {
constexpr int kListFontPixels = 13;  // 10 points on a 96-dpi screen
constexpr int kTextShareTenths = 8;
constexpr int kDefaultWidth = 465;  // 310 x 177 dialog units
constexpr int kDefaultHeight = 288;
const QColor kWindowBackground{0x1D, 0x1D, 0x1D};
const QColor kRowBackground{255, 255, 255};
const QColor kNumberColour{255, 0, 0};
const QColor kLineColour{6, 6, 6};

}  // namespace

CMissingLogDlg::CMissingLogDlg(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("MISSING LOGs"));
    QPalette background = palette();
    background.setColor(QPalette::Window, kWindowBackground);
    setPalette(background);
    setAutoFillBackground(true);

    textList_ = new CMultiLineListBox(this);
    numberList_ = new CMultiLineListBox(this);
    const QFont listFont = ViewFont(kFontArial, kListFontPixels);
    textList_->setFont(listFont);
    numberList_->setFont(listFont);

    autoScrollAction_ = new QAction(tr("Auto Scroll"), this);
    autoScrollAction_->setCheckable(true);
    autoScrollAction_->setChecked(true);
    autoScrollAction_->setData(kCmdAutoScroll);
    connect(textList_, &CMultiLineListBox::itemDoubleClicked, this,
            &CMissingLogDlg::CopyLineToClipboard);
    resize(kDefaultWidth, kDefaultHeight);
}

QColor CMissingLogDlg::LineColour() { return kLineColour; }

bool CMissingLogDlg::AddLine(int number, const QString& text, const QColor& textColour)
{
    if (!IsListedMissingLine(text.toStdString())) return false;
    textList_->AddItem(text, textColour, kRowBackground);
    numberList_->AddItem(QString::asprintf("%d", number), kNumberColour, kRowBackground);
    if (IsAutoScroll()) {
        textList_->ScrollToBottom();
        numberList_->ScrollToBottom();
    }
    return true;
}

void CMissingLogDlg::Clear()
{
    textList_->ResetContent();
    numberList_->ResetContent();
}

bool CMissingLogDlg::IsAutoScroll() const { return autoScrollAction_->isChecked(); }

void CMissingLogDlg::SetAutoScroll(bool on) { autoScrollAction_->setChecked(on); }

void CMissingLogDlg::FillContextMenu(QMenu& menu) const { menu.addAction(autoScrollAction_); }

void CMissingLogDlg::CopyLineToClipboard(int row)
{
    if (row < 0 || row >= textList_->GetCount()) return;
    QGuiApplication::clipboard()->setText(textList_->GetText(row));
}

void CMissingLogDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    FillContextMenu(menu);
    menu.exec(event->globalPos());
}

void CMissingLogDlg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int textWidth = width() * kTextShareTenths / 10;
    textList_->setGeometry(0, 0, textWidth, height());
    numberList_->setGeometry(textWidth, 0, width() - textWidth, height());
}
