#pragma once

#include "compare/filekeys.h"

#include <QString>
#include <memory>
#include <optional>

// The keys of one saved disc from the largest file down, for the searches that go through many
// discs at once: from its stored table when that describes the disc as it is now, a block at a
// time, else from a table made anew (and stored when it can be).
class DiscKeys {
  public:
    // Opens the disc whose catalogue file is at `cataloguePath`; keys below `minimumSize` are
    // left out.
    DiscKeys(const QString &cataloguePath, quint64 minimumSize);
    ~DiscKeys();
    DiscKeys(DiscKeys &&) noexcept;
    DiscKeys &operator=(DiscKeys &&) noexcept;

    // The next key, largest first; null once they are all taken.
    [[nodiscard]] const FileKey *peek();
    void pop();
    [[nodiscard]] std::optional<ContentHash> hashOf(const FileKey &key);
    [[nodiscard]] bool utf8() const { return m_utf8; }
    [[nodiscard]] const QString &cataloguePath() const { return m_path; }

  private:
    void useBuilt(FileKeys keys);

    QString m_path;
    quint64 m_minimum = 0;
    bool m_utf8 = false;
    std::unique_ptr<FileKeyTables::TableReader> m_reader; // when the stored table is used
    std::optional<std::vector<ContentHash>> m_readHashes;
    FileKeys m_built; // when it is not
    size_t m_at = 0;
};

// The line of a catalogue file that begins at `offset`, decoded: its folder path and its name
// (the first two fields). False when there is no such line.
bool readRowAt(int fd, quint64 offset, bool utf8, QString &folder, QString &name);
