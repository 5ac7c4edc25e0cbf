#include "runtime/filesystem.h"

#include "runtime/direntries.h"

#include <QDir>
#include <QFile>
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

bool isBelow(const QByteArray &path, const char *folder)
{
    const qsizetype length = qsizetype(std::strlen(folder));
    return path.startsWith(folder) && (path.size() == length || path.at(length) == '/');
}

// Mount points in the kernel's own trees are never drives; removable media under /run/media are.
bool isSystemMountPoint(const QByteArray &path)
{
    if (isBelow(path, "/run/media"))
        return false;
    return isBelow(path, "/proc") || isBelow(path, "/sys") || isBelow(path, "/dev") || isBelow(path, "/run");
}

bool isOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// mountinfo writes space, tab, newline and backslash in paths as \ooo octal escapes.
QByteArray unescapeMountPath(const QByteArray &field)
{
    QByteArray path;
    path.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char *c = field.constData() + i;
        if (c[0] == '\\' && i + 3 < field.size() && isOctalDigit(c[1]) && isOctalDigit(c[2]) &&
            isOctalDigit(c[3])) {
            path.append(char(((c[1] - '0') << 6) | ((c[2] - '0') << 3) | (c[3] - '0')));
            i += 3;
        } else {
            path.append(c[0]);
        }
    }
    return path;
}

// The mount point of one mountinfo line when it is a drive, else an empty array. The fields are
// id parent major:minor root mount-point options [optional ...] - type source super-options.
QByteArray driveMountPoint(const QByteArray &line)
{
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() < 5)
        return {};
    const qsizetype dash = fields.indexOf(QByteArray("-"), 6);
    if (dash < 0 || dash + 1 >= fields.size() || isPseudoFileSystem(fields.at(dash + 1)))
        return {};
    QByteArray path = unescapeMountPath(fields.at(4));
    if (!path.startsWith('/') || isSystemMountPoint(path))
        return {};
    return path;
}

} // namespace

QStringList driveRootsFromMountInfo(const QByteArray &mountInfo)
{
    QStringList roots;
    for (const QByteArray &line : mountInfo.split('\n')) {
        const QByteArray mountPoint = driveMountPoint(line);
        if (mountPoint.isEmpty() || mountPoint == "/")
            continue;
        roots.append(QString::fromUtf8(mountPoint) + u'/');
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

QStringList LocalFileSystem::driveRoots()
{
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    if (!mountInfo.open(QIODevice::ReadOnly))
        return {QStringLiteral("/")};
    QStringList roots = driveRootsFromMountInfo(mountInfo.readAll());
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
