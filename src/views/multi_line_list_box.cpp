#include "views/multi_line_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr int kRowPadding = 1;  // above and below the text
// Marks a row that wrapped when measured: any width change must measure it again.
constexpr int kWraps = std::numeric_limits<int>::max();
const QColor kListBackground{255, 255, 255};

int WidthOfSingleLine(const QTextLayout& layout, int lines)
{
    if (lines != 1) return kWraps;
    return static_cast<int>(std::ceil(layout.lineAt(0).naturalTextWidth()));
}
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
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    layoutWidth_ = WrapWidth();
}

int CMultiLineListBox::AddItem(const QString& text, const QColor& textColour,
                               const QColor& background)
{
    Item item{text, textColour, background, kWraps, 0};
    item.height = MeasureHeight(item);
    bottoms_.push_back(TotalHeight() + item.height);
    items_.push_back(std::move(item));
    if (redraw_) {
        UpdateScrollRange();
        viewport()->update();
    }
    return GetCount() - 1;
}

void CMultiLineListBox::ResetContent()
{
    items_.clear();
    bottoms_.clear();
    current_ = -1;
    scrollPending_ = false;
    if (!redraw_) return;
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
    UpdateScrollRange();
    if (scrollPending_) ScrollToBottom();
    scrollPending_ = false;
    viewport()->update();
}

void CMultiLineListBox::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), kListBackground);
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    int painted = 0;
    for (int row = FirstRowBelow(top); row < GetCount() && RowTop(row) < bottom; ++row) {
        PaintItem(painter, row);
        ++painted;
    }
    lastPaintedCount_ = painted;
}

void CMultiLineListBox::PaintItem(QPainter& painter, int row) const
{
    const Item& item = items_[row];
    const QRect rect = GetItemRect(row);
    const bool selected = row == current_;
    painter.fillRect(rect, selected ? item.textColour : item.background);
    QTextLayout layout(DisplayText(item.text), font(), viewport());
    LayoutWrapped(layout, layoutWidth_, LineHeight());
    painter.setPen(selected ? item.background : item.textColour);
    painter.save();
    painter.setClipRect(rect);
    layout.draw(&painter, QPointF(kTextIndent, rect.top() + kRowPadding));
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
    // Every natural width is stale with another font.
    for (Item& item : items_) item.naturalWidth = kWraps;
    Relayout();
    UpdateScrollRange();
}

void CMultiLineListBox::scrollContentsBy(int, int) { viewport()->update(); }

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

int CMultiLineListBox::LineHeight() const { return fontMetrics().height(); }

int CMultiLineListBox::MeasureHeight(Item& item)
{
    const int lineHeight = LineHeight();
    if (item.naturalWidth <= layoutWidth_) return lineHeight + 2 * kRowPadding;
    QTextLayout layout(DisplayText(item.text), font(), viewport());
    const int lines = LayoutWrapped(layout, layoutWidth_, lineHeight);
    ++layoutCount_;
    item.naturalWidth = WidthOfSingleLine(layout, lines);
    return lines * lineHeight + 2 * kRowPadding;
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
    int sum = 0;
    for (std::size_t row = 0; row < items_.size(); ++row) {
        items_[row].height = MeasureHeight(items_[row]);
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
