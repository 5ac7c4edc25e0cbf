// The entry commands of the list pane's menu: change an entry in the save dialog, delete one.

#include "ui/w_list.h"

#include "app/utils.h"
#include "catalogue/layouts.h"
#include "runtime/messagebox.h"
#include "ui/w_save.h"

void w_list::ue_modify()
{
    // The disc highlighted in the list, whatever was clicked in the tree since.
    const qint64 row = highlightedListRow();
    if (row < 1)
        return;
    QStringList fields;
    for (int column : {IndexColumn::file, IndexColumn::desc, IndexColumn::name, IndexColumn::gubn})
        fields << gf_isnull(m_list.GetItemString(row, column));
    w_save::OpenWithParm(this, fields.join(u'^'));
}

void w_list::ue_delete()
{
}
