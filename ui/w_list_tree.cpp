// The folder tree grid: opening and closing branches by box click, double-click and
// the expand button.

#include "ui/w_list.h"

#include "treeview/expandcollapse.h"
#include "ui/help.h"
#include "widgets/keyfilter.h"

#include <QApplication>
#include <QPushButton>

namespace {
// The wait pointer for the life of a scope.
struct WaitPointer {
    WaitPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitPointer() { QApplication::restoreOverrideCursor(); }
};

const QString kExpandCaption = QStringLiteral("확장");
const QString kCollapseCaption = QStringLiteral("축소");
} // namespace

int w_list::wf_collapse_rows(DataGrid &adw_grid, qint64 al_startrow)
{
    WaitPointer wait;
    return collapseRows(*adw_grid.recordSet(), al_startrow);
}

int w_list::wf_expand_row(DataGrid &adw_grid, qint64 al_startrow)
{
    WaitPointer wait;
    return expandRow(*adw_grid.recordSet(), al_startrow);
}

void w_list::dw_1_clicked(int, int, qint64 row, const QString &dwo)
{
    if (row < 1 || dwo.isEmpty())
        return;
    dw_1->SetRedraw(false);
    // The tree remembers its own selected row: il_row may name a row of the catalogue list.
    if (m_selectedTreeRow >= 1 && m_selectedTreeRow != row)
        m_tree.SetItem(m_selectedTreeRow, TreeColumn::selected, qint64(0));
    m_tree.SetItem(row, TreeColumn::selected, qint64(1));
    il_row = row;
    m_selectedTreeRow = row;
    if (dwo == u"clickbox" && hasBox(m_tree, row)) {
        if (m_tree.GetItemNumber(row, TreeColumn::open) == 1)
            wf_collapse_rows(*dw_1, row);
        else
            wf_expand_row(*dw_1, row);
    }
    dw_1->SetRedraw(true);
    showRowFacts(row);
}

void w_list::dw_1_doubleclicked(int, int, qint64 row, const QString &dwo)
{
    if (row < 1 || dwo.isEmpty())
        return;
    dw_1->SetRedraw(false);
    if (m_tree.GetItemNumber(row, TreeColumn::open) == 1)
        wf_collapse_rows(*dw_1, row);
    else
        wf_expand_row(*dw_1, row);
    dw_1->SetRedraw(true);
}

void w_list::dw_1_keydown(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_F1) {
        gf_help(QString());
        return;
    }
    const qint64 row = m_tree.GetRow();
    if (row < 1 || row > m_tree.RowCount() || m_tree.detailHeight(row) == 0)
        return;
    const bool open = hasBox(m_tree, row) && m_tree.GetItemNumber(row, TreeColumn::open) == 1;
    const bool closed = hasBox(m_tree, row) && !open;
    if (isEnterKey(key)) {
        dw_1_doubleclicked(0, 0, row, QStringLiteral("name"));
    } else if ((key == Qt::Key_Right || key == Qt::Key_Plus) && closed) {
        dw_1_doubleclicked(0, 0, row, QStringLiteral("name"));
    } else if ((key == Qt::Key_Left || key == Qt::Key_Minus) && open) {
        dw_1_doubleclicked(0, 0, row, QStringLiteral("name"));
    } else if (key == Qt::Key_Left) {
        // The folder holding the row: the nearest row above it one level up.
        const qint64 level = m_tree.GetItemNumber(row, TreeColumn::level);
        for (qint64 above = row - 1; above >= 1; --above) {
            if (m_tree.GetItemNumber(above, TreeColumn::level) < level) {
                dw_1->ScrollToRow(above);
                break;
            }
        }
    }
}

void w_list::openWholeTree()
{
    if (cb_expand->text() == kExpandCaption)
        cb_expand_clicked();
}

void w_list::cb_expand_clicked()
{
    WaitPointer wait;
    dw_1->SetRedraw(false);
    if (cb_expand->text() == kExpandCaption) {
        cb_expand->setText(kCollapseCaption);
        expandAll(m_tree);
    } else {
        cb_expand->setText(kExpandCaption);
        wf_collapse_rows(*dw_1, 1);
        wf_expand_row(*dw_1, 1);
    }
    dw_1->SetRedraw(true);
}
