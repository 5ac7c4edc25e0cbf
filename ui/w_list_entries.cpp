// The entry commands of the list pane's menu: change an entry in the save dialog, delete one.

#include "ui/w_list.h"

#include "catalogue/entrytexts.h"
#include "catalogue/layouts.h"
#include "catalogue/utils.h"
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
    const CatalogueEntries::Removal removal = m_entries.remove(row);
    if (!removal.index.ok)
        MessageBox(QStringLiteral("오류"), removal.index.error, MessageIcon::StopSign);
    else if (removal.fileDeleteFailed)
        MessageBox(QStringLiteral("오류"), EntryTexts::fileDeleteError(file), MessageIcon::StopSign);
}
