#pragma once

#include "files/filehash.h"
#include "search/searchtrigrams.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The files of one saved disc as the duplicate search and the folder check look them up, kept
// in Tarvek's own folder beside the disc's side file ("cd_<label>.dat.keys") so that a search
// over a thousand discs reads neither their catalogue files nor their side files.
//
// For each file row whose size the side file knows: its size, the key of its
// composed name (compare/namekey.h), its row, where its line begins in the catalogue file and
// its content hash when the side file has one. Sorted by size, largest first, then by name key,
// so that a search from a minimum size reads only the front of each table.
//
// A table describes the catalogue file and the side file as they were when it was made (their
// size, times, inode and device): it is used only while both are still so, and is made again
// from them otherwise. One made of files changed within the last seconds is not stored, since a
// file system that keeps times coarsely (FAT) could not tell a later change. Every change of an
// entry removes the tables of the files it touched (follow()).
//
// The stored form: the line "tarvek-keys<TAB>1", then a head of little-endian numbers (counts,
// the two stamps, whether the catalogue file is UTF-8), an XXH3 checksum of the head and one of
// each block of 1024 entries, then the entries (32 bytes each) and the hashes (16 bytes each).
// A table whose checksums fail is not used.

struct FileKey {
    quint64 size = 0;
    quint64 name = 0; // nameKey() of the row's name
    quint32 row = 0;  // 1-based row of the tree
    quint32 hash = 0; // 1 + its place in FileKeys::hashes, 0 when none is known
    quint64 line = 0; // byte offset of the row's line in the catalogue file
};
static_assert(sizeof(FileKey) == 32);

// Largest first, then by name key, then by row.
[[nodiscard]] bool keyBefore(const FileKey &a, const FileKey &b);

struct FileKeys {
    std::vector<FileKey> keys;
    std::vector<ContentHash> hashes;
    bool utf8 = false; // how the catalogue file's lines decode
    FileStamp catalogue;
    FileStamp side; // all zero when the disc has no side file

    [[nodiscard]] std::optional<ContentHash> hashOf(const FileKey &key) const
    {
        return key.hash > 0 && key.hash <= hashes.size() ? std::optional(hashes[key.hash - 1]) : std::nullopt;
    }
};

namespace FileKeyTables {

// Keys in a block of the stored form, each block with its own checksum.
inline constexpr quint64 kKeysPerChunk = 1024;

// A stored table read a block of keys at a time, so that a search that wants the largest files
// only reads the front of it. Each block is checked as it is read; a damaged one ends the keys
// (damaged() then tells).
class TableReader {
  public:
    TableReader() = default;
    ~TableReader();
    TableReader(const TableReader &) = delete;
    TableReader &operator=(const TableReader &) = delete;

    // False when there is no table there or its head is not sound.
    bool openFile(const QString &path);
    bool openBytes(QByteArrayView bytes); // which must outlive the reader
    void close();
    // Its head's facts in an empty table.
    [[nodiscard]] FileKeys headOnly() const;
    [[nodiscard]] qint64 keyCount() const;
    // True while the catalogue file and its side file are as the table describes them.
    [[nodiscard]] bool describesNow(const QString &cataloguePath) const;
    // The next key, null at the end of the keys.
    [[nodiscard]] const FileKey *peek();
    void pop();
    [[nodiscard]] bool damaged() const { return m_damaged; }
    // The key popped last.
    [[nodiscard]] std::optional<FileKey> last() const { return m_last; }
    bool readHashes(std::vector<ContentHash> &hashes) const;

  private:
    struct Head {
        quint64 keys = 0;
        quint64 hashes = 0;
        quint64 utf8 = 0;
        FileStamp catalogue;
        FileStamp side;
    };
    bool readHead();
    bool readAt(qint64 offset, void *into, qint64 size) const;

    int m_fd = -1;
    QByteArrayView m_bytes;
    qint64 m_size = 0;
    Head m_head;
    qint64 m_checksumsAt = 0, m_keysAt = 0, m_hashesAt = 0;
    std::vector<FileKey> m_chunk;
    size_t m_at = 0;
    qint64 m_nextChunk = 0;
    std::optional<FileKey> m_last;
    bool m_damaged = false;
};

// The table of the catalogue file at `cataloguePath`.
[[nodiscard]] QString pathFor(const QString &cataloguePath);

// Made from the catalogue file and its side file as they are now. `stable` tells whether neither
// changed while they were read and neither is so recent that it could change unseen.
[[nodiscard]] FileKeys build(const QString &cataloguePath, bool *stable = nullptr);

// The bytes of a table, and a table from bytes; none when they are not a whole, sound table.
[[nodiscard]] QByteArray encode(const FileKeys &keys);
[[nodiscard]] std::optional<FileKeys> decode(QByteArrayView bytes);

// The stored table when it still describes the catalogue file and the side file, else one made
// anew (and stored, when `store`, the data folder's lock is free and it is stable).
[[nodiscard]] FileKeys load(const QString &cataloguePath, bool store = true);

// Stores `keys` as the table of the catalogue file, under the data folder's lock when it is free.
bool store(const QString &cataloguePath, const FileKeys &keys);

// Removes the tables of these catalogue files (bare names) of `dataFolder`.
void removeFor(const QString &dataFolder, const QStringList &names);

} // namespace FileKeyTables

class CatalogueEntries;
// Makes every change of `entries` remove the tables of the files it touched, under its lock.
void followFileKeys(CatalogueEntries &entries);
