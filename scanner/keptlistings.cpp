#include "scanner/keptlistings.h"

#include <cstring>
#include <new>
#include <sys/mman.h>

namespace {
constexpr size_t kBlockSize = 256 * 1024;
}

// Blocks are mapped from the system and unmapped when read: a heap would keep the freed memory
// for itself, and the tree being built beside it would not use it, so the scan's peak would hold
// every listing and the whole tree at once.
struct KeptListings::Block {
    Block()
    {
        void *memory =
            ::mmap(nullptr, kBlockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::bad_alloc();
        bytes = static_cast<char *>(memory);
    }
    ~Block() { ::munmap(bytes, kBlockSize); }
    Block(const Block &) = delete;
    Block &operator=(const Block &) = delete;

    char *bytes = nullptr;
    size_t used = 0;
};

KeptListings::KeptListings() = default;
KeptListings::~KeptListings() = default;

void KeptListings::write(const void *data, size_t size)
{
    const char *from = static_cast<const char *>(data);
    while (size > 0) {
        if (m_blocks.empty() || m_blocks.back()->used == kBlockSize)
            m_blocks.push_back(std::make_unique<Block>());
        Block &block = *m_blocks.back();
        const size_t part = std::min(size, kBlockSize - block.used);
        std::memcpy(block.bytes + block.used, from, part);
        block.used += part;
        from += part;
        size -= part;
    }
}

void KeptListings::read(void *data, size_t size)
{
    char *to = static_cast<char *>(data);
    while (size > 0 && !m_blocks.empty()) {
        Block &block = *m_blocks.front();
        const size_t part = std::min(size, block.used - m_readAt);
        std::memcpy(to, block.bytes + m_readAt, part);
        m_readAt += part;
        to += part;
        size -= part;
        // A block read to its end, and not still being written, is done with.
        if (m_readAt == block.used && (block.used == kBlockSize || m_blocks.size() > 1)) {
            m_blocks.pop_front();
            m_readAt = 0;
        }
    }
}

// Seven bits a byte, the high bit saying that more follow: most counts and lengths take one byte.
void KeptListings::writeCount(quint64 value)
{
    char bytes[10];
    size_t n = 0;
    do {
        bytes[n++] = char((value & 0x7F) | (value >= 0x80 ? 0x80 : 0));
        value >>= 7;
    } while (value != 0);
    write(bytes, n);
}

quint64 KeptListings::readCount()
{
    quint64 value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        uchar byte = 0;
        read(&byte, 1);
        value |= quint64(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            break;
    }
    return value;
}

// A size as one more than itself, so that an unknown one is 0; the time as it is, since it may
// be before 1970.
void KeptListings::writeStat(const FileStat &stat)
{
    writeCount(stat.size == FileStat::kUnknown ? 0 : quint64(stat.size) + 1);
    write(&stat.mtime, sizeof stat.mtime);
}

FileStat KeptListings::readStat()
{
    FileStat stat;
    const quint64 size = readCount();
    if (size != 0)
        stat.size = qint64(size - 1);
    read(&stat.mtime, sizeof stat.mtime);
    return stat;
}

// Most names are their own UTF-8: their bytes need not be kept twice.
void KeptListings::writeBytes(const QByteArray &bytes, QStringView name)
{
    const bool sameBytes = bytes == name.toUtf8();
    writeCount(sameBytes ? 0 : quint64(bytes.size()) + 1);
    if (!sameBytes)
        write(bytes.constData(), size_t(bytes.size()));
}

QByteArray KeptListings::readBytes(const QString &name)
{
    const quint64 size = readCount();
    if (size == 0)
        return name.toUtf8();
    QByteArray bytes(qsizetype(size - 1), Qt::Uninitialized);
    read(bytes.data(), size_t(size - 1));
    return bytes;
}

void KeptListings::writeText(QStringView text)
{
    writeCount(quint64(text.size()));
    write(text.utf16(), size_t(text.size()) * sizeof(char16_t));
}

QString KeptListings::readText()
{
    QString text(qsizetype(readCount()), Qt::Uninitialized);
    read(text.data(), size_t(text.size()) * sizeof(char16_t));
    return text;
}

void KeptListings::append(const ListedFolder &listed)
{
    writeCount(listed.folders.size());
    writeCount(quint64(listed.files.size()));
    for (const DirEntry &folder : listed.folders) {
        writeText(folder.name);
        writeBytes(folder.bytes, folder.name);
        writeStat(folder.stat);
    }
    // The files' bytes only when the listing has them (a scan that hashes contents), in the
    // folders' way.
    const bool fileBytes = listed.fileBytes.size() == size_t(listed.files.size()) && !listed.files.isEmpty();
    writeCount(fileBytes ? 1 : 0);
    for (qsizetype i = 0; i < listed.files.size(); ++i) {
        writeText(listed.files[i]);
        writeStat(listed.fileStats[size_t(i)]);
        if (fileBytes)
            writeBytes(listed.fileBytes[size_t(i)], listed.files[i]);
    }
    writeCount(listed.otherBytes.size());
    for (const auto &[index, bytes] : listed.otherBytes) {
        writeCount(quint64(index));
        writeCount(quint64(bytes.size()));
        write(bytes.constData(), size_t(bytes.size()));
    }
    ++m_listings;
}

bool KeptListings::takeNext(ListedFolder &listed)
{
    listed = {};
    if (m_listings == 0)
        return false;
    --m_listings;
    const quint64 folders = readCount();
    const quint64 files = readCount();
    listed.folders.reserve(folders);
    for (quint64 i = 0; i < folders; ++i) {
        DirEntry entry{readText(), DirEntry::Kind::Folder, {}, {}};
        entry.bytes = readBytes(entry.name);
        entry.stat = readStat();
        listed.folders.push_back(std::move(entry));
    }
    listed.files.reserve(qsizetype(files));
    listed.fileStats.reserve(files);
    const bool fileBytes = readCount() == 1;
    for (quint64 i = 0; i < files; ++i) {
        listed.files.append(readText());
        listed.fileStats.push_back(readStat());
        if (fileBytes)
            listed.fileBytes.push_back(readBytes(listed.files.back()));
    }
    const quint64 others = readCount();
    listed.otherBytes.reserve(others);
    for (quint64 i = 0; i < others; ++i) {
        const auto index = qsizetype(readCount());
        QByteArray bytes(qsizetype(readCount()), Qt::Uninitialized);
        read(bytes.data(), size_t(bytes.size()));
        listed.otherBytes.emplace_back(index, std::move(bytes));
    }
    return true;
}

qint64 KeptListings::bytesHeld() const
{
    return qint64(m_blocks.size() * kBlockSize);
}
