#include "views/nmea_log_dlg.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QIODevice>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

#include "views/multi_line_list_box.h"
#include "views/view_fonts.h"

namespace {
constexpr int kListFontPixels = 13;  // 10 points on a 96-dpi screen
constexpr int kMargin = 4;
constexpr int kLineListStretch = 3;
constexpr int kErrorListStretch = 1;
const QColor kWindowBackground{0x1D, 0x1D, 0x1D};
const QColor kRowBackground{255, 255, 255};
const QColor kErrorColour{255, 0, 0};
const QColor kFixColour{6, 6, 6};
const QColor kNoFixColour{196, 196, 196};
}  // namespace

QByteArray LogsFileLine(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n')) bytes.append('\n');
    return bytes;
}

CNmeaLogDlg::CNmeaLogDlg(QWidget* parent) : QWidget(parent)
{
    QPalette background = palette();
    background.setColor(QPalette::Window, kWindowBackground);
    setPalette(background);
    setAutoFillBackground(true);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    lineList_ = new CMultiLineListBox(splitter);
    errorList_ = new CMultiLineListBox(splitter);
    splitter->setStretchFactor(0, kLineListStretch);
    splitter->setStretchFactor(1, kErrorListStretch);
    const QFont listFont = ViewFont(kFontArial, kListFontPixels);
    lineList_->setFont(listFont);
    errorList_->setFont(listFont);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(splitter);

    autoScrollAction_ = new QAction(tr("Auto Scroll"), this);
    autoScrollAction_->setCheckable(true);
    autoScrollAction_->setChecked(true);
    autoScrollAction_->setData(kCmdAutoScroll);
    connect(autoScrollAction_, &QAction::toggled, this, [this](bool on) {
        // Switching it on catches up with the newest line at once.
        if (on) lineList_->ScrollToBottom();
    });
    connect(lineList_, &CMultiLineListBox::itemDoubleClicked, this,
            &CNmeaLogDlg::CopyLineToClipboard);
}

QColor CNmeaLogDlg::LineColour(bool hasFix) { return hasFix ? kFixColour : kNoFixColour; }

void CNmeaLogDlg::AddLine(const QString& text, const QColor& textColour)
{
    Append(*lineList_, text, textColour);
    WriteToLogs(text);
}

void CNmeaLogDlg::AddErrorLine(const QString& text) { Append(*errorList_, text, kErrorColour); }

void CNmeaLogDlg::Clear()
{
    lineList_->ResetContent();
    errorList_->ResetContent();
}

void CNmeaLogDlg::SetRedraw(bool on)
{
    lineList_->SetRedraw(on);
    errorList_->SetRedraw(on);
}

void CNmeaLogDlg::SetLogsDevice(QIODevice* device) { logsDevice_ = device; }

bool CNmeaLogDlg::IsAutoScroll() const { return autoScrollAction_->isChecked(); }

void CNmeaLogDlg::SetAutoScroll(bool on) { autoScrollAction_->setChecked(on); }

void CNmeaLogDlg::FillContextMenu(QMenu& menu) const { menu.addAction(autoScrollAction_); }

void CNmeaLogDlg::CopyLineToClipboard(int row)
{
    if (row < 0 || row >= lineList_->GetCount()) return;
    QGuiApplication::clipboard()->setText(lineList_->GetText(row));
}

void CNmeaLogDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    FillContextMenu(menu);
    menu.exec(event->globalPos());
}

void CNmeaLogDlg::Append(CMultiLineListBox& list, const QString& text, const QColor& textColour)
{
    if (list.GetCount() >= kMaxLines) list.ResetContent();
    list.AddItem(text, textColour, kRowBackground);
    if (IsAutoScroll()) list.ScrollToBottom();
}

void CNmeaLogDlg::WriteToLogs(const QString& text)
{
    if (!logsDevice_ || !logsDevice_->isOpen() || !logsDevice_->isWritable()) return;
    logsDevice_->write(LogsFileLine(text));
}
