#include "search/search.h"

#include "catalogue/layouts.h"
#include "files/paths.h"
#include "files/textcodec.h"
#include "search/searchindex.h"
#include "search/searchindexread.h"
#include "search/textforms.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr qsizetype kBlock = qsizetype(1) << 20;
// The first read is smaller: a text near the start of a file is found without reading a megabyte.
constexpr qsizetype kFirstRead = qsizetype(64) << 10;

QByteArray cp949BytesOf(const QString &text, bool &held)
{
    QStringEncoder encoder(kCp949Name, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    held = !encoder.hasError();
    return held ? bytes : QByteArray();
}

// The longest run of characters of a composed text that only themselves give.
QString anchorOf(const QString &text)
{
    QString best, run;
    for (const char32_t c : codePoints(text)) {
        if (standsForItself(c, CaseRule::Exact)) {
            run += textOf({&c, 1});
        } else {
            best = run.size() > best.size() ? run : best;
            run.clear();
        }
    }
    return run.size() > best.size() ? run : best;
}

// Decodes one line as the reader would and looks for the text in it.
bool lineHolds(const char *begin, const char *end, bool utf8, const QString &text)
{
    if (end > begin && end[-1] == '\r')
        --end;
    // A new decoder each time: Qt's ICU decoders stay in error once they have met one.
    // A U+FEFF at the start of a line is a character there, as the reader keeps it.
    QStringDecoder decoder =
        utf8 ? QStringDecoder(QStringDecoder::Utf8,
                              QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
             : QStringDecoder(kCp949Name, QStringConverter::Flag::Stateless);
    const QString line = decoder.decode(QByteArrayView(begin, end - begin));
    return composed(line).contains(text);
}

class FileCloser {
  public:
    explicit FileCloser(int fd) : m_fd(fd) {}
    ~FileCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

  private:
    int m_fd;
};

} // namespace

// The position of the first empty line in [from, end), a run of whole lines, or -1. A line is
// empty when nothing is left once its LF and the CR before it are taken off: it starts at `from`
// or right after an LF and is "\n" or "\r\n", or a lone "\r" at the very end of the file.
qsizetype firstEmptyLine(const char *bytes, qsizetype from, qsizetype end, bool fileEnd)
{
    const auto emptyAt = [&](qsizetype at) {
        return at < end && (bytes[at] == '\n' ||
                            (bytes[at] == '\r' && (at + 1 == end ? fileEnd : bytes[at + 1] == '\n')));
    };
    if (emptyAt(from))
        return from;
    qsizetype i = from;
#ifdef __SSE2__
    // Sixteen line ends at a time: an LF followed by an LF or a CR.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 17 <= end; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i + 1));
        const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(here, lf),
                                          _mm_or_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(next, cr)));
        for (int mask = _mm_movemask_epi8(hit); mask != 0; mask &= mask - 1) {
            const qsizetype at = i + qCountTrailingZeroBits(uint(mask)) + 1;
            if (emptyAt(at))
                return at;
        }
    }
#endif
    for (; i + 1 < end; ++i) {
        if (bytes[i] == '\n' && emptyAt(i + 1))
            return i + 1;
    }
    return -1;
}

CatalogueMatcher::CatalogueMatcher(const QString &text) : m_text(composed(text))
{
    const QString anchor = anchorOf(m_text);
    m_cp949 = cp949BytesOf(anchor, m_cp949Holds);
    m_utf8 = anchor.toUtf8();
    for (const QChar c : anchor)
        m_jamo = m_jamo || Hangul::isSyllable(c.unicode());
}

bool CatalogueMatcher::matches(const QString &path, const std::function<bool()> &cancelled) const
{
    // No line holds a line break; and an empty text is no search.
    if (m_text.isEmpty() || m_text.contains(u'\n'))
        return false;
    qint64 unread = 0;
    const int fd = openRegularFile(path, unread);
    if (fd < 0)
        return false;
    FileCloser closer(fd);
    char mark[kUtf8BomSize];
    const bool utf8 = ::pread(fd, mark, kUtf8BomSize, 0) == kUtf8BomSize &&
                      std::memcmp(mark, kUtf8Bom, kUtf8BomSize) == 0 && restIsUtf8(fd, kUtf8BomSize);
    if (!utf8 && !m_cp949Holds)
        return false; // CP949 cannot hold the text
    if (utf8 && ::lseek(fd, kUtf8BomSize, SEEK_SET) != kUtf8BomSize)
        return false;
    unread -= utf8 ? kUtf8BomSize : 0;

    std::unique_ptr<char[]> buffer(new char[kBlock]);
    qsizetype held = 0; // bytes in the buffer, the unfinished last line at its end
    qsizetype readSize = kFirstRead;
    bool skipping = false; // inside a line too long to search, which the reader passes over too
    for (;;) {
        if (held == kBlock) {
            skipping = true;
            held = 0;
        }
        ssize_t got;
        do {
            got = ::read(fd, buffer.get() + held,
                         size_t(std::min<qint64>(std::min(readSize, kBlock - held), unread)));
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            return false;
        unread -= got;
        const bool fileEnd = got == 0;
        if (skipping) {
            const char *lf = static_cast<const char *>(std::memchr(buffer.get(), '\n', size_t(got)));
            if (!lf) {
                if (fileEnd)
                    return false;
                continue; // held stays 0: the long line's bytes are dropped
            }
            skipping = false;
            held = got - (lf + 1 - buffer.get());
            std::memmove(buffer.get(), lf + 1, size_t(held));
            got = 0; // what is left is known, a line start at its front; the end is not reached yet
            if (held == 0)
                continue;
        }
        held += got;
        if (held == 0)
            return false;
        const char *bytes = buffer.get();
        // Whole lines only; at the end of the file the rest is the last line.
        const char *lastLf = static_cast<const char *>(memrchr(bytes, '\n', size_t(held)));
        const qsizetype lines = fileEnd ? held : (lastLf ? lastLf - bytes + 1 : 0);
        if (lines > 0) {
            const qsizetype empty = firstEmptyLine(bytes, 0, lines, fileEnd);
            if (linesHold(bytes, empty < 0 ? lines : empty, utf8))
                return true;
            if (empty >= 0)
                return false;
        }
        if (fileEnd || (cancelled && cancelled()))
            return false;
        std::memmove(buffer.get(), bytes + lines, size_t(held - lines));
        held -= lines;
        readSize = kBlock;
    }
}

bool CatalogueMatcher::linesHold(const char *bytes, qsizetype size, bool utf8) const
{
    const QByteArray &needle = utf8 ? m_utf8 : m_cp949;
    const char *limit = bytes + size;
    const bool jamo = utf8 && m_jamo;
    // The next place that may hold the text: the needle, conjoining jamo, or every line.
    const auto next = [&](const char *from) -> const char * {
        if (from >= limit)
            return nullptr;
        if (needle.isEmpty())
            return from;
        const char *found = static_cast<const char *>(
            memmem(from, size_t(limit - from), needle.constData(), size_t(needle.size())));
        const char *until = found ? found : limit;
        const char *lead =
            jamo ? static_cast<const char *>(std::memchr(from, 0xE1, size_t(until - from))) : nullptr;
        return lead ? lead : found;
    };
    for (const char *at = bytes; (at = next(at));) {
        const char *lf = static_cast<const char *>(memrchr(bytes, '\n', size_t(at - bytes)));
        const char *begin = lf ? lf + 1 : bytes;
        const char *end = static_cast<const char *>(std::memchr(at, '\n', size_t(limit - at)));
        end = end ? end : limit;
        if (lineHolds(begin, end, utf8, m_text))
            return true;
        at = end + 1; // the whole line was checked
    }
    return false;
}

bool CatalogueMatcher::matchesIn(const QString &path, const FileRanges &parts,
                                 const std::function<bool()> &cancelled) const
{
    if (m_text.isEmpty() || m_text.contains(u'\n'))
        return false;
    const int fd = openUnchanged(path, parts.stamp);
    if (fd < 0)
        return matches(path, cancelled);
    FileCloser closer(fd);
    if (!parts.utf8 && !m_cp949Holds)
        return false; // CP949 cannot hold the text
    bool found = false;
    for (const LineRange &range : parts.ranges) {
        const bool whole = readRange(fd, range, [&](const char *bytes, qsizetype size) {
            found = linesHold(bytes, size, parts.utf8);
            return !found && !(cancelled && cancelled());
        });
        if (found || !whole)
            return found;
    }
    return false;
}

namespace {

// Files the index lets be read in parts are many small reads: they are done on all cores before
// the listing is walked. No cancel is asked for: together they are a small part of the catalogue.
QHash<QString, bool> matchParts(const CatalogueMatcher &matcher, const QString &dataFolder,
                                const SearchCandidates &candidates)
{
    const QStringList names = candidates.parts.keys();
    std::vector<char> holds(size_t(names.size()));
    runOnThreads(names.size(), [&](qsizetype i) {
        holds[size_t(i)] =
            matcher.matchesIn(dataFolder + kPathSeparator + names[i], *candidates.partsOf(names[i]));
    });
    QHash<QString, bool> answers;
    for (qsizetype i = 0; i < names.size(); ++i)
        answers.insert(names[i], holds[size_t(i)] != 0);
    return answers;
}

} // namespace

SearchOutcome searchCatalogues(HookContext &hooks, ListBoxModel &lb_file, const RecordSet &dw_cdinfo,
                               const QString &dataFolder, const QString &text)
{
    SearchOutcome outcome;
    lb_file.Reset();
    lb_file.DirList(dataFolder + kPathSeparator + QStringLiteral("cd_*.dat"), DirListFolders);
    const int count = lb_file.TotalItems();
    // Files the index shows cannot hold the text are not read.
    const SearchCandidates candidates =
        text.isEmpty() ? SearchCandidates{} : SearchIndex::candidateFiles(dataFolder, text, hooks);
    outcome.cancelled = candidates.cancelled;
    if (outcome.cancelled)
        return outcome;
    hooks.setMaximum(count);
    const CatalogueMatcher matcher(text);
    // The first index row of each file name, as a search of the index for "file='name'" finds it.
    QHash<QString, qint64> rowOfFile;
    for (qint64 row = dw_cdinfo.RowCount(); row >= 1; --row)
        rowOfFile.insert(dw_cdinfo.GetItemString(row, IndexColumn::file), row);
    const QHash<QString, bool> partsHold = matchParts(matcher, dataFolder, candidates);
    const auto holds = [&](const QString &name) {
        const auto known = partsHold.constFind(name);
        return known != partsHold.cend()
                   ? *known
                   : matcher.matches(dataFolder + kPathSeparator + name, hooks.yieldAndCheckCancel);
    };
    for (int i = 1; i <= count; ++i) {
        if (hooks.cancelled()) {
            outcome.cancelled = true;
            break;
        }
        const QString name = lb_file.Text(i);
        // Subfolders are listed too; only files can be catalogues.
        if (!name.isEmpty() && !lb_file.isFolderEntry(i) &&
            (text.isEmpty() || (candidates.mayHold(name) && holds(name)))) {
            const qint64 row = rowOfFile.value(name);
            if (row > 0)
                outcome.indexRows.push_back(row);
        }
        hooks.advance();
    }
    return outcome;
}
