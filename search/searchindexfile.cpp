#include "search/searchindexfile.h"

#include "catalogue/settings.h"
#include "files/textfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// The fixed part after the format line.
struct SearchIndexHead {
    uint32_t files;
    uint32_t entries;
    uint64_t tableBytes;
    uint64_t listBytes;
    uint64_t checksum; // of the three fields before it, the file table and the directory
};

namespace {

constexpr char kFormatLine[] = "TarvekSearchIndex 3\n";
constexpr qsizetype kFormatLineSize = sizeof kFormatLine - 1;
constexpr uint32_t kBitmap = uint32_t(1) << 24;
constexpr qsizetype kEntrySize = 12;
constexpr qsizetype kStampSize = 5 * 8;

using Head = SearchIndexHead;

// The least a file's entry in the table takes: its name's size, its stamp and a layout of one block.
constexpr qsizetype kLeastFileBytes = 2 + kStampSize + 1 + 1 + 4 + 8;

// Where the lists begin: after the format line, the head, the file table and the directory.
qsizetype tablesEnd(const Head &head)
{
    return kFormatLineSize + qsizetype(sizeof(Head)) + qsizetype(head.tableBytes) +
           qsizetype(head.entries) * kEntrySize + 4;
}

// Reads the head from the start of a file of `size` bytes, and checks that its counts and sizes
// fit that file, before anything is made for them: a crafted head whose checksum is right can
// still claim two thousand million files.
bool headFits(const char *start, qint64 size, Head &head)
{
    if (size < kFormatLineSize + qint64(sizeof(Head)) ||
        std::memcmp(start, kFormatLine, kFormatLineSize) != 0)
        return false;
    std::memcpy(&head, start + kFormatLineSize, sizeof head);
    const uint64_t rest = uint64_t(size) - kFormatLineSize - sizeof(Head);
    return head.tableBytes <= rest && uint64_t(head.entries) * kEntrySize + 4 <= rest - head.tableBytes &&
           head.listBytes == rest - head.tableBytes - uint64_t(head.entries) * kEntrySize - 4 &&
           head.listBytes <= UINT32_MAX && uint64_t(head.files) * kLeastFileBytes <= head.tableBytes;
}

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

void putVarint(QByteArray &out, uint32_t value)
{
    while (value >= 0x80) {
        out.append(char(0x80 | (value & 0x7F)));
        value >>= 7;
    }
    out.append(char(value));
}

bool takeVarint(const char *&at, const char *end, uint32_t &value)
{
    value = 0;
    for (int shift = 0;; shift += 7) {
        if (at == end || shift > 28)
            return false;
        value |= uint32_t(uchar(*at) & 0x7F) << shift;
        if (!(uchar(*at++) & 0x80))
            return true;
    }
}

// The blocks of a file holding a trigram: a first byte 0 for all of them, 1 to 7 for that many
// block numbers following in a byte each, or kMaskFollows for the eight-byte mask.
constexpr int kMaskFollows = 8;

void putBlocks(QByteArray &out, uint64_t blocks, uint64_t all)
{
    const int count = qPopulationCount(blocks);
    if (blocks == all) {
        out.append(char(0));
    } else if (count < kMaskFollows) {
        out.append(char(count));
        for (uint64_t rest = blocks; rest != 0; rest &= rest - 1)
            out.append(char(qCountTrailingZeroBits(rest)));
    } else {
        out.append(char(kMaskFollows));
        put(out, blocks);
    }
}

bool takeBlocks(const char *&at, const char *end, uint64_t all, uint64_t &blocks)
{
    uint8_t count;
    if (!take(at, end, count) || count > kMaskFollows)
        return false;
    if (count == 0) {
        blocks = all;
        return true;
    }
    if (count == kMaskFollows)
        return take(at, end, blocks) && blocks != 0 && (blocks & ~all) == 0;
    if (end - at < count)
        return false;
    blocks = 0;
    for (; count > 0; --count, ++at) {
        if (uchar(*at) >= 64)
            return false;
        blocks |= uint64_t(1) << uchar(*at);
    }
    return (blocks & ~all) == 0;
}

void putLayout(QByteArray &out, const FileLayout &layout)
{
    put(out, uint8_t(layout.utf8));
    put(out, uint8_t(layout.blocks.size()));
    put(out, layout.end);
    for (const BlockStart &block : layout.blocks)
        put(out, block.offset), put(out, block.linesBefore);
}

// A layout read back must describe lines inside the file (whose size is -1 while it is not
// trusted): blocks in rising order before its end.
bool takeLayout(const char *&at, const char *end, qint64 fileSize, FileLayout &layout)
{
    uint8_t utf8, count;
    if (!take(at, end, utf8) || !take(at, end, count) || count < 1 || count > kMaxBlocks || utf8 > 1 ||
        !take(at, end, layout.end) || (fileSize >= 0 && qint64(layout.end) > fileSize))
        return false;
    layout.utf8 = utf8 != 0;
    layout.blocks.resize(count);
    for (BlockStart &block : layout.blocks) {
        if (!take(at, end, block.offset) || !take(at, end, block.linesBefore) || block.offset > layout.end ||
            (&block != &layout.blocks.front() && block.offset <= (&block - 1)->offset))
            return false;
    }
    return true;
}

} // namespace

QString searchIndexPath(const QString &dataFolder)
{
    return ownFolderPath(dataFolder) + QStringLiteral("/search.idx");
}

SearchIndexFile::~SearchIndexFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// The file is read, never mapped: another program may write it in place while a search runs (a
// backup copied back with cp), and a mapped page past its new end would kill the search with
// SIGBUS. What every search needs (the head, the file table and the directory) is read in one
// call; each list when it is asked for.
bool SearchIndexFile::open(const QString &path)
{
    qint64 size = 0;
    m_fd = openRegularFile(path, size);
    if (m_fd < 0)
        return false;
    char start[kFormatLineSize + sizeof(Head)];
    Head head;
    if (!readAt(start, sizeof start, 0) || !headFits(start, size, head))
        return false;
    m_tables.resize(size_t(tablesEnd(head)));
    if (!readAt(m_tables.data(), qsizetype(m_tables.size()), 0))
        return false;
    m_bytes = m_tables.data();
    m_listsAt = qsizetype(m_tables.size());
    return parse(head);
}

bool SearchIndexFile::openBytes(const char *bytes, qsizetype size)
{
    Head head;
    if (!headFits(bytes, size, head))
        return false;
    m_bytes = bytes;
    m_listsAt = tablesEnd(head);
    m_lists = bytes + m_listsAt;
    return parse(head);
}

bool SearchIndexFile::readAt(char *to, qsizetype size, qint64 offset) const
{
    while (size > 0) {
        const ssize_t got = ::pread(m_fd, to, size_t(size), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false; // cut short since it was opened, or unreadable
        to += got;
        size -= got;
        offset += got;
    }
    return true;
}

bool SearchIndexFile::parse(const SearchIndexHead &head)
{
    const char *at = m_bytes + kFormatLineSize + sizeof(Head);
    const char *table = at;
    m_directory = at + head.tableBytes;
    m_entries = head.entries;
    m_listBytes = qsizetype(head.listBytes);
    const char *listsStart = m_bytes + m_listsAt;
    if (checksumOf(table, listsStart - table, checksumOf(reinterpret_cast<const char *>(&head), 24)) !=
        head.checksum)
        return false;
    m_files.clear();
    m_files.reserve(head.files); // no more than the table can hold: checked by headFits()
    m_layoutAt.clear();
    m_allBlocks.clear();
    FileLayout layout; // checked here, kept as bytes

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
        m_layoutAt.push_back(at);
        if (!takeLayout(at, m_directory, s.size, layout))
            return false;
        m_allBlocks.push_back(layout.allBlocks());
        m_files.push_back(std::move(file));
    }
    return at == m_directory;
}

const char *SearchIndexFile::listAt(uint32_t offset, uint32_t next) const
{
    if (m_lists)
        return m_lists + offset;
    m_scratch.resize(next - offset);
    return readAt(m_scratch.data(), qsizetype(m_scratch.size()), m_listsAt + offset) ? m_scratch.data()
                                                                                     : nullptr;
}

FileLayout SearchIndexFile::layout(size_t file) const
{
    FileLayout layout;
    const char *at = m_layoutAt[file];
    (void)takeLayout(at, m_directory, m_files[file].stamp.size, layout); // checked by parse()
    return layout;
}

SearchIndexFile::Entry SearchIndexFile::entryAt(qsizetype i) const
{
    Entry entry;
    std::memcpy(&entry, m_directory + i * kEntrySize, kEntrySize);
    return entry;
}

bool SearchIndexFile::decode(qsizetype i, std::vector<Posting> &postings) const
{
    const Entry entry = entryAt(i);
    uint32_t next; // where the next list begins: the last entry is followed by the end alone
    if (i + 1 < m_entries)
        next = entryAt(i + 1).offset;
    else
        std::memcpy(&next, m_directory + m_entries * kEntrySize, 4);
    if (entry.offset > next || next > m_listBytes)
        return false;
    const char *at = listAt(entry.offset, next);
    if (!at)
        return false;
    const char *end = at + (next - entry.offset);
    if (listChecksum(entry.key, at, end - at) != entry.checksum)
        return false;
    postings.clear();
    const qsizetype files = qsizetype(m_files.size());
    if (entry.key & kBitmap) {
        if (end - at < bitmapBytes(files))
            return false;
        for (qsizetype id = 0; id < files; ++id) {
            if (uchar(at[id / 8]) >> (id % 8) & 1)
                postings.push_back({uint32_t(id), 0});
        }
        at += bitmapBytes(files);
        return decodeBlocks(at, end, postings);
    }
    uint32_t count;
    if (!takeVarint(at, end, count) || count > uint32_t(files))
        return false;
    uint64_t id = 0;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t delta;
        if (!takeVarint(at, end, delta))
            return false;
        id += delta + (k == 0 ? 0 : 1);
        if (id >= uint64_t(files))
            return false;
        postings.push_back({uint32_t(id), 0});
    }
    return decodeBlocks(at, end, postings);
}

bool SearchIndexFile::decodeBlocks(const char *&at, const char *end, std::vector<Posting> &postings) const
{
    for (Posting &posting : postings) {
        if (!takeBlocks(at, end, m_allBlocks[posting.file], posting.blocks))
            return false;
    }
    return at == end;
}

bool SearchIndexFile::keepHolders(uint32_t trigram, std::vector<uint64_t> &blocks) const
{
    qsizetype low = 0, high = m_entries;
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if ((entryAt(middle).key & (kBitmap - 1)) < trigram)
            low = middle + 1;
        else
            high = middle;
    }
    std::vector<Posting> postings;
    if (low < m_entries && (entryAt(low).key & (kBitmap - 1)) == trigram && !decode(low, postings))
        return false;
    size_t next = 0;
    for (const Posting &posting : postings) {
        for (; next < posting.file && next < blocks.size(); ++next)
            blocks[next] = 0;
        if (next < blocks.size())
            blocks[next++] &= posting.blocks;
    }
    for (; next < blocks.size(); ++next)
        blocks[next] = 0;
    return true;
}

bool SearchIndexFile::forEachList(
    const std::function<void(uint32_t, const std::vector<Posting> &)> &take) const
{
    // Every list is wanted: read them all in one call.
    if (!m_lists) {
        m_allLists.resize(size_t(m_listBytes));
        if (!readAt(m_allLists.data(), m_listBytes, m_listsAt))
            return false;
        m_lists = m_allLists.data();
    }
    std::vector<Posting> postings;
    for (qsizetype i = 0; i < m_entries; ++i) {
        if (!decode(i, postings))
            return false;
        take(entryAt(i).key & (kBitmap - 1), postings);
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

void SearchIndexBuilder::add(uint32_t trigram, uint32_t file, uint64_t blocks)
{
    flush(); // the files waiting there have higher numbers
    listOf(trigram).add(file, blocks, m_files[file].layout.allBlocks());
}

SearchIndexBuilder::List &SearchIndexBuilder::listOf(uint32_t trigram)
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
    return m_lists[slot - 1];
}

void SearchIndexBuilder::List::add(uint32_t file, uint64_t blocks, uint64_t all)
{
    putVarint(deltas, count == 0 ? file : file - last - 1);
    putBlocks(this->blocks, blocks, all);
    last = file;
    ++count;
}

void SearchIndexBuilder::addAll(const FileTrigrams &found, uint32_t file)
{
    for (size_t i = 0; i < found.trigrams.size(); ++i)
        m_pending.push_back({found.trigrams[i], file, found.masks[i]});
    if (m_pending.size() >= kBatch)
        flush();
}

// Postings go to their lists in trigram order, a batch of files at a time: each list is then
// reached once per batch instead of once per file, which is what made building slow (a list
// is seldom in the processor's cache).
void SearchIndexBuilder::flush()
{
    if (m_pending.empty())
        return;
    // Sorted by trigram, keeping the file order, in two passes of twelve bits.
    std::vector<Pending> &sorted = m_sorted;
    sorted.resize(m_pending.size());
    for (int shift : {0, 12}) {
        std::vector<size_t> start(size_t(1) << 12);
        for (const Pending &posting : m_pending)
            ++start[posting.trigram >> shift & 0xFFF];
        size_t at = 0;
        for (size_t &first : start)
            first = std::exchange(at, at + first);
        for (const Pending &posting : m_pending)
            sorted[start[posting.trigram >> shift & 0xFFF]++] = posting;
        std::swap(sorted, m_pending);
    }
    List *list = nullptr;
    for (size_t i = 0; i < m_pending.size(); ++i) {
        const Pending &posting = m_pending[i];
        if (i == 0 || posting.trigram != m_pending[i - 1].trigram)
            list = &listOf(posting.trigram);
        list->add(posting.file, posting.blocks, m_files[posting.file].layout.allBlocks());
    }
    m_pending.clear();
}

QByteArray SearchIndexBuilder::bytes()
{
    flush();
    QByteArray table;
    for (const IndexedFile &file : m_files) {
        const QByteArray name = file.name.toUtf8();
        put(table, uint16_t(name.size()));
        table.append(name);
        const FileStamp &s = file.stamp;
        put(table, s.size), put(table, s.mtimeNs), put(table, s.ctimeNs), put(table, s.inode),
            put(table, s.device);
        putLayout(table, file.layout);
    }
    std::vector<uint32_t> used = m_used;
    std::sort(used.begin(), used.end());
    // One buffer for the whole index, its size known but for the lists, which are at most their
    // deltas with a count before them: the lists take most of it.
    qsizetype listBytes = 0;
    for (const List &list : m_lists)
        listBytes += 5 + list.deltas.size() + list.blocks.size();
    const qsizetype headAt = kFormatLineSize;
    const qsizetype directoryAt = headAt + qsizetype(sizeof(Head)) + table.size();
    const qsizetype listsAt = directoryAt + qsizetype(used.size()) * kEntrySize + 4;
    QByteArray out;
    out.reserve(listsAt + listBytes);
    out.append(kFormatLine, kFormatLineSize);
    out.append(qsizetype(sizeof(Head)), '\0');
    out.append(table);
    out.append(listsAt - directoryAt, '\0');
    QByteArray directory;
    for (uint32_t trigram : used) {
        const qsizetype offset = out.size() - listsAt;
        const uint32_t key = appendList(out, trigram);
        put(directory, key), put(directory, uint32_t(offset));
        put(directory, listChecksum(key, out.constData() + listsAt + offset, out.size() - listsAt - offset));
    }
    put(directory, uint32_t(out.size() - listsAt));
    std::memcpy(out.data() + directoryAt, directory.constData(), size_t(directory.size()));
    Head head{uint32_t(m_files.size()), uint32_t(used.size()), uint64_t(table.size()),
              uint64_t(out.size() - listsAt), 0};
    head.checksum =
        checksumOf(out.constData() + directoryAt - table.size(), listsAt - directoryAt + table.size(),
                   checksumOf(reinterpret_cast<const char *>(&head), 24));
    std::memcpy(out.data() + headAt, &head, sizeof head);
    return out;
}

uint32_t SearchIndexBuilder::appendList(QByteArray &out, uint32_t trigram) const
{
    const List &list = m_lists[m_slot[trigram >> 12][trigram & 0xFFF] - 1];
    const qsizetype mapSize = bitmapBytes(fileCount());
    QByteArray count;
    putVarint(count, list.count);
    uint32_t key = trigram;
    if (count.size() + list.deltas.size() > mapSize) {
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
        out.append(map);
    } else {
        out.append(count).append(list.deltas);
    }
    out.append(list.blocks);
    return key;
}

void resealIndexBytes(QByteArray &bytes)
{
    const qsizetype start = kFormatLineSize + qsizetype(sizeof(Head));
    if (bytes.size() < start)
        return;
    Head head;
    std::memcpy(&head, bytes.constData() + kFormatLineSize, sizeof head);
    const uint64_t rest = uint64_t(bytes.size() - start);
    if (head.tableBytes > rest || uint64_t(head.entries) * kEntrySize + 4 > rest - head.tableBytes)
        return;
    char *directory = bytes.data() + start + head.tableBytes;
    const qsizetype listsAt = tablesEnd(head);
    for (qsizetype i = 0; i < qsizetype(head.entries); ++i) {
        uint32_t key, offset, next;
        std::memcpy(&key, directory + i * kEntrySize, 4);
        std::memcpy(&offset, directory + i * kEntrySize + 4, 4);
        std::memcpy(&next, directory + (i + 1) * kEntrySize + (i + 1 < qsizetype(head.entries) ? 4 : 0), 4);
        if (offset <= next && qsizetype(next) <= bytes.size() - listsAt) {
            const uint32_t checksum = listChecksum(key, bytes.constData() + listsAt + offset, next - offset);
            std::memcpy(directory + i * kEntrySize + 8, &checksum, 4);
        }
    }
    head.checksum = checksumOf(bytes.constData() + start, listsAt - start,
                               checksumOf(reinterpret_cast<const char *>(&head), 24));
    std::memcpy(bytes.data() + kFormatLineSize, &head, sizeof head);
}
