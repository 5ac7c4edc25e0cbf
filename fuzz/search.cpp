// Property: the search's matcher says a file holds a text exactly when the loader's lines, up to
// the first empty one, hold it by QString::contains. Files are CP949 or UTF-8 with a mark or any
// bytes at all, with blank lines, CR LF mixes, lines across the first read and the later blocks,
// lines too long to keep, and CP949 pairs whose second byte is an ASCII letter (똠 is 8C 63).
//
// Input: a flag byte (bit 0: a UTF-8 mark before the file; bit 1: a filler line of about 64 KiB,
// bit 2: one of about 1 MiB, before the file's text, for the inputs fuzz::rarely() picks; the
// next byte shifts the filler), the text to look for up to a NUL (CP949, or UTF-8 in a file with a
// mark), then the file.

#include "search/search.h"
#include "files/textfile.h"
#include "fuzz_support.h"

#include <QStringDecoder>

namespace {

QString decodedText(const QByteArray &bytes, bool utf8)
{
    QStringDecoder decoder = utf8 ? QStringDecoder(QStringDecoder::Utf8) : QStringDecoder("windows-949");
    return decoder.decode(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const bool big = fuzz::rarely(data, size);
    fuzz::Input input(data, size);
    const uint8_t flags = input.byte();
    const qsizetype shift = input.byte();
    const bool utf8 = flags & 1;
    const QString text = decodedText(input.until('\0'), utf8);
    QByteArray file = input.rest();
    if (big && (flags & 2))
        file.prepend(QByteArray((qsizetype(64) << 10) - 128 + shift, 'f') + "\r\n");
    if (big && (flags & 4))
        file.prepend(QByteArray(kMaxLineBytes - 128 + shift, 'f') + "\n");
    if (utf8)
        file.prepend("\xEF\xBB\xBF");
    // A text with U+FFFD stands for bytes that are not text; no one searches for it.
    if (text.contains(QChar::ReplacementCharacter))
        return 0;
    static const QString path = fuzz::scratchFile("cd_search.dat");
    fuzz::writeFile(path, file);

    TextFileReader reader;
    bool held = false;
    QString line;
    if (reader.open(path)) {
        while (!held && reader.readLine(line) >= 1)
            held = !text.isEmpty() && line.contains(text);
    }
    if (CatalogueMatcher(text).matches(path) != held)
        fuzz::fail(held ? "the matcher finds what the loader reads"
                        : "the matcher finds only what the loader reads",
                   fuzz::shown(text));
    return 0;
}
