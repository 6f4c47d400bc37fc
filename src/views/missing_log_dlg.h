#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class CMultiLineListBox;
class QAction;
class QMenu;

// The scan's gap lines (logio/missing_check.h) that name GGA or RMC are listed.

// Lists the epochs a replayed log lacks: the gap texts on the left, their numbers on the
// right.
class CMissingLogDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCmdAutoScroll = 430;

    explicit CMissingLogDlg(QWidget* parent = nullptr);

    // The colour the scan writes its lines in.
    static QColor LineColour();

    // Returns false for a line the filter drops.
    bool AddLine(int number, const QString& text, const QColor& textColour);
    void Clear();

    bool IsAutoScroll() const;
    void SetAutoScroll(bool on);
    QAction* AutoScrollAction() const { return autoScrollAction_; }
    void FillContextMenu(QMenu& menu) const;

    CMultiLineListBox* TextList() const { return textList_; }
    CMultiLineListBox* NumberList() const { return numberList_; }

public slots:
    void CopyLineToClipboard(int row);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CMultiLineListBox* textList_ = nullptr;
    CMultiLineListBox* numberList_ = nullptr;
    QAction* autoScrollAction_ = nullptr;
};
