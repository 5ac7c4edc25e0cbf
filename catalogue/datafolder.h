#pragma once

#include "files/textfile.h"

#include <QLockFile>
#include <QString>
#include <memory>

// The lock every copy of the program takes on a data folder before it changes the index or a
// catalogue file, held from reading the index to the last write. A lock left by a program that
// crashed is taken over (QLockFile sees that its process is gone).
class DataFolderLock {
  public:
    explicit DataFolderLock(const QString &dataFolder);
    // Changes take milliseconds; a copy that holds the lock longer than this is stuck.
    static constexpr int kWaitMs = 60 * 1000;
    // Waits for another copy of the program to let go, up to `waitMs`; false when it did not.
    bool lock(int waitMs = kWaitMs);
    [[nodiscard]] FileResult failure() const;

  private:
    QString m_path;
    std::unique_ptr<QLockFile> m_file;
};

// What tells one version of a file from the next: replacing the index renames a new file over
// it, which changes its inode, and its size and times change with any other write.
struct FileVersion {
    qint64 device = 0, inode = 0, size = 0, modified = 0, changed = 0;
    bool operator==(const FileVersion &) const = default;
};
// The version of the file at `path` now; all zero when there is none.
[[nodiscard]] FileVersion versionOf(const QString &path);

// Removes the program's own temporary files older than an hour from `dataFolder`: those a crash
// left behind. Call under the lock; any other file stays. Returns how many went.
int removeStaleTemporaries(const QString &dataFolder);

// Why a data file cannot be read, in words for the user, when it is there but is no regular file
// (a folder, a pipe, a device); empty otherwise.
[[nodiscard]] QString irregularFileProblem(const QString &path);
