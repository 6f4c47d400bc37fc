#include "views/text_cache.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "views/view_fonts.h"

namespace {

QImage Drawn(const QFont& font, const QRect& rect, int flags, const QString& text,
             CTextCache* cache)
{
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    if (cache) {
        cache->Draw(painter, rect, flags, text);
    } else {
        painter.drawText(rect, flags, text);
    }
    return image;
}

}  // namespace

// The cached layout must land every glyph where drawText puts it: centred, bottom-aligned,
// clipped, in fixed and proportional fonts, and again when the layout comes from the cache.
TEST(TextCacheTest, DrawsTheSamePixelsAsDrawText)
{
    const QFont fonts[] = {ViewFont(kFontDotumChe, 12), ViewFont(kFontMalgunGothic, 13, true),
                           ViewFont(kFontArial, 9)};
    const QString texts[] = {QStringLiteral("45"), QStringLiteral("G12"),
                             QStringLiteral("위성 없음"), QStringLiteral(" a\tb "),
                             QStringLiteral("two\nlines")};
    const int flags[] = {Qt::AlignCenter,
                         Qt::AlignHCenter | Qt::AlignBottom,
                         Qt::AlignLeft | Qt::AlignTop,
                         Qt::AlignRight | Qt::AlignVCenter,
                         Qt::AlignCenter | Qt::TextSingleLine,
                         Qt::AlignCenter | Qt::TextWordWrap};
    const QRect rects[] = {{3, 2, 50, 30}, {10, 5, 7, 6}, {0, 0, 0, 10}, {60, 20, 55, 15}};
    CTextCache cache(4);  // small, so entries age out during the table
    for (const QFont& font : fonts)
        for (const QString& text : texts)
            for (const int flag : flags)
                for (const QRect& rect : rects)
                    for (int pass = 0; pass < 2; ++pass) {
                        SCOPED_TRACE(text.toStdString() + " flags " + std::to_string(flag));
                        ASSERT_EQ(Drawn(font, rect, flag, text, &cache),
                                  Drawn(font, rect, flag, text, nullptr));
                    }
    EXPECT_LE(cache.Size(), 8);
}
