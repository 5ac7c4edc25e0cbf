// The open tree and the results window following the index: a disc renamed or deleted, here or
// by another copy of the program.

#include "ui/w_list.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "ui/w_results.h"

#include <QFileInfo>
#include <QPushButton>

void w_list::treeSaved(const QString &label)
{
    const qint64 row = CatalogueEntries::findLabel(m_index, label);
    m_treeFile = row > 0 ? m_index.GetItemString(row, IndexColumn::file) : QString();
    m_treeTitle = label;
}

QString w_list::offeredLabel() const
{
    return m_treeFile.isEmpty() ? m_treeFacts.disc.volumeLabel : QString();
}

void w_list::followIndex(const QString &renamedFrom, const QString &renamedTo)
{
    if (!m_treeFile.isEmpty() && !renamedFrom.isEmpty() &&
        m_treeFile.compare(renamedFrom, Qt::CaseInsensitive) == 0)
        m_treeFile = renamedTo;
    const qint64 row = m_treeFile.isEmpty() ? 0 : CatalogueEntries::findFile(m_index, m_treeFile);
    if (row > 0) {
        m_treeTitle = m_index.GetItemString(row, IndexColumn::name);
    } else if (!m_treeFile.isEmpty()) {
        // Its disc is gone: the tree is a scan again, titled by its drive, and can be saved anew.
        m_treeFile.clear();
        m_treeTitle = QStringLiteral("스캔 ") + m_tree.GetItemString(1, TreeColumn::fullname);
        if (!busy())
            cb_save->setEnabled(m_tree.RowCount() > 0);
    }
    if (m_results)
        m_results->model().followIndex(m_index, renamedFrom, renamedTo);
}

QString w_list::resultDiscProblem(qsizetype storeRow) const
{
    const ResultStore &store = m_results->model().store();
    const ResultDisc &disc = store.discs()[size_t(store.discOf(storeRow))];
    if (m_results->model().discGone(storeRow))
        return QStringLiteral("'%1' 디스크는 목록에서 삭제되어서 열 수 없습니다.").arg(disc.label);
    if (!isBareFileName(disc.file) || !QFileInfo::exists(dataFilePath(disc.file)))
        return QStringLiteral("'%1' 디스크의 목록 파일이 없어서 열 수 없습니다.\n\n%2")
            .arg(disc.label, disc.file);
    return {};
}
