#include "catalogue/sidefile.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "files/fileops.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <unistd.h>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

// Version 1 hashed the rows with MD5; later versions hash them alike with XXH3.
bool usesXxh3(int version)
{
    return version != 1;
}

constexpr QByteArrayView kFormatName = "tarvek-facts\t";
// The most a side file's head takes: a dozen short lines.
constexpr qsizetype kMostHeadBytes = 4096;
// The most a row's line takes: two numbers of up to 20 characters, a tab, CR LF.
constexpr qint64 kMostRowLineBytes = 20 + 1 + 20 + 2;
// The most the notes of one row take, of every kind together; and more rows than any tree holds.
constexpr qint64 kMostNotesPerRow = 64 * 1024;
constexpr qint64 kMostRows = qint64(1) << 36;

// Version 3 keeps notes after the rows.
bool usesNotes(int version)
{
    return version >= 3;
}

QByteArray number(qint64 value)
{
    return value == FileStat::kUnknown ? QByteArray("-") : QByteArray::number(value);
}

// A number of a row line or of the head, up to the next tab or line end; "-" or anything that is
// not a number is unknown. The digits of a million rows are read here: up to 18 of them, which
// cannot overflow, are added up in place; longer numbers go through from_chars.
qint64 parseNumber(const char *&at, const char *end)
{
    const char *digits = at < end && *at == '-' ? at + 1 : at;
    const char *next = digits;
    quint64 magnitude = 0;
    while (next < end && next - digits < 18 && quint8(*next - '0') < 10)
        magnitude = magnitude * 10 + quint8(*next++ - '0');
    qint64 value = digits == at ? qint64(magnitude) : -qint64(magnitude);
    if (next == digits) {
        value = FileStat::kUnknown;
    } else if (next < end && quint8(*next - '0') < 10) {
        const auto [parsed, error] = std::from_chars(at, end, value);
        value = error == std::errc() ? value : FileStat::kUnknown;
        next = parsed;
    }
    at = next;
    while (at < end && *at != '\t' && *at != '\n')
        ++at;
    return value;
}

// Tabs and line breaks of a volume label would break the line it is kept on.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}

// The catalogue file a side file belongs to: pathFor the other way round.
QString catalogueOf(const QString &sidePath)
{
    const QFileInfo info(sidePath);
    const QString name = info.fileName();
    return QFileInfo(info.path()).path() + u'/' + name.first(std::max<qsizetype>(name.size() - 6, 0));
}

qint64 catalogueBytes(const QString &sidePath)
{
    const QFileInfo catalogue(catalogueOf(sidePath));
    return catalogue.isFile() ? catalogue.size() : FileStat::kUnknown;
}

// An XXH3 hash of the bytes of the side file's catalogue file, in hexadecimal; empty when it
// cannot be read.
QByteArray catalogueHash(const QString &sidePath)
{
    qint64 size = 0;
    const int fd = openRegularFile(catalogueOf(sidePath), size);
    if (fd < 0)
        return {};
    XXH3_state_t *state = XXH3_createState();
    XXH3_64bits_reset(state);
    std::vector<char> block(size_t(1) << 18);
    bool ok = true;
    for (qint64 left = size; ok && left > 0;) {
        const ssize_t got = ::read(fd, block.data(), size_t(std::min<qint64>(left, qint64(block.size()))));
        if (got < 0 && errno == EINTR)
            continue;
        ok = got > 0;
        if (ok)
            XXH3_64bits_update(state, block.data(), size_t(got));
        left -= std::max<ssize_t>(got, 0);
    }
    const XXH64_hash_t hash = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    ::close(fd);
    return ok ? QByteArray::number(quint64(hash), 16) : QByteArray();
}

// The head also keeps the catalogue file's size and a hash of its bytes: the disc's facts are
// read without its rows (the list's tooltip), and a catalogue written anew under the name of a
// side file left behind, even of the same size, must not take its totals.
void writeHead(LineSink &sink, const RecordSet &tree, const DiscFacts &disc, const QString &sidePath)
{
    const auto line = [&sink](const char *key, const QString &value) {
        sink.writeLine(QString::fromLatin1(key) + u'\t' + value);
    };
    const auto count = [&line](const char *key, qint64 value) {
        line(key, QString::fromLatin1(number(value)));
    };
    sink.writeLine(QString::fromLatin1(kFormatName) + QString::number(SideFiles::kVersion));
    line("rows", QString::fromLatin1(SideFiles::fingerprint(tree)));
    count("catalogue", catalogueBytes(sidePath));
    line("content", QString::fromLatin1(catalogueHash(sidePath)));
    line("label", oneLine(disc.volumeLabel));
    line("type", oneLine(disc.fileSystemType));
    count("capacity", disc.capacity);
    count("free", disc.freeSpace);
    count("folders", disc.folders);
    count("files", disc.files);
    count("total", disc.totalSize);
    line("scanned", disc.scanned.isValid() ? disc.scanned.toUTC().toString(Qt::ISODate) : QString());
    sink.writeLine(u"");
}

struct Head {
    int version = 0; // 0: not a side file of a version this program reads
    QByteArray fingerprint;
    qint64 catalogueSize = FileStat::kUnknown;
    QByteArray catalogueHash; // empty in side files written before it was kept
};

// Reads the head of a side file into `disc`; `at` ends past the empty line.
Head readHead(const char *&at, const char *end, DiscFacts &disc)
{
    Head head;
    const auto nextLine = [&at, end]() -> QByteArrayView {
        const char *start = at;
        while (at < end && *at != '\n')
            ++at;
        QByteArrayView line(start, at - start);
        if (at < end)
            ++at;
        return line.endsWith('\r') ? line.chopped(1) : line;
    };
    const QByteArrayView format = nextLine();
    const bool ours = format.startsWith(kFormatName) && format.size() == kFormatName.size() + 1;
    head.version = ours ? format.back() - '0' : 0;
    if (head.version < 1 || head.version > SideFiles::kVersion)
        return {};
    for (;;) {
        if (at >= end)
            return {}; // no empty line: the head is not whole
        const QByteArrayView line = nextLine();
        if (line.isEmpty())
            break;
        const qsizetype tab = line.indexOf('\t');
        const QByteArrayView key = line.first(std::max<qsizetype>(tab, 0));
        const QByteArrayView value = tab < 0 ? QByteArrayView() : line.sliced(tab + 1);
        const char *from = value.data();
        const qint64 n = value.isEmpty() ? FileStat::kUnknown : parseNumber(from, value.end());
        if (key == "rows")
            head.fingerprint = value.toByteArray();
        else if (key == "catalogue")
            head.catalogueSize = n;
        else if (key == "content")
            head.catalogueHash = value.toByteArray();
        else if (key == "label")
            disc.volumeLabel = QString::fromUtf8(value);
        else if (key == "type")
            disc.fileSystemType = QString::fromUtf8(value);
        else if (key == "capacity")
            disc.capacity = n;
        else if (key == "free")
            disc.freeSpace = n;
        else if (key == "folders")
            disc.folders = std::max<qint64>(n, 0);
        else if (key == "files")
            disc.files = std::max<qint64>(n, 0);
        else if (key == "total")
            disc.totalSize = std::max<qint64>(n, 0);
        else if (key == "scanned")
            disc.scanned = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate);
    }
    return head.fingerprint.isEmpty() ? Head() : head;
}

// Whether the side file with this head still belongs to its catalogue file, checked as strictly
// as its rows are: the catalogue's bytes as they were written with it, or else a tree whose
// fingerprint is the head's (a flag another program set changes the bytes, not the tree). A
// catalogue of another size holds another tree.
bool describesCatalogue(const Head &head, const QString &sidePath)
{
    if (head.catalogueSize != FileStat::kUnknown && head.catalogueSize != catalogueBytes(sidePath))
        return false;
    if (!head.catalogueHash.isEmpty() && head.catalogueHash == catalogueHash(sidePath))
        return true;
    RecordSet tree(d_dir_tree());
    loadDataFile(tree, catalogueOf(sidePath));
    return SideFiles::fingerprint(tree, head.version) == head.fingerprint;
}

bool isEmptyLine(const char *at, const char *end)
{
    return at < end && (*at == '\n' || (*at == '\r' && (at + 1 == end || at[1] == '\n')));
}

const char *pastLine(const char *at, const char *end)
{
    const char *eol = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
    return eol ? eol + 1 : end;
}

// Appends the rows of whole lines from `at` to `end` to `facts`, up to an empty line (which ends
// them: the notes follow); returns where it stopped, past that empty line.
const char *parseRows(const char *at, const char *end, TreeFacts &facts, bool &rowsEnded)
{
    while (at < end) {
        if (isEmptyLine(at, end)) {
            rowsEnded = true;
            return pastLine(at, end);
        }
        FileStat stat;
        stat.size = parseNumber(at, end);
        if (at < end && *at == '\t')
            stat.mtime = parseNumber(++at, end);
        at = pastLine(at, end);
        facts.append(stat);
    }
    return at;
}

// Takes the note lines of whole lines from `at` to `end`: "[kind]" starts the notes of a kind,
// "row<TAB>text" is one note of it. Rows out of order or outside the tree, and lines of no kind,
// are passed over.
void parseNotes(const char *at, const char *end, TreeFacts &facts, RowNotes *&kind)
{
    while (at < end) {
        const char *next = pastLine(at, end);
        QByteArrayView line(at, next - at);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        at = next;
        if (line.startsWith('[') && line.endsWith(']')) {
            const QByteArrayView name = line.sliced(1, line.size() - 2);
            kind = TreeNotes::isKindName(name) ? &facts.notes.of(name) : nullptr;
            continue;
        }
        const qsizetype tab = line.indexOf('\t');
        if (!kind || tab <= 0)
            continue;
        const char *digits = line.data();
        const qint64 row = parseNumber(digits, line.data() + tab);
        const bool ascending = kind->isEmpty() || kind->all().back().first < row;
        if (row >= 1 && row <= facts.rows() && ascending)
            kind->set(row, line.sliced(tab + 1).toByteArray());
    }
}

void writeNotes(LineSink &sink, const TreeNotes &notes)
{
    bool first = true;
    for (const auto &[kind, rows] : notes.kinds()) {
        if (rows.isEmpty() || !TreeNotes::isKindName(kind))
            continue;
        if (first)
            sink.writeLine(u"");
        first = false;
        sink.writeLine(u'[' + QString::fromLatin1(kind) + u']');
        for (const auto &[row, text] : rows.all()) {
            // A note's own tabs separate its fields; a line break would end it.
            QString line = QString::fromUtf8(text);
            line.replace(u'\r', u' ').replace(u'\n', u' ');
            sink.writeLine(QString::number(row) + u'\t' + line);
        }
    }
}

// A file read a block at a time into one buffer, which stays in the cache: the 20 MB of a million
// rows are never copied into memory of their own.
class BlockReader {
  public:
    explicit BlockReader(const QString &path) : m_buffer(kBlock, Qt::Uninitialized)
    {
        m_fd = openRegularFile(path, m_size);
        m_atEnd = m_fd < 0;
        fill();
    }
    ~BlockReader()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    BlockReader(const BlockReader &) = delete;
    BlockReader &operator=(const BlockReader &) = delete;

    [[nodiscard]] const char *begin() const { return m_buffer.constData(); }
    [[nodiscard]] const char *end() const { return m_buffer.constData() + m_filled; }
    [[nodiscard]] bool atEnd() const { return m_atEnd; }
    [[nodiscard]] qint64 size() const { return m_size; }
    // Keeps the bytes from `from` on, at the buffer's start, and reads more after them; a line
    // longer than the buffer makes it grow.
    void next(const char *from)
    {
        m_filled = end() - from;
        std::memmove(m_buffer.data(), from, size_t(m_filled));
        if (m_filled == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        fill();
    }

  private:
    static constexpr qsizetype kBlock = 256 * 1024;
    void fill()
    {
        while (!m_atEnd && m_filled < m_buffer.size()) {
            const ssize_t got = ::read(m_fd, m_buffer.data() + m_filled, size_t(m_buffer.size() - m_filled));
            if (got < 0 && errno == EINTR)
                continue;
            m_atEnd = got <= 0;
            m_filled += std::max<ssize_t>(got, 0);
        }
    }

    int m_fd = -1;
    qint64 m_size = 0;
    QByteArray m_buffer;
    qsizetype m_filled = 0;
    bool m_atEnd = false;
};

} // namespace

namespace SideFiles {

QString pathFor(const QString &cataloguePath)
{
    const QFileInfo info(cataloguePath);
    return ownFolderPath(info.path()) + u'/' + info.fileName() + QStringLiteral(".facts");
}

// What is hashed goes through a buffer, so that a row's few short pieces cost one call of the
// hash and not three.
struct Fingerprint::Hash {
    static constexpr size_t kBuffer = 64 * 1024;
    QCryptographicHash md5{QCryptographicHash::Md5};
    XXH3_state_t *xxh3 = nullptr;
    std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kBuffer);
    size_t used = 0;
};

Fingerprint::Fingerprint(int version) : m_version(version), m_hash(std::make_unique<Hash>())
{
    if (usesXxh3(m_version)) {
        m_hash->xxh3 = XXH3_createState();
        XXH3_128bits_reset(m_hash->xxh3);
    }
}

Fingerprint::~Fingerprint()
{
    if (m_hash->xxh3)
        XXH3_freeState(m_hash->xxh3);
}

void Fingerprint::add(const void *data, size_t size)
{
    Hash &hash = *m_hash;
    if (hash.used + size > Hash::kBuffer || data == nullptr) {
        if (hash.xxh3)
            XXH3_128bits_update(hash.xxh3, hash.buffer.get(), hash.used);
        else
            hash.md5.addData(QByteArrayView(hash.buffer.get(), qsizetype(hash.used)));
        hash.used = 0;
    }
    if (size > Hash::kBuffer) {
        if (hash.xxh3)
            XXH3_128bits_update(hash.xxh3, data, size);
        else
            hash.md5.addData(QByteArrayView(static_cast<const char *>(data), qsizetype(size)));
    } else if (size > 0) {
        std::memcpy(hash.buffer.get() + hash.used, data, size);
        hash.used += size;
    }
}

void Fingerprint::addRow(const RecordSet &tree, qint64 row)
{
    const QStringView path = asWritten(tree.textAt(row, TreeColumn::fullname - 1), m_pathWritten);
    const QStringView name = asWritten(tree.textAt(row, TreeColumn::name - 1), m_nameWritten);
    // The files of a folder share its path: a path like the row before's is hashed as a length
    // of -1 only, which says the same without hashing the text again.
    const bool samePath = m_rows > 0 && QStringView(m_previousPath) == path;
    // Each value with its length before it, so that no two rows hash alike by shifting text.
    const qint64 fields[3] = {samePath ? -1 : path.size(), name.size(),
                              tree.numberAt(row, TreeColumn::level - 1)};
    add(fields, sizeof fields);
    if (!samePath) {
        add(path.utf16(), size_t(path.size()) * 2);
        // A copy: the record set's text may move while rows are added.
        m_previousPath.assign(path.utf16(), size_t(path.size()));
    }
    add(name.utf16(), size_t(name.size()) * 2);
    ++m_rows;
}

QStringView Fingerprint::asWritten(QStringView text, QString &scratch)
{
    const auto control = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u < 0xA0);
    };
    if (std::none_of(text.begin(), text.end(), control))
        return text;
    scratch = RecordSet::asWritten(text);
    return scratch;
}

QByteArray Fingerprint::result()
{
    add(nullptr, 0); // what is still in the buffer
    QByteArray digest;
    if (m_hash->xxh3) {
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_hash->xxh3));
        digest = QByteArray(reinterpret_cast<const char *>(canonical.digest), sizeof canonical.digest);
    } else {
        digest = m_hash->md5.result();
    }
    return QByteArray::number(m_rows) + '\t' + digest.toHex();
}

QByteArray fingerprint(const RecordSet &tree, int version)
{
    Fingerprint hash(version);
    for (qint64 row = 1; row <= tree.RowCount(); ++row)
        hash.addRow(tree, row);
    return hash.result();
}

FileResult write(const QString &path, const RecordSet &tree, const TreeFacts &facts)
{
    // The own folder below the data folder, never the data folder itself.
    ensureFolder(QFileInfo(path).path());
    return writeUtf8FileAtomically(path, [&](LineSink &sink) {
        writeHead(sink, tree, facts.disc, path);
        QString line;
        for (qint64 row = 1; row <= facts.rows(); ++row) {
            const FileStat stat = facts.at(row);
            line = QString::fromLatin1(number(stat.size) + '\t' + number(stat.mtime));
            if (!sink.writeLine(line))
                return;
        }
        writeNotes(sink, facts.notes);
    });
}

bool readDisc(const QString &path, DiscFacts &disc)
{
    // The head is a few hundred bytes; the rows that follow are not read.
    const QByteArray bytes = readRegularFile(path, kMostHeadBytes);
    const char *at = bytes.constData();
    disc = {};
    const Head head = readHead(at, bytes.constEnd(), disc);
    if (head.version == 0 || !describesCatalogue(head, path)) {
        disc = {};
        return false;
    }
    return true;
}

Contents readContents(const QString &path)
{
    Contents contents;
    BlockReader file(path);
    const char *at = file.begin();
    const Head head = readHead(at, std::min(file.end(), file.begin() + kMostHeadBytes), contents.facts.disc);
    contents.version = head.version;
    contents.fingerprint = head.fingerprint;
    const qsizetype tab = contents.fingerprint.indexOf('\t');
    const qint64 rows = contents.fingerprint.first(std::max<qsizetype>(tab, 0)).toLongLong();
    // What the format allows: the head, a line of two numbers for each row the head names (no
    // more rows than the catalogue file has lines), and the notes of those rows. A larger file is
    // refused before its rows are read.
    const qint64 catalogue = catalogueBytes(path);
    const qint64 mostRows = catalogue >= 0 ? catalogue / 2 + 1 : kMostRows;
    if (contents.fingerprint.isEmpty() || rows < 0 || rows > std::min(mostRows, kMostRows) ||
        file.size() > kMostHeadBytes + (rows + 1) * kMostRowLineBytes +
                          (usesNotes(head.version) ? rows * kMostNotesPerRow : 0))
        return {};
    contents.facts.reserve(rows);
    bool rowsEnded = false;
    RowNotes *kind = nullptr;
    for (;;) {
        // Whole lines only, but for the last one of the file.
        const char *end = file.end();
        while (!file.atEnd() && end > at && end[-1] != '\n')
            --end;
        if (!rowsEnded)
            at = parseRows(at, end, contents.facts, rowsEnded);
        if (rowsEnded)
            parseNotes(at, end, contents.facts, kind);
        if (file.atEnd())
            return contents;
        file.next(end);
        at = file.begin();
    }
}

bool accept(Contents &&contents, const RecordSet &tree, TreeFacts &facts, Fingerprint *loaded)
{
    facts.clear();
    if (contents.fingerprint.isEmpty() || !contents.facts.describes(tree.RowCount()))
        return false;
    const bool hashed = loaded && usesXxh3(loaded->version()) == usesXxh3(contents.version);
    if (contents.fingerprint != (hashed ? loaded->result() : fingerprint(tree, contents.version)))
        return false;
    facts = std::move(contents.facts);
    return true;
}

bool read(const QString &path, const RecordSet &tree, TreeFacts &facts)
{
    return accept(readContents(path), tree, facts);
}

void saveFor(const QString &cataloguePath, const RecordSet &tree, const TreeFacts *facts)
{
    const QString path = pathFor(cataloguePath);
    if (!facts || !facts->describes(tree.RowCount()) || !write(path, tree, *facts).ok)
        removeFor(cataloguePath);
}

void renameFor(const QString &fromCataloguePath, const QString &toCataloguePath)
{
    const QByteArray from = QFile::encodeName(pathFor(fromCataloguePath));
    const QByteArray to = QFile::encodeName(pathFor(toCataloguePath));
    if (fileOps().rename(from.constData(), to.constData()) != 0)
        removeFor(toCataloguePath); // whatever held the new name before belongs to no tree now
}

void removeFor(const QString &cataloguePath)
{
    ::unlink(QFile::encodeName(pathFor(cataloguePath)).constData());
}

} // namespace SideFiles
