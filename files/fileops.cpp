#include "files/fileops.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int renameNoReplace(const char *from, const char *to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system that cannot refuse by itself: look first, then rename.
    struct stat st;
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

FileOps systemOps()
{
    return {[](int fd, const void *data, size_t size) { return ::write(fd, data, size); },
            [](int fd) { return ::fdatasync(fd); },
            [](const char *from, const char *to) { return ::rename(from, to); },
            renameNoReplace,
            [](const char *from, const char *to) { return ::link(from, to); },
            [](const char *path) { return ::unlink(path); }};
}

constexpr char kTemporaryPrefix[] = ".tvk-";
constexpr qsizetype kTemporaryRandom = 6; // the "XXXXXX" mkostemp fills in

} // namespace

FileOps &fileOps()
{
    static FileOps ops = systemOps();
    return ops;
}

void resetFileOps()
{
    fileOps() = systemOps();
}

QByteArray temporaryNameTemplate(const QByteArray &folder)
{
    return folder + '/' + kTemporaryPrefix + QByteArray(kTemporaryRandom, 'X');
}

bool isTemporaryName(QStringView name)
{
    const qsizetype prefix = qsizetype(sizeof kTemporaryPrefix) - 1;
    if (name.size() != prefix + kTemporaryRandom || !name.startsWith(QLatin1StringView(kTemporaryPrefix)))
        return false;
    for (QChar c : name.sliced(prefix)) {
        if (c.unicode() > 0x7F || !std::isalnum(int(c.unicode())))
            return false;
    }
    return true;
}

int createTemporaryFile(const QByteArray &folder, QByteArray &path)
{
    path = temporaryNameTemplate(folder);
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        path.clear();
    return fd;
}

mode_t replacementMode(const QByteArray &target)
{
    struct stat st;
    if (::lstat(target.constData(), &st) == 0 && S_ISREG(st.st_mode))
        return (st.st_mode & 07777) | S_IRUSR;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString systemErrorText(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("디스크에 남은 공간이 없습니다.");
    case EFBIG:
        return QStringLiteral("파일이 이 디스크에 담기에는 너무 큽니다.");
    case EROFS:
        return QStringLiteral("읽기 전용 디스크라서 쓸 수 없습니다.");
    case EACCES:
    case EPERM:
        return QStringLiteral("이 폴더에 쓸 권한이 없습니다.");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("폴더가 없습니다.");
    case EISDIR:
        return QStringLiteral("같은 이름의 폴더가 있습니다.");
    case EEXIST:
        return QStringLiteral("같은 이름의 파일이 이미 있습니다.");
    case ENAMETOOLONG:
        return QStringLiteral("파일 이름이 너무 깁니다.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("열린 파일이 너무 많습니다.");
    case EIO:
        return QStringLiteral("디스크를 읽고 쓰는 중에 입출력 오류가 났습니다.");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("다른 프로그램이 파일을 쓰고 있습니다.");
    default:
        break;
    }
    return QStringLiteral("시스템 오류 %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
}
