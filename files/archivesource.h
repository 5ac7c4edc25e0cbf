#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

struct archive;

// When an archive's reading must stop: a time bound, and the user's cancel, looked at every few
// milliseconds while libarchive reads (a skip over a compressed member may take long).
class ArchiveDeadline {
  public:
    ArchiveDeadline(qint64 milliseconds, std::function<bool()> cancelled);
    // True once the time is up or the user has cancelled; says which from then on.
    [[nodiscard]] bool passed();
    [[nodiscard]] bool timedOut() const { return m_timedOut; }
    // Gives the reading `milliseconds` in all, when that is more than it had.
    void allowUpTo(qint64 milliseconds) { m_limit = std::max(m_limit, milliseconds); }
    [[nodiscard]] bool cancelled() const { return m_cancelled; }

  private:
    QElapsedTimer m_clock;
    qint64 m_limit;
    qint64 m_lastLook = -1000;
    std::function<bool()> m_ask;
    bool m_timedOut = false;
    bool m_cancelled = false;
};

// What libarchive reads an archive from: an open regular file, or bytes in memory (an archive
// inside an archive, never written to disc). It reads through callbacks that read, seek and skip
// a block at a time and refuse to go on once the deadline has passed.
class ArchiveSource {
  public:
    // Takes the descriptor over and closes it.
    static std::unique_ptr<ArchiveSource> ofFile(int fd, ArchiveDeadline &deadline);
    static std::unique_ptr<ArchiveSource> ofBytes(QByteArray bytes, ArchiveDeadline &deadline);
    virtual ~ArchiveSource() = default;

    // Hands the callbacks to `a` and opens it: libarchive recognises the compression and the
    // format there. False, with libarchive's error set, when it recognises none.
    bool open(struct archive *a);
    // Back to the first byte, for another reading; false when that cannot be.
    bool rewind() { return seek(0, SEEK_SET) == 0; }

  protected:
    explicit ArchiveSource(ArchiveDeadline &deadline) : m_deadline(deadline) {}
    virtual qint64 read(const void **block) = 0;
    virtual qint64 seek(qint64 offset, int whence) = 0;
    [[nodiscard]] virtual qint64 position() const = 0;
    [[nodiscard]] virtual qint64 size() const = 0;

  private:
    struct Callbacks; // libarchive's, in its own integer types
    bool stopHere(struct archive *a);

    ArchiveDeadline &m_deadline;
};

// Opens the file `name` of the open folder `folderFd` (or the path `name` with AT_FDCWD) for an
// archive's reading: without following a link and without waiting on a pipe or a device, so a
// FIFO on a disc cannot hold a scan. -1 unless it is a regular file; its size and date go to
// `size` and `mtime` when given.
int openArchiveFile(int folderFd, const char *name, qint64 *size = nullptr, qint64 *mtime = nullptr);
