// The walks of a drive: by text paths for trees made in tests, and by open folders for real discs.

#include "files/archivesource.h"
#include "files/direntries.h"
#include "files/filesystem.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Lists each folder through FileSystem::listFolder by its path decoded as text.
class TextPathWalk final : public FolderWalk {
  public:
    explicit TextPathWalk(FileSystem &fs) : m_fs(fs) {}
    bool listFolder(const QByteArray &path, std::vector<DirEntry> &out) override
    {
        return m_fs.listFolder(QString::fromUtf8(path), out);
    }

  private:
    FileSystem &m_fs;
};

// Keeps the folders from the root down to the one listed last open, and opens the next folder
// relative to the nearest of them with openat: no path is ever handed to the system whole, so
// neither depth nor path length has a limit. To stay within the process's descriptors it keeps
// the first kBase levels and the last kTop levels open; a level in between that the walk comes
// back to is opened again through the ".." of its child and checked to be the same folder.
class LocalFolderWalk final : public FolderWalk {
  public:
    explicit LocalFolderWalk(const QByteArray &root);
    ~LocalFolderWalk() override;
    LocalFolderWalk(const LocalFolderWalk &) = delete;
    LocalFolderWalk &operator=(const LocalFolderWalk &) = delete;

    bool listFolder(const QByteArray &path, std::vector<DirEntry> &out) override;
    [[nodiscard]] FileStat rootStat() const override { return m_rootStat; }
    int openFile(const QByteArray &path, const QByteArray &name) override;

  private:
    enum class Opened { Yes, NotWalked, Failed };
    struct Level {
        QByteArray name;
        int fd;
        dev_t dev;
        ino_t ino;
    };
    static constexpr size_t kBase = 8;
    static constexpr size_t kTop = 48;

    Opened openPath(const QByteArray &path);
    Opened enter(const QByteArray &name);
    void leave();
    [[nodiscard]] int reopen(size_t level, int childFd) const;
    [[nodiscard]] bool isAncestor(dev_t dev, ino_t ino) const;

    QByteArray m_root;          // ends in '/'
    std::vector<Level> m_chain; // [0] is the root; empty when the root could not be opened
    std::vector<char> m_block;
    FileStat m_rootStat;
};

LocalFolderWalk::LocalFolderWalk(const QByteArray &root) : m_root(root.endsWith('/') ? root : root + '/')
{
    const int fd = ::open(m_root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0) {
        m_chain.push_back({{}, fd, st.st_dev, st.st_ino});
        m_rootStat = {qint64(st.st_size), qint64(st.st_mtim.tv_sec)};
    } else if (fd >= 0)
        ::close(fd);
}

LocalFolderWalk::~LocalFolderWalk()
{
    for (const Level &level : m_chain) {
        if (level.fd >= 0)
            ::close(level.fd);
    }
}

bool LocalFolderWalk::isAncestor(dev_t dev, ino_t ino) const
{
    for (const Level &level : m_chain) {
        if (level.dev == dev && level.ino == ino)
            return true;
    }
    return false;
}

LocalFolderWalk::Opened LocalFolderWalk::enter(const QByteArray &name)
{
    const Level &parent = m_chain.back();
    struct stat st;
    // AT_NO_AUTOMOUNT: looking at a folder must not mount a network share on it.
    if (parent.fd < 0 ||
        ::fstatat(parent.fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0 ||
        !S_ISDIR(st.st_mode))
        return Opened::Failed;
    // Another file system (another disc, /proc) is not part of this drive; a folder that is one
    // of its own ancestors (a bind mount) would make the walk endless.
    if (st.st_dev != m_chain.front().dev || isAncestor(st.st_dev, st.st_ino))
        return Opened::NotWalked;
    const int fd = ::openat(parent.fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Opened::Failed;
    m_chain.push_back({name, fd, st.st_dev, st.st_ino});
    if (m_chain.size() > kBase + kTop) {
        Level &far = m_chain[m_chain.size() - 1 - kTop];
        if (far.fd >= 0 && m_chain.size() - 1 - kTop >= kBase) {
            ::close(far.fd);
            far.fd = -1;
        }
    }
    return Opened::Yes;
}

int LocalFolderWalk::reopen(size_t level, int childFd) const
{
    const Level &wanted = m_chain[level];
    const auto same = [&wanted](int fd) {
        struct stat st;
        return fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == wanted.dev && st.st_ino == wanted.ino;
    };
    int fd = ::openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (same(fd))
        return fd;
    if (fd >= 0)
        ::close(fd);
    // The child was moved meanwhile: go down again by name from the nearest open level.
    size_t from = level;
    while (m_chain[from].fd < 0)
        --from;
    fd = ::dup(m_chain[from].fd);
    for (size_t i = from + 1; i <= level && fd >= 0; ++i) {
        const int next =
            ::openat(fd, m_chain[i].name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (same(fd))
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

void LocalFolderWalk::leave()
{
    const int childFd = m_chain.back().fd;
    m_chain.pop_back();
    if (m_chain.back().fd < 0)
        m_chain.back().fd = reopen(m_chain.size() - 1, childFd);
    ::close(childFd);
}

LocalFolderWalk::Opened LocalFolderWalk::openPath(const QByteArray &path)
{
    if (m_chain.empty() || !path.startsWith(m_root))
        return Opened::Failed;
    QList<QByteArray> names = path.sliced(m_root.size()).split('/');
    names.removeAll(QByteArray());
    size_t common = 0;
    while (common < size_t(names.size()) && common + 1 < m_chain.size() &&
           m_chain[common + 1].name == names[qsizetype(common)])
        ++common;
    while (m_chain.size() > common + 1)
        leave();
    for (size_t i = common; i < size_t(names.size()); ++i) {
        const Opened opened = enter(names[qsizetype(i)]);
        if (opened != Opened::Yes)
            return i + 1 == size_t(names.size()) ? opened : Opened::Failed;
    }
    return m_chain.back().fd >= 0 ? Opened::Yes : Opened::Failed;
}

bool LocalFolderWalk::listFolder(const QByteArray &path, std::vector<DirEntry> &out)
{
    out.clear();
    switch (openPath(path)) {
    case Opened::Yes:
        return readFolderEntries(m_chain.back().fd, m_block, out, true);
    case Opened::NotWalked:
        return true;
    case Opened::Failed:
        break;
    }
    return false;
}

// Relative to the folder, which the walk has open: the path may be longer than the system takes.
int LocalFolderWalk::openFile(const QByteArray &path, const QByteArray &name)
{
    if (openPath(path) != Opened::Yes)
        return -1;
    return openArchiveFile(m_chain.back().fd, name.constData());
}

} // namespace

int FolderWalk::openFile(const QByteArray &path, const QByteArray &name)
{
    return openArchiveFile(AT_FDCWD, QByteArray(path + name).constData());
}

std::unique_ptr<FolderWalk> FileSystem::walkDrive(const QString &)
{
    return std::make_unique<TextPathWalk>(*this);
}

std::unique_ptr<FolderWalk> LocalFileSystem::walkDrive(const QString &root)
{
    return std::make_unique<LocalFolderWalk>(QFile::encodeName(root));
}
