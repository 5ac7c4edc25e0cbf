#include "compare/disckeys.h"

#include "files/textfile.h"

#include <unistd.h>

DiscKeys::DiscKeys(const QString &cataloguePath, quint64 minimumSize)
    : m_path(cataloguePath), m_minimum(minimumSize), m_reader(std::make_unique<FileKeyTables::TableReader>())
{
    if (m_reader->openFile(FileKeyTables::pathFor(cataloguePath)) && m_reader->describesNow(cataloguePath)) {
        m_utf8 = m_reader->headOnly().utf8;
        return;
    }
    bool stable = false;
    FileKeys keys = FileKeyTables::build(cataloguePath, &stable);
    // Stored, it is read back a block at a time like any other: a first search over a thousand
    // discs does not hold all their keys at once.
    if (stable && FileKeyTables::store(cataloguePath, keys) &&
        m_reader->openFile(FileKeyTables::pathFor(cataloguePath)) && m_reader->describesNow(cataloguePath)) {
        m_utf8 = keys.utf8;
        return;
    }
    useBuilt(std::move(keys));
}

DiscKeys::~DiscKeys() = default;
DiscKeys::DiscKeys(DiscKeys &&) noexcept = default;
DiscKeys &DiscKeys::operator=(DiscKeys &&) noexcept = default;

void DiscKeys::useBuilt(FileKeys keys)
{
    m_reader.reset();
    m_utf8 = keys.utf8;
    const auto small = std::find_if(keys.keys.begin(), keys.keys.end(),
                                    [this](const FileKey &key) { return key.size < m_minimum; });
    keys.keys.erase(small, keys.keys.end());
    keys.keys.shrink_to_fit();
    m_built = std::move(keys);
    m_at = 0;
}

const FileKey *DiscKeys::peek()
{
    const FileKey *key = nullptr;
    if (m_reader) {
        key = m_reader->peek();
        if (!key && m_reader->damaged()) {
            // A damaged block: the rest comes from a table made anew, after the keys taken.
            const std::optional<FileKey> last = m_reader->last();
            useBuilt(FileKeyTables::build(m_path));
            if (last)
                m_at = size_t(std::upper_bound(m_built.keys.begin(), m_built.keys.end(), *last, keyBefore) -
                              m_built.keys.begin());
            return peek();
        }
    } else if (m_at < m_built.keys.size()) {
        key = &m_built.keys[m_at];
    }
    return key && key->size >= m_minimum ? key : nullptr;
}

void DiscKeys::pop()
{
    if (m_reader)
        m_reader->pop();
    else if (m_at < m_built.keys.size())
        ++m_at;
}

std::optional<ContentHash> DiscKeys::hashOf(const FileKey &key)
{
    if (key.hash == 0)
        return std::nullopt;
    if (!m_reader)
        return m_built.hashOf(key);
    if (!m_readHashes) {
        m_readHashes.emplace();
        if (!m_reader->readHashes(*m_readHashes))
            m_readHashes->clear();
    }
    return key.hash <= m_readHashes->size() ? std::optional((*m_readHashes)[key.hash - 1]) : std::nullopt;
}

bool readRowAt(int fd, quint64 offset, bool utf8, QString &folder, QString &name)
{
    QByteArray bytes;
    for (qint64 want = 4096; want <= kMaxLineBytes; want *= 4) {
        bytes.resize(qsizetype(want));
        const ssize_t got = ::pread(fd, bytes.data(), size_t(want), off_t(offset));
        if (got <= 0)
            return false;
        bytes.resize(qsizetype(got));
        const qsizetype end = bytes.indexOf('\n');
        if (end >= 0 || got < want) {
            bytes.truncate(end >= 0 ? end : bytes.size());
            if (bytes.endsWith('\r'))
                bytes.chop(1);
            break;
        }
    }
    const QString line = decodeDataLine(bytes, utf8);
    const qsizetype tab = line.indexOf(u'\t');
    if (tab < 0)
        return false;
    const qsizetype next = line.indexOf(u'\t', tab + 1);
    folder = line.first(tab);
    name = line.mid(tab + 1, next < 0 ? -1 : next - tab - 1);
    return true;
}
