#include "runtime/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// ICU knows IBM's table under "CP949", which decodes 8C 63 as garbage; Windows' table is the
// one the data files were written with.
constexpr const char *kCp949Name = "windows-949";
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr qsizetype kUtf8BomSize = 3;
constexpr qsizetype kReadBlock = qsizetype(1) << 20;
// UTF-16 units gathered before they are encoded and written in one go.
constexpr qsizetype kWriteChunk = qsizetype(1) << 18;

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

QString saveFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("'%1' 파일을 저장하지 못했습니다: %2").arg(path, reason);
}

} // namespace

struct TextFileReader::Private {
    int fd = -1;
    // Bytes read from the file; one spare byte past `capacity` so that the last line, when it
    // has no ending, can still be given one before decoding.
    std::unique_ptr<char[]> data;
    qsizetype capacity = 0;
    qsizetype begin = 0; // first byte not yet handed out
    qsizetype end = 0;   // one past the last byte read
    bool atEnd = false;
    bool failed = false;
    QStringDecoder decoder;

    void reset();
    bool fill();
    void detectEncoding();
    void decodeLine(qsizetype from, qsizetype newline, QString &line);
};

void TextFileReader::Private::reset()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    begin = end = 0;
    atEnd = failed = false;
}

// Moves the unread tail to the front and reads the next block behind it; the buffer grows only
// for a line longer than everything it holds.
bool TextFileReader::Private::fill()
{
    if (begin > 0) {
        std::memmove(data.get(), data.get() + begin, size_t(end - begin));
        end -= begin;
        begin = 0;
    }
    if (end == capacity) {
        auto bigger = std::make_unique<char[]>(size_t(capacity * 2 + 1));
        std::memcpy(bigger.get(), data.get(), size_t(end));
        data = std::move(bigger);
        capacity *= 2;
    }
    ssize_t got;
    do {
        got = ::read(fd, data.get() + end, size_t(capacity - end));
    } while (got < 0 && errno == EINTR);
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
    if (end >= kUtf8BomSize && std::memcmp(data.get(), kUtf8Bom, kUtf8BomSize) == 0) {
        begin = kUtf8BomSize;
        // A byte-order mark inside the text is a character, not a second mark to drop.
        decoder = QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    } else {
        decoder = QStringDecoder(kCp949Name);
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
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    d->fd = fd;
    if (!d->data) {
        d->capacity = kReadBlock;
        d->data = std::make_unique<char[]>(size_t(d->capacity + 1));
    }
    d->detectEncoding();
    return true;
}

bool TextFileReader::isOpen() const
{
    return d->fd >= 0;
}

qint64 TextFileReader::readLine(QString &line)
{
    if (d->fd < 0 || d->failed)
        return -1;
    qsizetype scanned = 0; // bytes after `begin` already known to hold no '\n'
    for (;;) {
        const char *base = d->data.get();
        const auto *newline = static_cast<const char *>(
            std::memchr(base + d->begin + scanned, '\n', size_t(d->end - d->begin - scanned)));
        if (newline) {
            const qsizetype at = newline - base;
            d->decodeLine(d->begin, at, line);
            d->begin = at + 1;
            return line.size();
        }
        scanned = d->end - d->begin;
        if (d->atEnd || !d->fill()) {
            if (d->failed || d->begin == d->end) {
                line.resize(0);
                return -1;
            }
            d->decodeLine(d->begin, d->end, line);
            d->begin = d->end;
            return line.size();
        }
    }
}

void TextFileReader::close()
{
    d->reset();
}

namespace {

// Gathers lines into large chunks and encodes each chunk in one call. In strict mode it stops
// at the first chunk the encoding cannot hold, so that the caller can start over in UTF-8.
class EncodingSink final : public LineSink {
  public:
    EncodingSink(QSaveFile &file, QStringEncoder &encoder, bool strict)
        : m_file(file), m_encoder(encoder), m_strict(strict)
    {
    }

    bool writeLine(QStringView line) override
    {
        if (stopped())
            return false;
        m_pending.append(line);
        m_pending.append(u"\r\n");
        return m_pending.size() < kWriteChunk || flush();
    }

    bool flush();
    [[nodiscard]] bool unencodable() const { return m_unencodable; }
    [[nodiscard]] bool writeFailed() const { return m_writeFailed; }

  private:
    [[nodiscard]] bool stopped() const { return m_unencodable || m_writeFailed; }

    QSaveFile &m_file;
    QStringEncoder &m_encoder;
    QString m_pending;
    QByteArray m_bytes;
    bool m_strict;
    bool m_unencodable = false;
    bool m_writeFailed = false;
};

bool EncodingSink::flush()
{
    if (stopped() || m_pending.isEmpty())
        return !stopped();
    m_bytes.resize(m_encoder.requiredSpace(m_pending.size()));
    const char *last = m_encoder.appendToBuffer(m_bytes.data(), m_pending);
    m_pending.resize(0);
    if (m_strict && m_encoder.hasError()) {
        m_unencodable = true;
        return false;
    }
    const qint64 size = last - m_bytes.constData();
    if (m_file.write(m_bytes.constData(), size) != size)
        m_writeFailed = true;
    return !m_writeFailed;
}

enum class WriteOutcome { Written, Unencodable, Failed };

// Gets the written bytes onto the disc before the rename. QSaveFile::commit syncs as well, but
// ignores the result; a failure here must keep the old file.
bool syncToDisk(QSaveFile &file, QString &reason)
{
    if (!file.flush()) {
        reason = file.errorString();
        return false;
    }
    if (::fdatasync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        reason = qt_error_string(errno);
        return false;
    }
    return true;
}

// Makes the rename itself durable; the new file is in place already, so errors are left alone.
void syncFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

WriteOutcome writeAttempt(const QString &path, const std::function<void(LineSink &)> &produce, bool utf8,
                          QString &error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = saveFailure(path, file.errorString());
        return WriteOutcome::Failed;
    }
    QStringEncoder encoder = utf8 ? QStringEncoder(QStringEncoder::Utf8) : QStringEncoder(kCp949Name);
    EncodingSink sink(file, encoder, !utf8);
    if (utf8 && file.write(kUtf8Bom, kUtf8BomSize) != kUtf8BomSize) {
        error = saveFailure(path, file.errorString());
        return WriteOutcome::Failed;
    }
    produce(sink);
    sink.flush();
    if (sink.unencodable()) {
        file.cancelWriting();
        return WriteOutcome::Unencodable;
    }
    QString reason;
    if (sink.writeFailed() || !syncToDisk(file, reason) || !file.commit()) {
        error = saveFailure(path, reason.isEmpty() ? file.errorString() : reason);
        file.cancelWriting();
        return WriteOutcome::Failed;
    }
    syncFolderOf(path);
    return WriteOutcome::Written;
}

} // namespace

FileResult writeTextFileAtomically(const QString &path, const std::function<void(LineSink &)> &produce)
{
    QString error;
    WriteOutcome outcome = writeAttempt(path, produce, false, error);
    if (outcome == WriteOutcome::Unencodable)
        outcome = writeAttempt(path, produce, true, error);
    if (outcome == WriteOutcome::Written)
        return {true, {}};
    return {false, error};
}

namespace {

// The readers the scripts opened, by handle. Like file descriptors, a handle is the smallest free
// number from 1 on, so numbers stay small and a closed one is used again.
struct OpenFiles {
    std::mutex mutex;
    std::map<int, std::unique_ptr<TextFileReader>> readers;
};

OpenFiles &openFiles()
{
    static OpenFiles files;
    return files;
}

} // namespace

int FileOpen(const QString &path)
{
    auto reader = std::make_unique<TextFileReader>();
    if (path.isEmpty() || !reader->open(path))
        return -1;
    OpenFiles &files = openFiles();
    std::lock_guard lock(files.mutex);
    int handle = 1;
    for (const auto &entry : files.readers) {
        if (entry.first != handle)
            break;
        ++handle;
    }
    files.readers.emplace(handle, std::move(reader));
    return handle;
}

int FileRead(int handle, QString &line)
{
    OpenFiles &files = openFiles();
    std::lock_guard lock(files.mutex);
    const auto it = files.readers.find(handle);
    if (it == files.readers.end())
        return -1;
    return int(it->second->readLine(line));
}

int FileClose(int handle)
{
    OpenFiles &files = openFiles();
    std::lock_guard lock(files.mutex);
    return files.readers.erase(handle) == 1 ? 1 : -1;
}

bool FileDelete(const QString &path)
{
    // unlink refuses folders, so a script cannot remove one by mistake.
    return !path.isEmpty() && ::unlink(QFile::encodeName(path).constData()) == 0;
}

bool DirectoryExists(const QString &path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

int CreateDirectory(const QString &path)
{
    if (path.isEmpty())
        return -1;
    return ::mkdir(QFile::encodeName(path).constData(), 0777) == 0 ? 1 : -1;
}

QString GetCurrentDirectory()
{
    return QDir::currentPath();
}

int ChangeDirectory(const QString &path)
{
    return !path.isEmpty() && QDir::setCurrent(path) ? 1 : -1;
}
