#include "bench/pagecache.h"

#include <QFile>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

void evictFromPageCache(const QStringList &files)
{
    for (const QString &file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

qint64 bytesInPageCache(const QStringList &files)
{
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    qint64 cached = 0;
    std::vector<unsigned char> pages;
    for (const QString &file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        struct stat status {};
        if (fd < 0 || ::fstat(fd, &status) != 0 || status.st_size == 0) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        void *map = ::mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        if (map == MAP_FAILED)
            continue;
        pages.resize(size_t((status.st_size + page - 1) / page));
        if (::mincore(map, size_t(status.st_size), pages.data()) == 0) {
            for (const unsigned char resident : pages)
                cached += (resident & 1) ? page : 0;
        }
        ::munmap(map, size_t(status.st_size));
    }
    return cached;
}
