// Property: what the results search looks for in the bytes of a file before it decodes a line
// can never hide a line a word is found in.
// - a query as typed parses without harm, and each word is found in a text that holds it,
//   composed or decomposed, in any case;
// - when a word is found in a line (its compared form), every search index key of the word is
//   among the keys TrigramReader gives for that line, in UTF-8 and in CP949;
// - and the line's bytes hold the word's anchor (its ASCII letters in either case), or, for an
//   anchor with a Hangul syllable, a conjoining jamo that may compose to it.
//
// Input: one byte of flags (bit 0 exact case, bit 1 the last syllable being composed), the
// query in UTF-8 up to the first NUL, then a line in UTF-8.

#include "files/textcodec.h"
#include "fuzz_support.h"
#include "search/comparedbytes.h"
#include "search/querymatch.h"
#include "search/searchtrigrams.h"

#include <QStringEncoder>

#include <algorithm>

namespace {

using fuzz::fail;
using fuzz::shown;

std::vector<uint32_t> lineKeys(const QString &path, const QByteArray &bytes)
{
    fuzz::writeOldFile(path, bytes);
    TrigramReader reader;
    FileStamp stamp;
    FileTrigrams found;
    if (!reader.read(path, stamp, found))
        fail("a file can be read");
    return found.trigrams;
}

bool holdsAnchor(const QByteArray &bytes, const WordPattern &word, bool utf8)
{
    const QString anchor = textOf(word.anchor());
    QByteArray needle = anchor.toUtf8();
    if (!utf8) {
        QStringEncoder encoder(kCp949Name, QStringConverter::Flag::Stateless);
        needle = encoder.encode(anchor);
        if (encoder.hasError())
            return false;
    }
    QByteArray hay = bytes;
    if (word.anchorFoldsAscii()) {
        foldAscii(bytes.constData(), bytes.size(), hay.data());
        foldAscii(needle.constData(), needle.size(), needle.data());
    }
    return hay.contains(needle) || (utf8 && word.anchorHasSyllable() && bytes.contains('\xE1'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const int bits = size > 0 ? data[0] : 0;
    fuzz::Input input(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
    const QString text = QString::fromUtf8(input.until('\0'));
    // One line, as a catalogue line holds it: no line breaks.
    QString line = QString::fromUtf8(input.rest());
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    const CaseRule rule = bits & 1 ? CaseRule::Exact : CaseRule::Any;
    const ResultQuery query = parseQuery(text, bits & 2);
    const std::u32string compared = codePoints(comparedForm(line, rule));
    const QString scratch = fuzz::scratchFile("cd_q.dat");
    for (qsizetype i = 0; i < query.words.size(); ++i) {
        const QString &word = query.words[i];
        const bool composing = query.composing && i + 1 == query.words.size();
        const WordPattern pattern(word, rule, composing);
        const QString holding =
            QStringLiteral("x ") + word.normalized(QString::NormalizationForm_D) + QStringLiteral(" y");
        if (!pattern.foundIn(codePoints(comparedForm(holding, rule))))
            fail("a word is found in a text that holds it", shown(word));
        if (!pattern.foundIn(compared))
            continue;
        std::vector<uint32_t> wanted;
        pattern.addIndexKeys(wanted);
        const QByteArray utf8 = QByteArray(kUtf8Bom) + line.toUtf8();
        QStringEncoder encoder(kCp949Name, QStringConverter::Flag::Stateless);
        const QByteArray cp949 = encoder.encode(line);
        const bool cp949Holds = !encoder.hasError() && !cp949.startsWith(kUtf8Bom);
        for (const bool inUtf8 : {true, false}) {
            if (!inUtf8 && !cp949Holds)
                continue;
            const std::vector<uint32_t> keys = lineKeys(scratch, inUtf8 ? utf8 : cp949);
            for (const uint32_t key : wanted) {
                if (!std::binary_search(keys.begin(), keys.end(), key))
                    fail("a line a word is found in holds every index key of the word",
                         QStringLiteral("word '%1', line '%2', key %3, %4")
                             .arg(shown(word), shown(line), QString::number(key, 16),
                                  inUtf8 ? QStringLiteral("UTF-8") : QStringLiteral("CP949")));
            }
            if (!pattern.anchor().empty() && !holdsAnchor(inUtf8 ? utf8 : cp949, pattern, inUtf8))
                fail("a line a word is found in holds the word's anchor",
                     QStringLiteral("word '%1', line '%2'").arg(shown(word), shown(line)));
        }
    }
    return 0;
}
