#include "catalogue/datafolder.h"

#include "files/fileops.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kLockRetryMs = 5;
constexpr qint64 kStaleSeconds = 60 * 60;

// Who a lock file names: QLockFile writes its process, application and host into it.
struct LockOwner {
    bool named = false;
    qint64 pid = 0;
    QString host, application;
};

LockOwner ownerOf(const QLockFile &file)
{
    LockOwner owner;
    owner.named = file.getLockInfo(&owner.pid, &owner.host, &owner.application);
    return owner;
}

// Removes the lock file at `path` unless a live process still holds the locks of the file
// itself, which QLockFile takes on it and keeps while its holder lives.
bool removeUnheld(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    const bool unheld =
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fcntl(fd, F_GETLK, &whole) == 0 && whole.l_type == F_UNLCK;
    const bool removed = unheld && ::unlink(path.constData()) == 0;
    ::close(fd);
    return removed;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

DataFolderLock::DataFolderLock(const QString &dataFolder)
    : m_folder(dataFolder), m_path(dataFolder + QStringLiteral("/.tarvek.lock"))
{
}

bool DataFolderLock::lock(int waitMs, const LockWait *wait)
{
    m_file = std::make_unique<QLockFile>(m_path);
    m_cancelled = false;
    QElapsedTimer waited;
    waited.start();
    bool told = false;
    const auto finish = [&](bool taken) {
        if (told && wait->over)
            wait->over();
        return taken;
    };
    // QLockFile's own wait backs off up to seconds between tries, and never tells the window:
    // changes are short, so try often, and say what is waited for.
    while (!m_file->tryLock(0)) {
        if (m_file->error() != QLockFile::LockFailedError || !irregularFileProblem(m_path).isEmpty())
            return finish(false);
        if (!ownerOf(*m_file).named && removeIfOwnerless())
            continue;
        if (waited.elapsed() >= waitMs)
            return finish(false);
        if (wait && wait->waiting) {
            told = true;
            if (wait->waiting(holder(), waited.elapsed())) {
                m_cancelled = true;
                return finish(false);
            }
        }
        QThread::msleep(kLockRetryMs);
    }
    return finish(true);
}

bool DataFolderLock::removeIfOwnerless()
{
    const QByteArray path = QFile::encodeName(m_path);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        std::abs(qint64(::time(nullptr)) - qint64(st.st_mtime)) < kOwnerlessStaleSeconds)
        return false;
    // One remover at a time, under the name QLockFile uses for its own removals; then the file
    // must still be the one found, and still name no one.
    QLockFile remover(m_path + QStringLiteral(".rmlock"));
    struct stat again;
    return remover.tryLock(0) && ::lstat(path.constData(), &again) == 0 && sameFile(st, again) &&
           !ownerOf(QLockFile(m_path)).named && removeUnheld(path);
}

QString DataFolderLock::holder() const
{
    const LockOwner owner = m_file ? ownerOf(*m_file) : LockOwner();
    if (!owner.named)
        return QStringLiteral("누가 만들었는지 적히지 않은 잠금 파일 '%1'이(가) 있어서, 남겨진 것인지 "
                              "%2초 동안 지켜봅니다.")
            .arg(m_path)
            .arg(kOwnerlessStaleSeconds);
    const QString where = owner.host.isEmpty() || owner.host == QSysInfo::machineHostName()
                              ? QString()
                              : QStringLiteral(", 컴퓨터 %1").arg(owner.host);
    return QStringLiteral("다른 창(%1, 프로세스 %2%3)이 데이터 폴더를 쓰고 있습니다.")
        .arg(owner.application)
        .arg(owner.pid)
        .arg(where);
}

FileResult DataFolderLock::failure() const
{
    if (m_cancelled) {
        FileResult cancelled{false, QStringLiteral("데이터 폴더를 기다리다가 취소했습니다.")};
        cancelled.cancelled = true;
        return cancelled;
    }
    const QString irregular = irregularFileProblem(m_path);
    if (!irregular.isEmpty())
        return {false, QStringLiteral("데이터 폴더를 잠그지 못했습니다: %1").arg(irregular)};
    if (m_file && m_file->error() == QLockFile::LockFailedError)
        return {false, QStringLiteral("%1 기다렸지만 끝나지 않았습니다: '%2'").arg(holder(), m_path)};
    QString reason = folderWriteProblem(m_folder);
    if (reason.isEmpty())
        reason = QStringLiteral("잠금 파일을 만들 수 없습니다.");
    return {false, QStringLiteral("데이터 폴더를 잠그지 못했습니다: '%1': %2").arg(m_path, reason)};
}

QString folderWriteProblem(const QString &folder)
{
    const QByteArray name = QFile::encodeName(folder);
    QByteArray path;
    const int fd = createTemporaryFile(name, path);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        // About what a lock file holds, flushed as QLockFile flushes it.
        constexpr char kProbe[] = "0\ntarvek\n";
        errno = 0;
        if (fileOps().write(fd, kProbe, sizeof kProbe - 1) != ssize_t(sizeof kProbe - 1) ||
            (fileOps().sync(fd) != 0 && errno != EINVAL))
            error = errno != 0 ? errno : ENOSPC;
        ::close(fd);
        fileOps().unlink(path.constData());
    }
    if (error == 0)
        return {};
    struct stat st;
    if ((error == EACCES || error == EPERM) && ::stat(name.constData(), &st) == 0 && (st.st_mode & 0222) == 0)
        return QStringLiteral("데이터 폴더가 읽기 전용이라서 쓸 수 없습니다.");
    return systemErrorText(error);
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
