// The catalogue list pane: selecting a disc, opening its tree, its menu and help.

#include "ui/w_list.h"

#include "catalogue/datafiles.h"
#include "catalogue/datafolder.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "ui/help.h"
#include "ui/m_popmenu.h"
#include "widgets/keyfilter.h"
#include "widgets/messagebox.h"

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
    openCatalogue(m_list.GetItemString(row, IndexColumn::file), m_list.GetItemString(row, IndexColumn::name));
}

void w_list::dw_list_rbuttondown(int, int, qint64, const QString &)
{
    popListMenu(dw_list->lastPointer());
}

void w_list::popListMenu(QPoint viewportPoint)
{
    m_popmenu *menu = m_popmenu::create(*this);
    if (il_row < 1)
        return; // no row clicked yet in either grid
    m_tree.SetRow(il_row);
    const QPoint at = dw_list->viewport()->mapToGlobal(viewportPoint);
    if (popMenu)
        popMenu(menu->m_command, at);
    else
        menu->m_command->exec(at);
}

void w_list::dw_list_keydown(int key, Qt::KeyboardModifiers keyflags)
{
    if (key == Qt::Key_F1) {
        gf_help(QString());
        return;
    }
    // The keys act on the current row, the one the focus frame shows, as the mouse acts on its row.
    const qint64 row = m_list.GetRow();
    if (row < 1 || row > m_list.RowCount())
        return;
    if (isEnterKey(key)) {
        dw_list_doubleclicked(0, 0, row, QStringLiteral("name"));
    } else if (key == Qt::Key_Menu || (key == Qt::Key_F10 && keyflags & Qt::ShiftModifier)) {
        dw_list_clicked(0, 0, row, QStringLiteral("name"));
        popListMenu(dw_list->rowRect(row).bottomLeft());
    } else if (key == Qt::Key_Delete) {
        dw_list_clicked(0, 0, row, QStringLiteral("name"));
        ue_delete();
    } else if (key == Qt::Key_R && keyflags & Qt::ControlModifier) {
        dw_list_clicked(0, 0, row, QStringLiteral("name"));
        ue_rescan();
    }
}

void w_list::ue_sort()
{
    m_list.SetSort(gs_sort_str);
    m_list.Sort();
}
