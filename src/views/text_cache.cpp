#include "views/text_cache.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>

namespace {
constexpr int kHorizontalAlignments = Qt::AlignLeft | Qt::AlignHCenter;
constexpr int kVerticalAlignments = Qt::AlignTop | Qt::AlignVCenter | Qt::AlignBottom;
constexpr int kHandledFlags = kHorizontalAlignments | kVerticalAlignments | Qt::TextSingleLine;
// drawText's line width for text that does not wrap.
constexpr qreal kUnwrappedLineWidth = 0x01000000;

// The text as drawText lays it out, or a null string where it would take more than one line
// or find length variants: those are left to drawText.
QString OneLineText(const QString& text, bool singleLine)
{
    QString shown = text;  // shares the text's data until a character is replaced
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\t' || (singleLine && c == u'\n')) {
            shown[i] = u' ';
        } else if (c == u'\n' || c == u'\x9c' || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator) {
            return {};
        }
    }
    return shown;
}
}  // namespace

CTextCache::CTextCache(int capacity) : capacity_(std::max(1, capacity)) {}

CTextCache::~CTextCache() = default;

void CTextCache::Clear()
{
    newer_.clear();
    older_.clear();
}

void CTextCache::Draw(QPainter& painter, const QRect& rect, int flags, const QString& text)
{
    if (!painter.isActive() || text.isEmpty() || painter.pen().style() == Qt::NoPen) return;
    const bool handled = (flags & ~kHandledFlags) == 0 &&
                         (flags & kHorizontalAlignments) != kHorizontalAlignments &&
                         painter.layoutDirection() != Qt::RightToLeft;
    QString shown = handled ? OneLineText(text, flags & Qt::TextSingleLine) : QString();
    if (shown.isNull()) {
        painter.drawText(rect, flags, text);
        return;
    }
    if (rect.isEmpty()) return;  // as drawText, which clips to the rect
    const QFont& font = painter.font();
    // A size in pixels is the same at every resolution.
    const int dpi = font.pixelSize() > 0 ? 0 : painter.device()->logicalDpiY();
    const Entry& line = Find(Key{std::move(shown), font, dpi, painter.layoutDirection()});
    // Placed as drawText places its lines: by the natural width for the bounds, by the advance
    // for the glyphs.
    const QRectF r(rect);
    const qreal height = line.height;
    const qreal width = line.naturalWidth;
    qreal yoff = 0;
    if (flags & Qt::AlignBottom)
        yoff = r.height() - height;
    else if (flags & Qt::AlignVCenter)
        yoff = (r.height() - height) / 2;
    const qreal boundsX = (flags & Qt::AlignHCenter) ? (r.width() - width) / 2 : 0;
    const qreal xoff = (flags & Qt::AlignHCenter) ? (r.width() - line.advance) / 2 : 0;
    const bool clip = !r.contains(QRectF(r.x() + boundsX, r.y() + yoff, width, height));
    if (clip) {
        painter.save();
        painter.setClipRect(r, Qt::IntersectClip);
    }
    // The runs skip the line's shaping and formats, which a cached line no longer needs.
    const QPointF at(r.x() + xoff, r.y() + yoff);
    for (const QGlyphRun& run : line.runs) painter.drawGlyphRun(at, run);
    if (clip) painter.restore();
}

const CTextCache::Entry& CTextCache::Find(const Key& key)
{
    if (const auto found = newer_.constFind(key); found != newer_.constEnd()) return **found;
    std::shared_ptr<const Entry> layout;
    if (const auto found = older_.constFind(key); found != older_.constEnd()) {
        layout = *found;
    } else {
        auto made = std::make_unique<QTextLayout>(key.text, key.font);
        QTextOption option;
        option.setTextDirection(key.direction);
        option.setAlignment(Qt::AlignLeft);
        made->setTextOption(option);
        made->setCacheEnabled(true);
        // drawText places its first line at the leading added and taken off again, rounded up.
        const qreal leading = QFontMetricsF(key.font).leading();
        qreal top = -leading;
        top += leading;
        made->beginLayout();
        QTextLine line = made->createLine();
        line.setLineWidth(kUnwrappedLineWidth);
        line.setPosition(QPointF(0, qCeil(top)));
        made->endLayout();
        layout =
            std::make_shared<const Entry>(Entry{made->glyphRuns(), line.ascent() + line.descent(),
                                                line.naturalTextWidth(), line.horizontalAdvance()});
    }
    if (newer_.size() >= capacity_) {
        older_ = std::move(newer_);
        newer_.clear();
    }
    newer_.insert(key, layout);
    return *layout;
}
