#include "files/cp949table.h"

#include "files/textcodec.h"

#include <QStringDecoder>

#include <memory>

namespace {

std::unique_ptr<char16_t[]> learnPairs()
{
    std::unique_ptr<char16_t[]> table(new char16_t[0x10000]());
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0x41; trail <= 0xFE; ++trail) {
            // Followed by "A", so that a pair the decoder keeps back as unfinished, or takes with
            // the next byte, shows. A new decoder each time: Qt's ICU decoders stay in error.
            const char bytes[3] = {char(lead), char(trail), 'A'};
            QStringDecoder decoder(kCp949Name, QStringConverter::Flag::Stateless);
            const QString text = decoder.decode(QByteArrayView(bytes, 3));
            if (text.size() == 2 && text[1] == u'A' && text[0] != QChar::ReplacementCharacter &&
                !text[0].isSurrogate())
                table[lead << 8 | trail] = text[0].unicode();
        }
    }
    return table;
}

} // namespace

const char16_t *cp949PairTable()
{
    static const std::unique_ptr<char16_t[]> table = learnPairs();
    return table.get();
}

qsizetype cp949PlainToUtf16(const char *bytes, qsizetype size, char16_t *out)
{
    const char16_t *pairs = cp949PairTable();
    char16_t *to = out;
    for (qsizetype i = 0; i < size;) {
        const uchar c = uchar(bytes[i]);
        if (c < 0x80) {
            *to++ = c;
            ++i;
            continue;
        }
        const char16_t unit = i + 1 < size ? pairs[c << 8 | uchar(bytes[i + 1])] : 0;
        if (unit == 0)
            return -1;
        *to++ = unit;
        i += 2;
    }
    return to - out;
}
