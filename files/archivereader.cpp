#include "files/archivereader.h"

#include "files/archivesource.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cstring>
#include <locale.h>
#include <string_view>

namespace {

// libarchive hands names over in the current locale's encoding: UTF-16 names (7-Zip, Joliet, RAR)
// and those marked UTF-8 come as UTF-8 only in a UTF-8 locale, whatever the program was started
// with. Names in no stated encoding come as their bytes, read later as a disc's names are.
class Utf8Names {
  public:
    Utf8Names()
    {
        static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        if (utf8)
            m_previous = ::uselocale(utf8);
    }
    ~Utf8Names()
    {
        if (m_previous)
            ::uselocale(m_previous);
    }
    Utf8Names(const Utf8Names &) = delete;
    Utf8Names &operator=(const Utf8Names &) = delete;

  private:
    locale_t m_previous = locale_t(nullptr);
};

class Reader {
  public:
    explicit Reader(const char *charset = nullptr) : m_a(archive_read_new())
    {
        // The decompressors libarchive has built in; never one that runs another program.
        for (auto support : {archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
                             archive_read_support_filter_xz, archive_read_support_filter_lzma,
                             archive_read_support_filter_zstd, archive_read_support_filter_lz4,
                             archive_read_support_filter_compress, archive_read_support_filter_lzip})
            support(m_a);
        for (auto support : {archive_read_support_format_zip, archive_read_support_format_7zip,
                             archive_read_support_format_rar, archive_read_support_format_rar5,
                             archive_read_support_format_tar, archive_read_support_format_cab,
                             archive_read_support_format_lha, archive_read_support_format_iso9660})
            support(m_a);
        // Formats that know the option take it; the others leave it.
        if (charset)
            archive_read_set_options(m_a, (QByteArrayLiteral("hdrcharset=") + charset).constData());
    }
    ~Reader() { archive_read_free(m_a); }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    [[nodiscard]] struct archive *handle() const { return m_a; }
    [[nodiscard]] bool streamed() const { return archive_filter_code(m_a, 0) != ARCHIVE_FILTER_NONE; }
    [[nodiscard]] QString error() const
    {
        const char *text = archive_error_string(m_a);
        return text ? QString::fromUtf8(text).simplified() : QString();
    }
    [[nodiscard]] QString format() const;

  private:
    struct archive *m_a;
};

QString Reader::format() const
{
    static constexpr std::pair<int, const char *> kFormats[] = {
        {ARCHIVE_FORMAT_ZIP, "zip"},    {ARCHIVE_FORMAT_7ZIP, "7z"},         {ARCHIVE_FORMAT_RAR, "rar"},
        {ARCHIVE_FORMAT_RAR_V5, "rar"}, {ARCHIVE_FORMAT_TAR, "tar"},         {ARCHIVE_FORMAT_CAB, "cab"},
        {ARCHIVE_FORMAT_LHA, "lha"},    {ARCHIVE_FORMAT_ISO9660, "iso9660"},
    };
    static constexpr std::pair<int, const char *> kFilters[] = {
        {ARCHIVE_FILTER_GZIP, ".gz"},    {ARCHIVE_FILTER_BZIP2, ".bz2"}, {ARCHIVE_FILTER_XZ, ".xz"},
        {ARCHIVE_FILTER_LZMA, ".lzma"},  {ARCHIVE_FILTER_ZSTD, ".zst"},  {ARCHIVE_FILTER_LZ4, ".lz4"},
        {ARCHIVE_FILTER_COMPRESS, ".Z"}, {ARCHIVE_FILTER_LZIP, ".lz"},
    };
    const int code = archive_format(m_a) & ARCHIVE_FORMAT_BASE_MASK;
    QString name;
    for (const auto &[format, text] : kFormats) {
        if ((format & ARCHIVE_FORMAT_BASE_MASK) == code)
            name = QString::fromLatin1(text);
    }
    const int filter = archive_filter_code(m_a, 0);
    for (const auto &[value, suffix] : kFilters) {
        if (value == filter)
            name += QString::fromLatin1(suffix);
    }
    return name;
}

// The last component of a path, where its extension is.
QByteArrayView lastName(QByteArrayView path)
{
    while (path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.sliced(slash + 1);
}

ArchiveOutcome failureOf(Reader &reader, ArchiveDeadline &deadline)
{
    if (deadline.timedOut())
        return ArchiveOutcome::OutOfTime;
    if (deadline.cancelled())
        return ArchiveOutcome::Cancelled;
    if (archive_read_has_encrypted_entries(reader.handle()) > 0 ||
        reader.error().contains(QStringLiteral("ncrypt")))
        return ArchiveOutcome::Encrypted;
    const QString error = reader.error();
    if (error.contains(QStringLiteral("runcated"), Qt::CaseInsensitive) ||
        error.contains(QStringLiteral("Premature end"), Qt::CaseInsensitive) ||
        error.contains(QStringLiteral("unexpected end"), Qt::CaseInsensitive))
        return ArchiveOutcome::Truncated;
    return ArchiveOutcome::Damaged;
}

// One archive read into a tree, the archives inside it one level down.
ArchiveRead readInto(ArchiveSource &source, ArchiveDeadline &deadline, const ArchiveLimits &limits,
                     ArchiveTree &tree, bool *recognised = nullptr);

class TreeReader {
  public:
    TreeReader(const ArchiveLimits &limits, ArchiveDeadline &deadline, ArchiveTree &tree, const char *charset)
        : m_limits(limits), m_deadline(deadline), m_tree(tree), m_reader(charset)
    {
    }
    // False when libarchive recognises no archive there, or one read whole that is not asked for.
    bool read(ArchiveSource &source, ArchiveRead &result);

  private:
    // False when the member would pass the bound on members.
    bool add(struct archive_entry *entry, ArchiveRead &result);
    void readInner(ArchiveTree::Id node, struct archive_entry *entry, ArchiveRead &result);
    // Keeps the first `wanted` bytes of the member just read, within what the budget has left.
    void keepHead(ArchiveTree::Id node, qint64 wanted);

    const ArchiveLimits &m_limits;
    ArchiveDeadline &m_deadline;
    ArchiveTree &m_tree;
    Reader m_reader;
    qint64 m_headsKept = 0; // bytes
};

bool TreeReader::read(ArchiveSource &source, ArchiveRead &result)
{
    if (!source.open(m_reader.handle())) {
        // Stopped before libarchive could tell what it is: cut short before its first member.
        if (!m_deadline.timedOut() && !m_deadline.cancelled())
            return false;
        result.outcome = failureOf(m_reader, m_deadline);
        return true;
    }
    if (m_reader.streamed() && !m_limits.streamed && !m_limits.streamedSelf)
        return false;
    if (m_reader.streamed())
        m_deadline.allowUpTo(m_limits.streamedMilliseconds);
    struct archive_entry *entry = nullptr;
    int retries = 0;
    for (;;) {
        const int status = archive_read_next_header(m_reader.handle(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status == ARCHIVE_RETRY && ++retries < 100)
            continue;
        if (status < ARCHIVE_WARN || status == ARCHIVE_RETRY) {
            result.outcome = failureOf(m_reader, m_deadline);
            result.reason = m_reader.error();
            break;
        }
        if (m_tree.members() >= m_limits.maxMembers) {
            result.outcome = ArchiveOutcome::TooManyMembers;
            break;
        }
        if (m_deadline.passed()) {
            result.outcome = m_deadline.timedOut() ? ArchiveOutcome::OutOfTime : ArchiveOutcome::Cancelled;
            break;
        }
        if (!add(entry, result))
            break;
    }
    result.format = m_reader.format();
    if (result.format == u"iso9660") {
        // A reader of Rock Ridge puts back the folders deeper than eight levels where they belong,
        // but leaves some of their files in the relocation folder: they go back too.
        m_tree.rehomeRelocated("rr_moved");
        m_tree.rehomeRelocated(".rr_moved");
    }
    if (isLeaf(result.outcome))
        m_tree = ArchiveTree();
    result.members = m_tree.members();
    return true;
}

bool TreeReader::add(struct archive_entry *entry, ArchiveRead &result)
{
    const char *path = archive_entry_pathname(entry);
    if (!path)
        return true;
    const char *hardlink = archive_entry_hardlink(entry);
    const mode_t type = archive_entry_filetype(entry);
    // Links, devices and pipes are left out, as a disc's listing leaves them out.
    if (type != AE_IFREG && type != AE_IFDIR && !hardlink)
        return true;
    const DirEntry::Kind kind = type == AE_IFDIR ? DirEntry::Kind::Folder : DirEntry::Kind::File;
    FileStat stat;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
        stat.size = archive_entry_size(entry);
    if (archive_entry_mtime_is_set(entry))
        stat.mtime = qint64(archive_entry_mtime(entry));
    // A second name of a file holds no data of its own in some formats: it has the first one's size.
    if (hardlink && (stat.size == FileStat::kUnknown || stat.size == 0)) {
        const ArchiveTree::Id target = m_tree.find(hardlink, DirEntry::Kind::File);
        if (target != ArchiveTree::kNone)
            stat.size = m_tree.node(target).stat.size;
    }
    if (archive_entry_is_encrypted(entry))
        result.encryptedMembers = true;
    // A member's path may make as many folders as it has components: the bound holds whatever
    // the path.
    const ArchiveTree::Id node = m_tree.add(path, kind, stat, m_limits.maxMembers - m_tree.members());
    if (node == ArchiveTree::kRefused) {
        result.outcome = ArchiveOutcome::TooManyMembers;
        return false;
    }
    if (node != ArchiveTree::kNone && kind == DirEntry::Kind::File && m_limits.nested &&
        mayBeArchiveName(lastName(path)))
        readInner(node, entry, result);
    else if (node != ArchiveTree::kNone && kind == DirEntry::Kind::File && m_limits.headBytes) {
        m_tree.dropHead(node); // a member given again is the later one
        if (!hardlink && !archive_entry_is_data_encrypted(entry))
            keepHead(node, m_limits.headBytes(lastName(path)));
    }
    return true;
}

void TreeReader::keepHead(ArchiveTree::Id node, qint64 wanted)
{
    const qint64 size = m_tree.node(node).stat.size;
    if (size != FileStat::kUnknown)
        wanted = std::min(wanted, size);
    wanted = std::min(wanted, m_limits.headBudget - m_headsKept);
    if (wanted <= 0)
        return;
    QByteArray head(qsizetype(wanted), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < head.size()) {
        const la_ssize_t read =
            archive_read_data(m_reader.handle(), head.data() + filled, size_t(head.size() - filled));
        if (read <= 0)
            break; // the end, or a member that cannot be read: what came is kept
        filled += qsizetype(read);
    }
    if (filled == 0)
        return;
    head.truncate(filled);
    m_headsKept += filled;
    m_tree.setHead(node, std::move(head));
}

void TreeReader::readInner(ArchiveTree::Id node, struct archive_entry *entry, ArchiveRead &result)
{
    if (isStreamedName(lastName(archive_entry_pathname(entry))) && !m_limits.streamed)
        return;
    if (m_tree.node(node).stat.size != FileStat::kUnknown &&
        m_tree.node(node).stat.size < kSmallestArchiveBytes)
        return;
    ArchiveTree::Nested nested;
    const qint64 size = m_tree.node(node).stat.size;
    if (archive_entry_is_data_encrypted(entry)) {
        nested.outcome = int(ArchiveOutcome::Encrypted);
        m_tree.graft(node, ArchiveTree());
        m_tree.setNested(node, nested);
        return;
    }
    if (size > m_limits.nestedBytes) {
        nested.outcome = int(ArchiveOutcome::TooLarge);
        m_tree.graft(node, ArchiveTree());
        m_tree.setNested(node, nested);
        return;
    }
    // Into memory, never onto a disc: at most the bound, however large the member says it is.
    QByteArray bytes;
    const void *block = nullptr;
    size_t length = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = archive_read_data_block(m_reader.handle(), &block, &length, &offset);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            return; // the outer archive's own reading says what went wrong
        if (offset < 0 || offset + qint64(length) > m_limits.nestedBytes) {
            nested.outcome = int(ArchiveOutcome::TooLarge);
            m_tree.graft(node, ArchiveTree());
            m_tree.setNested(node, nested);
            return;
        }
        if (bytes.size() < offset + qint64(length))
            bytes.resize(qsizetype(offset + qint64(length)), '\0');
        if (length > 0) // an empty block may come without any bytes at all
            std::memcpy(bytes.data() + offset, block, length);
    }
    ArchiveLimits inner = m_limits;
    inner.nested = false;
    inner.streamedSelf = false;
    inner.headBytes = {};
    inner.maxMembers = std::max<qint64>(m_limits.maxMembers - m_tree.members(), 0);
    ArchiveTree members;
    bool recognised = false;
    auto source = ArchiveSource::ofBytes(std::move(bytes), m_deadline);
    const ArchiveRead read = readInto(*source, m_deadline, inner, members, &recognised);
    if (!recognised)
        return; // no archive after all: a file like any other
    m_tree.graft(node, members);
    nested.format = read.format;
    nested.outcome = int(read.outcome);
    nested.reason = read.reason;
    nested.members = read.members;
    m_tree.setNested(node, nested);
    if (read.encryptedMembers)
        result.encryptedMembers = true;
}

// Names that libarchive must turn into text itself (LHA's, through Unicode; it stops at one that is
// not in the UTF-8 it reads them in, sometimes without a word) are taken for CP949, as Korean DOS
// and Windows wrote them: the archive is read once more with libarchive's hdrcharset option.
bool namesNeedCp949(const ArchiveRead &result)
{
    return isLeaf(result.outcome) &&
           (result.format == u"lha" || result.reason.contains(QStringLiteral("cannot be converted")));
}

ArchiveRead readInto(ArchiveSource &source, ArchiveDeadline &deadline, const ArchiveLimits &limits,
                     ArchiveTree &tree, bool *recognised)
{
    ArchiveRead result;
    for (const char *charset : {static_cast<const char *>(nullptr), "CP949"}) {
        tree = ArchiveTree();
        result = {};
        TreeReader reader(limits, deadline, tree, charset);
        const bool known = reader.read(source, result);
        if (recognised)
            *recognised = known;
        if (!known) {
            tree = ArchiveTree();
            result = {};
            result.outcome = ArchiveOutcome::Damaged;
            result.reason = QStringLiteral("not an archive");
            return result;
        }
        if (!namesNeedCp949(result) || !source.rewind())
            break;
    }
    return result;
}

} // namespace

// Asked of every file of a disc and every member of an archive: the extension after the last dot
// is compared, lowercased in place, with a few words, and nothing is copied.
namespace {

bool extensionIs(QByteArrayView name, std::initializer_list<std::string_view> extensions)
{
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype size = name.size() - dot - 1;
    if (dot <= 0 || size < 1 || size > 4)
        return false;
    char lower[4];
    for (qsizetype i = 0; i < size; ++i) {
        const char c = name[dot + 1 + i];
        lower[i] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    const std::string_view extension(lower, size_t(size));
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

} // namespace

bool mayBeArchiveName(QByteArrayView name)
{
    return extensionIs(name, {"zip", "7z", "rar", "cab", "lha", "lzh", "iso", "tar"}) || isStreamedName(name);
}

bool isStreamedName(QByteArrayView name)
{
    if (extensionIs(name, {"tgz", "tbz", "tbz2", "txz", "tzst", "tlz", "taz"}))
        return true;
    // "x.tar.gz" and the like: a compressor's extension after ".tar".
    if (!extensionIs(name, {"gz", "bz2", "xz", "zst", "lz4", "lzma", "lz", "z"}))
        return false;
    const QByteArrayView stem = name.first(name.lastIndexOf('.'));
    return extensionIs(stem, {"tar"});
}

ArchiveProbe probeArchive(int fd)
{
    Utf8Names names;
    ArchiveDeadline deadline(10'000, {});
    const std::unique_ptr<ArchiveSource> source = ArchiveSource::ofFile(fd, deadline);
    Reader reader;
    ArchiveProbe probe;
    probe.recognised = source->open(reader.handle());
    probe.streamed = probe.recognised && reader.streamed();
    return probe;
}

ArchiveRead readArchive(int fd, const ArchiveLimits &limits, const std::function<bool()> &cancelled,
                        ArchiveTree &tree)
{
    Utf8Names names;
    ArchiveDeadline deadline(limits.milliseconds, cancelled);
    const std::unique_ptr<ArchiveSource> source = ArchiveSource::ofFile(fd, deadline);
    return readInto(*source, deadline, limits, tree);
}

ArchiveRead readArchiveBytes(QByteArray bytes, const ArchiveLimits &limits,
                             const std::function<bool()> &cancelled, ArchiveTree &tree)
{
    Utf8Names names;
    ArchiveDeadline deadline(limits.milliseconds, cancelled);
    const std::unique_ptr<ArchiveSource> source = ArchiveSource::ofBytes(std::move(bytes), deadline);
    return readInto(*source, deadline, limits, tree);
}
