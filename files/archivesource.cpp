#include "files/archivesource.h"

#include <archive.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Large enough that a disc image's folders come in few calls, small enough that a decompressor
// fed one block returns to the deadline's check soon.
constexpr qint64 kBlock = 64 * 1024;
// How often the user's cancel is asked for while libarchive reads.
constexpr qint64 kLookEveryMs = 15;

class FileSource final : public ArchiveSource {
  public:
    FileSource(int fd, ArchiveDeadline &deadline) : ArchiveSource(deadline), m_fd(fd), m_block(kBlock)
    {
        struct stat st;
        m_size = ::fstat(fd, &st) == 0 ? qint64(st.st_size) : 0;
    }
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

  protected:
    qint64 read(const void **block) override
    {
        for (;;) {
            const ssize_t got = ::read(m_fd, m_block.data(), m_block.size());
            if (got < 0 && errno == EINTR)
                continue;
            *block = m_block.data();
            if (got > 0)
                m_position += got;
            return got;
        }
    }
    qint64 seek(qint64 offset, int whence) override
    {
        const off_t at = ::lseek(m_fd, off_t(offset), whence);
        if (at >= 0)
            m_position = at;
        return at;
    }
    [[nodiscard]] qint64 position() const override { return m_position; }
    [[nodiscard]] qint64 size() const override { return m_size; }

  private:
    int m_fd;
    std::vector<char> m_block;
    qint64 m_position = 0;
    qint64 m_size = 0;
};

class BytesSource final : public ArchiveSource {
  public:
    BytesSource(QByteArray bytes, ArchiveDeadline &deadline)
        : ArchiveSource(deadline), m_bytes(std::move(bytes))
    {
    }

  protected:
    qint64 read(const void **block) override
    {
        const qint64 part = std::min<qint64>(kBlock, std::max<qint64>(m_bytes.size() - m_position, 0));
        *block = m_bytes.constData() + std::min<qint64>(m_position, m_bytes.size());
        m_position += part;
        return part;
    }
    qint64 seek(qint64 offset, int whence) override
    {
        const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m_position : m_bytes.size();
        const qint64 at = base + offset;
        if (at < 0)
            return ARCHIVE_FATAL;
        m_position = at;
        return at;
    }
    [[nodiscard]] qint64 position() const override { return m_position; }
    [[nodiscard]] qint64 size() const override { return m_bytes.size(); }

  private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};

} // namespace

ArchiveDeadline::ArchiveDeadline(qint64 milliseconds, std::function<bool()> cancelled)
    : m_limit(milliseconds), m_ask(std::move(cancelled))
{
    m_clock.start();
}

bool ArchiveDeadline::passed()
{
    if (m_timedOut || m_cancelled)
        return true;
    const qint64 now = m_clock.elapsed();
    if (now > m_limit) {
        m_timedOut = true;
        return true;
    }
    if (m_ask && now - m_lastLook >= kLookEveryMs) {
        m_lastLook = now;
        m_cancelled = m_ask();
    }
    return m_cancelled;
}

std::unique_ptr<ArchiveSource> ArchiveSource::ofFile(int fd, ArchiveDeadline &deadline)
{
    return std::make_unique<FileSource>(fd, deadline);
}

std::unique_ptr<ArchiveSource> ArchiveSource::ofBytes(QByteArray bytes, ArchiveDeadline &deadline)
{
    return std::make_unique<BytesSource>(std::move(bytes), deadline);
}

bool ArchiveSource::stopHere(struct archive *a)
{
    if (!m_deadline.passed())
        return false;
    archive_set_error(a, ECANCELED, "%s", m_deadline.timedOut() ? "time limit" : "cancelled");
    return true;
}

struct ArchiveSource::Callbacks {
    static la_ssize_t read(struct archive *a, void *self, const void **block)
    {
        auto *source = static_cast<ArchiveSource *>(self);
        if (source->stopHere(a))
            return ARCHIVE_FATAL;
        const qint64 got = source->read(block);
        if (got < 0)
            archive_set_error(a, errno, "read error");
        return got < 0 ? ARCHIVE_FATAL : la_ssize_t(got);
    }
    static la_int64_t seek(struct archive *a, void *self, la_int64_t offset, int whence)
    {
        auto *source = static_cast<ArchiveSource *>(self);
        if (source->stopHere(a))
            return ARCHIVE_FATAL;
        const qint64 at = source->seek(offset, whence);
        return at < 0 ? ARCHIVE_FATAL : la_int64_t(at);
    }
    static la_int64_t skip(struct archive *a, void *self, la_int64_t request)
    {
        auto *source = static_cast<ArchiveSource *>(self);
        if (source->stopHere(a))
            return ARCHIVE_FATAL;
        // Never past the end: libarchive would find nothing there and could not say what is missing.
        const qint64 before = source->position();
        const qint64 step = std::clamp<qint64>(request, 0, std::max<qint64>(source->size() - before, 0));
        const qint64 at = source->seek(step, SEEK_CUR);
        return at < 0 ? 0 : la_int64_t(at - before); // 0: libarchive reads over the bytes instead
    }
};

bool ArchiveSource::open(struct archive *a)
{
    archive_read_set_read_callback(a, &Callbacks::read);
    archive_read_set_seek_callback(a, &Callbacks::seek);
    archive_read_set_skip_callback(a, &Callbacks::skip);
    archive_read_set_callback_data(a, this);
    return archive_read_open1(a) == ARCHIVE_OK;
}

int openArchiveFile(int folderFd, const char *name, qint64 *size, qint64 *mtime)
{
    const int fd = ::openat(folderFd, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    if (size)
        *size = qint64(st.st_size);
    if (mtime)
        *mtime = qint64(st.st_mtim.tv_sec);
    return fd;
}
