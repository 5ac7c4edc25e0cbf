// The order of every entry change around its index write, and the second name of a renamed tree.

#include "catalogue/entrysteps.h"

#include "catalogue/datafiles.h"
#include "catalogue/sidefile.h"
#include "files/fileops.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Copies the file at `source` into the open file `fd` and flushes it to the disc.
bool copyInto(const QByteArray &source, int fd)
{
    qint64 size = 0;
    const int in = openRegularFile(QFile::decodeName(source), size);
    if (in < 0)
        return false;
    char block[1 << 16];
    ssize_t got;
    bool ok = true;
    while (ok && (got = ::read(in, block, sizeof block)) != 0) {
        ok = got > 0 || errno == EINTR;
        for (ssize_t done = 0; ok && got > 0 && done < got;) {
            const ssize_t put = fileOps().write(fd, block + done, size_t(got - done));
            ok = put > 0;
            done += put;
        }
    }
    const int error = errno;
    ::close(in);
    errno = error;
    return ok && fileOps().sync(fd) == 0;
}

// Errors that say the file system keeps no second name for a file.
bool noLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK || error == EXDEV;
}

} // namespace

QStringList CatalogueEntries::FileSteps::touchedNames() const
{
    QStringList names;
    for (const QByteArray &path : {created, target, obsolete}) {
        if (!path.isEmpty())
            names << QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    }
    return names;
}

void CatalogueEntries::FileSteps::undo() const
{
    for (const QByteArray &path : {created, staged}) {
        if (!path.isEmpty())
            fileOps().unlink(path.constData());
    }
}

FileResult CatalogueEntries::commit(FileSteps &steps, RowChanges &changes)
{
    // Here every tree the new index names is whole under its name: files that describe a disc
    // beside its tree are written at this point, before the index names the disc.
    const FileResult stored = storeIndex(m_index, indexPath());
    if (!stored.ok) {
        steps.undo();
        return stored;
    }
    m_indexStamp = versionOf(indexPath());
    if (!steps.staged.isEmpty() &&
        fileOps().rename(steps.staged.constData(), steps.target.constData()) != 0) {
        const QString reason = systemErrorText(errno);
        steps.undo();
        changes.undo(); // the entry names the same file, which holds the old tree: its old values back
        if (storeIndex(m_index, indexPath()).ok)
            m_indexStamp = versionOf(indexPath());
        return {false, QStringLiteral("'%1' 파일을 저장하지 못했습니다: %2")
                           .arg(QFile::decodeName(steps.target), reason)};
    }
    if (!steps.obsolete.isEmpty())
        steps.obsoleteRemoved = fileOps().unlink(steps.obsolete.constData()) == 0;
    syncFolder(encoded(m_dataFolder));
    changes.keep();
    if (!steps.obsolete.isEmpty() && steps.obsoleteRemoved) {
        const QString gone = QFile::decodeName(steps.obsolete);
        if (steps.created.isEmpty())
            SideFiles::removeFor(gone);
        else
            SideFiles::renameFor(gone, QFile::decodeName(steps.created));
    }
    if (whileLocked)
        whileLocked(steps.touchedNames());
    if (onFilesChanged)
        onFilesChanged(steps.touchedNames());
    return {true, {}};
}

FileResult CatalogueEntries::linkTree(const QString &from, const QString &to, FileSteps &steps) const
{
    const QByteArray folder = encoded(m_dataFolder);
    const QByteArray source = encoded(filePath(from));
    const QByteArray target = encoded(filePath(to));
    QByteArray temporary;
    int fd = createTemporaryFile(folder, temporary);
    bool ok = fd >= 0;
    if (ok) {
        ::close(fd);
        fileOps().unlink(temporary.constData());
        ok = fileOps().link(source.constData(), temporary.constData()) == 0;
    }
    if (!ok && fd >= 0 && noLinks(errno)) {
        // No links on this file system: a copy, flushed before it takes the new name.
        fd = createTemporaryFile(folder, temporary);
        ok = fd >= 0 && ::fchmod(fd, replacementMode(source)) == 0 && copyInto(source, fd);
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        errno = error;
    }
    // The new name only if no file has it yet: a rename would replace one without a word.
    if (ok && fileOps().renameNoReplace(temporary.constData(), target.constData()) == 0) {
        steps.created = target;
        syncFolder(folder);
        return {true, {}};
    }
    const QString reason = systemErrorText(errno);
    if (!temporary.isEmpty())
        fileOps().unlink(temporary.constData());
    return {false, QStringLiteral("'%1' 파일의 이름을 '%2'(으)로 바꾸지 못했습니다: %3")
                       .arg(QFile::decodeName(source), to, reason)};
}
