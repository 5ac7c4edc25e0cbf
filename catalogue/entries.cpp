#include "catalogue/entries.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "files/fileops.h"
#include "files/paths.h"

#include <QFile>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr qsizetype kMaxLabel = 93;      // "cd_" + label + ".dat" must fit the 100 characters of `file`
constexpr qsizetype kMaxDesc = 255;      // the width of `desc`
constexpr qsizetype kMaxNameBytes = 255; // what a Linux file system takes in one name

void setEntry(RecordSet &rows, qint64 row, const CatalogueEntry &entry)
{
    rows.SetItem(row, IndexColumn::file, entry.file);
    rows.SetItem(row, IndexColumn::desc, entry.desc);
    rows.SetItem(row, IndexColumn::name, entry.name);
    rows.SetItem(row, IndexColumn::gubn, entry.gubn);
}

CatalogueEntry entryAt(const RecordSet &rows, qint64 row)
{
    return {rows.GetItemString(row, IndexColumn::file), rows.GetItemString(row, IndexColumn::desc),
            rows.GetItemString(row, IndexColumn::name), rows.GetItemString(row, IndexColumn::gubn)};
}

bool fileExists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Row changes that are taken back, newest first, unless the index file is written.
class RowChanges {
  public:
    ~RowChanges()
    {
        for (auto undo = m_undo.rbegin(); undo != m_undo.rend(); ++undo)
            (*undo)();
    }
    qint64 append(RecordSet &rows, const CatalogueEntry &entry)
    {
        const qint64 row = rows.InsertRow(0);
        setEntry(rows, row, entry);
        m_undo.push_back([&rows, row] { rows.DeleteRow(row); });
        return row;
    }
    void change(RecordSet &rows, qint64 row, const CatalogueEntry &entry)
    {
        if (row < 1)
            return;
        m_undo.push_back([&rows, row, before = entryAt(rows, row)] { setEntry(rows, row, before); });
        setEntry(rows, row, entry);
    }
    void remove(RecordSet &rows, qint64 row)
    {
        if (row < 1)
            return;
        m_undo.push_back([&rows, row, before = entryAt(rows, row), selected = rows.IsSelected(row)] {
            rows.InsertRow(row);
            setEntry(rows, row, before);
            rows.SelectRow(row, selected);
        });
        rows.DeleteRow(row);
    }
    void onUndo(std::function<void()> undo) { m_undo.push_back(std::move(undo)); }
    void keep() { m_undo.clear(); }

  private:
    std::vector<std::function<void()>> m_undo;
};

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

QString CatalogueEntries::labelProblem(const QString &label, const QString &desc)
{
    const QString file = fileForLabel(label);
    if (label.size() > kMaxLabel || QFile::encodeName(file).size() > kMaxNameBytes)
        return QStringLiteral("라벨이 너무 깁니다. 라벨은 %1자까지 쓸 수 있습니다.").arg(kMaxLabel);
    if (!isBareFileName(file))
        return QStringLiteral("라벨에 쓸 수 없는 글자가 있습니다. 라벨에는 / 또는 \\ (역슬래시), 제어 문자, "
                              "\"..\"를 쓸 수 없습니다.");
    if (desc.size() > kMaxDesc)
        return QStringLiteral("설명이 너무 깁니다. 설명은 %1자까지 쓸 수 있습니다.").arg(kMaxDesc);
    return {};
}

qint64 CatalogueEntries::findLabel(const RecordSet &rows, const QString &label)
{
    return std::max<qint64>(
        0, rows.Find(QStringLiteral("name=") + RecordSet::Literal(label), 1, rows.RowCount()));
}

qint64 CatalogueEntries::findFile(const RecordSet &rows, const QString &file)
{
    return std::max<qint64>(
        0, rows.Find(QStringLiteral("file=") + RecordSet::Literal(file), 1, rows.RowCount()));
}

qint64 CatalogueEntries::discUsingLabel(const QString &label) const
{
    const qint64 row = findLabel(m_index, label);
    return row > 0 ? row : findFile(m_index, fileForLabel(label));
}

QString CatalogueEntries::indexPath() const
{
    return filePath(m_indexName);
}

QString CatalogueEntries::filePath(const QString &bareName) const
{
    return m_dataFolder + kPathSeparator + bareName;
}

FileResult CatalogueEntries::ensureDataFolder() const
{
    if (DirectoryExists(m_dataFolder))
        return {true, {}};
    if (CreateDirectory(m_dataFolder) == 1)
        return {true, {}};
    return {false,
            QStringLiteral("'%1' 폴더를 만들지 못했습니다: %2").arg(m_dataFolder, systemErrorText(errno))};
}

FileResult CatalogueEntries::writeTree(const RecordSet &tree, const QString &file) const
{
    FileResult result = ensureDataFolder();
    if (result.ok)
        result = writeCatalogue(tree, filePath(file));
    return result;
}

FileResult CatalogueEntries::add(const RecordSet &tree, const CatalogueEntry &entry)
{
    const FileResult written = writeTree(tree, entry.file);
    if (!written.ok)
        return written;
    RowChanges changes;
    changes.append(m_list, entry);
    changes.append(m_index, entry);
    const FileResult stored = storeIndex(m_index, indexPath());
    if (stored.ok)
        changes.keep();
    return stored;
}

FileResult CatalogueEntries::replace(const RecordSet &tree, const CatalogueEntry &entry, qint64 indexRow)
{
    const FileResult written = writeTree(tree, entry.file);
    if (!written.ok)
        return written;
    const CatalogueEntry old = entryAt(m_index, indexRow);
    RowChanges changes;
    changes.change(m_index, indexRow, entry);
    qint64 listRow = findLabel(m_list, old.name);
    if (listRow == 0)
        listRow = findFile(m_list, old.file);
    if (listRow > 0)
        changes.change(m_list, listRow, entry);
    else
        changes.append(m_list, entry); // the disc just saved shows in the list, as a new one would
    const FileResult stored = storeIndex(m_index, indexPath());
    if (stored.ok)
        changes.keep();
    return stored;
}

CatalogueEntries::Removal CatalogueEntries::remove(qint64 listRow)
{
    Removal removal;
    const QString file = m_list.GetItemString(listRow, IndexColumn::file);
    RowChanges changes;
    changes.remove(m_list, listRow);
    changes.remove(m_index, findFile(m_index, file));
    removal.index = storeIndex(m_index, indexPath());
    if (!removal.index.ok)
        return removal;
    changes.keep();
    // A value that is not a bare name never reaches the file system, and a file another entry
    // still names stays.
    if (isBareFileName(file) && findFile(m_index, file) == 0)
        removal.fileDeleteFailed = !FileDelete(filePath(file));
    return removal;
}

FileResult CatalogueEntries::change(const QString &originalLabel, const CatalogueEntry &entry)
{
    const qint64 listRow = findLabel(m_list, originalLabel);
    const qint64 indexRow = findLabel(m_index, originalLabel);
    const QString oldFile =
        indexRow > 0 ? m_index.GetItemString(indexRow, IndexColumn::file) : fileForLabel(originalLabel);
    if (entry.name != originalLabel || entry.file != oldFile) {
        for (qint64 row = 1; row <= m_index.RowCount(); ++row) {
            if (row != indexRow && (m_index.GetItemString(row, IndexColumn::name) == entry.name ||
                                    m_index.GetItemString(row, IndexColumn::file) == entry.file))
                return {false, QStringLiteral("'%1' 라벨은 다른 디스크가 쓰고 있습니다.").arg(entry.name)};
        }
    }
    const FileResult folder = ensureDataFolder();
    if (!folder.ok)
        return folder;
    RowChanges changes;
    const bool rename = entry.file != oldFile && isBareFileName(oldFile) && fileExists(filePath(oldFile));
    if (rename) {
        const QByteArray from = QFile::encodeName(filePath(oldFile));
        const QByteArray to = QFile::encodeName(filePath(entry.file));
        if (fileOps().renameNoReplace(from.constData(), to.constData()) != 0)
            return {false, QStringLiteral("'%1' 파일의 이름을 '%2'(으)로 바꾸지 못했습니다: %3")
                               .arg(filePath(oldFile), entry.file, systemErrorText(errno))};
        changes.onUndo([from, to] { fileOps().renameNoReplace(to.constData(), from.constData()); });
    }
    changes.change(m_list, listRow, entry);
    if (indexRow > 0)
        changes.change(m_index, indexRow, entry);
    else
        changes.append(m_index, entry);
    const FileResult stored = storeIndex(m_index, indexPath());
    if (stored.ok)
        changes.keep();
    return stored;
}
