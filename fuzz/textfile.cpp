// Property: TextFileReader hands out exactly the lines of any file, decoded by the file's rule.
// The reference here reads the same bytes on its own:
// - a file that begins EF BB BF and whose remaining bytes are all valid UTF-8 is UTF-8, the mark
//   dropped; every other file, one beginning EF BB BF with bad UTF-8 after it included, is CP949
//   as Windows has it (Qt's "windows-949"; ICU's "CP949" is IBM's table);
// - lines end at LF and one CR right before the LF is dropped; a last line without LF is still a
//   line, and a file ending in LF has no empty line after it; a line of kMaxLineBytes or more
//   before its LF is passed over, and reading goes on after it;
// - each line is decoded on its own: a lead byte cut off by the line end becomes U+FFFD and never
//   takes the next line's first byte;
// - readLine returns the line's length (0 for an empty line) and -1 at the end, again and again;
//   reopening the file with the same reader reads the same lines.
//
// Input: a flag byte, then the file; flags B1 and B2 build a file of 1 to 2 MiB around the
// text (see fileOf) to reach the reader's block boundary and buffer growth, for one input in
// 32 of those that carry them.

#include "files/textfile.h"
#include "fuzz_support.h"

#include <QStringDecoder>

#include <algorithm>
#include <vector>

namespace {

using fuzz::check;
using fuzz::fail;
using fuzz::shown;

constexpr qsizetype kBlock = qsizetype(1) << 20;

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF. Appends the decoded
// text to `out` when `out` is given; returns false at the first bad sequence.
bool decodeUtf8(QByteArrayView bytes, QString *out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        int length;
        char32_t code, least;
        if (b < 0x80) {
            length = 1, code = b, least = 0;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2, code = b & 0x1F, least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, code = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, code = b & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (out) {
            if (code >= 0x10000) {
                out->append(QChar(QChar::highSurrogate(code)));
                out->append(QChar(QChar::lowSurrogate(code)));
            } else {
                out->append(QChar(char16_t(code)));
            }
        }
        i += length;
    }
    return true;
}

QString decodeCp949Line(QByteArrayView line)
{
    // The line's own LF ends the decoder's input, so that a lead byte left open at the end of
    // the line is flushed as U+FFFD; the reset means nothing carries over from the line before.
    static QStringDecoder decoder("windows-949");
    decoder.resetState();
    QByteArray terminated(line.data(), line.size());
    terminated.append('\n');
    QString text = decoder.decode(terminated);
    if (!text.endsWith(u'\n'))
        fail("the reference decoder hands back the line feed", shown(text));
    text.chop(1);
    return text;
}

std::vector<QString> expectedLines(const QByteArray &file)
{
    QByteArrayView body = file;
    const bool utf8 = body.startsWith("\xEF\xBB\xBF") && decodeUtf8(body.sliced(3), nullptr);
    if (utf8)
        body = body.sliced(3);
    std::vector<QString> lines;
    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype end = body.indexOf('\n', start);
        const bool hasEnding = end >= 0;
        if (!hasEnding)
            end = body.size();
        QByteArrayView line = body.sliced(start, end - start);
        if (line.size() >= kMaxLineBytes) {
            start = end + 1;
            continue;
        }
        // One CR before the LF goes, and so does a CR that ends the file: a CR LF cut short.
        if (line.endsWith('\r'))
            line.chop(1);
        QString text;
        if (utf8)
            decodeUtf8(line, &text);
        else
            text = decodeCp949Line(line);
        lines.push_back(text);
        start = end + 1;
    }
    return lines;
}

void readAll(TextFileReader &reader, const QString &path, const std::vector<QString> &expected)
{
    check(reader.open(path) && reader.isOpen(), "the reader opens a readable file");
    QString line = QStringLiteral("left over from before");
    for (size_t i = 0; i < expected.size(); ++i) {
        const qint64 length = reader.readLine(line);
        if (length != line.size() || line != expected[i])
            fail("readLine hands out the next line and its length",
                 QStringLiteral("line %1: %2 '%3', expected '%4'")
                     .arg(i + 1)
                     .arg(length)
                     .arg(shown(QStringView(line).left(300)), shown(QStringView(expected[i]).left(300))));
    }
    if (reader.readLine(line) != -1)
        fail("readLine gives -1 after the last line", QStringLiteral("after %1 lines: '%2'")
                                                          .arg(expected.size())
                                                          .arg(shown(QStringView(line).left(300))));
    check(reader.readLine(line) == -1, "readLine keeps giving -1 at the end");
}

// Flag B1: the text, a filler line ending near the reader's 1 MiB block (the next byte moves it
// by -64..+191 bytes), then the text three times, so that its lines cross the block's end.
// Flag B2: a line of more than two blocks between copies of the text, which is passed over.
// Only for the inputs fuzz::rarely() picks; a filler of ASCII changes nothing about the encoding.
QByteArray fileOf(fuzz::Input &input, bool big)
{
    const uint8_t flag = input.byte();
    if ((flag != 0xB1 && flag != 0xB2) || !big)
        return input.rest();
    const qsizetype shift = input.byte();
    const QByteArray text = input.rest();
    if (flag == 0xB1) {
        const qsizetype filler = std::max<qsizetype>(kBlock - 64 + shift - text.size(), 0);
        return text + QByteArray(filler, 'x') + '\n' + text + text + text;
    }
    return text + QByteArray(2 * kBlock + shift, 'y') + text + text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const QByteArray file = fileOf(input, fuzz::rarely(data, size));
    static const QString path = fuzz::scratchFile("textfile.dat");
    fuzz::writeFile(path, file);

    const std::vector<QString> expected = expectedLines(file);
    TextFileReader reader;
    readAll(reader, path, expected);
    readAll(reader, path, expected);
    reader.close();
    check(!reader.isOpen(), "a closed reader is not open");
    return 0;
}
