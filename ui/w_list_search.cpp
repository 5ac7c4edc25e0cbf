// The search across saved discs and the find in the open tree.

#include "ui/w_list.h"

#include "catalogue/settings.h"
#include "search/search.h"
#include "search/treefind.h"
#include "ui/help.h"
#include "widgets/keyfilter.h"
#include "widgets/messagebox.h"
#include "widgets/yield.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void w_list::sle_search_keydown(int key, Qt::KeyboardModifiers keyflags)
{
    if (isEnterKey(key) && keyflags.testFlag(Qt::ControlModifier)) {
        // The disc list fills as Enter fills it, then the results window searches those discs.
        QMetaObject::invokeMethod(
            this,
            [this] {
                cb_search->click();
                ue_results();
            },
            Qt::QueuedConnection);
    } else if (isEnterKey(key))
        QMetaObject::invokeMethod(cb_search, &QPushButton::click, Qt::QueuedConnection);
    else if (key == Qt::Key_F1)
        gf_help(QString());
}

void w_list::cb_search_clicked()
{
    if (busy())
        return; // no search under a scan or a load
    while (Yield()) {
    }
    if (ib_cancel)
        return;
    catchUpWithIndex();
    {
        LongOperation operation(*this);
        showFindBox(false);
        const QString text = sle_search->text();
        m_list.Reset();
        dw_list->SetRedraw(false);
        m_progress.setPosition(0);
        HookContext hooks = longOperationHooks();
        const SearchOutcome found =
            searchCatalogues(hooks, lb_file->model(), m_index, dataFolderPath(), text);
        for (const qint64 row : found.indexRows)
            m_index.RowsCopy(row, row, m_list, m_list.RowCount() + 1);
        m_progress.setPosition(0);
        st_progress->clear();
    }
    dw_list->SetRedraw(true);
}

void w_list::showFound(qint64 row)
{
    m_tree.SelectRow(0, false);
    if (row <= 0)
        return;
    dw_1->ScrollToRow(row);
    m_tree.SelectRow(row, true);
    showRowFacts(row);
}

void w_list::sle_find_keydown(int key, Qt::KeyboardModifiers)
{
    if (!isEnterKey(key) || sle_find->text().isEmpty())
        return;
    const qint64 row = findNameRow(m_tree, sle_find->text(), 1, m_tree.RowCount());
    if (row > 0)
        openWholeTree(); // so that the row found is not hidden in a branch
    showFound(row);
    if (row <= 0)
        MessageBox(QStringLiteral("확인"), QStringLiteral("일치하는 단어를 찾을 수 없습니다."));
}

void w_list::cb_next_clicked()
{
    if (sle_find->text().isEmpty())
        return;
    const qint64 rows = m_tree.RowCount();
    qint64 first = 1;
    while (first <= rows && !m_tree.IsSelected(first))
        ++first;
    // With nothing highlighted the search starts past the end and finds nothing.
    const qint64 start = first <= rows ? first + 1 : rows + 2;
    const qint64 row = findNameRow(m_tree, sle_find->text(), start, rows);
    showFound(row);
    if (row <= 0)
        MessageBox(QStringLiteral("확인"), QStringLiteral("더 이상 일치하는 단어를 찾을 수 없습니다."));
}

void w_list::cb_next_rbuttondown()
{
    // The box that appears is the one the user means to type in.
    coverSearchBox(sle_find->isHidden());
    visibleBox()->setFocus();
}
