#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

// What the scan keeps of an entry's status: its size in bytes and its modification time in
// seconds since 1970 UTC. An entry that could not be looked at has neither.
struct FileStat {
    static constexpr qint64 kUnknown = std::numeric_limits<qint64>::min();
    qint64 size = kUnknown;
    qint64 mtime = kUnknown;
};

// One entry of a folder as the listings need it.
struct DirEntry {
    enum class Kind : unsigned char { Folder, File };
    QString name; // as shown and stored: see fileNameForDisplay
    Kind kind = Kind::File;
    QByteArray bytes; // the name as the file system holds it: what a walk opens
    FileStat stat;
};

// The name a person sees for the bytes of a file name: valid UTF-8 as it is; otherwise, when the
// bytes are valid CP949 (a disc written by Korean Windows), the CP949 text; otherwise UTF-8 with
// U+FFFD for each bad byte.
[[nodiscard]] QString fileNameForDisplay(QByteArrayView bytes);
// The text of bytes that are valid CP949 and read as Korean text would; none otherwise.
[[nodiscard]] std::optional<QString> cp949TextOf(QByteArrayView bytes);

// Lists the folders of one drive for a scan. Folders are named by their path bytes (the drive's
// root followed by the name bytes of each folder below it, each ending in '/'), so a name that
// is not valid text is still opened by its real bytes.
class FolderWalk {
  public:
    virtual ~FolderWalk() = default;
    // The folders and regular files of the folder at `path`, as FileSystem::listFolder gives
    // them. A folder that is the mount point of another file system lists as empty (true): a
    // drive is one file system. False, with `out` empty, when the folder cannot be read.
    virtual bool listFolder(const QByteArray &path, std::vector<DirEntry> &out) = 0;
    // The size and date of the drive's root folder itself, which no listing holds.
    [[nodiscard]] virtual FileStat rootStat() const { return {}; }
    // Opens the regular file `name` of the folder at `path` to read it (an archive's members),
    // never following a link nor waiting on a pipe or a device: -1 for anything else. By default
    // by the whole path.
    virtual int openFile(const QByteArray &path, const QByteArray &name);
    // Opens the file for a reader that wants its first bytes only: a drive's file as openFile
    // does; a walk that lists archives' members may give one from the first bytes it kept of it,
    // the rest of its size reading as zeros, and then says in `heldBytes` how many are real.
    virtual int openFileHead(const QByteArray &path, const QByteArray &name, qint64 &heldBytes)
    {
        heldBytes = -1;
        return openFile(path, name);
    }
};

// The file system behind the listings, so that tests can hand in a tree of their own.
class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // The folders and regular files of `folder` (absolute, with or without a trailing separator),
    // in no particular order, without "." and "..". Hidden entries, links, devices, pipes and
    // sockets are left out. Returns false, with `out` empty, when the folder cannot be read.
    virtual bool listFolder(const QString &folder, std::vector<DirEntry> &out) = 0;
    // A walk of the drive whose root path is `root`. By default it lists each folder through
    // listFolder by its path decoded as UTF-8, which suits trees made of text.
    virtual std::unique_ptr<FolderWalk> walkDrive(const QString &root);
    // Root paths of the volumes a user can catalogue, each ending in the separator, sorted.
    virtual QStringList driveRoots() = 0;
    // Has `onChange` run (on this thread, from the event loop) whenever a volume comes or goes.
    virtual void watchDrives(std::function<void()> onChange) { (void)onChange; }
    // Makes `folder` the process's current directory; false when that fails.
    virtual bool setCurrentDirectory(const QString &folder) = 0;
    // The current directory, absolute, without a trailing separator ("/" for the root).
    virtual QString currentDirectory() = 0;
};

// The real file system of this machine.
class LocalFileSystem : public FileSystem {
  public:
    LocalFileSystem();
    ~LocalFileSystem() override;
    bool listFolder(const QString &folder, std::vector<DirEntry> &out) override;
    // Opens every folder relative to its parent, so that no path is too long or too deep to
    // walk, and stays on the root's file system.
    std::unique_ptr<FolderWalk> walkDrive(const QString &root) override;
    QStringList driveRoots() override;
    void watchDrives(std::function<void()> onChange) override;
    bool setCurrentDirectory(const QString &folder) override;
    QString currentDirectory() override;

  private:
    std::vector<char> m_block; // directory entries as the kernel hands them over
    std::unique_ptr<class DriveWatcher> m_watcher;
};

// One mounted volume as the drive list sees it.
struct MountedVolume {
    QString rootPath;
    QByteArray fileSystemType;
};

// The drive list's root paths: "/" first, then the mount point of every real file system, sorted,
// each ending in the separator. Pseudo and virtual file systems, container layers and snaps, and
// mounts in the kernel's own folders (/proc, /sys, /dev, /run but /run/media) are left out.
[[nodiscard]] QStringList driveRootsOf(const std::vector<MountedVolume> &volumes);
