#include "catalogue/searchindexfile.h"

#include "catalogue/settings.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kFormatLine[] = "TarvekSearchIndex 1\n";
constexpr qsizetype kFormatLineSize = sizeof kFormatLine - 1;
constexpr uint32_t kBitmap = uint32_t(1) << 24;
constexpr qsizetype kEntrySize = 12;
constexpr qsizetype kStampSize = 5 * 8;

struct Head {
    uint32_t files;
    uint32_t entries;
    uint64_t tableBytes;
    uint64_t listBytes;
    uint64_t checksum; // of the three fields before it, the file table and the directory
};

uint64_t checksumOf(const char *bytes, qsizetype size, uint64_t hash = 0x54415256454bULL)
{
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    for (; size >= 8; bytes += 8, size -= 8) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 32;
    }
    for (; size > 0; ++bytes, --size)
        hash = (hash ^ uchar(*bytes)) * kMultiplier;
    return hash ^ (hash >> 29);
}

uint32_t listChecksum(uint32_t key, const char *bytes, qsizetype size)
{
    return uint32_t(checksumOf(bytes, size, key));
}

template <typename T> void put(QByteArray &out, T value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

template <typename T> bool take(const char *&at, const char *end, T &value)
{
    if (end - at < qsizetype(sizeof value))
        return false;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return true;
}

qsizetype bitmapBytes(qsizetype files)
{
    return (files + 7) / 8;
}

} // namespace

QString searchIndexPath(const QString &dataFolder)
{
    return ownFolderPath(dataFolder) + QStringLiteral("/search.idx");
}

SearchIndexFile::~SearchIndexFile()
{
    if (m_mapped)
        ::munmap(m_mapped, size_t(m_size));
}

bool SearchIndexFile::open(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kFormatLineSize) {
        void *mapped = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            m_mapped = mapped;
            m_size = qsizetype(st.st_size);
            m_bytes = static_cast<const char *>(mapped);
        }
    }
    ::close(fd);
    return m_bytes && parse();
}

bool SearchIndexFile::openBytes(const char *bytes, qsizetype size)
{
    m_bytes = bytes;
    m_size = size;
    return parse();
}

bool SearchIndexFile::parse()
{
    const char *end = m_bytes + m_size;
    if (m_size < kFormatLineSize || std::memcmp(m_bytes, kFormatLine, kFormatLineSize) != 0)
        return false;
    const char *at = m_bytes + kFormatLineSize;
    Head head;
    if (!take(at, end, head) || head.tableBytes > uint64_t(end - at) ||
        uint64_t(head.entries) * kEntrySize + 4 > uint64_t(end - at) - head.tableBytes ||
        head.listBytes != uint64_t(end - at) - head.tableBytes - head.entries * kEntrySize - 4 ||
        head.listBytes > UINT32_MAX)
        return false;
    uint64_t hash = checksumOf(reinterpret_cast<const char *>(&head), 24);
    const char *table = at;
    m_directory = at + head.tableBytes;
    m_entries = head.entries;
    m_lists = m_directory + m_entries * kEntrySize + 4;
    m_listBytes = qsizetype(head.listBytes);
    if (checksumOf(table, m_lists - table, hash) != head.checksum)
        return false;
    m_files.clear();
    m_files.reserve(head.files);
    for (uint32_t i = 0; i < head.files; ++i) {
        uint16_t nameSize;
        IndexedFile file;
        if (!take(at, m_directory, nameSize) || m_directory - at < nameSize + kStampSize)
            return false;
        file.name = QString::fromUtf8(at, nameSize);
        at += nameSize;
        FileStamp &s = file.stamp;
        take(at, m_directory, s.size), take(at, m_directory, s.mtimeNs), take(at, m_directory, s.ctimeNs);
        take(at, m_directory, s.inode), take(at, m_directory, s.device);
        m_files.push_back(std::move(file));
    }
    return at == m_directory;
}

SearchIndexFile::Entry SearchIndexFile::entryAt(qsizetype i) const
{
    Entry entry;
    std::memcpy(&entry, m_directory + i * kEntrySize, kEntrySize);
    return entry;
}

bool SearchIndexFile::decode(qsizetype i, std::vector<uint32_t> &ids) const
{
    const Entry entry = entryAt(i);
    uint32_t next; // where the next list begins: the last entry is followed by the end alone
    if (i + 1 < m_entries)
        next = entryAt(i + 1).offset;
    else
        std::memcpy(&next, m_directory + m_entries * kEntrySize, 4);
    if (entry.offset > next || next > m_listBytes)
        return false;
    const char *at = m_lists + entry.offset;
    const qsizetype size = next - entry.offset;
    if (listChecksum(entry.key, at, size) != entry.checksum)
        return false;
    ids.clear();
    const qsizetype files = qsizetype(m_files.size());
    if (entry.key & kBitmap) {
        if (size != bitmapBytes(files))
            return false;
        for (qsizetype id = 0; id < files; ++id) {
            if (uchar(at[id / 8]) >> (id % 8) & 1)
                ids.push_back(uint32_t(id));
        }
        return true;
    }
    uint64_t id = 0;
    for (qsizetype k = 0; k < size;) {
        uint64_t delta = 0;
        for (int shift = 0;; shift += 7) {
            if (k == size || shift > 28)
                return false;
            delta |= uint64_t(uchar(at[k]) & 0x7F) << shift;
            if (!(uchar(at[k++]) & 0x80))
                break;
        }
        id += delta + (ids.empty() ? 0 : 1);
        if (id >= uint64_t(files))
            return false;
        ids.push_back(uint32_t(id));
    }
    return true;
}

bool SearchIndexFile::keepHolders(uint32_t trigram, std::vector<uint64_t> &files) const
{
    qsizetype low = 0, high = m_entries;
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if ((entryAt(middle).key & (kBitmap - 1)) < trigram)
            low = middle + 1;
        else
            high = middle;
    }
    std::vector<uint32_t> ids;
    if (low < m_entries && (entryAt(low).key & (kBitmap - 1)) == trigram && !decode(low, ids))
        return false;
    std::vector<uint64_t> holders(files.size());
    for (uint32_t id : ids)
        holders[id / 64] |= uint64_t(1) << (id % 64);
    for (size_t w = 0; w < files.size(); ++w)
        files[w] &= holders[w];
    return true;
}

bool SearchIndexFile::forEachList(
    const std::function<void(uint32_t, const std::vector<uint32_t> &)> &take) const
{
    std::vector<uint32_t> ids;
    for (qsizetype i = 0; i < m_entries; ++i) {
        if (!decode(i, ids))
            return false;
        take(entryAt(i).key & (kBitmap - 1), ids);
    }
    return true;
}

SearchIndexBuilder::SearchIndexBuilder() : m_slot(size_t(1) << 12)
{
}

SearchIndexBuilder::~SearchIndexBuilder() = default;

uint32_t SearchIndexBuilder::addFile(const IndexedFile &file)
{
    m_files.push_back(file);
    return uint32_t(m_files.size() - 1);
}

void SearchIndexBuilder::add(uint32_t trigram, uint32_t file)
{
    std::unique_ptr<uint32_t[]> &block = m_slot[trigram >> 12];
    if (!block)
        block.reset(new uint32_t[size_t(1) << 12]());
    uint32_t &slot = block[trigram & 0xFFF];
    if (slot == 0) {
        m_lists.emplace_back();
        m_used.push_back(trigram);
        slot = uint32_t(m_lists.size());
    }
    List &list = m_lists[slot - 1];
    uint32_t delta = list.count == 0 ? file : file - list.last - 1;
    while (delta >= 0x80) {
        list.deltas.append(char(0x80 | (delta & 0x7F)));
        delta >>= 7;
    }
    list.deltas.append(char(delta));
    list.last = file;
    ++list.count;
}

void SearchIndexBuilder::addAll(const std::vector<uint32_t> &trigrams, uint32_t file)
{
    for (uint32_t trigram : trigrams)
        add(trigram, file);
}

QByteArray SearchIndexBuilder::bytes() const
{
    QByteArray table, directory, lists;
    for (const IndexedFile &file : m_files) {
        const QByteArray name = file.name.toUtf8();
        put(table, uint16_t(name.size()));
        table.append(name);
        const FileStamp &s = file.stamp;
        put(table, s.size), put(table, s.mtimeNs), put(table, s.ctimeNs), put(table, s.inode),
            put(table, s.device);
    }
    const qsizetype mapSize = bitmapBytes(fileCount());
    std::vector<uint32_t> used = m_used;
    std::sort(used.begin(), used.end());
    for (uint32_t trigram : used) {
        const List &list = m_lists[m_slot[trigram >> 12][trigram & 0xFFF] - 1];
        const qsizetype offset = lists.size();
        uint32_t key = trigram;
        if (list.deltas.size() > mapSize) {
            // Numbers of most files: one bit each is smaller.
            key |= kBitmap;
            QByteArray map(mapSize, '\0');
            uint32_t id = 0;
            for (qsizetype k = 0, shift = 0; k < list.deltas.size(); ++k) {
                id += uint32_t(uchar(list.deltas[k]) & 0x7F) << shift;
                shift += 7;
                if (uchar(list.deltas[k]) & 0x80)
                    continue;
                map[id / 8] = char(uchar(map[id / 8]) | 1 << (id % 8));
                id += 1;
                shift = 0;
            }
            lists.append(map);
        } else {
            lists.append(list.deltas);
        }
        put(directory, key), put(directory, uint32_t(offset));
        put(directory, listChecksum(key, lists.constData() + offset, lists.size() - offset));
    }
    put(directory, uint32_t(lists.size()));
    Head head{uint32_t(m_files.size()), uint32_t(directory.size() / kEntrySize), uint64_t(table.size()),
              uint64_t(lists.size()), 0};
    const QByteArray tables = table + directory;
    head.checksum =
        checksumOf(tables.constData(), tables.size(), checksumOf(reinterpret_cast<const char *>(&head), 24));
    QByteArray out(kFormatLine, kFormatLineSize);
    put(out, head);
    return out + tables + lists;
}
