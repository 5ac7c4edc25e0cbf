// The entry commands of the list pane's menu: change an entry in the save dialog, delete one.

#include "ui/w_list.h"

#include "catalogue/entrytexts.h"
#include "catalogue/layouts.h"
#include "catalogue/utils.h"
#include "ui/w_results.h"
#include "ui/w_save.h"
#include "widgets/messagebox.h"

void w_list::ue_modify()
{
    catchUpWithIndex();
    // The disc highlighted in the list, whatever was clicked in the tree since.
    const qint64 row = highlightedListRow();
    if (row < 1)
        return;
    // The fields as they are: a "^" in a description or a label is text like any other.
    w_save::openModify(this, {gf_isnull(m_list.GetItemString(row, IndexColumn::file)),
                              gf_isnull(m_list.GetItemString(row, IndexColumn::desc)),
                              gf_isnull(m_list.GetItemString(row, IndexColumn::name)),
                              gf_isnull(m_list.GetItemString(row, IndexColumn::gubn))});
}

FileResult w_list::changeEntry(const QString &originalLabel, const CatalogueEntry &entry)
{
    const qint64 before = CatalogueEntries::findLabel(m_index, originalLabel);
    const QString oldFile = before > 0 ? m_index.GetItemString(before, IndexColumn::file) : QString();
    const FileResult changed = m_entries.change(originalLabel, entry);
    if (!changed.ok)
        return changed;
    const qint64 after = CatalogueEntries::findLabel(m_index, entry.name);
    followIndex(oldFile, after > 0 ? m_index.GetItemString(after, IndexColumn::file) : QString());
    return changed;
}

void w_list::ue_delete()
{
    catchUpWithIndex();
    const qint64 row = highlightedListRow();
    if (row < 1)
        return; // nothing highlighted: nothing is deleted
    const QString file = m_list.GetItemString(row, IndexColumn::file);
    if (MessageBox(QStringLiteral("확인"), EntryTexts::deleteQuestion(EntryTexts::labelOfFile(file)),
                   MessageIcon::Question, MessageButtons::YesNo, 2) != 1)
        return;
    if (m_results)
        m_results->model().keepFactsOf(file); // its rows there keep their sizes and dates
    const CatalogueEntries::Removal removal = m_entries.remove(row);
    if (removal.index.ok)
        followIndex();
    if (!removal.index.ok && !removal.index.cancelled)
        MessageBox(QStringLiteral("오류"), removal.index.error, MessageIcon::StopSign);
    else if (removal.fileDeleteFailed)
        MessageBox(QStringLiteral("오류"), EntryTexts::fileDeleteError(file), MessageIcon::StopSign);
}
