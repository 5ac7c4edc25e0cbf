#pragma once

#include "files/textfile.h"

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

// What a wait for the data folder's lock tells the window, which shows it and lets input run.
struct LockWait {
    // Called every few milliseconds while another holds the lock, with what the wait is for in
    // words for a person and how long it has lasted; true when the user cancelled the wait.
    std::function<bool(const QString &waitingFor, qint64 waitedMs)> waiting;
    // The wait is over, whichever way it ended; called only after `waiting` was.
    std::function<void()> over;
};

// The lock every copy of the program takes on a data folder before it changes the index or a
// catalogue file, held from reading the index to the last write. A lock left by a program that
// crashed is taken over: QLockFile sees that its process is gone, and a lock file that names no
// process at all (empty or garbled, as a kill while it was being written or a power cut leaves
// it) and is older than kOwnerlessStaleSeconds is removed, unless a live process still holds it.
class DataFolderLock {
  public:
    explicit DataFolderLock(const QString &dataFolder);
    // Changes take milliseconds; a copy that holds the lock longer than this is stuck.
    static constexpr int kWaitMs = 60 * 1000;
    // A program writes its name into a lock file it made at once: one that names none for
    // this long is left by a program that died.
    static constexpr int kOwnerlessStaleSeconds = 3;
    // Waits for another copy of the program to let go, up to `waitMs`, telling `wait` (when
    // given) meanwhile; false when it did not let go, the user cancelled, or the lock file cannot
    // be made.
    bool lock(int waitMs = kWaitMs, const LockWait *wait = nullptr);
    [[nodiscard]] bool cancelled() const { return m_cancelled; }
    // Why lock() failed, in words for the user: who holds the lock, or why the folder takes no
    // lock file (a read-only folder or disc, a full disc, no permission).
    [[nodiscard]] FileResult failure() const;
    // Who holds the lock, in words for the user.
    [[nodiscard]] QString holder() const;

  private:
    bool removeIfOwnerless();

    QString m_folder;
    QString m_path;
    std::unique_ptr<QLockFile> m_file;
    bool m_cancelled = false;
};

// Why no file can be written in `folder` now, in words for the user (the read-only, full disc and
// permission cases): what a lock file there met. Empty when a small file can be written.
[[nodiscard]] QString folderWriteProblem(const QString &folder);

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
