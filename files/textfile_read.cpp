// Reading data files line by line: CP949, or UTF-8 after a byte-order mark.

#include "files/cp949table.h"
#include "files/textcodec.h"
#include "files/textfile.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr qsizetype kReadBlock = qsizetype(1) << 20;

// Widens the leading ASCII bytes of `src` into `dst`; returns how many it copied. Most catalogue
// text is ASCII, so this runs 16 bytes a step and leaves the rest to the real decoder.
qsizetype widenAscii(const char *src, qsizetype size, char16_t *dst)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        if (_mm_movemask_epi8(bytes) != 0)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i + 8), _mm_unpackhi_epi8(bytes, zero));
    }
#endif
    for (; i < size && uchar(src[i]) < 0x80; ++i)
        dst[i] = uchar(src[i]);
    return i;
}

// The position of the last byte of [from, stop) outside ASCII; there must be one.
qsizetype lastHighByte(const char *bytes, qsizetype from, qsizetype stop)
{
    qsizetype i = stop;
#ifdef __SSE2__
    for (; i - 16 >= from; i -= 16) {
        const int mask =
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i - 16)));
        if (mask != 0)
            return i - 16 + (31 - __builtin_clz(unsigned(mask)));
    }
#endif
    while (uchar(bytes[--i]) < 0x80) {
    }
    return i;
}

// How many bytes at the end of `bytes` begin a UTF-8 sequence that the next block completes.
qsizetype unfinishedSequence(const char *bytes, qsizetype size)
{
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const uchar c = uchar(bytes[size - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

int openRegularFile(const QString &path, qint64 &size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    size = st.st_size;
    return fd;
}

QByteArray readRegularFile(const QString &path, qint64 limit)
{
    qint64 size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0)
        return {};
    QByteArray bytes(qsizetype(std::max<qint64>(std::min(size, limit), 0)), Qt::Uninitialized);
    qsizetype held = 0;
    while (held < bytes.size()) {
        const ssize_t got = ::pread(fd, bytes.data() + held, size_t(bytes.size() - held), held);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        held += got;
    }
    ::close(fd);
    bytes.truncate(held);
    return bytes;
}

bool restIsUtf8(int fd, qint64 offset)
{
    std::unique_ptr<char[]> block(new char[kReadBlock + 3]);
    qsizetype carried = 0;
    for (;;) {
        ssize_t got;
        do {
            got = ::pread(fd, block.get() + carried, size_t(kReadBlock), offset);
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            return false;
        if (got == 0)
            return carried == 0;
        offset += got;
        const qsizetype size = carried + got;
        const qsizetype tail = unfinishedSequence(block.get(), size);
        if (!QByteArrayView(block.get(), size - tail).isValidUtf8())
            return false;
        std::memmove(block.get(), block.get() + size - tail, size_t(tail));
        carried = tail;
    }
}

struct TextFileReader::Private {
    int fd = -1;
    // Bytes read from the file; one spare byte past `capacity` so that the last line, when it
    // has no ending, can still be given one before decoding.
    std::unique_ptr<char[]> data;
    qsizetype capacity = 0;
    qsizetype begin = 0;   // first byte not yet handed out
    qsizetype end = 0;     // one past the last byte read
    qint64 unread = 0;     // bytes of the file not read yet, by its size at opening
    qint64 consumed = 0;   // where in the file data[0] lies
    qint64 lineStart = -1; // where in the file the line handed out last begins
    qint64 lines = 0;      // lines passed, the last one handed out and those too long to keep
    bool atEnd = false;
    bool failed = false;
    QStringDecoder decoder;
    bool cp949 = false; // plain characters are then converted through the learnt table

    void reset();
    bool fill();
    void detectEncoding();
    bool nextLine(qsizetype &from, qsizetype &to);
    void decodeLine(qsizetype from, qsizetype newline, QString &line);
};

void TextFileReader::Private::reset()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    begin = end = 0;
    consumed = 0;
    lineStart = -1;
    lines = 0;
    atEnd = failed = false;
}

// Moves the unread tail to the front and reads the next block behind it; the buffer grows only
// for a line longer than everything it holds.
bool TextFileReader::Private::fill()
{
    if (begin > 0) {
        std::memmove(data.get(), data.get() + begin, size_t(end - begin));
        consumed += begin;
        end -= begin;
        begin = 0;
    }
    if (end == capacity) {
        auto bigger = std::make_unique_for_overwrite<char[]>(size_t(capacity * 2 + 1));
        std::memcpy(bigger.get(), data.get(), size_t(end));
        data = std::move(bigger);
        capacity *= 2;
    }
    ssize_t got;
    do {
        got = ::read(fd, data.get() + end, size_t(std::min<qint64>(capacity - end, unread)));
    } while (got < 0 && errno == EINTR);
    unread -= std::max<ssize_t>(got, 0);
    if (got <= 0) {
        atEnd = true;
        failed = got < 0;
        return false;
    }
    end += got;
    return true;
}

void TextFileReader::Private::detectEncoding()
{
    while (end < kUtf8BomSize && fill()) {
    }
    // A CP949 file can begin with these bytes too (癤 then a syllable whose first byte is BF):
    // only a file that is valid UTF-8 after them is read as UTF-8.
    if (end >= kUtf8BomSize && std::memcmp(data.get(), kUtf8Bom, kUtf8BomSize) == 0 &&
        restIsUtf8(fd, kUtf8BomSize)) {
        begin = kUtf8BomSize;
        // A byte-order mark inside the text is a character, not a second mark to drop.
        decoder = QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
        cp949 = false;
    } else {
        decoder = QStringDecoder(kCp949Name);
        cp949 = true;
    }
}

// Decodes the bytes from `from` up to the '\n' at `newline` (or the spare byte at the end) into
// `line`, without the line ending. Only the stretch from the first to the last high byte goes
// through the real decoder; the ASCII around it is widened directly, which is most of a line.
void TextFileReader::Private::decodeLine(qsizetype from, qsizetype newline, QString &line)
{
    char *bytes = data.get();
    qsizetype stop = newline;
    if (stop > from && bytes[stop - 1] == '\r')
        --stop;
    line.resize(stop - from);
    const qsizetype ascii = widenAscii(bytes + from, stop - from, reinterpret_cast<char16_t *>(line.data()));
    if (ascii == stop - from)
        return;
    // Korean syllables and ASCII only, the usual line, need no decoder.
    const qsizetype plain = cp949 ? cp949PlainToUtf16(bytes + from + ascii, stop - from - ascii,
                                                      reinterpret_cast<char16_t *>(line.data()) + ascii)
                                  : -1;
    if (plain >= 0) {
        line.resize(ascii + plain);
        return;
    }
    // The decoder also gets the ASCII byte after the last high one: whether that byte completes a
    // pair or not, the decoder is back in its initial state after it. When the line ends first,
    // a newline takes its place, so that a lead byte cut off by the line end becomes U+FFFD
    // instead of swallowing the first byte of the next line.
    const qsizetype spanEnd = lastHighByte(bytes, from + ascii, stop) + 1;
    if (spanEnd == stop)
        bytes[stop] = '\n';
    const QByteArrayView span(bytes + from + ascii, spanEnd + 1 - from - ascii);
    const qsizetype tail = stop - spanEnd - 1;
    line.resize(ascii + decoder.requiredSpace(span.size()) + qMax<qsizetype>(tail, 0));
    QChar *out = decoder.appendToBuffer(line.data() + ascii, span);
    if (tail > 0)
        out += widenAscii(bytes + spanEnd + 1, tail, reinterpret_cast<char16_t *>(out));
    else if (spanEnd == stop && out > line.constData() + ascii && out[-1] == u'\n')
        --out;
    line.resize(out - line.constData());
}

TextFileReader::TextFileReader() : d(new Private)
{
}

TextFileReader::~TextFileReader()
{
    d->reset();
    delete d;
}

bool TextFileReader::open(const QString &path)
{
    d->reset();
    const int fd = openRegularFile(path, d->unread);
    if (fd < 0)
        return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    d->fd = fd;
    if (!d->data) {
        d->capacity = kReadBlock;
        d->data = std::make_unique_for_overwrite<char[]>(size_t(d->capacity + 1));
    }
    d->detectEncoding();
    return true;
}

bool TextFileReader::isOpen() const
{
    return d->fd >= 0;
}

// Finds the bytes of the next line, [from, to) with `to` at its '\n' or at the end of the file,
// and moves past it. False at the end or on a read error.
bool TextFileReader::Private::nextLine(qsizetype &from, qsizetype &to)
{
    if (fd < 0 || failed)
        return false;
    qsizetype scanned = 0; // bytes after `begin` already known to hold no '\n'
    bool skipping = false; // inside a line too long to keep
    for (;;) {
        const char *base = data.get();
        const auto *newline = static_cast<const char *>(
            std::memchr(base + begin + scanned, '\n', size_t(end - begin - scanned)));
        if (newline && skipping) {
            begin = newline - base + 1;
            scanned = 0;
            skipping = false;
            ++lines;
            continue;
        }
        if (newline) {
            from = begin;
            to = newline - base;
            begin = to + 1;
            lineStart = consumed + from;
            ++lines;
            return true;
        }
        scanned = end - begin;
        if (skipping || scanned >= kMaxLineBytes) {
            skipping = true;
            begin = end; // what is read of the long line is dropped; the buffer never grows
            scanned = 0;
        }
        if (atEnd || !fill()) {
            if (skipping) {
                ++lines;
                return false;
            }
            if (failed || begin == end)
                return false;
            from = begin;
            to = begin = end;
            lineStart = consumed + from;
            ++lines;
            return true;
        }
    }
}

qint64 TextFileReader::readLine(QString &line)
{
    qsizetype from, to;
    if (!d->nextLine(from, to)) {
        line.resize(0);
        return -1;
    }
    d->decodeLine(from, to, line);
    return line.size();
}

qint64 TextFileReader::skipLine()
{
    qsizetype from, to;
    if (!d->nextLine(from, to))
        return -1;
    if (to > from && d->data[to - 1] == '\r')
        --to;
    return to - from;
}

bool TextFileReader::isUtf8() const
{
    return d->fd >= 0 && !d->cp949;
}

QString decodeDataLine(QByteArrayView bytes, bool utf8)
{
    if (utf8)
        return QString::fromUtf8(bytes);
    // A line feed after the line, as the reader gives the decoder: a lead byte the line's end
    // cuts off becomes U+FFFD and takes no character of its own.
    QStringDecoder decoder(kCp949Name);
    QString line = decoder.decode(bytes.toByteArray() + '\n');
    if (line.endsWith(u'\n'))
        line.chop(1);
    return line;
}

qint64 TextFileReader::lineOffset() const
{
    return d->lineStart;
}

qint64 TextFileReader::lineNumber() const
{
    return d->lines;
}

void TextFileReader::close()
{
    d->reset();
}
