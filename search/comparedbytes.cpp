#include "search/comparedbytes.h"

#include "files/cp949table.h"
#include "files/textcodec.h"

#include <QStringDecoder>

#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Per CP949 pair, the one character of its compared form under each rule; 0 where the decoder
// gives no single character for it or where the character could join with a neighbour.
struct ComparedCp949 {
    std::unique_ptr<char32_t[]> exact{new char32_t[0x10000]()};
    std::unique_ptr<char32_t[]> any{new char32_t[0x10000]()};

    ComparedCp949()
    {
        const char16_t *pairs = cp949PairTable();
        for (int code = 0x8000; code <= 0xFFFF; ++code) {
            const char16_t unit = pairs[code];
            if (unit == 0 || QChar::combiningClass(char32_t(unit)) != 0 || QChar::isMark(char32_t(unit)) ||
                (unit >= 0x1100 && unit <= 0x11FF))
                continue;
            const QString nfc = composed(QString(QChar(unit)));
            const std::u32string exactForm = codePoints(nfc);
            const std::u32string anyForm = codePoints(nfc.toCaseFolded());
            if (exactForm.size() == 1 && anyForm.size() == 1) {
                exact[code] = exactForm[0];
                any[code] = anyForm[0];
            }
        }
    }
};

const ComparedCp949 &comparedCp949()
{
    static const ComparedCp949 table;
    return table;
}

bool cp949Compared(QByteArrayView bytes, CaseRule rule, std::u32string &out)
{
    const char32_t *table = rule == CaseRule::Any ? comparedCp949().any.get() : comparedCp949().exact.get();
    out.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar c = uchar(bytes[i]);
        if (c < 0x80) {
            out.push_back(rule == CaseRule::Any && c >= 'A' && c <= 'Z' ? char32_t(c + 0x20) : char32_t(c));
            ++i;
            continue;
        }
        const char32_t converted = i + 1 < bytes.size() ? table[c << 8 | uchar(bytes[i + 1])] : 0;
        if (converted == 0)
            return false;
        out.push_back(converted);
        i += 2;
    }
    return true;
}

} // namespace

QString decodedField(QByteArrayView bytes, bool utf8)
{
    if (!utf8) {
        // Plain pairs through the learnt table, anything else through the decoder.
        QString text(bytes.size(), Qt::Uninitialized);
        const qsizetype units =
            cp949PlainToUtf16(bytes.data(), bytes.size(), reinterpret_cast<char16_t *>(text.data()));
        if (units >= 0) {
            text.truncate(units);
            return text;
        }
    }
    // A U+FEFF at the start is a character there, as the reader keeps it.
    QStringDecoder decoder =
        utf8 ? QStringDecoder(QStringDecoder::Utf8,
                              QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
             : QStringDecoder(kCp949Name, QStringConverter::Flag::Stateless);
    // Ended as in the line, by a character that cannot finish a two-byte one.
    QByteArray ended = bytes.toByteArray();
    ended += '\t';
    QString text = decoder.decode(ended);
    text.chop(1);
    return text;
}

void comparedFromBytes(QByteArrayView bytes, bool utf8, CaseRule rule, std::u32string &out)
{
    if (!utf8 && cp949Compared(bytes, rule, out))
        return;
    if (utf8) {
        bool ascii = true;
        for (const char c : bytes)
            ascii = ascii && uchar(c) < 0x80;
        if (ascii && cp949Compared(bytes, rule, out))
            return; // ASCII converts alike in both
    }
    out = codePoints(comparedForm(decodedField(bytes, utf8), rule));
}

void foldAscii(const char *bytes, qsizetype size, char *out)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i before = _mm_set1_epi8('A' - 1);
    const __m128i after = _mm_set1_epi8('Z' + 1);
    const __m128i bit = _mm_set1_epi8(0x20);
    for (; i + 16 <= size; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
        // Signed compares: bytes from 0x80 up are negative and so never upper-case letters.
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(chunk, before), _mm_cmplt_epi8(chunk, after));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i),
                         _mm_or_si128(chunk, _mm_and_si128(upper, bit)));
    }
#endif
    for (; i < size; ++i) {
        const char c = bytes[i];
        out[i] = c >= 'A' && c <= 'Z' ? char(c + 0x20) : c;
    }
}

QString belowRoot(const QString &path, const QString &root)
{
    if (root.isEmpty() || !path.startsWith(root))
        return path;
    return path.mid(root.size() - (root.endsWith(u'/') || root.endsWith(u'\\') ? 1 : 0));
}

bool belowRootBytes(QByteArrayView path, QByteArrayView root, const QString &rootText, QByteArrayView &below)
{
    if (!root.isEmpty() && !((root.endsWith('/') && rootText.endsWith(u'/')) ||
                             (root.endsWith('\\') && rootText.endsWith(u'\\'))))
        return false;
    below = !root.isEmpty() && path.startsWith(root) ? path.sliced(root.size() - 1) : path;
    return true;
}
