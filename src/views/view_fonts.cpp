#include "views/view_fonts.h"

#include <QStringList>
#include <mutex>

void InstallViewFontSubstitutes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Nanum comes with Debian's fonts-nanum, Noto with fonts-noto-cjk.
        const QStringList proportional{QStringLiteral("NanumGothic"),
                                       QStringLiteral("NanumBarunGothic"),
                                       QStringLiteral("Noto Sans CJK KR")};
        QStringList fixed{QStringLiteral("NanumGothicCoding"),
                          QStringLiteral("Noto Sans Mono CJK KR")};
        fixed += proportional;
        QFont::insertSubstitutions(kFontDotumChe, fixed);
        QFont::insertSubstitutions(kFontMalgunGothic, proportional);
        QFont::insertSubstitutions(kFontArial, QStringList{QStringLiteral("Liberation Sans"),
                                                           QStringLiteral("DejaVu Sans")} +
                                                   proportional);
    });
}

QFont ViewFont(const QString& family, int pixelHeight, bool bold)
{
    InstallViewFontSubstitutes();
    QFont font(family);
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 1);
    font.setBold(bold);
    if (family == kFontDotumChe) font.setStyleHint(QFont::Monospace);
    return font;
}
