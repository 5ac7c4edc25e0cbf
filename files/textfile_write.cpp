// Writing data files: CP949 when every character fits, else UTF-8 with a byte-order mark,
// through a temporary file that replaces the old one only once it is safely on the disc.

#include "files/fileops.h"
#include "files/textcodec.h"
#include "files/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// UTF-16 units gathered before they are encoded and written in one go.
constexpr qsizetype kWriteChunk = qsizetype(1) << 18;

QByteArray folderOf(const QByteArray &path)
{
    return QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
}

QString saveFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("'%1' 파일을 저장하지 못했습니다: %2").arg(path, reason);
}

// A new file beside the one it will replace, hidden so that no listing of the folder shows it.
// It is removed again unless commit() puts it in place.
class TemporaryFile {
  public:
    explicit TemporaryFile(const QString &target) : m_target(QFile::encodeName(target)) {}
    ~TemporaryFile() { discard(); }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    bool open();
    bool write(const char *data, qsizetype size);
    // Flushes, closes and renames over the target; false (and errno set) when any step fails.
    bool commit();
    void discard();
    [[nodiscard]] int error() const { return m_error; }

  private:
    bool fail()
    {
        m_error = errno;
        return false;
    }

    QByteArray m_target;
    QByteArray m_name;
    int m_fd = -1;
    int m_error = 0;
};

bool TemporaryFile::open()
{
    m_fd = createTemporaryFile(folderOf(m_target), m_name);
    if (m_fd < 0)
        return fail();
    struct stat st;
    if (::lstat(m_target.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return fail();
    }
    // The new file gets the old one's permissions, or those a new file would have.
    ::fchmod(m_fd, replacementMode(m_target));
    return true;
}

bool TemporaryFile::write(const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t done = fileOps().write(m_fd, data, size_t(size));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENOSPC;
            return fail();
        }
        data += done;
        size -= done;
    }
    return true;
}

bool TemporaryFile::commit()
{
    // The bytes must be on the disc before the rename: otherwise a crash could leave an empty
    // file where the old one was.
    if (fileOps().sync(m_fd) != 0 && errno != EINVAL)
        return fail();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail();
    if (fileOps().rename(m_name.constData(), m_target.constData()) != 0)
        return fail();
    m_name.clear();
    // Makes the rename itself durable; the new file is in place already, so errors are left alone.
    syncFolder(folderOf(m_target));
    return true;
}

void TemporaryFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_name.isEmpty())
        ::unlink(m_name.constData());
    m_name.clear();
}

// Gathers lines into large chunks and encodes each chunk in one call. In strict (CP949) mode it
// stops at the first chunk the encoding cannot hold, so that the caller can start over in UTF-8,
// and also when the file would begin with the bytes of a UTF-8 byte-order mark (癤 followed by a
// syllable whose first byte is BF), which a reader would take for UTF-8.
class EncodingSink final : public LineSink {
  public:
    EncodingSink(TemporaryFile &file, QStringEncoder &encoder, bool strict)
        : m_file(file), m_encoder(encoder), m_strict(strict)
    {
    }

    bool writeLine(QStringView line) override
    {
        if (stopped())
            return false;
        m_pending.append(line);
        m_pending.append(u"\r\n");
        return m_pending.size() < kWriteChunk || flush();
    }

    bool flush();
    [[nodiscard]] bool needsUtf8() const { return m_needsUtf8; }
    [[nodiscard]] bool writeFailed() const { return m_writeFailed; }

  private:
    [[nodiscard]] bool stopped() const { return m_needsUtf8 || m_writeFailed; }

    TemporaryFile &m_file;
    QStringEncoder &m_encoder;
    QString m_pending;
    QByteArray m_bytes;
    bool m_strict;
    bool m_first = true;
    bool m_needsUtf8 = false;
    bool m_writeFailed = false;
};

bool EncodingSink::flush()
{
    if (stopped() || m_pending.isEmpty())
        return !stopped();
    m_bytes.resize(m_encoder.requiredSpace(m_pending.size()));
    const char *last = m_encoder.appendToBuffer(m_bytes.data(), m_pending);
    m_pending.resize(0);
    const qint64 size = last - m_bytes.constData();
    const bool startsLikeUtf8 =
        m_first && size >= kUtf8BomSize && std::memcmp(m_bytes.constData(), kUtf8Bom, kUtf8BomSize) == 0;
    m_first = false;
    if (m_strict && (m_encoder.hasError() || startsLikeUtf8)) {
        m_needsUtf8 = true;
        return false;
    }
    if (!m_file.write(m_bytes.constData(), size))
        m_writeFailed = true;
    return !m_writeFailed;
}

enum class WriteOutcome { Written, NeedsUtf8, Failed };
enum class Encoding { Cp949, Utf8WithMark, Utf8 };

WriteOutcome writeAttempt(const QString &path, const std::function<void(LineSink &)> &produce,
                          Encoding encoding, QString &error)
{
    TemporaryFile file(path);
    const auto failed = [&] {
        error = saveFailure(path, systemErrorText(file.error()));
        return WriteOutcome::Failed;
    };
    if (!file.open())
        return failed();
    const bool utf8 = encoding != Encoding::Cp949;
    QStringEncoder encoder = utf8 ? QStringEncoder(QStringEncoder::Utf8) : QStringEncoder(kCp949Name);
    EncodingSink sink(file, encoder, !utf8);
    if (encoding == Encoding::Utf8WithMark && !file.write(kUtf8Bom, kUtf8BomSize))
        return failed();
    produce(sink);
    sink.flush();
    if (sink.needsUtf8())
        return WriteOutcome::NeedsUtf8;
    if (sink.writeFailed() || !file.commit())
        return failed();
    return WriteOutcome::Written;
}

} // namespace

FileResult writeTextFileAtomically(const QString &path, const std::function<void(LineSink &)> &produce)
{
    QString error;
    WriteOutcome outcome = writeAttempt(path, produce, Encoding::Cp949, error);
    if (outcome == WriteOutcome::NeedsUtf8)
        outcome = writeAttempt(path, produce, Encoding::Utf8WithMark, error);
    if (outcome == WriteOutcome::Written)
        return {true, {}};
    return {false, error};
}

FileResult writeFileAtomically(const QString &path, QByteArrayView bytes)
{
    TemporaryFile file(path);
    if (!file.open() || !file.write(bytes.data(), bytes.size()) || !file.commit())
        return {false, saveFailure(path, systemErrorText(file.error()))};
    return {true, {}};
}

FileResult writeUtf8FileAtomically(const QString &path, const std::function<void(LineSink &)> &produce)
{
    QString error;
    if (writeAttempt(path, produce, Encoding::Utf8, error) == WriteOutcome::Written)
        return {true, {}};
    return {false, error};
}

FileResult writeUtf8TextFileAtomically(const QString &path, const std::function<void(LineSink &)> &produce)
{
    QString error;
    if (writeAttempt(path, produce, Encoding::Utf8WithMark, error) == WriteOutcome::Written)
        return {true, {}};
    return {false, error};
}
