#include "scanner/mediasource.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

MediaSource MediaSource::ofFile(int fd)
{
    MediaSource source;
    source.m_fd = fd;
    struct stat status {};
    source.m_size = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? qint64(status.st_size) : 0;
    // The readers take a file's head, then perhaps its tail: the kernel's read-ahead would fetch
    // from the disc several times what they ask for, all of it thrown away.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
    return source;
}

MediaSource MediaSource::ofBytes(QByteArrayView bytes)
{
    MediaSource source;
    source.m_bytes = bytes;
    source.m_size = bytes.size();
    return source;
}

QByteArray MediaSource::read(qint64 offset, qint64 length)
{
    length = std::min({length, m_budget, m_size - std::max<qint64>(offset, 0)});
    if (offset < 0 || length <= 0)
        return {};
    m_budget -= length;
    if (m_fd < 0)
        return m_bytes.sliced(offset, length).toByteArray();
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(m_fd, bytes.data() + done, size_t(length - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    bytes.truncate(qsizetype(done));
    return bytes;
}
