#include "compare/namekey.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

// Below U+0300 nothing composes with what follows, nor do Hangul syllables with one another:
// a name of such characters only is composed already. Anything else (combining marks, jamo)
// goes through the normalization.
bool composedAlready(QStringView name)
{
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x0300 && (u < 0xAC00 || u > 0xD7A3))
            return false;
    }
    return true;
}

} // namespace

QString composedName(QStringView name)
{
    if (composedAlready(name))
        return name.toString();
    return name.toString().normalized(QString::NormalizationForm_C);
}

quint64 chainedKey(quint64 seed, QStringView composed, quint8 kind)
{
    return XXH3_64bits_withSeed(composed.utf16(), size_t(composed.size()) * sizeof(char16_t), seed ^ kind);
}

quint64 nameKey(QStringView name)
{
    if (composedAlready(name))
        return chainedKey(0, name, 0);
    const QString composed = composedName(name);
    return chainedKey(0, composed, 0);
}
