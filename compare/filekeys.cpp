#include "compare/filekeys.h"

#include "catalogue/contenthash.h"
#include "catalogue/datafolder.h"
#include "catalogue/discfacts.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "compare/namekey.h"
#include "compare/treediff.h"
#include "files/textfile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <unistd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr QByteArrayView kFormatLine = "tarvek-keys\t1\n";
constexpr int kLockWaitMs = 200;

// The head after the format line: counts, stamps and the encoding, then its own checksum.
constexpr qsizetype kStampWords = 5;
constexpr qsizetype kHeadWords = 3 + 2 * kStampWords;
constexpr qsizetype kHeadBytes = kHeadWords * 8 + 8;

void putWord(QByteArray &out, quint64 value)
{
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = char(value >> (8 * i));
    out.append(bytes, 8);
}

quint64 wordAt(const char *at)
{
    quint64 value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | uchar(at[i]);
    return value;
}

void putStamp(QByteArray &out, const FileStamp &stamp)
{
    for (quint64 word :
         {quint64(stamp.size), quint64(stamp.mtimeNs), quint64(stamp.ctimeNs), stamp.inode, stamp.device})
        putWord(out, word);
}

FileStamp stampAt(const char *at)
{
    return {qint64(wordAt(at)), qint64(wordAt(at + 8)), qint64(wordAt(at + 16)), wordAt(at + 24),
            wordAt(at + 32)};
}

quint64 checksum(const void *data, size_t size)
{
    return XXH3_64bits(data, size);
}

qsizetype chunkCount(quint64 keys)
{
    return qsizetype((keys + FileKeyTables::kKeysPerChunk - 1) / FileKeyTables::kKeysPerChunk);
}

// The rows of a catalogue file as the loader reads them, with where each row's line begins.
struct ReadTree {
    RecordSet tree{d_dir_tree()};
    std::vector<quint64> lines;
    SideFiles::Fingerprint fingerprint;
    bool utf8 = false;
};

void readTree(const QString &path, ReadTree &read)
{
    TextFileReader reader;
    if (!reader.open(path))
        return;
    read.utf8 = reader.isUtf8();
    QString line;
    while (reader.readLine(line) >= 1) {
        if (read.tree.appendLine(line)) {
            read.fingerprint.addRow(read.tree, read.tree.RowCount());
            read.lines.push_back(quint64(reader.lineOffset()));
        }
    }
}

bool currentStamp(const QString &path, FileStamp &stamp)
{
    stamp = {};
    return stampOf(path, stamp);
}

QString dataFolderOf(const QString &cataloguePath)
{
    return QFileInfo(cataloguePath).path();
}

} // namespace

bool keyBefore(const FileKey &a, const FileKey &b)
{
    if (a.size != b.size)
        return a.size > b.size;
    if (a.name != b.name)
        return a.name < b.name;
    return a.row < b.row;
}

namespace FileKeyTables {

QString pathFor(const QString &cataloguePath)
{
    const QFileInfo info(cataloguePath);
    return ownFolderPath(info.path()) + u'/' + info.fileName() + QStringLiteral(".keys");
}

FileKeys build(const QString &cataloguePath, bool *stable)
{
    FileKeys out;
    const QString sidePath = SideFiles::pathFor(cataloguePath);
    FileStamp catalogueAfter, sideAfter;
    const bool hasCatalogue = currentStamp(cataloguePath, out.catalogue);
    const bool hasSide = currentStamp(sidePath, out.side);
    ReadTree read;
    TreeFacts facts;
    if (hasCatalogue) {
        readTree(cataloguePath, read);
        if (hasSide)
            SideFiles::accept(SideFiles::readContents(sidePath), read.tree, facts, &read.fingerprint);
    }
    out.utf8 = read.utf8;
    if (facts.describes(read.tree.RowCount())) {
        for (qint64 row = 1; row <= read.tree.RowCount(); ++row) {
            const qint64 size = facts.at(row).size;
            if (size < 0 || isFolderRow(read.tree, row))
                continue;
            FileKey key{quint64(size), nameKey(read.tree.textAt(row, TreeColumn::name - 1)), quint32(row), 0,
                        read.lines[size_t(row - 1)]};
            if (const auto hash = contentHashOf(facts, row)) {
                out.hashes.push_back(*hash);
                key.hash = quint32(out.hashes.size());
            }
            out.keys.push_back(key);
        }
    }
    std::sort(out.keys.begin(), out.keys.end(), keyBefore);
    if (stable) {
        const bool sameCatalogue =
            currentStamp(cataloguePath, catalogueAfter) == hasCatalogue && catalogueAfter == out.catalogue;
        const bool sameSide = currentStamp(sidePath, sideAfter) == hasSide && sideAfter == out.side;
        *stable = sameCatalogue && sameSide && !(hasCatalogue && isRecentStamp(out.catalogue)) &&
                  !(hasSide && isRecentStamp(out.side));
    }
    return out;
}

QByteArray encode(const FileKeys &keys)
{
    QByteArray out(kFormatLine.data(), kFormatLine.size());
    const qsizetype headAt = out.size();
    putWord(out, keys.keys.size());
    putWord(out, keys.hashes.size());
    putWord(out, keys.utf8 ? 1 : 0);
    putStamp(out, keys.catalogue);
    putStamp(out, keys.side);
    putWord(out, checksum(out.constData() + headAt, size_t(out.size() - headAt)));
    const auto *entries = reinterpret_cast<const char *>(keys.keys.data());
    for (qsizetype chunk = 0; chunk < chunkCount(keys.keys.size()); ++chunk) {
        const size_t first = size_t(chunk) * kKeysPerChunk;
        const size_t count = std::min<size_t>(kKeysPerChunk, keys.keys.size() - first);
        putWord(out, checksum(entries + first * sizeof(FileKey), count * sizeof(FileKey)));
    }
    putWord(out, checksum(keys.hashes.data(), keys.hashes.size() * sizeof(ContentHash)));
    out.append(entries, qsizetype(keys.keys.size() * sizeof(FileKey)));
    out.append(reinterpret_cast<const char *>(keys.hashes.data()),
               qsizetype(keys.hashes.size() * sizeof(ContentHash)));
    return out;
}

std::optional<FileKeys> decode(QByteArrayView bytes)
{
    TableReader reader;
    if (!reader.openBytes(bytes))
        return std::nullopt;
    FileKeys keys = reader.headOnly();
    keys.keys.reserve(size_t(reader.keyCount()));
    while (const FileKey *key = reader.peek()) {
        keys.keys.push_back(*key);
        reader.pop();
    }
    if (reader.damaged() || !reader.readHashes(keys.hashes))
        return std::nullopt;
    return keys;
}

// ---- The stored form, read a block of keys at a time.

bool TableReader::openFile(const QString &path)
{
    close();
    qint64 size = 0;
    m_fd = openRegularFile(path, size);
    m_size = size;
    return m_fd >= 0 && readHead();
}

bool TableReader::openBytes(QByteArrayView bytes)
{
    close();
    m_bytes = bytes;
    m_size = bytes.size();
    return readHead();
}

TableReader::~TableReader()
{
    close();
}

void TableReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_bytes = {};
    m_chunk.clear();
    m_at = 0;
    m_nextChunk = 0;
    m_damaged = false;
}

bool TableReader::readAt(qint64 offset, void *into, qint64 size) const
{
    if (offset < 0 || size < 0 || offset + size > m_size)
        return false;
    if (size == 0)
        return true; // nothing to copy, and an empty table's hashes have no storage
    if (m_fd < 0) {
        std::memcpy(into, m_bytes.data() + offset, size_t(size));
        return true;
    }
    for (qint64 done = 0; done < size;) {
        const ssize_t got =
            ::pread(m_fd, static_cast<char *>(into) + done, size_t(size - done), offset + done);
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

bool TableReader::readHead()
{
    char head[kFormatLine.size() + kHeadBytes];
    if (!readAt(0, head, qint64(sizeof head)) || QByteArrayView(head, kFormatLine.size()) != kFormatLine)
        return false;
    const char *at = head + kFormatLine.size();
    if (checksum(at, size_t(kHeadWords * 8)) != wordAt(at + kHeadWords * 8))
        return false;
    m_head.keys = wordAt(at);
    m_head.hashes = wordAt(at + 8);
    m_head.utf8 = wordAt(at + 16);
    m_head.catalogue = stampAt(at + 24);
    m_head.side = stampAt(at + 24 + kStampWords * 8);
    // The counts must make the file's size exactly: a table cut short or grown is none of ours.
    const quint64 limit = quint64(1) << 40;
    if (m_head.keys > limit || m_head.hashes > limit)
        return false;
    m_checksumsAt = qint64(sizeof head);
    m_keysAt = m_checksumsAt + (chunkCount(m_head.keys) + 1) * 8;
    m_hashesAt = m_keysAt + qint64(m_head.keys * sizeof(FileKey));
    return m_hashesAt + qint64(m_head.hashes * sizeof(ContentHash)) == m_size;
}

FileKeys TableReader::headOnly() const
{
    FileKeys keys;
    keys.utf8 = m_head.utf8 == 1;
    keys.catalogue = m_head.catalogue;
    keys.side = m_head.side;
    return keys;
}

qint64 TableReader::keyCount() const
{
    return qint64(m_head.keys);
}

const FileKey *TableReader::peek()
{
    if (m_at == m_chunk.size() && !m_damaged && m_nextChunk < chunkCount(m_head.keys)) {
        const quint64 first = quint64(m_nextChunk) * kKeysPerChunk;
        const size_t count = size_t(std::min<quint64>(kKeysPerChunk, m_head.keys - first));
        m_chunk.resize(count);
        char sum[8];
        const bool read = readAt(m_checksumsAt + m_nextChunk * 8, sum, 8) &&
                          readAt(m_keysAt + qint64(first * sizeof(FileKey)), m_chunk.data(),
                                 qint64(count * sizeof(FileKey)));
        m_damaged = !read || checksum(m_chunk.data(), count * sizeof(FileKey)) != wordAt(sum) ||
                    !std::is_sorted(m_chunk.begin(), m_chunk.end(), keyBefore) ||
                    (m_last && !m_chunk.empty() && !keyBefore(*m_last, m_chunk.front()));
        if (m_damaged)
            m_chunk.clear();
        m_at = 0;
        ++m_nextChunk;
    }
    return m_at < m_chunk.size() ? &m_chunk[m_at] : nullptr;
}

void TableReader::pop()
{
    if (m_at < m_chunk.size())
        m_last = m_chunk[m_at++];
}

bool TableReader::readHashes(std::vector<ContentHash> &hashes) const
{
    hashes.resize(size_t(m_head.hashes));
    char sum[8];
    const qint64 bytes = qint64(hashes.size() * sizeof(ContentHash));
    return readAt(m_checksumsAt + chunkCount(m_head.keys) * 8, sum, 8) &&
           readAt(m_hashesAt, hashes.data(), bytes) && checksum(hashes.data(), size_t(bytes)) == wordAt(sum);
}

bool TableReader::describesNow(const QString &cataloguePath) const
{
    FileStamp catalogue, side;
    const bool hasSide = currentStamp(SideFiles::pathFor(cataloguePath), side);
    return currentStamp(cataloguePath, catalogue) && catalogue == m_head.catalogue &&
           (hasSide ? side == m_head.side : m_head.side == FileStamp{});
}

bool store(const QString &cataloguePath, const FileKeys &keys)
{
    const QString dataFolder = dataFolderOf(cataloguePath);
    DataFolderLock lock(dataFolder);
    if (!lock.lock(kLockWaitMs))
        return false;
    const QFileInfo own(ownFolderPath(dataFolder));
    if (!own.isDir() && !QDir(dataFolder).mkdir(own.fileName()))
        return false;
    return writeFileAtomically(pathFor(cataloguePath), encode(keys)).ok;
}

FileKeys load(const QString &cataloguePath, bool storeIt)
{
    TableReader reader;
    if (reader.openFile(pathFor(cataloguePath)) && reader.describesNow(cataloguePath)) {
        FileKeys keys = reader.headOnly();
        keys.keys.reserve(size_t(reader.keyCount()));
        while (const FileKey *key = reader.peek()) {
            keys.keys.push_back(*key);
            reader.pop();
        }
        if (!reader.damaged() && reader.readHashes(keys.hashes))
            return keys;
    }
    bool stable = false;
    FileKeys keys = build(cataloguePath, &stable);
    if (storeIt && stable)
        store(cataloguePath, keys);
    return keys;
}

void removeFor(const QString &dataFolder, const QStringList &names)
{
    for (const QString &name : names)
        ::unlink(QFile::encodeName(pathFor(dataFolder + u'/' + name)).constData());
}

} // namespace FileKeyTables

void followFileKeys(CatalogueEntries &entries)
{
    // After whatever already follows the changes (the search index).
    auto before = std::move(entries.whileLocked);
    entries.whileLocked = [before = std::move(before),
                           dataFolder = entries.dataFolder()](const QStringList &names) {
        if (before)
            before(names);
        FileKeyTables::removeFor(dataFolder, names);
    };
}
