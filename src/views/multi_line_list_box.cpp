#include "views/multi_line_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRawFont>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextLayout>
#include <algorithm>
#include <optional>

namespace {
constexpr int kRowPadding = 1;  // above and below the text
// Rows whose estimate turns out wrong move the rows below; a few rounds settle the screen.
constexpr int kMaxLayoutRounds = 4;
const QColor kListBackground{255, 255, 255};

bool IsHardBreak(QChar c) { return c == u'\n' || c == QChar::LineSeparator; }

// Where Qt's line breaking may end a line in received text: after spaces, and after a comma
// that opens a new number or a sign (inside a number such as "1,5" it may not).
bool BreaksBefore(const QString& text, qsizetype at)
{
    const QChar before = text[at - 1];
    const QChar c = text[at];
    if (before == u' ') return c != u' ';
    if (before != u',') return false;
    if (c == u'+') return true;
    if (!c.isDigit() && c != u'$') return false;
    qsizetype q = at - 2;
    while (q >= 0 && QStringView(u",.:;/").contains(text[q])) --q;
    return q < 0 || !text[q].isDigit();
}

// Breaks the text into lines of at most width pixels as LayoutWrapped breaks it: at break
// opportunities where it can, anywhere in a piece longer than a line. Calls newLine with the
// index each line after the first starts at, and returns the line count. Rarer break rules are
// not modelled, so a row of other text than printable ASCII (which the list draws by this very
// rule) can be a line off until it is painted.
template <class Advance, class NewLine>
int WrapLines(const QString& text, float width, Advance advance, NewLine newLine)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u'\n' || text[end - 1] == u'\r')) --end;
    int lines = 1;
    float line = 0;  // width taken on the current line
    const auto startLine = [&](qsizetype at) {
        ++lines;
        line = 0;
        newLine(at);
    };
    for (qsizetype i = 0; i < end;) {
        if (IsHardBreak(text[i])) {
            startLine(i + 1);
            ++i;
            continue;
        }
        // One unbreakable piece; its trailing spaces may hang past the line's end.
        qsizetype next = i;
        float all = 0;
        float ink = 0;
        do {
            all += advance(text[next]);
            if (text[next] != u' ') ink = all;
            ++next;
        } while (next < end && !IsHardBreak(text[next]) && !BreaksBefore(text, next));
        if (line + ink <= width) {
            line += all;
        } else if (ink <= width) {
            startLine(i);
            line = all;
        } else {
            if (line > 0) startLine(i);
            for (qsizetype k = i; k < next; ++k) {
                const float w = advance(text[k]);
                if (line > 0 && line + w > width && text[k] != u' ') startLine(k);
                line += w;
            }
        }
        i = next;
    }
    return lines;
}

int EstimateLines(const QString& text, float width, const std::array<float, 256>& advances,
                  const QFont& font, const QPaintDevice* device)
{
    std::optional<QFontMetricsF> metrics;
    const auto advance = [&](QChar c) -> float {
        if (c == u'\r') return 0;  // DisplayText drops it
        if (c.unicode() < advances.size()) return advances[c.unicode()];
        if (!metrics) metrics.emplace(font, device);
        return static_cast<float>(metrics->horizontalAdvance(c));
    };
    return WrapLines(text, width, advance, [](qsizetype) {});
}

// A list that follows a fast receiver changes its scroll range at every new row. The bar is
// painted again only when that moves its handle or changes what its arrows offer: a full
// repaint of the bar at every paint cost more than the rows.
class CListScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderOrientationChange) {
            QScrollBar::sliderChange(change);
            return;
        }
        // A new row changes the range, then the value: judged once both are done.
        if (checkPending_) return;
        checkPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                checkPending_ = false;
                if (CurrentLook() != painted_) update();
            },
            Qt::QueuedConnection);
    }
    void paintEvent(QPaintEvent* event) override
    {
        painted_ = CurrentLook();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look {
        QRect handle;
        bool empty = false;
        bool atTop = false;
        bool atBottom = false;
        bool operator==(const Look&) const = default;
    };
    Look CurrentLook() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                minimum() == maximum(), value() == minimum(), value() == maximum()};
    }
    Look painted_;
    bool checkPending_ = false;
};
}  // namespace

QString DisplayText(const QString& text)
{
    QString shown = text;
    while (shown.endsWith(u'\n') || shown.endsWith(u'\r')) shown.chop(1);
    shown.remove(u'\r');
    shown.replace(u'\n', QChar::LineSeparator);
    return shown;
}

int LayoutWrapped(QTextLayout& layout, int width, int lineHeight)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        line.setPosition(QPointF(0, lines * lineHeight));
        ++lines;
    }
    layout.endLayout();
    return std::max(1, lines);
}

CMultiLineListBox::CMultiLineListBox(QWidget* parent) : QAbstractScrollArea(parent)
{
    // A scroll bar that came and went with the row count would change the wrap width and
    // re-measure every row each time.
    setVerticalScrollBar(new CListScrollBar(Qt::Vertical, this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    layoutWidth_ = WrapWidth();
    MeasureAdvances();
}

CMultiLineListBox::~CMultiLineListBox() = default;

int CMultiLineListBox::AddItem(const QString& text, const QColor& textColour,
                               const QColor& background)
{
    Item item{text, textColour, background, EstimateHeight(text)};
    ForgetPaintedFrom(TotalHeight());
    bottoms_.push_back(TotalHeight() + item.height);
    items_.push_back(std::move(item));
    if (redraw_) {
        UpdateScrollRange();
        viewport()->update();
    } else {
        heldBack_ = true;
    }
    return GetCount() - 1;
}

void CMultiLineListBox::ResetContent()
{
    items_.clear();
    bottoms_.clear();
    layouts_.clear();
    ForgetPainted();
    current_ = -1;
    scrollPending_ = false;
    followBottom_ = false;
    if (!redraw_) {
        heldBack_ = true;
        return;
    }
    UpdateScrollRange();
    viewport()->update();
}

QString CMultiLineListBox::GetText(int row) const
{
    return IsValidRow(row) ? items_[row].text : QString();
}

QColor CMultiLineListBox::GetTextColour(int row) const
{
    return IsValidRow(row) ? items_[row].textColour : QColor();
}

QColor CMultiLineListBox::GetBackground(int row) const
{
    return IsValidRow(row) ? items_[row].background : QColor();
}

int CMultiLineListBox::GetItemHeight(int row) const
{
    return IsValidRow(row) ? items_[row].height : 0;
}

QRect CMultiLineListBox::GetItemRect(int row) const
{
    if (!IsValidRow(row)) return {};
    const int top = RowTop(row) - verticalScrollBar()->value();
    return QRect(0, top, viewport()->width(), items_[row].height);
}

int CMultiLineListBox::ItemFromPoint(const QPoint& point) const
{
    const int y = point.y() + verticalScrollBar()->value();
    if (point.y() < 0 || y >= TotalHeight()) return -1;
    return FirstRowBelow(y);
}

void CMultiLineListBox::SetCurSel(int row)
{
    current_ = IsValidRow(row) ? row : -1;
    ForgetPainted();
    viewport()->update();
}

void CMultiLineListBox::EnsureVisible(int row)
{
    if (!IsValidRow(row)) return;
    QScrollBar* bar = verticalScrollBar();
    const int top = RowTop(row);
    const int bottom = bottoms_[row];
    if (top < bar->value()) bar->setValue(top);
    if (bottom > bar->value() + viewport()->height())
        bar->setValue(std::min(top, bottom - viewport()->height()));
}

void CMultiLineListBox::ScrollToBottom()
{
    followBottom_ = true;
    if (!redraw_) {
        scrollPending_ = true;
        return;
    }
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool CMultiLineListBox::IsScrolledToBottom() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void CMultiLineListBox::SetRedraw(bool on)
{
    if (redraw_ == on) return;
    redraw_ = on;
    if (!on) return;
    // A list that took nothing while held back looks as it did: no repaint.
    if (!heldBack_ && !scrollPending_) return;
    heldBack_ = false;
    UpdateScrollRange();
    if (scrollPending_) ScrollToBottom();
    scrollPending_ = false;
    viewport()->update();
}

void CMultiLineListBox::paintEvent(QPaintEvent*)
{
    LayOutForPaint();
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    const int first = FirstRowBelow(top);
    // Rows the layout rounds left unmeasured change height here, before anything is drawn.
    int end = first;
    for (; end < GetCount() && RowTop(end) < bottom; ++end) LayoutOf(end);
    if (viewport()->width() <= 0 || viewport()->height() <= 0) return;
    // Rows shown before that still look the same. A slow receiver keeps most of them: they
    // are painted into a buffer that moves them along. A fast one replaces them all between
    // paints: they are painted straight onto the viewport, without the buffer's extra copy.
    const int keepTop = std::max(top, paintedTop_);
    const int keepBottom = std::min(bottom, paintedEnd_);
    const bool keep = keepTop < keepBottom && BufferReady();
    const bool reuse = keep && buffered_;
    buffered_ = keep;
    if (reuse && top != paintedTop_) painted_.scroll(0, paintedTop_ - top, painted_.rect());
    lastPaintedCount_ = 0;
    {
        QPainter painter;
        if (buffered_)
            painter.begin(&painted_);
        else
            painter.begin(viewport());
        if (reuse) {
            PaintStrip(painter, top, keepTop, first, end);
            PaintStrip(painter, keepBottom, bottom, first, end);
        } else {
            PaintStrip(painter, top, bottom, first, end);
        }
    }
    if (buffered_) QPainter(viewport()).drawPixmap(0, 0, painted_);
    paintedTop_ = top;
    paintedEnd_ = bottom;
    // Only what is on screen keeps its layout.
    std::erase_if(layouts_,
                  [&](const auto& entry) { return entry.first < first || entry.first >= end; });
}

bool CMultiLineListBox::BufferReady()
{
    // Moved rows must land on whole device pixels; only a ratio of 1 has been checked to give
    // the same pixels as painting them again.
    if (viewport()->devicePixelRatioF() != 1.0) return false;
    const QSize size = viewport()->size();
    if (painted_.size() != size || painted_.devicePixelRatio() != 1.0) {
        painted_ = QPixmap(size);
        buffered_ = false;
    }
    return true;
}

// Paints the document heights top to bottom of the rows first to end that reach into them.
void CMultiLineListBox::PaintStrip(QPainter& painter, int top, int bottom, int first, int end)
{
    if (top >= bottom) return;
    const int scroll = verticalScrollBar()->value();
    const QRect strip(0, top - scroll, viewport()->width(), bottom - top);
    const bool whole = strip == viewport()->rect();
    if (!whole) painter.setClipRect(strip);
    // Rows lie edge to edge from the top of the list: only the space below the last is bare.
    const QRect bare(QPoint(0, std::max(strip.top(), TotalHeight() - scroll)), strip.bottomRight());
    if (!bare.isEmpty()) painter.fillRect(bare, kListBackground);
    for (int row = first; row < end; ++row) {
        if (bottoms_[row] <= top || RowTop(row) >= bottom) continue;
        PaintItem(painter, row, LayoutOf(row));
        ++lastPaintedCount_;
    }
    if (!whole) painter.setClipping(false);
}

void CMultiLineListBox::ForgetPaintedFrom(int y) { paintedEnd_ = std::min(paintedEnd_, y); }

void CMultiLineListBox::ForgetPainted() { paintedEnd_ = paintedTop_; }

void CMultiLineListBox::PaintItem(QPainter& painter, int row, const RowLayout& layout) const
{
    const Item& item = items_[row];
    const QRect rect = GetItemRect(row);
    const bool selected = row == current_;
    painter.fillRect(rect, selected ? item.textColour : item.background);
    painter.setPen(selected ? item.background : item.textColour);
    painter.save();
    // Inside a strip of the viewport, the strip clips too.
    painter.setClipRect(rect, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    const QPointF at(kTextIndent, rect.top() + kRowPadding);
    if (layout.text)
        layout.text->draw(&painter, at);
    else
        painter.drawGlyphRun(at, layout.glyphs);
    painter.restore();
}

void CMultiLineListBox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (WrapWidth() != layoutWidth_) Relayout();
    UpdateScrollRange();
}

void CMultiLineListBox::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    MeasureAdvances();
    Relayout();
    UpdateScrollRange();
}

void CMultiLineListBox::scrollContentsBy(int, int)
{
    // The paint that moved the rows draws them where they now are.
    if (measuring_) return;
    followBottom_ = IsScrolledToBottom();
    viewport()->update();
}

void CMultiLineListBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int row = ItemFromPoint(event->position().toPoint());
    if (row >= 0) SetCurSel(row);
}

void CMultiLineListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const int row = ItemFromPoint(event->position().toPoint());
    if (row < 0) return;
    SetCurSel(row);
    emit itemDoubleClicked(row);
}

void CMultiLineListBox::keyPressEvent(QKeyEvent* event)
{
    int row = current_;
    switch (event->key()) {
        case Qt::Key_Up: row = std::max(0, current_ - 1); break;
        case Qt::Key_Down: row = std::min(GetCount() - 1, current_ + 1); break;
        case Qt::Key_Home: row = 0; break;
        case Qt::Key_End: row = GetCount() - 1; break;
        default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    SetCurSel(row);
    EnsureVisible(current_);
}

int CMultiLineListBox::WrapWidth() const
{
    return std::max(1, viewport()->width() - 2 * kTextIndent);
}

int CMultiLineListBox::LineHeight() const { return lineHeight_; }

void CMultiLineListBox::MeasureAdvances()
{
    // Without kerning a row is its characters' advances side by side, as the estimate and the
    // glyph rows place them.
    rowFont_ = font();
    rowFont_.setKerning(false);
    const QFontMetricsF metrics(rowFont_, viewport());
    for (std::size_t c = 0; c < advances_.size(); ++c)
        advances_[c] =
            static_cast<float>(metrics.horizontalAdvance(QChar(static_cast<char16_t>(c))));
    ascent_ = metrics.ascent();
    lineHeight_ = fontMetrics().height();  // asked for every row added
    // Received text is printable ASCII: rows of it are drawn straight from the font's glyphs,
    // without shaping.
    glyphIndexes_.fill(0);
    rawFont_ = QRawFont::fromFont(rowFont_);
    if (!rawFont_.isValid()) return;
    for (char16_t c = u' '; c < glyphIndexes_.size(); ++c) {
        if (!rawFont_.supportsCharacter(QChar(c))) continue;
        const QList<quint32> glyph = rawFont_.glyphIndexesForString(QString(QChar(c)));
        if (glyph.size() == 1) glyphIndexes_[c] = glyph[0];
    }
}

int CMultiLineListBox::EstimateHeight(const QString& text) const
{
    const int lines = EstimateLines(text, static_cast<float>(std::max(1, layoutWidth_)), advances_,
                                    rowFont_, viewport());
    return lines * LineHeight() + 2 * kRowPadding;
}

const CMultiLineListBox::RowLayout& CMultiLineListBox::LayoutOf(int row)
{
    auto& layout = layouts_[row];
    if (layout) return *layout;
    layout = std::make_unique<RowLayout>();
    const QString shown = DisplayText(items_[row].text);
    int lines = 0;
    if (IsGlyphText(shown)) {
        lines = PlaceGlyphs(shown, layout->glyphs);
    } else {
        layout->text = std::make_unique<QTextLayout>(shown, rowFont_, viewport());
        // Keeps the shaped glyphs, so later paints draw without shaping again.
        layout->text->setCacheEnabled(true);
        lines = LayoutWrapped(*layout->text, layoutWidth_, LineHeight());
    }
    ++layoutCount_;
    SetHeight(row, lines * LineHeight() + 2 * kRowPadding);
    return *layout;
}

bool CMultiLineListBox::IsGlyphText(const QString& text) const
{
    return std::all_of(text.begin(), text.end(), [&](QChar c) {
        return c.unicode() < glyphIndexes_.size() && glyphIndexes_[c.unicode()] != 0;
    });
}

int CMultiLineListBox::PlaceGlyphs(const QString& text, QGlyphRun& run) const
{
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    const float width = static_cast<float>(std::max(1, layoutWidth_));
    const qreal lineHeight = LineHeight();
    qsizetype lineStart = 0;
    qreal y = ascent_;
    qreal x = 0;
    const auto place = [&](qsizetype end) {
        for (qsizetype i = lineStart; i < end; ++i) {
            const char16_t c = text[i].unicode();
            if (c != u' ') {
                indexes.push_back(glyphIndexes_[c]);
                positions.push_back(QPointF(x, y));
            }
            x += advances_[c];
        }
    };
    const int lines = WrapLines(
        text, width, [&](QChar c) { return advances_[c.unicode()]; },
        [&](qsizetype at) {
            place(at);
            lineStart = at;
            x = 0;
            y += lineHeight;
        });
    place(text.size());
    run.setRawFont(rawFont_);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    return lines;
}

void CMultiLineListBox::SetHeight(int row, int height)
{
    const int change = height - items_[row].height;
    if (change == 0) return;
    ForgetPaintedFrom(RowTop(row));
    items_[row].height = height;
    for (std::size_t r = static_cast<std::size_t>(row); r < bottoms_.size(); ++r)
        bottoms_[r] += change;
}

bool CMultiLineListBox::LayOutVisibleRows()
{
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    bool moved = false;
    for (int row = FirstRowBelow(top); row < GetCount() && RowTop(row) < bottom; ++row) {
        const int estimate = items_[row].height;
        LayoutOf(row);
        moved = moved || items_[row].height != estimate;
    }
    return moved;
}

void CMultiLineListBox::LayOutForPaint()
{
    QScrollBar* bar = verticalScrollBar();
    // A list that fitted was not scrolled anywhere unless the newest row was asked for.
    const bool atBottom = bar->value() >= bar->maximum() && (bar->maximum() > 0 || followBottom_);
    measuring_ = true;
    for (int round = 0; round < kMaxLayoutRounds && LayOutVisibleRows(); ++round) {
        UpdateScrollRange();
        if (atBottom) bar->setValue(bar->maximum());
    }
    measuring_ = false;
}

int CMultiLineListBox::RowTop(int row) const { return row > 0 ? bottoms_[row - 1] : 0; }

int CMultiLineListBox::TotalHeight() const { return bottoms_.empty() ? 0 : bottoms_.back(); }

int CMultiLineListBox::FirstRowBelow(int y) const
{
    const auto found = std::upper_bound(bottoms_.begin(), bottoms_.end(), y);
    return static_cast<int>(found - bottoms_.begin());
}

void CMultiLineListBox::Relayout()
{
    // A list that fitted was not scrolled anywhere: it keeps its top.
    const bool atBottom = verticalScrollBar()->maximum() > 0 && IsScrolledToBottom();
    const int anchor = FirstRowBelow(verticalScrollBar()->value());
    layoutWidth_ = WrapWidth();
    layouts_.clear();
    ForgetPainted();
    int sum = 0;
    for (std::size_t row = 0; row < items_.size(); ++row) {
        items_[row].height = EstimateHeight(items_[row].text);
        sum += items_[row].height;
        bottoms_[row] = sum;
    }
    UpdateScrollRange();
    if (atBottom)
        ScrollToBottom();
    else
        verticalScrollBar()->setValue(IsValidRow(anchor) ? RowTop(anchor) : 0);
    viewport()->update();
}

void CMultiLineListBox::UpdateScrollRange()
{
    QScrollBar* bar = verticalScrollBar();
    const int page = viewport()->height();
    bar->setRange(0, std::max(0, TotalHeight() - page));
    bar->setPageStep(std::max(1, page));
    bar->setSingleStep(LineHeight());
}
