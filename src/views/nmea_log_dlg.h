#pragma once

#include <QByteArray>
#include <QColor>
#include <QIODevice>
#include <QPointer>
#include <QString>
#include <QWidget>

class CMultiLineListBox;
class QAction;
class QMenu;

// The bytes a raw-log line adds to the extraction file: narrow text ending in one line feed.
QByteArray LogsFileLine(const QString& text);

// The raw-message window: received lines (NMEA sentences, hex renderings of binary
// messages) above, the decoders' error lines in red below. Each list empties itself when it
// is full, so hours of traffic never slow the window down.
class CNmeaLogDlg : public QWidget {
    Q_OBJECT

public:
    // A full list is emptied before the next line, which then stands first.
    static constexpr int kMaxLines = 10000;
    static constexpr int kCmdAutoScroll = 430;

    explicit CNmeaLogDlg(QWidget* parent = nullptr);

    // Dark text for lines of a decoder with a fix, grey without.
    static QColor LineColour(bool hasFix);

    void AddLine(const QString& text, const QColor& textColour);
    void AddErrorLine(const QString& text);
    void Clear();
    // Lets the main window hold repaints and scrolling during one dispatch pass.
    void SetRedraw(bool on);

    // Extraction with the filter "LOGS": every line added is also written here while the
    // device is open. The window does not own it.
    void SetLogsDevice(QIODevice* device);
    QIODevice* LogsDevice() const { return logsDevice_; }

    bool IsAutoScroll() const;
    void SetAutoScroll(bool on);
    QAction* AutoScrollAction() const { return autoScrollAction_; }
    void FillContextMenu(QMenu& menu) const;

    CMultiLineListBox* LineList() const { return lineList_; }
    CMultiLineListBox* ErrorList() const { return errorList_; }

public slots:
    void CopyLineToClipboard(int row);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Append(CMultiLineListBox& list, const QString& text, const QColor& textColour);
    void WriteToLogs(const QString& text);

    CMultiLineListBox* lineList_ = nullptr;
    CMultiLineListBox* errorList_ = nullptr;
    QAction* autoScrollAction_ = nullptr;
    QPointer<QIODevice> logsDevice_;
};
