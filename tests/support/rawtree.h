#pragma once

#include <QByteArray>
#include <QList>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Builds and removes folder trees by raw name bytes, relative to open folders, so that names
// that are not text and paths longer than the system's limit can be made and cleaned up.
namespace rawtree {

// Makes the folders `names` one inside the other below `base` and returns the innermost open
// folder (or -1); each name is a single path component.
inline int makeChain(const QByteArray &base, const QList<QByteArray> &names)
{
    int fd = ::open(base.constData(), O_RDONLY | O_DIRECTORY);
    for (const QByteArray &name : names) {
        if (fd < 0)
            return -1;
        ::mkdirat(fd, name.constData(), 0755);
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    return fd;
}

inline bool touchAt(int folder, const QByteArray &name)
{
    const int fd = ::openat(folder, name.constData(), O_CREAT | O_WRONLY, 0644);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

// Empties the folder `path`, however deep the tree inside it, holding at most two folders open:
// each subfolder is moved up into `path` before it is emptied, so nothing is ever deeper than
// one level. QTemporaryDir can then remove `path`, which it cannot do past the path limit.
inline void empty(const QByteArray &path)
{
    const int base = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
    if (base < 0)
        return;
    QList<QByteArray> pending;
    int moved = 0;
    const auto emptyFolder = [&](int folder) {
        DIR *dir = ::fdopendir(::dup(folder));
        QList<QByteArray> names;
        while (dir && (errno = 0, true)) {
            const dirent *entry = ::readdir(dir);
            if (!entry)
                break;
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        if (dir)
            ::closedir(dir);
        for (const QByteArray &name : names) {
            if (::unlinkat(folder, name.constData(), 0) == 0)
                continue;
            const QByteArray up = "rawtree-" + QByteArray::number(++moved);
            if (::renameat(folder, name.constData(), base, up.constData()) == 0)
                pending.append(up);
        }
    };
    emptyFolder(base);
    while (!pending.isEmpty()) {
        const QByteArray name = pending.takeLast();
        const int folder = ::openat(base, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (folder >= 0) {
            emptyFolder(folder);
            ::close(folder);
        }
        ::unlinkat(base, name.constData(), AT_REMOVEDIR);
    }
    ::close(base);
}

} // namespace rawtree
