// The results window's search and its way back into the tree, and the CSV exports of the list
// pane's menu.

#include "ui/w_list.h"

#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "search/resultsearch.h"
#include "ui/csvfile.h"
#include "ui/indexpresenter.h"
#include "ui/w_results.h"
#include "widgets/messagebox.h"

#include <QLabel>
#include <QLineEdit>

void w_list::ue_results()
{
    if (busy())
        return; // one long operation at a time
    if (!m_results) {
        m_results = new w_results(this);
        m_results->cancelSearch = [this] { ib_cancel = true; };
        m_results->openRow = [this](qsizetype row) { openResult(row); };
    }
    std::vector<ResultDisc> discs;
    std::vector<QColor> colours;
    std::vector<SideFacts> facts;
    for (qint64 row = 1; row <= m_list.RowCount(); ++row) {
        discs.push_back(
            {m_list.GetItemString(row, IndexColumn::file), m_list.GetItemString(row, IndexColumn::name),
             m_list.GetItemString(row, IndexColumn::desc), m_list.GetItemString(row, IndexColumn::gubn)});
        colours.push_back(m_indexPresenter->textColor(m_list, row));
        facts.push_back(readSideFacts(dataFolderPath(), discs.back().file));
    }
    w_results &window = *m_results;
    const QString text = sle_search->text();
    window.start(text, std::move(discs), std::move(colours), std::move(facts));
    bool cancelled = false;
    {
        LongOperation operation(*this);
        m_progress.setPosition(0);
        HookContext hooks = longOperationHooks();
        cancelled =
            searchResults(hooks, window.model().store(), dataFolderPath(), text,
                          [&window](qsizetype first, qsizetype count) { window.rowsFound(first, count); })
                .cancelled;
        m_progress.setPosition(0);
        st_progress->clear();
    }
    window.finish(cancelled);
}

void w_list::openResult(qsizetype storeRow)
{
    if (busy() || !m_results)
        return;
    catchUpWithIndex();
    const QString problem = resultDiscProblem(storeRow);
    if (!problem.isEmpty()) {
        MessageBox(QStringLiteral("확인"), problem, MessageIcon::Exclamation);
        return; // the tree on screen stays as it is
    }
    const ResultStore &store = m_results->model().store();
    const QString file = store.discs()[size_t(store.discOf(storeRow))].file;
    const qint64 line = store.lineOf(storeRow);
    const QString path = store.pathOf(storeRow);
    const QString name = store.nameOf(storeRow).toString();
    openCatalogue(file, store.discs()[size_t(store.discOf(storeRow))].label);
    // The line is the row, unless the load skipped a broken line before it: then the first row
    // of that path and name.
    const auto isRow = [&](qint64 row) {
        return m_tree.GetItemString(row, TreeColumn::name) == name &&
               m_tree.GetItemString(row, TreeColumn::fullname) == path;
    };
    qint64 row = line <= m_tree.RowCount() && isRow(line) ? line : 0;
    for (qint64 r = 1; row == 0 && r <= m_tree.RowCount(); ++r)
        row = isRow(r) ? r : 0;
    // The find box holds the searched text and the tree is left as the find leaves it, every
    // branch open, so that ">>" goes on from the row and never lands in a folded branch.
    sle_find->setText(m_results->text());
    if (row > 0)
        openWholeTree();
    showFound(row);
    activateWindow();
    raise();
}

void w_list::ue_export_list()
{
    exportCsv(this, QStringLiteral("디스크 목록.csv"),
              [this](const QString &path) { return exportDiscList(path, m_list, dataFolderPath()); });
}

void w_list::ue_export_tree()
{
    exportCsv(this, QStringLiteral("트리.csv"),
              [this](const QString &path) { return exportTree(path, m_tree, m_treeFacts); });
}
