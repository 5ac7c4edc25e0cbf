#include "search/resultsearch.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefacts.h"
#include "files/paths.h"
#include "files/textcodec.h"
#include "files/textfile.h"
#include "search/comparedbytes.h"
#include "search/disctags.h"
#include "search/querymatch.h"
#include "search/search.h"
#include "search/searchindex.h"

#include <QFile>
#include <QStringEncoder>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

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

// The bytes to look for in one disc's file before a line is decoded: the anchor of a word
// (search/querymatch.h), in the file's encoding.
struct Needle {
    QByteArray bytes;       // empty: every line is looked at
    bool foldAscii = false; // looked for in the block with its ASCII letters lower-cased
    bool jamo = false;      // lines holding conjoining jamo are looked at too (UTF-8 only)
};

// The first field of the file's first line, from `start` on: the disc's root path.
QByteArray rootPath(int fd, qint64 start)
{
    QByteArray line;
    char bytes[4096];
    for (qint64 at = start; line.size() < kBlockSize;) {
        ssize_t got;
        do {
            got = ::pread(fd, bytes, sizeof bytes, at);
        } while (got < 0 && errno == EINTR);
        if (got <= 0)
            break;
        const char *lf = static_cast<const char *>(std::memchr(bytes, '\n', size_t(got)));
        line.append(bytes, lf ? lf - bytes : got);
        if (lf)
            break;
        at += got;
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return field(line, TreeColumn::fullname - 1).toByteArray();
}

// The search through one disc's catalogue file.
class DiscSearch {
  public:
    DiscSearch(ResultStore &store, int disc, const QueryMatcher &matcher, const QString &dataFolder,
               ResultsOutcome &outcome)
        : m_store(store), m_disc(disc), m_matcher(matcher), m_dataFolder(dataFolder), m_outcome(outcome)
    {
    }
    // False when the user cancelled; `blockDone` runs after each block and says whether to go on.
    // With `parts`, only those lines are read while the file is as the index found it.
    bool run(const QString &file, const std::function<bool()> &blockDone, const FileRanges *parts);
    // The second pass, for the rows whose song's tags hold the words their path and name lack:
    // the lines of the rows with tags only, each kept marked as found by its tags.
    bool runForTags(const QString &file, const std::function<bool()> &blockDone);

  private:
    // False when no line of the file can hold the query.
    bool prepare(int fd, bool utf8);
    bool readBlocks(int fd, const std::function<bool()> &blockDone);
    bool readParts(int fd, const FileRanges &parts, const std::function<bool()> &blockDone);
    // Looks at the lines of a block up to `limit`; the block starts at a line's start.
    void searchBlock(const char *bytes, qsizetype limit);
    void checkLine(QByteArrayView line, qint64 number);
    // Whether the row at `number` is to be kept for its tags, in the second pass.
    [[nodiscard]] bool foundByTags(QByteArrayView note, const std::vector<char> &inPath,
                                   std::u32string_view name);
    // The note of the row at `number`, null when it has none.
    [[nodiscard]] const QByteArrayView *tagNote(qint64 number) const;

    ResultStore &m_store;
    int m_disc;
    const QueryMatcher &m_matcher;
    const QString &m_dataFolder;
    ResultsOutcome &m_outcome;
    QString m_file;
    bool m_utf8 = false;
    QByteArray m_root;
    QString m_rootText; // decoded
    Needle m_needle;
    std::optional<SideFacts> m_facts;
    // In the second pass: the lines of the rows that have facts of a picture or a song, rising.
    bool m_forTags = false;
    std::vector<std::pair<qint64, QByteArrayView>> m_tagLines;
    QByteArray m_folded;
    std::u32string m_name;
    std::u32string m_foldedName;
    qint64 m_linesBefore = 0; // lines before the block being searched
    struct Path {
        QByteArray bytes;
        std::vector<char> words;       // which words the path below the root holds
        std::optional<quint32> stored; // its number in the store, once a row uses it
    };
    std::optional<Path> m_path;
};

bool DiscSearch::prepare(int fd, bool utf8)
{
    m_utf8 = utf8;
    m_root = rootPath(fd, utf8 ? kUtf8BomSize : 0);
    m_rootText = decodedField(m_root, utf8);
    m_store.setDiscText(m_disc, utf8, m_root);
    if (const WordPattern *word = m_forTags ? nullptr : m_matcher.anchorWord()) {
        const QString anchor = textOf(word->anchor());
        if (!utf8) {
            QStringEncoder cp949(kCp949Name, QStringConverter::Flag::Stateless);
            m_needle.bytes = cp949.encode(anchor);
            // Characters only themselves give, that CP949 cannot hold: no line of it holds them.
            if (cp949.hasError())
                return false;
        } else {
            m_needle.bytes = anchor.toUtf8();
        }
        m_needle.foldAscii = word->anchorFoldsAscii();
        // Folded as the block is: a two-byte character's second byte may be an ASCII letter.
        if (m_needle.foldAscii)
            foldAscii(m_needle.bytes.constData(), m_needle.bytes.size(), m_needle.bytes.data());
        m_needle.jamo = utf8 && word->anchorHasSyllable();
    }
    if (m_matcher.query().hasFactFilters() || m_matcher.query().hasMediaFilters() || m_forTags)
        m_facts = readSideFacts(m_dataFolder, m_file);
    if (m_forTags) {
        m_tagLines = m_facts->mediaLines();
        return !m_tagLines.empty();
    }
    return true;
}

bool DiscSearch::runForTags(const QString &file, const std::function<bool()> &blockDone)
{
    m_forTags = true;
    return run(file, blockDone, nullptr);
}

const QByteArrayView *DiscSearch::tagNote(qint64 number) const
{
    const auto found = std::lower_bound(m_tagLines.begin(), m_tagLines.end(), number,
                                        [](const auto &line, qint64 n) { return line.first < n; });
    return found == m_tagLines.end() || found->first != number ? nullptr : &found->second;
}

bool DiscSearch::foundByTags(QByteArrayView note, const std::vector<char> &inPath, std::u32string_view name)
{
    const std::optional<MediaFacts> facts = decodeMediaFacts(note);
    return facts &&
           m_matcher.holdsWithTags(inPath, name, QueryMatcher::tagsText(*facts, m_matcher.caseRule()));
}

bool DiscSearch::run(const QString &file, const std::function<bool()> &blockDone, const FileRanges *parts)
{
    m_file = file;
    const QString path = m_dataFolder + kPathSeparator + file;
    const int partFd = parts ? openUnchanged(path, parts->stamp) : -1;
    if (partFd >= 0) {
        FileCloser closer(partFd);
        return !prepare(partFd, parts->utf8) || readParts(partFd, *parts, blockDone);
    }
    qint64 size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0)
        return true;
    FileCloser closer(fd);
    char mark[kUtf8BomSize];
    const bool utf8 = ::pread(fd, mark, kUtf8BomSize, 0) == kUtf8BomSize &&
                      std::memcmp(mark, kUtf8Bom, kUtf8BomSize) == 0 && restIsUtf8(fd, kUtf8BomSize);
    if (!prepare(fd, utf8) || (utf8 && ::lseek(fd, kUtf8BomSize, SEEK_SET) != kUtf8BomSize))
        return true; // no line can hold the query, or the file is unreadable
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
    bool goOn = true;
    for (const LineRange &range : parts.ranges) {
        m_linesBefore = range.linesBefore;
        m_path.reset(); // the line before the range is not known
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
    // Where the needle is looked for: the block itself, or a copy with its ASCII lower-cased.
    const char *hay = bytes;
    if (!m_needle.bytes.isEmpty() && m_needle.foldAscii) {
        m_folded.resize(limit);
        foldAscii(bytes, limit, m_folded.data());
        hay = m_folded.constData();
    }
    const auto next = [&](const char *from) -> const char * {
        if (m_needle.bytes.isEmpty())
            return from; // every line
        const char *found =
            static_cast<const char *>(memmem(hay + (from - bytes), size_t(end - from),
                                             m_needle.bytes.constData(), size_t(m_needle.bytes.size())));
        const char *at = found ? bytes + (found - hay) : end;
        if (m_needle.jamo) {
            const char *jamo = static_cast<const char *>(std::memchr(from, 0xE1, size_t(at - from)));
            at = jamo ? jamo : at;
        }
        return at;
    };
    const char *counted = bytes; // the line number is known up to here
    qint64 line = m_linesBefore + 1;
    for (const char *at = bytes; at < end && (at = next(at)) < end;) {
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
        at = stop + 1;
    }
}

void DiscSearch::checkLine(QByteArrayView line, qint64 number)
{
    const QByteArrayView *tags = m_forTags ? tagNote(number) : nullptr;
    if (m_forTags && !tags)
        return;
    // A tab never occurs inside a CP949 or UTF-8 character, so the fields can be cut as bytes.
    const QByteArrayView pathBytes = field(line, TreeColumn::fullname - 1);
    const CaseRule rule = m_matcher.caseRule();
    // The rows of one folder follow each other and share its path: it is looked at once.
    if (!m_path || pathBytes != m_path->bytes) {
        Path path;
        path.bytes = pathBytes.toByteArray();
        QByteArrayView below;
        if (belowRootBytes(pathBytes, m_root, m_rootText, below))
            comparedFromBytes(below, m_utf8, rule, m_name);
        else
            m_name = codePoints(
                comparedForm(belowRoot(decodedField(pathBytes, m_utf8), decodedField(m_root, m_utf8)), rule));
        path.words = m_matcher.wordsIn(m_name);
        m_path = std::move(path);
    }
    const QByteArrayView nameBytes = field(line, TreeColumn::name - 1);
    comparedFromBytes(nameBytes, m_utf8, rule, m_name);
    // The second pass keeps only what the first could not find by the path and the name.
    const bool byName = m_matcher.holds(m_path->words, m_name);
    if (m_forTags ? byName || !foundByTags(*tags, m_path->words, m_name) : !byName)
        return;
    // A line the loader does not take is no row of the tree.
    for (int column = TreeColumn::selected; column <= TreeColumn::level; ++column) {
        if (!RecordSet::isNumberField(decodedField(field(line, column - 1), m_utf8)))
            return;
    }
    const bool folder = field(line, TreeColumn::bmpname - 1) == QByteArrayView("folder.bmp");
    if (!m_matcher.query().kinds.empty()) {
        if (rule != CaseRule::Any)
            comparedFromBytes(nameBytes, m_utf8, CaseRule::Any, m_foldedName);
        if (!m_matcher.kindPasses(rule == CaseRule::Any ? m_name : m_foldedName, folder))
            return;
    }
    if (m_facts) {
        switch (m_matcher.factsPass(m_facts->row(number))) {
        case QueryMatcher::Facts::Unknown:
            ++m_outcome.unknownFacts;
            return;
        case QueryMatcher::Facts::Fail:
            return;
        case QueryMatcher::Facts::Pass:
            break;
        }
        if (!m_matcher.mediaPasses(m_facts->media(number)))
            return;
    }
    if (!m_path->stored)
        m_path->stored = m_store.addPath(m_disc, pathBytes);
    m_store.append(m_disc, number, *m_path->stored, nameBytes, folder, m_forTags);
}

} // namespace

ResultsOutcome searchResults(HookContext &hooks, ResultStore &store, const QString &dataFolder,
                             const ResultQuery &query, const RowsFound &found)
{
    ResultsOutcome outcome;
    const int discs = int(store.discs().size());
    if (!query.asksForAnything())
        return outcome;
    const QueryMatcher matcher(query);
    // Discs whose files cannot hold the words are not read, and of the others only the lines
    // that may hold them.
    const std::vector<uint32_t> keys = matcher.indexKeys();
    const SearchCandidates candidates =
        keys.empty() ? SearchCandidates{} : SearchIndex::candidateFiles(dataFolder, keys, hooks);
    if (candidates.cancelled)
        return {true};
    hooks.setMaximum(discs);
    // A disc with no pictures or songs cannot pass their filters: its catalogue is not read.
    const bool mediaFilters = query.hasMediaFilters();
    const auto searched = [&](int disc) {
        const ResultDisc &entry = store.discs()[size_t(disc)];
        return isBareFileName(entry.file) && candidates.mayHold(entry.file) &&
               matcher.discPasses(entry.label, entry.category) &&
               (!mediaFilters || discTags(dataFolder, entry.file)->hasMedia);
    };
    qsizetype reported = store.rowCount();
    const auto report = [&] {
        if (found && store.rowCount() > reported)
            found(reported, store.rowCount() - reported);
        reported = store.rowCount();
    };
    const auto blockDone = [&] {
        report();
        return !hooks.cancelled();
    };
    // The discs are taken from both ends: this thread takes them from the front, in order, its
    // rows going to the store as they are found (the first screen comes from the first discs);
    // a helper takes them from the back, keeping each disc's rows until this thread reaches it.
    std::mutex mutex;
    std::condition_variable keptOne;
    int front = 0;    // the discs before this one are this thread's
    int back = discs; // the discs from here on are the helper's
    std::vector<std::optional<ResultStore>> kept{size_t(discs)};
    std::atomic<bool> stop = false;
    ResultsOutcome helperOutcome;
    std::thread helper;
    if (std::thread::hardware_concurrency() > 1 && discs > 1) {
        helper = std::thread([&] {
            for (;;) {
                int disc;
                {
                    std::lock_guard lock(mutex);
                    if (stop || back <= front)
                        break;
                    disc = --back;
                }
                ResultStore own;
                if (searched(disc)) {
                    const ResultDisc &entry = store.discs()[size_t(disc)];
                    DiscSearch search(own, disc, matcher, dataFolder, helperOutcome);
                    (void)search.run(
                        entry.file, [&] { return !stop; }, candidates.partsOf(entry.file));
                }
                {
                    std::lock_guard lock(mutex);
                    kept[size_t(disc)] = std::move(own);
                }
                keptOne.notify_all();
            }
        });
    }
    for (int disc = 0; disc < discs && !outcome.cancelled; ++disc) {
        if (hooks.cancelled()) {
            outcome.cancelled = true;
            break;
        }
        std::unique_lock lock(mutex);
        if (disc < back) {
            front = disc + 1;
            lock.unlock();
            if (searched(disc)) {
                DiscSearch search(store, disc, matcher, dataFolder, outcome);
                outcome.cancelled = !search.run(store.discs()[size_t(disc)].file, blockDone,
                                                candidates.partsOf(store.discs()[size_t(disc)].file));
            }
        } else {
            keptOne.wait(lock, [&] { return kept[size_t(disc)].has_value(); });
            ResultStore rows = std::move(*kept[size_t(disc)]);
            kept[size_t(disc)].reset();
            lock.unlock();
            store.appendRows(std::move(rows));
            report();
        }
        hooks.advance();
    }
    stop = true;
    if (helper.joinable())
        helper.join();
    outcome.unknownFacts += helperOutcome.unknownFacts;
    // Then the rows whose song's tags hold a word their path and name lack, disc by disc after
    // all the others: only discs whose tags may hold a word are read again.
    for (int disc = 0; disc < discs && !outcome.cancelled && matcher.hasWords(); ++disc) {
        const ResultDisc &entry = store.discs()[size_t(disc)];
        if (!isBareFileName(entry.file) || !matcher.discPasses(entry.label, entry.category) ||
            !matcher.someWordIn(discTags(dataFolder, entry.file)->text))
            continue;
        DiscSearch search(store, disc, matcher, dataFolder, outcome);
        outcome.cancelled = !search.runForTags(entry.file, blockDone);
    }
    return outcome;
}

ResultsOutcome searchResults(HookContext &hooks, ResultStore &store, const QString &dataFolder,
                             const QString &text, const RowsFound &found)
{
    return searchResults(hooks, store, dataFolder, parseQuery(text), found);
}
