#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// One entry of a folder as the listings need it.
struct DirEntry {
    enum class Kind : unsigned char { Folder, File };
    QString name;
    Kind kind = Kind::File;
};

// The file system behind the listings, so that tests can hand in a tree of their own.
class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // The folders and regular files of `folder` (absolute, with or without a trailing separator),
    // in no particular order, without "." and "..". Hidden entries, links, devices, pipes and
    // sockets are left out. Returns false, with `out` empty, when the folder cannot be read.
    virtual bool listFolder(const QString &folder, std::vector<DirEntry> &out) = 0;
    // Root paths of the volumes a user can catalogue, each ending in the separator, sorted.
    virtual QStringList driveRoots() = 0;
    // Makes `folder` the process's current directory; false when that fails.
    virtual bool setCurrentDirectory(const QString &folder) = 0;
    // The current directory, absolute, without a trailing separator ("/" for the root).
    virtual QString currentDirectory() = 0;
};

// The real file system of this machine.
class LocalFileSystem : public FileSystem {
  public:
    bool listFolder(const QString &folder, std::vector<DirEntry> &out) override;
    QStringList driveRoots() override;
    bool setCurrentDirectory(const QString &folder) override;
    QString currentDirectory() override;

  private:
    std::vector<char> m_block; // directory entries as the kernel hands them over
};

// The drive list's root paths from a mount table in /proc/self/mountinfo form.
[[nodiscard]] QStringList driveRootsFromMountInfo(const QByteArray &mountInfo);
