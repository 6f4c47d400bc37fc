#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QGlyphRun>
#include <QPixmap>
#include <QRawFont>
#include <QString>
#include <QTextLayout>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// The text as a row shows it: the line ending is dropped and inner line feeds become line
// breaks, so a sentence received with its CR LF takes no extra blank line.
QString DisplayText(const QString& text);

// Lays the layout's text out in lines of at most width pixels, breaking at spaces where it can
// and anywhere else where it must (NMEA sentences have no spaces). Returns the line count.
int LayoutWrapped(QTextLayout& layout, int width, int lineHeight);

// A list of text rows that wrap to the list's width, each row as tall as its wrapped text,
// each with its own text and background colour. Rows are only appended or all removed, so
// their tops are kept as running sums found by binary search. A fast receiver adds rows much
// faster than anyone reads them: an added row's height is only estimated from cached character
// widths, and a row is laid out when it is first painted, which corrects the estimate; the
// layouts of the rows on screen are kept for the next paint, and so are their pixels. Rows of
// printable ASCII, which is what receivers send, are broken by the estimate's own rule and
// drawn from cached glyphs; only other rows are shaped.
class CMultiLineListBox : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Text starts this far from the left edge of a row.
    static constexpr int kTextIndent = 5;

    explicit CMultiLineListBox(QWidget* parent = nullptr);
    ~CMultiLineListBox() override;

    // Appends a row and returns its index.
    int AddItem(const QString& text, const QColor& textColour, const QColor& background);
    void ResetContent();

    int GetCount() const { return static_cast<int>(items_.size()); }
    QString GetText(int row) const;
    QColor GetTextColour(int row) const;
    QColor GetBackground(int row) const;
    // Exact once the row has been painted at the current width, estimated before.
    int GetItemHeight(int row) const;
    // The row's rectangle in viewport coordinates; empty for a row that does not exist.
    QRect GetItemRect(int row) const;
    // The row under a viewport point, or -1.
    int ItemFromPoint(const QPoint& point) const;

    int GetCurSel() const { return current_; }
    void SetCurSel(int row);
    void EnsureVisible(int row);
    void ScrollToBottom();
    bool IsScrolledToBottom() const;

    // While off, appended rows only join the data; turning it on again updates the scroll
    // range, carries out a pending scroll and repaints once.
    void SetRedraw(bool on);
    bool IsRedrawOn() const { return redraw_; }

    // Rows laid out so far: this work must grow with the rows shown, never with the rows
    // added or held.
    std::int64_t LayoutCount() const { return layoutCount_; }
    // Rows drawn by the last paint.
    int LastPaintedCount() const { return lastPaintedCount_; }

signals:
    void itemDoubleClicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Item {
        QString text;
        QColor textColour;
        QColor background;
        int height = 0;  // estimated until the row is laid out
    };

    int WrapWidth() const;
    int LineHeight() const;
    int EstimateHeight(const QString& text) const;
    void MeasureAdvances();
    // A row's text as painted: glyphs placed by the list itself, or a text layout.
    struct RowLayout {
        QGlyphRun glyphs;
        std::unique_ptr<QTextLayout> text;
    };
    const RowLayout& LayoutOf(int row);
    bool IsGlyphText(const QString& text) const;
    // Places the glyphs of glyph text line by line; returns the line count.
    int PlaceGlyphs(const QString& text, QGlyphRun& run) const;
    void SetHeight(int row, int height);
    bool LayOutVisibleRows();
    void LayOutForPaint();
    int RowTop(int row) const;
    int TotalHeight() const;
    int FirstRowBelow(int y) const;
    void Relayout();
    void UpdateScrollRange();
    void PaintItem(QPainter& painter, int row, const RowLayout& layout) const;
    void PaintStrip(QPainter& painter, int top, int bottom, int first, int end);
    // Rows from document height y down no longer look as they were painted.
    void ForgetPaintedFrom(int y);
    void ForgetPainted();
    // Sizes the buffer to the viewport; false where moved pixels are not known to match.
    bool BufferReady();
    bool IsValidRow(int row) const { return row >= 0 && row < GetCount(); }

    std::vector<Item> items_;
    std::vector<int> bottoms_;  // running sum of row heights
    // Layouts of the rows last painted, by row; never more than one screenful.
    std::unordered_map<int, std::unique_ptr<RowLayout>> layouts_;
    std::array<float, 256> advances_{};  // Latin-1 character widths of the current font
    // Printable ASCII glyphs of the current font, 0 where a row needs a text layout.
    std::array<quint32, 127> glyphIndexes_{};
    QFont rowFont_;  // the widget's font without kerning
    QRawFont rawFont_;
    qreal ascent_ = 0;
    int lineHeight_ = 0;
    int layoutWidth_ = 0;
    int current_ = -1;
    bool redraw_ = true;
    bool heldBack_ = false;  // rows added or removed while redraw was off
    bool scrollPending_ = false;
    bool followBottom_ = false;  // the last scroll asked for the newest row
    bool measuring_ = false;
    std::int64_t layoutCount_ = 0;
    int lastPaintedCount_ = 0;
    // Document heights from paintedTop_ to paintedEnd_ show what they did at the last paint.
    int paintedTop_ = 0;
    int paintedEnd_ = 0;
    // The viewport as last painted, while rows stay on screen from one paint to the next: a
    // list that follows new rows then only moves the rows still shown and paints the new ones.
    QPixmap painted_;
    bool buffered_ = false;
};
