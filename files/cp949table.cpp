#include "files/cp949table.h"

#include "files/textcodec.h"

#include <QStringDecoder>

#include <memory>

namespace {

constexpr int kFirstLead = 0x80, kLastLead = 0xFF, kFirstTrail = 0x41, kLastTrail = 0xFE;

std::unique_ptr<char16_t[]> learnPairs()
{
    // Every pair followed by a line feed, in one call: the decoder is opened once, not once for
    // each of 24,320 pairs (which cost a program's start 10 ms). A line feed is no trail byte, so
    // a pair the decoder refuses, or keeps back as unfinished, never takes it, and each pair's
    // text is what lies between two line feeds.
    QByteArray bytes;
    bytes.reserve((kLastLead - kFirstLead + 1) * (kLastTrail - kFirstTrail + 1) * 3);
    for (int lead = kFirstLead; lead <= kLastLead; ++lead) {
        for (int trail = kFirstTrail; trail <= kLastTrail; ++trail)
            bytes.append(char(lead)).append(char(trail)).append('\n');
    }
    QStringDecoder decoder(kCp949Name, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    std::unique_ptr<char16_t[]> table(new char16_t[0x10000]());
    qsizetype at = 0;
    for (int lead = kFirstLead; lead <= kLastLead; ++lead) {
        for (int trail = kFirstTrail; trail <= kLastTrail; ++trail) {
            const qsizetype end = text.indexOf(u'\n', at);
            if (end < 0)
                return table;
            const QChar unit = text[at];
            if (end == at + 1 && unit != QChar::ReplacementCharacter && !unit.isSurrogate())
                table[lead << 8 | trail] = unit.unicode();
            at = end + 1;
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
