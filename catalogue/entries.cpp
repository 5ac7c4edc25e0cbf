#include "catalogue/entries.h"
#include "catalogue/entrysteps.h"
#include "catalogue/entrytexts.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "catalogue/thumbnails.h"
#include "files/fileops.h"
#include "files/paths.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qsizetype kMaxLabel = 93;      // "cd_" + label + ".dat" must fit the 100 characters of `file`
constexpr qsizetype kMaxDesc = 255;      // the width of `desc`
constexpr qsizetype kMaxNameBytes = 255; // what a Linux file system takes in one name
// What a Windows file system cannot hold in a name, beyond the separators and controls.
constexpr QStringView kWindowsForbidden = u":*?\"<>|";

// The entry as the index file will hold it: a tab or line break in a value becomes a space there,
// so it does in memory too.
CatalogueEntry asWritten(const CatalogueEntry &entry)
{
    return {RecordSet::asWritten(entry.file), RecordSet::asWritten(entry.desc),
            RecordSet::asWritten(entry.name), RecordSet::asWritten(entry.gubn)};
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0; // QChar::toCaseFolded: simple case folding
}

// The first row whose `column` is `value`, else the first where it differs only in case; 0 when none.
qint64 findValue(const RecordSet &rows, int column, const QString &value)
{
    qint64 folded = 0;
    for (qint64 row = 1; row <= rows.RowCount(); ++row) {
        const QString here = rows.GetItemString(row, column);
        if (here == value)
            return row;
        if (folded == 0 && sameName(here, value))
            folded = row;
    }
    return folded;
}

bool fileExists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

} // namespace

CatalogueEntries::CatalogueEntries(RecordSet &dw_cdinfo, RecordSet &dw_list, QString dataFolder,
                                   QString indexName)
    : m_index(dw_cdinfo), m_list(dw_list), m_dataFolder(std::move(dataFolder)),
      m_indexName(std::move(indexName))
{
}

QString CatalogueEntries::fileForLabel(const QString &label)
{
    return QStringLiteral("cd_") + label + QStringLiteral(".dat");
}

QString CatalogueEntries::trimmedLabel(const QString &label)
{
    qsizetype first = 0, last = label.size();
    while (first < last && label.at(first) == u' ')
        ++first;
    while (last > first && label.at(last - 1) == u' ')
        --last;
    return label.mid(first, last - first);
}

QString CatalogueEntries::labelProblem(const QString &label, const QString &desc)
{
    const QString file = fileForLabel(label);
    if (label.size() > kMaxLabel || QFile::encodeName(file).size() > kMaxNameBytes)
        return QStringLiteral("라벨이 너무 깁니다. 라벨은 %1자까지, 파일 이름 \"cd_라벨.dat\"이 %2바이트를 "
                              "넘지 않게 쓸 수 있습니다 (한글은 한 글자가 3바이트로 %3자까지).")
            .arg(kMaxLabel)
            .arg(kMaxNameBytes)
            .arg((kMaxNameBytes - 7) / 3);
    const bool windowsForbidden =
        std::any_of(label.begin(), label.end(), [](QChar c) { return kWindowsForbidden.contains(c); });
    if (!isBareFileName(file) || label == u"." || label == u".." || windowsForbidden)
        return QStringLiteral(
            "라벨에 쓸 수 없는 글자가 있습니다. 라벨에는 / 또는 \\ (역슬래시), : * ? \" < > | 와 제어 문자를 "
            "쓸 수 없고, \".\"이나 \"..\"만으로 된 라벨도 쓸 수 없습니다.");
    return descriptionProblem(desc);
}

QString CatalogueEntries::descriptionProblem(const QString &desc)
{
    if (desc.size() > kMaxDesc)
        return QStringLiteral("설명이 너무 깁니다. 설명은 %1자까지 쓸 수 있습니다.").arg(kMaxDesc);
    return {};
}

QString CatalogueEntries::fieldsProblem(const QString &label, const QString &desc,
                                        const CatalogueEntry *before)
{
    if (label.isEmpty())
        return EntryTexts::missingLabel();
    QString problem;
    if (!before || label != before->name)
        problem = labelProblem(label, {});
    if (problem.isEmpty() && (!before || desc != before->desc))
        problem = descriptionProblem(desc);
    return problem;
}

qint64 CatalogueEntries::findLabel(const RecordSet &rows, const QString &label)
{
    return findValue(rows, IndexColumn::name, label);
}

qint64 CatalogueEntries::findFile(const RecordSet &rows, const QString &file)
{
    return findValue(rows, IndexColumn::file, file);
}

qint64 CatalogueEntries::discUsingLabel(const QString &label) const
{
    const qint64 row = findLabel(m_index, label);
    return row > 0 ? row : findFile(m_index, fileForLabel(label));
}

bool CatalogueEntries::fileWithoutEntry(const QString &label) const
{
    return discUsingLabel(label) == 0 && fileExists(encoded(filePath(fileForLabel(label))));
}

qint64 CatalogueEntries::otherRowUsing(qint64 except, const QString &label, const QString &file) const
{
    for (qint64 row = 1; row <= m_index.RowCount(); ++row) {
        if (row != except &&
            ((!label.isEmpty() && sameName(m_index.GetItemString(row, IndexColumn::name), label)) ||
             (!file.isEmpty() && sameName(m_index.GetItemString(row, IndexColumn::file), file))))
            return row;
    }
    return 0;
}

QString CatalogueEntries::indexPath() const
{
    return filePath(m_indexName);
}

QString CatalogueEntries::filePath(const QString &bareName) const
{
    return m_dataFolder + kPathSeparator + bareName;
}

qint64 CatalogueEntries::loadIndex()
{
    ++m_reads;
    m_indexStamp = versionOf(indexPath());
    return loadDataFile(m_index, indexPath());
}

QString CatalogueEntries::indexProblem() const
{
    const QString path = indexPath();
    if (versionOf(path) == FileVersion{})
        return {};
    const QString irregular = irregularFileProblem(path);
    if (!irregular.isEmpty())
        return irregular;
    qint64 size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0)
        return QStringLiteral("'%1' 파일을 읽을 수 없습니다: %2").arg(path, systemErrorText(errno));
    ::close(fd);
    return {};
}

bool CatalogueEntries::catchUp()
{
    const FileVersion now = versionOf(indexPath());
    if (now == m_indexStamp)
        return false;
    RecordSet rows(m_index.layout());
    bool opened = false;
    loadDataFile(rows, indexPath(), &opened);
    if (!opened && now != FileVersion{})
        return false; // there but unreadable: not taken for an empty catalogue
    m_indexStamp = now;
    ++m_reads;
    m_index.Reset();
    if (rows.RowCount() > 0)
        rows.RowsCopy(1, rows.RowCount(), m_index, 1);
    for (qint64 row = m_list.RowCount(); row >= 1; --row) {
        const qint64 indexRow = findFile(m_index, m_list.GetItemString(row, IndexColumn::file));
        if (indexRow == 0)
            m_list.DeleteRow(row);
        else
            setEntry(m_list, row, entryAt(m_index, indexRow));
    }
    return true;
}

void CatalogueEntries::removeStaleFiles()
{
    DataFolderLock lock(m_dataFolder);
    if (DirectoryExists(m_dataFolder) && lock.lock(0)) {
        removeStaleTemporaries(m_dataFolder);
        removeStaleTemporaries(ownFolderPath(m_dataFolder)); // the side files' and the index's
    }
}

FileResult CatalogueEntries::ensureDataFolder() const
{
    if (ensureFolder(m_dataFolder))
        return {true, {}};
    return {false,
            QStringLiteral("'%1' 폴더를 만들지 못했습니다: %2").arg(m_dataFolder, systemErrorText(errno))};
}

FileResult CatalogueEntries::begin(DataFolderLock &lock, bool *reread)
{
    const FileResult ready = ensureDataFolder();
    if (!ready.ok)
        return ready;
    // The window lets input run while it waits, and may read the index anew meanwhile.
    const quint64 readsBefore = m_reads;
    if (!lock.lock(DataFolderLock::kWaitMs, &lockWait))
        return lock.failure();
    const QString unreadable = indexProblem();
    if (!unreadable.isEmpty())
        return {false, unreadable};
    catchUp();
    if (reread)
        *reread = m_reads != readsBefore;
    return {true, {}};
}

FileResult CatalogueEntries::add(const RecordSet &tree, const CatalogueEntry &entry, const TreeFacts *facts)
{
    DataFolderLock lock(m_dataFolder);
    const FileResult ready = begin(lock);
    if (!ready.ok)
        return ready;
    if (otherRowUsing(0, entry.name, entry.file) > 0)
        return {false, EntryTexts::labelInUse(entry.name), true};
    return saveTree(tree, asWritten(entry), 0, facts);
}

FileResult CatalogueEntries::replace(const RecordSet &tree, const CatalogueEntry &entry, qint64 indexRow,
                                     const TreeFacts *facts)
{
    DataFolderLock lock(m_dataFolder);
    bool reread = false;
    const FileResult ready = begin(lock, &reread);
    if (!ready.ok)
        return ready;
    if (reread || indexRow > m_index.RowCount())
        indexRow = discUsingLabel(entry.name);
    return saveTree(tree, asWritten(entry), indexRow, facts);
}

FileResult CatalogueEntries::replaceTree(const QString &file, const RecordSet &tree, const TreeFacts *facts,
                                         CatalogueEntry *kept)
{
    DataFolderLock lock(m_dataFolder);
    const FileResult ready = begin(lock);
    if (!ready.ok)
        return ready;
    const qint64 indexRow = findFile(m_index, file);
    if (indexRow == 0 || !isBareFileName(file))
        return {
            false,
            QStringLiteral("'%1' 디스크는 이제 목록에 없습니다. 다른 창에서 지웠거나 이름을 바꾸었습니다.")
                .arg(file),
            true};
    const CatalogueEntry entry = entryAt(m_index, indexRow);
    if (kept)
        *kept = entry;
    return saveTree(tree, entry, indexRow, facts);
}

FileResult CatalogueEntries::saveTree(const RecordSet &tree, CatalogueEntry entry, qint64 indexRow,
                                      const TreeFacts *facts)
{
    const CatalogueEntry old = indexRow > 0 ? entryAt(m_index, indexRow) : CatalogueEntry{};
    if (isBareFileName(old.file))
        entry.file = old.file; // the disc keeps the file its entry names
    if (otherRowUsing(indexRow, {}, entry.file) > 0)
        return {false, QStringLiteral("'%1' 파일은 다른 디스크가 쓰고 있습니다.").arg(entry.file), true};
    FileSteps steps;
    const QString path = filePath(entry.file);
    FileResult written;
    if (fileExists(encoded(path))) {
        // The old tree stays until the index is written; the new one waits beside it.
        const int fd = createTemporaryFile(encoded(m_dataFolder), steps.staged);
        if (fd < 0)
            return {false,
                    QStringLiteral("'%1' 파일을 저장하지 못했습니다: %2").arg(path, systemErrorText(errno))};
        // The new tree takes the old file's place, and its permissions with it: a temporary file
        // is made for its owner alone.
        ::fchmod(fd, replacementMode(encoded(path)));
        ::close(fd);
        steps.target = encoded(path);
        const QString staged = QFile::decodeName(steps.staged);
        written = writeCatalogue(tree, staged);
        written.error.replace(staged, path);
    } else {
        written = writeCatalogue(tree, path);
        steps.created = encoded(path);
    }
    if (!written.ok) {
        if (!steps.staged.isEmpty())
            steps.undo();
        return written;
    }
    RowChanges changes;
    if (indexRow > 0) {
        changes.change(m_index, indexRow, entry);
        qint64 listRow = findLabel(m_list, old.name);
        if (listRow == 0)
            listRow = findFile(m_list, old.file);
        if (listRow > 0)
            changes.change(m_list, listRow, entry);
        else
            changes.append(m_list, entry); // the disc just saved shows in the list, as a new one would
    } else {
        changes.append(m_list, entry);
        changes.append(m_index, entry);
    }
    const FileResult committed = commit(steps, changes);
    // The sizes follow the tree once it is saved: a side file that does not match its tree is
    // never read, so a crash in between costs the sizes, not the catalogue.
    if (committed.ok) {
        SideFiles::saveFor(path, tree, facts);
        ThumbnailStores::saveFor(path, tree, facts ? &facts->thumbnails : nullptr,
                                 facts && facts->describes(tree.RowCount()));
    }
    return committed;
}

CatalogueEntries::Removal CatalogueEntries::remove(qint64 listRow)
{
    Removal removal;
    const QString file = m_list.GetItemString(listRow, IndexColumn::file);
    DataFolderLock lock(m_dataFolder);
    bool reread = false;
    removal.index = begin(lock, &reread);
    if (!removal.index.ok)
        return removal;
    if (reread)
        listRow = findFile(m_list, file);
    RowChanges changes;
    changes.remove(m_list, listRow);
    changes.remove(m_index, findFile(m_index, file));
    FileSteps steps;
    // A value that is not a bare name never reaches the file system, and a file another entry
    // still names (in any case) stays.
    if (isBareFileName(file) && otherRowUsing(0, {}, file) == 0)
        steps.obsolete = encoded(filePath(file));
    removal.index = commit(steps, changes);
    removal.fileDeleteFailed = removal.index.ok && !steps.obsoleteRemoved;
    return removal;
}

FileResult CatalogueEntries::change(const QString &originalLabel, const CatalogueEntry &given)
{
    DataFolderLock lock(m_dataFolder);
    const FileResult ready = begin(lock);
    if (!ready.ok)
        return ready;
    CatalogueEntry entry = asWritten(given);
    const qint64 listRow = findLabel(m_list, originalLabel);
    const qint64 indexRow = findLabel(m_index, originalLabel);
    const QString oldFile =
        indexRow > 0 ? m_index.GetItemString(indexRow, IndexColumn::file) : fileForLabel(originalLabel);
    // The same label keeps its file, whatever name an earlier version gave it; so does a change of
    // case only, as a stick's file system holds one file for both names.
    if (entry.name == originalLabel || sameName(entry.file, oldFile))
        entry.file = oldFile;
    if ((entry.name != originalLabel || entry.file != oldFile) &&
        otherRowUsing(indexRow, entry.name, entry.file))
        return {false, QStringLiteral("'%1' 라벨은 다른 디스크가 쓰고 있습니다.").arg(entry.name), true};
    FileSteps steps;
    if (entry.file != oldFile && isBareFileName(oldFile) && fileExists(encoded(filePath(oldFile)))) {
        // Both names hold the tree until the index names the new one; then the old one goes.
        const FileResult linked = linkTree(oldFile, entry.file, steps);
        if (!linked.ok)
            return linked;
        if (otherRowUsing(indexRow, {}, oldFile) == 0)
            steps.obsolete = encoded(filePath(oldFile));
    }
    RowChanges changes;
    changes.change(m_list, listRow, entry);
    if (indexRow > 0)
        changes.change(m_index, indexRow, entry);
    else
        changes.append(m_index, entry);
    return commit(steps, changes);
}
