#include "files/filesystem.h"

#include "files/direntries.h"
#include "files/drivewatcher.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// File systems that hold no user data: kernel interfaces, memory-backed scratch space,
// container layers and snap images.
bool isPseudoFileSystem(const QByteArray &type)
{
    static constexpr std::array<std::string_view, 24> kPseudo = {
        "proc",        "sysfs",     "devtmpfs",   "tmpfs",    "cgroup", "cgroup2",    "devpts",  "mqueue",
        "debugfs",     "tracefs",   "securityfs", "pstore",   "bpf",    "autofs",     "fusectl", "configfs",
        "binfmt_misc", "hugetlbfs", "nsfs",       "efivarfs", "ramfs",  "rpc_pipefs", "overlay", "squashfs"};
    const std::string_view name(type.constData(), size_t(type.size()));
    return std::find(kPseudo.begin(), kPseudo.end(), name) != kPseudo.end();
}

bool isBelow(QStringView path, QStringView folder)
{
    return path.startsWith(folder) && (path.size() == folder.size() || path.at(folder.size()) == u'/');
}

// Mount points in the kernel's own trees are never drives; removable media under /run/media are.
bool isSystemMountPoint(QStringView path)
{
    if (isBelow(path, u"/run/media"))
        return false;
    return isBelow(path, u"/proc") || isBelow(path, u"/sys") || isBelow(path, u"/dev") ||
           isBelow(path, u"/run");
}

} // namespace

QStringList driveRootsOf(const std::vector<MountedVolume> &volumes)
{
    QStringList roots;
    for (const MountedVolume &volume : volumes) {
        const QString &path = volume.rootPath;
        if (!path.startsWith(u'/') || path == u"/" || isPseudoFileSystem(volume.fileSystemType) ||
            isSystemMountPoint(path))
            continue;
        roots.append(path.endsWith(u'/') ? path : path + u'/');
    }
    roots.sort();
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    roots.prepend(QStringLiteral("/"));
    return roots;
}

bool LocalFileSystem::listFolder(const QString &folder, std::vector<DirEntry> &out)
{
    out.clear();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool complete = readFolderEntries(fd, m_block, out);
    ::close(fd);
    return complete;
}

LocalFileSystem::LocalFileSystem() = default;
LocalFileSystem::~LocalFileSystem() = default;

void LocalFileSystem::watchDrives(std::function<void()> onChange)
{
    m_watcher = std::make_unique<DriveWatcher>(std::move(onChange));
}

namespace {

bool isMountPoint(const QString &folder)
{
    struct stat here, parent;
    const QByteArray path = QFile::encodeName(folder);
    return ::fstatat(AT_FDCWD, path.constData(), &here, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
           S_ISDIR(here.st_mode) &&
           ::stat(QFile::encodeName(folder + QStringLiteral("/..")).constData(), &parent) == 0 &&
           here.st_dev != parent.st_dev;
}

// Qt leaves out a mount whose source is no device path, which is how FUSE mounts a disc image
// (fuseiso, archivemount); in the folders where removable media are mounted such a mount is a
// drive like any other, so those folders are looked at too.
void addMediaMounts(std::vector<MountedVolume> &volumes)
{
    QStringList candidates;
    for (const QString &base :
         {QStringLiteral("/media"), QStringLiteral("/run/media"), QStringLiteral("/mnt")}) {
        const QDir folder(base);
        for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            candidates << folder.filePath(name);
            if (base != u"/mnt") { // /media/USER/LABEL
                const QDir user(folder.filePath(name));
                for (const QString &label : user.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                    candidates << user.filePath(label);
            }
        }
    }
    for (const QString &path : candidates) {
        if (isMountPoint(path))
            volumes.push_back({path, QStorageInfo(path).fileSystemType()});
    }
}

} // namespace

QStringList LocalFileSystem::driveRoots()
{
    // Qt reads the mount table and unescapes its paths; the choice of drives is ours.
    std::vector<MountedVolume> volumes;
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes())
        volumes.push_back({storage.rootPath(), storage.fileSystemType()});
    addMediaMounts(volumes);
    QStringList roots = driveRootsOf(volumes);
    // Single files bind-mounted into containers (/etc/hosts and the like) are no drives.
    roots.removeIf([](const QString &root) {
        struct stat st;
        return ::stat(QFile::encodeName(root).constData(), &st) != 0 || !S_ISDIR(st.st_mode);
    });
    return roots;
}

bool LocalFileSystem::setCurrentDirectory(const QString &folder)
{
    return !folder.isEmpty() && ::chdir(QFile::encodeName(folder).constData()) == 0;
}

QString LocalFileSystem::currentDirectory()
{
    return QDir::currentPath();
}
