#include "widgets/fonts.h"

#include <QStringList>

void installFontSubstitutions()
{
    const QStringList sans = {QStringLiteral("NanumGothic"), QStringLiteral("DejaVu Sans"),
                              QStringLiteral("Noto Sans CJK KR")};
    QFont::insertSubstitutions(QStringLiteral("굴림체"),
                               {QStringLiteral("NanumGothicCoding"), QStringLiteral("NanumGothic")});
    QFont::insertSubstitutions(QStringLiteral("궁서"),
                               {QStringLiteral("NanumMyeongjo"), QStringLiteral("NanumGothic")});
    for (const char *face : {"MS Sans Serif", "Arial", "Franklin Gothic Medium", "Comic Sans MS"})
        QFont::insertSubstitutions(QString::fromLatin1(face), sans);
}

QFont layoutFont(const QString &face, int points, bool bold)
{
    QFont font(face, points, bold ? QFont::Bold : QFont::Normal);
    if (face == u"굴림체")
        font.setStyleHint(QFont::Monospace);
    else if (face == u"궁서")
        font.setStyleHint(QFont::Serif);
    else
        font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont gridFont(const QString &face, int points)
{
    QFont font = layoutFont(face, points);
    font.setPixelSize((points * 96 + 36) / 72);
    return font;
}
