#include "catalogue/thumbnails.h"

#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "files/fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QByteArrayView kMagic = "TVKTHUMB";
constexpr quint32 kVersion = 1;
constexpr qsizetype kEntryBytes = 8 + 8 + 4;
// A fingerprint or a hash is a few dozen characters: a longer one is none of ours.
constexpr quint16 kMostTextBytes = 256;
// No thumbnail of 160 pixels comes near this.
constexpr quint32 kMostJpegBytes = 1 << 20;

struct Entry {
    qint64 row;
    quint64 offset;
    quint32 length;
};

// What tells that the store read is the file still there: a store replaced since is another file.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = -1;
    qint64 mtimeNs = -1;
    bool operator==(const Identity &) const = default;
};

Identity identityOf(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return {};
    return {status.st_dev, status.st_ino, qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

bool readAt(int fd, char *into, qint64 length, qint64 offset)
{
    for (qint64 done = 0; done < length;) {
        const ssize_t got = ::pread(fd, into + done, size_t(length - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// Reads the little-endian numbers and texts of the head in turn; once short, everything after
// reads as nothing and `ok` stays false.
class HeadReader {
  public:
    explicit HeadReader(QByteArrayView bytes) : m_bytes(bytes) {}
    template <typename T> T number()
    {
        if (!take(sizeof(T)))
            return 0;
        return qFromLittleEndian<T>(m_bytes.data() + m_at - sizeof(T));
    }
    QByteArray text()
    {
        const quint16 size = number<quint16>();
        if (size > kMostTextBytes || !take(size)) {
            m_ok = false;
            return {};
        }
        return m_bytes.sliced(m_at - size, size).toByteArray();
    }
    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] qsizetype at() const { return m_at; }

  private:
    bool take(qsizetype size)
    {
        m_ok = m_ok && m_bytes.size() - m_at >= size;
        if (m_ok)
            m_at += size;
        return m_ok;
    }
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

template <typename T> void putNumber(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

void putText(QByteArray &out, const QByteArray &text)
{
    putNumber(out, quint16(text.size()));
    out += text;
}

} // namespace

struct Thumbnails::Data {
    std::vector<std::pair<qint64, QByteArray>> made; // a scan's, ascending rows
    QString path;                                    // the store they are read from; empty: a scan's
    Identity identity;
    std::vector<Entry> entries; // ascending rows
};

namespace {

struct StoreHead {
    QByteArray fingerprint;
    qint64 catalogueBytes = -1;
    QByteArray contentHash;
};

// The head and the entries of the store at `path`; false when it is none whose entries all lie
// within it.
bool readStore(const QString &path, StoreHead &head, Thumbnails::Data &data)
{
    qint64 size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0)
        return false;
    const qsizetype headBytes = qsizetype(std::min<qint64>(size, 8 + 4 + 4 + 2 * (2 + kMostTextBytes) + 8));
    QByteArray bytes(headBytes, Qt::Uninitialized);
    bool ok = readAt(fd, bytes.data(), headBytes, 0) && bytes.startsWith(kMagic);
    HeadReader reader(QByteArrayView(bytes).sliced(ok ? kMagic.size() : 0));
    ok = ok && reader.number<quint32>() == kVersion;
    const quint32 count = reader.number<quint32>();
    head.fingerprint = reader.text();
    head.catalogueBytes = reader.number<qint64>();
    head.contentHash = reader.text();
    const qint64 tableAt = kMagic.size() + reader.at();
    ok = ok && reader.ok() && tableAt + qint64(count) * kEntryBytes <= size;
    QByteArray table(ok ? qsizetype(count) * kEntryBytes : 0, Qt::Uninitialized);
    ok = ok && readAt(fd, table.data(), table.size(), tableAt);
    data.identity = identityOf(fd);
    ::close(fd);
    data.entries.reserve(ok ? count : 0);
    for (quint32 i = 0; ok && i < count; ++i) {
        const char *at = table.constData() + qsizetype(i) * kEntryBytes;
        const Entry entry{qFromLittleEndian<qint64>(at), qFromLittleEndian<quint64>(at + 8),
                          qFromLittleEndian<quint32>(at + 16)};
        ok = entry.row > (data.entries.empty() ? 0 : data.entries.back().row) &&
             entry.length <= kMostJpegBytes && entry.offset <= quint64(size) &&
             entry.length <= quint64(size) - entry.offset;
        data.entries.push_back(entry);
    }
    data.path = path;
    return ok;
}

} // namespace

Thumbnails::Thumbnails() : m_data(std::make_shared<Data>())
{
}

Thumbnails Thumbnails::open(const QString &cataloguePath, QByteArrayView fingerprint)
{
    Thumbnails store;
    StoreHead head;
    if (!readStore(ThumbnailStores::pathFor(cataloguePath), head, *store.m_data) || fingerprint.isEmpty() ||
        head.fingerprint != fingerprint)
        return {};
    return store;
}

Thumbnails Thumbnails::openUnchanged(const QString &cataloguePath)
{
    Thumbnails store;
    StoreHead head;
    if (!readStore(ThumbnailStores::pathFor(cataloguePath), head, *store.m_data) ||
        QFileInfo(cataloguePath).size() != head.catalogueBytes || head.contentHash.isEmpty() ||
        SideFiles::contentHash(cataloguePath) != head.contentHash)
        return {};
    return store;
}

void Thumbnails::add(qint64 row, QByteArray jpeg)
{
    if (jpeg.isEmpty() || jpeg.size() > qsizetype(kMostJpegBytes))
        return;
    // Copies share the data: a scan's are not shared with anything yet.
    if (m_data.use_count() > 1)
        m_data = std::make_shared<Data>(*m_data);
    m_data->made.emplace_back(row, std::move(jpeg));
}

bool Thumbnails::isEmpty() const
{
    return count() == 0;
}

qint64 Thumbnails::count() const
{
    return qint64(m_data->made.size() + m_data->entries.size());
}

bool Thumbnails::has(qint64 row) const
{
    const auto &made = m_data->made;
    const auto &entries = m_data->entries;
    return std::binary_search(made.begin(), made.end(), std::pair<qint64, QByteArray>(row, {}),
                              [](const auto &a, const auto &b) { return a.first < b.first; }) ||
           std::binary_search(entries.begin(), entries.end(), Entry{row, 0, 0},
                              [](const Entry &a, const Entry &b) { return a.row < b.row; });
}

QByteArray Thumbnails::jpegOf(qint64 row) const
{
    const auto &made = m_data->made;
    const auto found = std::lower_bound(made.begin(), made.end(), row,
                                        [](const auto &pair, qint64 wanted) { return pair.first < wanted; });
    if (found != made.end() && found->first == row)
        return found->second;
    const auto &entries = m_data->entries;
    const auto entry = std::lower_bound(entries.begin(), entries.end(), row,
                                        [](const Entry &a, qint64 wanted) { return a.row < wanted; });
    if (entry == entries.end() || entry->row != row)
        return {};
    qint64 size = 0;
    const int fd = openRegularFile(m_data->path, size);
    if (fd < 0)
        return {};
    QByteArray jpeg(qsizetype(entry->length), Qt::Uninitialized);
    // A store written anew since it was opened has other offsets.
    const bool ok =
        identityOf(fd) == m_data->identity && readAt(fd, jpeg.data(), jpeg.size(), qint64(entry->offset));
    ::close(fd);
    return ok ? jpeg : QByteArray();
}

QImage Thumbnails::imageOf(qint64 row) const
{
    const QByteArray jpeg = jpegOf(row);
    return jpeg.isEmpty() ? QImage() : QImage::fromData(jpeg, "JPEG");
}

std::vector<qint64> Thumbnails::rows() const
{
    std::vector<qint64> rows;
    rows.reserve(size_t(count()));
    for (const auto &[row, jpeg] : m_data->made)
        rows.push_back(row);
    for (const Entry &entry : m_data->entries)
        rows.push_back(entry.row);
    return rows;
}

namespace ThumbnailStores {

QString pathFor(const QString &cataloguePath)
{
    const QFileInfo info(cataloguePath);
    return ownFolderPath(info.path()) + u'/' + info.fileName() + QStringLiteral(".thumbs");
}

FileResult write(const QString &cataloguePath, const RecordSet &tree, const Thumbnails &thumbnails)
{
    std::vector<std::pair<qint64, QByteArray>> jpegs;
    for (const qint64 row : thumbnails.rows()) {
        QByteArray jpeg = thumbnails.jpegOf(row);
        if (!jpeg.isEmpty() && row >= 1 && row <= tree.RowCount())
            jpegs.emplace_back(row, std::move(jpeg));
    }
    QByteArray out(kMagic.toByteArray());
    putNumber(out, kVersion);
    putNumber(out, quint32(jpegs.size()));
    putText(out, SideFiles::fingerprint(tree));
    putNumber(out, qint64(QFileInfo(cataloguePath).size()));
    putText(out, SideFiles::contentHash(cataloguePath));
    quint64 offset = quint64(out.size()) + jpegs.size() * kEntryBytes;
    for (const auto &[row, jpeg] : jpegs) {
        putNumber(out, row);
        putNumber(out, offset);
        putNumber(out, quint32(jpeg.size()));
        offset += quint64(jpeg.size());
    }
    for (const auto &pair : jpegs)
        out += pair.second;
    QDir().mkpath(ownFolderPath(QFileInfo(cataloguePath).path()));
    return writeFileAtomically(pathFor(cataloguePath), out);
}

void saveFor(const QString &cataloguePath, const RecordSet &tree, const Thumbnails *thumbnails,
             bool describes)
{
    if (!thumbnails || !describes || thumbnails->isEmpty() || !write(cataloguePath, tree, *thumbnails).ok)
        removeFor(cataloguePath);
}

void renameFor(const QString &fromCataloguePath, const QString &toCataloguePath)
{
    SideFiles::moveOwnFile(pathFor(fromCataloguePath), pathFor(toCataloguePath));
}

void removeFor(const QString &cataloguePath)
{
    ::unlink(QFile::encodeName(pathFor(cataloguePath)).constData());
}

} // namespace ThumbnailStores
