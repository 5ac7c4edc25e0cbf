#include "catalogue/datafolder.h"

#include "files/fileops.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <QDeadlineTimer>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kLockRetryMs = 5;
constexpr qint64 kStaleSeconds = 60 * 60;

} // namespace

DataFolderLock::DataFolderLock(const QString &dataFolder)
    : m_path(dataFolder + QStringLiteral("/.tarvek.lock"))
{
}

bool DataFolderLock::lock(int waitMs)
{
    m_file = std::make_unique<QLockFile>(m_path);
    // QLockFile's own wait backs off up to seconds between tries; changes are short, so try often.
    const QDeadlineTimer deadline(waitMs);
    while (!m_file->tryLock(0)) {
        if (m_file->error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(kLockRetryMs);
    }
    return true;
}

FileResult DataFolderLock::failure() const
{
    if (m_file && m_file->error() == QLockFile::LockFailedError)
        return {false,
                QStringLiteral("다른 창이 데이터 폴더를 쓰고 있어서 기다렸지만 끝나지 않았습니다: '%1'")
                    .arg(m_path)};
    return {false, QStringLiteral("데이터 폴더를 잠그지 못했습니다: '%1'").arg(m_path)};
}

FileVersion versionOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

int removeStaleTemporaries(const QString &dataFolder)
{
    const QDir folder(dataFolder);
    const qint64 now = ::time(nullptr);
    int removed = 0;
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!isTemporaryName(name))
            continue;
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat st;
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > kStaleSeconds &&
            fileOps().unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

QString irregularFileProblem(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("'%1'은(는) 보통 파일이 아니라서 읽지 않습니다.").arg(path);
}
