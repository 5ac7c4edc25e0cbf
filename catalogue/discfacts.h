#pragma once

#include "catalogue/rownotes.h"
#include "catalogue/thumbnails.h"
#include "files/filesystem.h"

#include <QDateTime>
#include <QString>
#include <vector>

// What a scan learns of the disc as a whole.
struct DiscFacts {
    QString volumeLabel;    // as the mount shows it; empty when it has none
    QString fileSystemType; // "iso9660", "vfat", ...
    qint64 capacity = FileStat::kUnknown;
    qint64 freeSpace = FileStat::kUnknown;
    qint64 folders = 0;
    qint64 files = 0;
    qint64 totalSize = 0; // of the files whose size is known
    QDateTime scanned;    // UTC; invalid when not known
};

// The facts of the volume mounted at `root` from QStorageInfo, dated now; the counts are the
// scan's to fill in.
[[nodiscard]] DiscFacts volumeFactsOf(const QString &root);

// The size and date of every row of a folder tree, held beside its record set, one for one by
// row (row 1 first), in two plain arrays: 16 bytes a row. A file's size is its own, a folder's
// the total of the files below it. They are known only while there is one for every row; the
// notes of some rows go with them.
class TreeFacts {
  public:
    void clear();
    void reserve(qint64 rows);
    void append(const FileStat &stat)
    {
        m_sizes.push_back(stat.size);
        m_mtimes.push_back(stat.mtime);
    }
    void setSize(qint64 row, qint64 size);
    [[nodiscard]] FileStat at(qint64 row) const; // unknown for a row it has none for
    [[nodiscard]] qint64 rows() const { return qint64(m_sizes.size()); }
    // True when they describe a tree of `treeRows` rows.
    [[nodiscard]] bool describes(qint64 treeRows) const { return treeRows > 0 && rows() == treeRows; }

    DiscFacts disc;
    // What is known of some rows only, each kind under its name (catalogue/rownotes.h).
    TreeNotes notes;
    // The pictures' thumbnails: a scan's, or the store of the tree loaded. They go where the
    // facts go, and only with them.
    Thumbnails thumbnails;

  private:
    std::vector<qint64> m_sizes;
    std::vector<qint64> m_mtimes;
};
