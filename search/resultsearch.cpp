#include "search/resultsearch.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "files/paths.h"
#include "files/textcodec.h"
#include "files/textfile.h"
#include "search/search.h"
#include "search/searchindex.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <optional>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr qsizetype kBlockSize = qsizetype(1) << 20;

// The number of line feeds in [from, to).
qint64 countLineFeeds(const char *from, const char *to)
{
    qint64 count = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (to - from >= 16) {
        // Byte counters, summed before any of them can pass 255.
        __m128i counts = zero;
        for (int step = 0; step < 255 && to - from >= 16; ++step, from += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, lf));
        }
        const __m128i sums = _mm_sad_epu8(counts, zero);
        count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    }
#endif
    for (; from < to; ++from)
        count += *from == '\n';
    return count;
}

// Where the first empty line of [bytes, bytes + size), a run of whole lines ending the file's
// bytes read so far, begins; the size when there is none.
qsizetype emptyLineAt(const char *bytes, qsizetype size)
{
    const qsizetype at = firstEmptyLine(bytes, 0, size, true);
    return at < 0 ? size : at;
}

// The tab-separated field `index` (0-based) of a line, empty when the line has fewer.
QByteArrayView field(QByteArrayView line, int index)
{
    for (; index > 0; --index) {
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            return {};
        line = line.sliced(tab + 1);
    }
    const qsizetype tab = line.indexOf('\t');
    return tab < 0 ? line : line.first(tab);
}

class FileCloser {
  public:
    explicit FileCloser(int fd) : m_fd(fd) {}
    ~FileCloser() { ::close(m_fd); }
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;

  private:
    int m_fd;
};

// The search through one disc's catalogue file.
class DiscSearch {
  public:
    DiscSearch(ResultStore &store, int disc, const QString &text, const QByteArray &cp949)
        : m_store(store), m_disc(disc), m_text(text), m_cp949(cp949)
    {
    }
    // False when the user cancelled; `blockDone` runs after each block and says whether to go on.
    // With `parts`, only those lines are read while the file is as the index found it.
    bool run(const QString &path, const std::function<bool()> &blockDone, const FileRanges *parts);

  private:
    bool readBlocks(int fd, const std::function<bool()> &blockDone);
    bool readParts(int fd, const FileRanges &parts, const std::function<bool()> &blockDone);
    // Looks at the lines of a block up to `limit`; the block starts at a line's start.
    void searchBlock(const char *bytes, qsizetype limit);
    void checkLine(QByteArrayView line, qint64 number);
    QString decode(QByteArrayView bytes);

    ResultStore &m_store;
    int m_disc;
    const QString &m_text;
    const QByteArray &m_cp949;
    QByteArray m_needle;
    bool m_utf8 = false;
    std::optional<QStringDecoder> m_decoder;
    qint64 m_linesBefore = 0; // lines before the block being searched
    struct Path {
        QByteArray bytes;
        QString text;
        bool holds = false;
        std::optional<quint32> stored; // its number in the store, once a row uses it
    };
    std::optional<Path> m_path;
};

bool DiscSearch::run(const QString &path, const std::function<bool()> &blockDone, const FileRanges *parts)
{
    const int partFd = parts ? openUnchanged(path, parts->stamp) : -1;
    if (partFd >= 0) {
        FileCloser closer(partFd);
        return readParts(partFd, *parts, blockDone);
    }
    qint64 size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0)
        return true;
    FileCloser closer(fd);
    char mark[kUtf8BomSize];
    m_utf8 = ::pread(fd, mark, kUtf8BomSize, 0) == kUtf8BomSize &&
             std::memcmp(mark, kUtf8Bom, kUtf8BomSize) == 0 && restIsUtf8(fd, kUtf8BomSize);
    m_needle = m_utf8 ? m_text.toUtf8() : m_cp949;
    if (m_needle.isEmpty() || (m_utf8 && ::lseek(fd, kUtf8BomSize, SEEK_SET) != kUtf8BomSize))
        return true; // CP949 cannot hold the text, or the file is unreadable
    return readBlocks(fd, blockDone);
}

bool DiscSearch::readBlocks(int fd, const std::function<bool()> &blockDone)
{
    std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    qsizetype held = 0;    // bytes in the buffer, the unfinished last line at its end
    bool skipping = false; // inside a line longer than a block, which the loader passes over too
    for (;;) {
        if (held == kBlockSize) {
            skipping = true;
            held = 0;
        }
        ssize_t got;
        do {
            got = ::read(fd, buffer.get() + held, size_t(kBlockSize - held));
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            return true;
        const bool fileEnd = got == 0;
        if (skipping) {
            const char *lf = static_cast<const char *>(std::memchr(buffer.get(), '\n', size_t(got)));
            if (!lf) {
                if (fileEnd)
                    return blockDone();
                continue; // the long line's bytes are dropped
            }
            skipping = false;
            ++m_linesBefore; // the rows after it keep their line numbers
            held = got - (lf + 1 - buffer.get());
            std::memmove(buffer.get(), lf + 1, size_t(held));
            got = 0;
        }
        held += got;
        const char *bytes = buffer.get();
        const char *lastLf =
            held > 0 ? static_cast<const char *>(memrchr(bytes, '\n', size_t(held))) : nullptr;
        const qsizetype lines = fileEnd ? held : (lastLf ? lastLf - bytes + 1 : 0);
        const qsizetype empty = emptyLineAt(bytes, lines);
        searchBlock(bytes, empty);
        if (fileEnd || empty < lines)
            return blockDone();
        if (!blockDone())
            return false;
        m_linesBefore += countLineFeeds(bytes, bytes + lines);
        std::memmove(buffer.get(), bytes + lines, size_t(held - lines));
        held -= lines;
    }
}

bool DiscSearch::readParts(int fd, const FileRanges &parts, const std::function<bool()> &blockDone)
{
    m_utf8 = parts.utf8;
    m_needle = m_utf8 ? m_text.toUtf8() : m_cp949;
    if (m_needle.isEmpty())
        return true; // CP949 cannot hold the text
    bool goOn = true;
    for (const LineRange &range : parts.ranges) {
        m_linesBefore = range.linesBefore;
        const bool whole = readRange(fd, range, [&](const char *bytes, qsizetype size) {
            searchBlock(bytes, size);
            m_linesBefore += countLineFeeds(bytes, bytes + size);
            return goOn = blockDone();
        });
        if (!whole)
            return goOn; // stopped by the user, or the file could not be read further
    }
    return true;
}

void DiscSearch::searchBlock(const char *bytes, qsizetype limit)
{
    const char *end = bytes + limit;
    const char *counted = bytes; // the line number is known up to here
    qint64 line = m_linesBefore + 1;
    for (const char *at = bytes;
         at < end && (at = static_cast<const char *>(
                          memmem(at, size_t(end - at), m_needle.constData(), size_t(m_needle.size()))));) {
        const char *lf = static_cast<const char *>(memrchr(counted, '\n', size_t(at - counted)));
        const char *begin = lf ? lf + 1 : counted;
        line += countLineFeeds(counted, begin);
        counted = begin;
        const char *stop = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        stop = stop ? stop : end;
        QByteArrayView text(begin, stop - begin);
        if (text.endsWith('\r'))
            text.chop(1);
        checkLine(text, line);
        at = stop;
    }
}

QString DiscSearch::decode(QByteArrayView bytes)
{
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return QString::fromLatin1(bytes);
    // Qt's ICU decoders stay in error once they have met one: a new one then.
    if (!m_decoder || m_decoder->hasError())
        m_decoder.emplace(m_utf8 ? QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless)
                                 : QStringDecoder(kCp949Name, QStringConverter::Flag::Stateless));
    // Ended as in the line, by a character that cannot finish a two-byte one: a lead byte left
    // open at the end becomes U+FFFD, as the reader makes it, instead of being dropped.
    QByteArray ended = bytes.toByteArray();
    ended += '\n';
    QString text = m_decoder->decode(ended);
    text.chop(1);
    return text;
}

void DiscSearch::checkLine(QByteArrayView line, qint64 number)
{
    // A tab never occurs inside a CP949 or UTF-8 character, so the fields can be cut as bytes.
    const QByteArrayView pathBytes = field(line, TreeColumn::fullname - 1);
    // The rows of one folder follow each other and share its path: it is decoded and kept once.
    if (!m_path || pathBytes != m_path->bytes) {
        Path path;
        path.bytes = pathBytes.toByteArray();
        path.text = decode(pathBytes);
        path.holds = path.text.contains(m_text);
        m_path = std::move(path);
    }
    const QString name = decode(field(line, TreeColumn::name - 1));
    if (!m_path->holds && !name.contains(m_text))
        return;
    // A line the loader does not take is no row of the tree.
    for (int column = TreeColumn::selected; column <= TreeColumn::level; ++column) {
        if (!RecordSet::isNumberField(decode(field(line, column - 1))))
            return;
    }
    if (!m_path->stored)
        m_path->stored = m_store.addPath(m_path->text);
    const bool folder = field(line, TreeColumn::bmpname - 1) == QByteArrayView("folder.bmp");
    m_store.append(m_disc, number, *m_path->stored, name, folder);
}

QByteArray cp949Needle(const QString &text)
{
    QStringEncoder encoder(kCp949Name, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    return encoder.hasError() ? QByteArray() : bytes;
}

} // namespace

ResultsOutcome searchResults(HookContext &hooks, ResultStore &store, const QString &dataFolder,
                             const QString &text, const RowsFound &found)
{
    ResultsOutcome outcome;
    const int discs = int(store.discs().size());
    // No path or name holds a tab or a line break.
    const bool searchable = !text.isEmpty() && !text.contains(u'\t') && !text.contains(u'\n');
    const QByteArray cp949 = searchable ? cp949Needle(text) : QByteArray();
    // Discs whose files cannot hold the text are not read, and of the others only the lines
    // that may hold it.
    const SearchCandidates candidates =
        searchable ? SearchIndex::candidateFiles(dataFolder, text, hooks) : SearchCandidates{};
    if (candidates.cancelled)
        return {true};
    hooks.setMaximum(discs);
    qsizetype reported = store.rowCount();
    const auto blockDone = [&] {
        if (found && store.rowCount() > reported)
            found(reported, store.rowCount() - reported);
        reported = store.rowCount();
        return !hooks.cancelled();
    };
    for (int disc = 0; disc < discs && !outcome.cancelled; ++disc) {
        if (hooks.cancelled()) {
            outcome.cancelled = true;
            break;
        }
        const QString &file = store.discs()[size_t(disc)].file;
        if (searchable && isBareFileName(file) && candidates.mayHold(file)) {
            DiscSearch search(store, disc, text, cp949);
            outcome.cancelled =
                !search.run(dataFolder + kPathSeparator + file, blockDone, candidates.partsOf(file));
        }
        hooks.advance();
    }
    return outcome;
}
