// The file services of the scripts: numbered line readers and the folder functions.

#include "files/textfile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The readers the scripts opened, by handle. Like file descriptors, a handle is the smallest free
// number from 1 on, so numbers stay small and a closed one is used again.
struct OpenFiles {
    std::mutex mutex;
    std::map<int, std::unique_ptr<TextFileReader>> readers;
};

OpenFiles &openFiles()
{
    static OpenFiles files;
    return files;
}

} // namespace

int FileOpen(const QString &path)
{
    auto reader = std::make_unique<TextFileReader>();
    if (path.isEmpty() || !reader->open(path))
        return -1;
    OpenFiles &files = openFiles();
    std::lock_guard lock(files.mutex);
    int handle = 1;
    for (const auto &entry : files.readers) {
        if (entry.first != handle)
            break;
        ++handle;
    }
    files.readers.emplace(handle, std::move(reader));
    return handle;
}

int FileRead(int handle, QString &line)
{
    OpenFiles &files = openFiles();
    std::lock_guard lock(files.mutex);
    const auto it = files.readers.find(handle);
    if (it == files.readers.end())
        return -1;
    return int(it->second->readLine(line));
}

int FileClose(int handle)
{
    OpenFiles &files = openFiles();
    std::lock_guard lock(files.mutex);
    return files.readers.erase(handle) == 1 ? 1 : -1;
}

bool FileDelete(const QString &path)
{
    // unlink refuses folders, so a script cannot remove one by mistake.
    return !path.isEmpty() && ::unlink(QFile::encodeName(path).constData()) == 0;
}

bool DirectoryExists(const QString &path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

int CreateDirectory(const QString &path)
{
    if (path.isEmpty())
        return -1;
    return ::mkdir(QFile::encodeName(path).constData(), 0777) == 0 ? 1 : -1;
}

bool ensureFolder(const QString &path)
{
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return true;
    // Made by someone else since the caller looked, or before: a folder there is all that counts.
    const int error = errno;
    if (error == EEXIST && DirectoryExists(path))
        return true;
    errno = error;
    return false;
}

QString GetCurrentDirectory()
{
    return QDir::currentPath();
}

int ChangeDirectory(const QString &path)
{
    return !path.isEmpty() && QDir::setCurrent(path) ? 1 : -1;
}
