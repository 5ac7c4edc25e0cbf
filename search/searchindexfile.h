#pragma once

#include "search/searchtrigrams.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The search index as stored: a header line naming the format, then the catalogue files it
// covers (name, stamp and blocks; a file's number is its place in this table) and, for every
// trigram any of them holds, the sorted numbers of the files holding it, as deltas in
// variable-length bytes or as a bitmap, whichever is smaller, followed by the blocks of each
// of those files that hold it. Checksums over the tables and over each list let a damaged file
// be told from a sound one; a damaged file is not used.

struct IndexedFile {
    QString name; // bare file name in the data folder
    FileStamp stamp;
    FileLayout layout;
};

// A file holding a trigram, and the blocks of it that do.
struct Posting {
    uint32_t file = 0;
    uint64_t blocks = 0;
    bool operator==(const Posting &) const = default;
};

struct SearchIndexHead;

// One index file, read only where a search needs it.
class SearchIndexFile {
  public:
    SearchIndexFile() = default;
    ~SearchIndexFile();
    SearchIndexFile(const SearchIndexFile &) = delete;
    SearchIndexFile &operator=(const SearchIndexFile &) = delete;

    // False when there is no index at `path`, or it is of another format or damaged.
    bool open(const QString &path);
    // The same for bytes in memory (which must outlive this object).
    bool openBytes(const char *bytes, qsizetype size);

    // The files' names and stamps; their layouts, which few searches need, through layout().
    [[nodiscard]] const std::vector<IndexedFile> &files() const { return m_files; }
    [[nodiscard]] FileLayout layout(size_t file) const;
    [[nodiscard]] uint64_t allBlocks(size_t file) const { return m_allBlocks[file]; }
    // Keeps in `blocks` (per file number) only the blocks that hold `trigram`; false when its
    // list is damaged, or the file changed since it was opened.
    bool keepHolders(uint32_t trigram, std::vector<uint64_t> &blocks) const;
    // Every trigram with its postings, in trigram order; false as keepHolders() is.
    bool forEachList(const std::function<void(uint32_t, const std::vector<Posting> &)> &take) const;

  private:
    struct Entry {
        uint32_t key; // trigram, and 1 << 24 for a bitmap
        uint32_t offset;
        uint32_t checksum;
    };
    bool parse(const SearchIndexHead &head);
    bool readAt(char *to, qsizetype size, qint64 offset) const;
    // The bytes of the lists from `offset` to `next`; null when they cannot be read.
    const char *listAt(uint32_t offset, uint32_t next) const;
    bool decode(qsizetype entry, std::vector<Posting> &postings) const;
    bool decodeBlocks(const char *&at, const char *end, std::vector<Posting> &postings) const;
    [[nodiscard]] Entry entryAt(qsizetype i) const;

    int m_fd = -1;
    std::vector<char> m_tables; // of a file: everything before the lists
    const char *m_bytes = nullptr;
    qsizetype m_listsAt = 0;
    mutable const char *m_lists = nullptr; // the lists, when they are in memory
    mutable std::vector<char> m_allLists;
    mutable std::vector<char> m_scratch; // the one list last read from the file
    std::vector<IndexedFile> m_files;
    std::vector<const char *> m_layoutAt;
    std::vector<uint64_t> m_allBlocks;
    const char *m_directory = nullptr;
    qsizetype m_entries = 0;
    qsizetype m_listBytes = 0;
};

// Gathers files and their trigrams and gives the bytes of an index file.
class SearchIndexBuilder {
  public:
    SearchIndexBuilder();
    ~SearchIndexBuilder();
    SearchIndexBuilder(const SearchIndexBuilder &) = delete;
    SearchIndexBuilder &operator=(const SearchIndexBuilder &) = delete;

    // A file and its number; its trigrams follow with add().
    uint32_t addFile(const IndexedFile &file);
    // Numbers must come in rising order for each trigram; `blocks` not 0.
    void add(uint32_t trigram, uint32_t file, uint64_t blocks);
    void addAll(const FileTrigrams &found, uint32_t file);
    [[nodiscard]] qsizetype fileCount() const { return qsizetype(m_files.size()); }
    [[nodiscard]] QByteArray bytes();

  private:
    struct List {
        QByteArray deltas;
        QByteArray blocks;
        uint32_t count = 0;
        uint32_t last = 0;
        void add(uint32_t file, uint64_t blocks, uint64_t all);
    };
    struct Pending {
        uint32_t trigram;
        uint32_t file;
        uint64_t blocks;
    };
    static constexpr size_t kBatch = size_t(1) << 20;
    List &listOf(uint32_t trigram);
    void flush();
    // Appends the list of `trigram` as stored; returns its key.
    uint32_t appendList(QByteArray &out, uint32_t trigram) const;

    std::vector<IndexedFile> m_files;
    // Per trigram: 1 + its place in m_lists, or 0; in blocks of 4096 trigrams made when first
    // needed, since few of the 16 million trigrams occur.
    std::vector<std::unique_ptr<uint32_t[]>> m_slot;
    std::vector<uint32_t> m_used; // the trigrams that have a list
    std::vector<List> m_lists;
    std::vector<Pending> m_pending; // postings of the last files added, not yet in their lists
    std::vector<Pending> m_sorted;
};

// Makes the checksums of an index's bytes right again after they were changed, as far as its head
// and directory reach inside them: a crafted file passes every checksum. For tests and fuzzing.
void resealIndexBytes(QByteArray &bytes);

// The index of the data folder, in Tarvek's own folder below it.
[[nodiscard]] QString searchIndexPath(const QString &dataFolder);
