// The catalogue list pane: selecting a disc, opening its tree, its menu and help.

#include "ui/w_list.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "ui/help.h"
#include "ui/m_popmenu.h"

#include <QMenu>
#include <QPushButton>

qint64 w_list::highlightedListRow() const
{
    for (qint64 row = 1; row <= m_list.RowCount(); ++row) {
        if (m_list.IsSelected(row))
            return row;
    }
    return 0;
}

void w_list::dw_list_clicked(int, int, qint64 row, const QString &)
{
    if (row < 1)
        return; // below the last row: the selection and il_row stay
    m_list.SelectRow(0, false);
    m_list.SelectRow(row, true);
    il_row = row;
}

void w_list::dw_list_doubleclicked(int, int, qint64 row, const QString &)
{
    if (row < 1 || busy())
        return; // a load never starts under a scan or another load
    openCatalogue(m_list.GetItemString(row, IndexColumn::file));
}

void w_list::dw_list_rbuttondown(int, int, qint64, const QString &)
{
    m_popmenu *menu = m_popmenu::create(*this);
    if (il_row < 1)
        return; // no row clicked yet in either grid
    m_tree.SetRow(il_row);
    const QPoint at = dw_list->viewport()->mapToGlobal(dw_list->lastPointer());
    if (popMenu)
        popMenu(menu->m_command, at);
    else
        menu->m_command->exec(at);
}

void w_list::dw_list_keydown(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_F1)
        gf_help(QString());
}

void w_list::ue_sort()
{
    m_list.SetSort(gs_sort_str);
    m_list.Sort();
}
