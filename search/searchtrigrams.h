#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <sys/types.h>
#include <vector>

// Trigrams for the search index: three consecutive bytes of the UTF-8 of the compared form of
// text (search/textforms.h: composed and case folded), as one 24-bit number. A file's trigrams
// are those of every line the search reads (decoded as the search decodes it, up to the first
// empty line); a text found in a line, canonically equivalent and in any case, has all its
// trigrams there, so a file lacking one of them cannot hold the text.

// How a catalogue file was when it was read: any change to it changes one of these.
struct FileStamp {
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileStamp &) const = default;
};

// Where the file system keeps the time of a change only coarsely (2 s on FAT), a file changed
// again within that time after it was read keeps its stamp. A file modified so recently is not
// trusted to be as it was read.
[[nodiscard]] bool isRecentStamp(const FileStamp &stamp);

// The stamp of the regular file at `path`; false when there is none. With `folderFd`, an open
// folder, `path` is a name in it (which saves looking the folder up again for each file).
[[nodiscard]] bool stampOf(const QString &path, FileStamp &stamp, int folderFd = -1);

// Besides trigrams, the index keeps keys of Hangul initial consonants: for two and for three
// characters in a row of a line's compared form that each begin with a consonant (a syllable by
// its initial, a jamo by its first key: Hangul::initialOf), a key of those consonants. No UTF-8
// trigram begins with the bytes F8 or F9, so the keys never meet one.
[[nodiscard]] constexpr uint32_t initialsKey(int first, int second)
{
    return 0xF80000u | uint32_t(first * 19 + second);
}
[[nodiscard]] constexpr uint32_t initialsKey(int first, int second, int third)
{
    return 0xF90000u | uint32_t((first * 19 + second) * 19 + third);
}

// The distinct trigrams of a text's compared form, sorted; empty when the text is shorter than three UTF-8
// bytes or is not well-formed UTF-16 (a lone surrogate can match half of a pair in a line), so that the index
// cannot rule any file out for it.
[[nodiscard]] std::vector<uint32_t> textTrigrams(const QString &text);

// Where a block of whole lines begins in a catalogue file: its byte offset, and how many lines
// come before it (the results window numbers rows by line).
struct BlockStart {
    uint32_t offset = 0;
    uint32_t linesBefore = 0;
    bool operator==(const BlockStart &) const = default;
};

// A file's lines as the search reads them (up to the first empty line), cut into at most
// kMaxBlocks blocks of whole lines of about equal size. A line holding a text holds all its
// trigrams, so a search need read only the blocks that hold every one of them. A file that
// cannot be read in parts (a line the readers pass over, or more than 4 GiB) is one block, and
// one block is read whole.
inline constexpr int kMaxBlocks = 64;
struct FileLayout {
    bool utf8 = false;              // as the search decides it from the byte-order mark
    uint32_t end = 0;               // where the lines the search reads end
    std::vector<BlockStart> blocks; // at least one
    [[nodiscard]] uint64_t allBlocks() const
    {
        return blocks.size() >= 64 ? ~uint64_t(0) : (uint64_t(1) << blocks.size()) - 1;
    }
    bool operator==(const FileLayout &) const = default;
};

// The sorted distinct trigrams of one file, each with the blocks whose lines hold it.
struct FileTrigrams {
    std::vector<uint32_t> trigrams;
    std::vector<uint64_t> masks;
    FileLayout layout;
};

// The stamp of an open file; false when it is no regular file.
[[nodiscard]] bool stampOfOpenFile(int fd, FileStamp &stamp);

// Reads catalogue files and gives their trigrams. Keeps its buffers from file to file; one
// reader per thread.
class TrigramReader {
  public:
    TrigramReader();
    ~TrigramReader();
    TrigramReader(const TrigramReader &) = delete;
    TrigramReader &operator=(const TrigramReader &) = delete;

    // The stamp (taken before the bytes are read, so that a change while reading shows later)
    // and the trigrams of the regular file at `path`; false when it cannot be read.
    bool read(const QString &path, FileStamp &stamp, FileTrigrams &found);
    // The trigrams of a file's bytes as the search reads them; `utf8` as the search decides it.
    void trigramsOf(const char *bytes, qsizetype size, bool utf8, FileTrigrams &found);

  private:
    void addLine(const char *bytes, qsizetype size, uint64_t block);
    void addKey(uint32_t key, uint64_t block);
    void addInitials(const char *bytes, qsizetype size, uint64_t block);
    void convertCp949(const char *bytes, qsizetype size);
    void convertUtf8(const char *bytes, qsizetype size);
    void finish(FileTrigrams &found, bool whole);

    // Per trigram: 1 + its place in m_found, or 0; in pages of 4096 trigrams made when first
    // needed, since few of the 16 million occur.
    std::vector<std::unique_ptr<uint32_t[]>> m_slot;
    std::vector<uint32_t> m_found;
    std::vector<uint64_t> m_masks; // beside m_found
    QByteArray m_file;
    QByteArray m_line;               // the UTF-8 of the compared form of the line being read
    QByteArray m_previous;           // and of the line before it in the same block
    const char *m_lastRaw = nullptr; // the line before in CP949, when it needed no decoder
    qsizetype m_lastRawSize = 0;
};
