// The results window's search and its way back into the tree, and the CSV exports of the list
// pane's menu.

#include "ui/w_list.h"

#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "catalogue/savedthumbnails.h"
#include "catalogue/settings.h"
#include "files/listbox.h"
#include "search/resultsearch.h"
#include "ui/csvfile.h"
#include "ui/indexpresenter.h"
#include "ui/w_results.h"
#include "widgets/messagebox.h"

#include <algorithm>
#include <memory>

#include <QLabel>
#include <QLineEdit>

void w_list::ue_results()
{
    if (busy())
        return; // one long operation at a time
    if (!m_results) {
        m_results = new w_results(this);
        // Every saved disc, in the order a search lists them (by catalogue file name).
        m_results->discsToSearch = [this](std::vector<QColor> &colours) {
            std::vector<qint64> rows;
            for (qint64 row = 1; row <= m_index.RowCount(); ++row)
                rows.push_back(row);
            std::stable_sort(rows.begin(), rows.end(), [this](qint64 a, qint64 b) {
                return listsBefore(m_index.GetItemString(a, IndexColumn::file),
                                   m_index.GetItemString(b, IndexColumn::file));
            });
            std::vector<ResultDisc> discs;
            colours.clear();
            for (const qint64 row : rows) {
                discs.push_back({m_index.GetItemString(row, IndexColumn::file),
                                 m_index.GetItemString(row, IndexColumn::name),
                                 m_index.GetItemString(row, IndexColumn::desc),
                                 m_index.GetItemString(row, IndexColumn::gubn)});
                colours.push_back(m_indexPresenter->textColor(m_index, row));
            }
            return discs;
        };
        m_results->openRow = [this](qsizetype row) { openResult(row); };
        connect(&m_index, &RecordSet::changed, m_results, &w_results::discsChanged);
        // The grid's thumbnails from the stores saved with the discs, read again after each new
        // search and each change of a disc, so that a disc scanned again shows its new pictures.
        auto saved = std::make_shared<SavedThumbnails>(m_entries.dataFolder());
        m_results->setThumbnailProvider(
            [saved](const QString &file, qint64 row) { return saved->imageOf(file, row); });
        connect(&m_results->model(), &QAbstractItemModel::modelReset, m_results,
                [saved] { saved->forget(); });
        connect(&m_index, &RecordSet::changed, m_results, [saved] { saved->forget(); });
    }
    m_results->searchFor(sle_search->text());
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
    const QString path = store.storedPathOf(storeRow);
    const QString name = store.storedNameOf(storeRow);
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
    // The find box holds the searched word and the tree is left as the find leaves it, every
    // branch open, so that ">>" goes on from the row and never lands in a folded branch.
    sle_find->setText(m_results->findText());
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
