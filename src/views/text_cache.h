#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QString>
#include <memory>

class QPainter;
class QRect;

// Draws short texts as QPainter::drawText(rect, flags, text) draws them, from glyph runs kept
// between paints: the views draw the same few numbers and labels at every paint, and shaping
// them again each time was a large part of a paint. The text is laid out and placed in the rect
// the way drawText lays out and places its own, so the glyphs land on the same pixels. Flags other
// than the alignments and Qt::TextSingleLine, multi-line texts and right-to-left painters go to
// drawText itself. Holds at most about twice the capacity: when the newer half fills, the older
// half is dropped, so texts drawn at every paint stay while changing values age out.
class CTextCache {
public:
    explicit CTextCache(int capacity = 256);
    ~CTextCache();
    CTextCache(const CTextCache&) = delete;
    CTextCache& operator=(const CTextCache&) = delete;

    // In the painter's font, pen and layout direction.
    void Draw(QPainter& painter, const QRect& rect, int flags, const QString& text);
    void Clear();
    int Size() const { return static_cast<int>(newer_.size() + older_.size()); }

private:
    struct Key {
        QString text;
        QFont font;
        int dpi = 0;  // fonts sized in points compare equal across resolutions
        Qt::LayoutDirection direction = Qt::LeftToRight;
        bool operator==(const Key& other) const
        {
            return text == other.text && dpi == other.dpi && direction == other.direction &&
                   font == other.font;
        }
    };
    friend size_t qHash(const Key& key, size_t seed) { return qHash(key.text, seed); }
    // One laid-out line, kept as its glyphs.
    struct Entry {
        QList<QGlyphRun> runs;
        qreal height = 0;
        qreal naturalWidth = 0;
        qreal advance = 0;
    };
    using Layouts = QHash<Key, std::shared_ptr<const Entry>>;

    // The entry lives in the cache until the next call.
    const Entry& Find(const Key& key);

    int capacity_;
    Layouts newer_;
    Layouts older_;
};
