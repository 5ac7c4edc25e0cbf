#pragma once

#include "catalogue/sidefacts.h"
#include "records/recordset.h"
#include "search/resultstore.h"

#include <QAbstractTableModel>
#include <QColor>
#include <vector>

// The rows of a results search for a Qt item view: the store itself, shown through an order of
// row numbers once sorted, so a million rows cost a few bytes each and no item objects. Rows the
// search adds are shown when rowsFound() is called for them.
class ResultsModel final : public QAbstractTableModel {
  public:
    // The columns from Taken on say what a picture, a song or a video is: hidden until the user
    // turns them on.
    enum Column : int {
        Label,
        Path,
        Name,
        Size,
        Date,
        Taken,
        Camera,
        Pixels,
        Artist,
        Album,
        Title,
        Length,
        ColumnCount
    };
    static constexpr int kFirstMediaColumn = Taken;

    explicit ResultsModel(QObject *parent = nullptr);

    // Empties the model for a new search over `discs`, coloured as the list pane colours them;
    // the rows it held go to `old` when given, to be freed where freeing a million costs no key.
    void start(std::vector<ResultDisc> discs, std::vector<QColor> colours, std::vector<SideFacts> facts,
               ResultStore *old = nullptr);
    void rowsFound(qsizetype first, qsizetype count);
    // Rows of a search of the same discs, taken from its own store, after those shown.
    void appendRows(ResultStore &&rows);

    [[nodiscard]] ResultStore &store() { return m_store; }
    [[nodiscard]] const ResultStore &store() const { return m_store; }
    // The store's row shown at `row` of the view.
    [[nodiscard]] qsizetype storeRow(int row) const;
    // The discs as the index holds them now: a disc whose entry is gone has its rows greyed (its
    // file, renamed from `renamedFrom` to `renamedTo`, first followed).
    void followIndex(const RecordSet &index, const QString &renamedFrom = {}, const QString &renamedTo = {});
    [[nodiscard]] bool discGone(qsizetype storeRow) const { return m_gone[size_t(m_store.discOf(storeRow))]; }
    // Reads now the sizes and dates of the disc whose catalogue file is `file`, which are otherwise
    // read when first shown: its rows keep them once the disc is deleted.
    void keepFactsOf(const QString &file);
    // The shown order, empty while it is the store's own.
    [[nodiscard]] const std::vector<quint32> &order() const { return m_order; }
    // The disc's catalogue file and the tree row a store row is, 0 when the disc's side file does
    // not describe its catalogue file now.
    [[nodiscard]] qint64 treeRowOf(qsizetype storeRow) const;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

  private:
    [[nodiscard]] QString text(qsizetype row, int column) const;
    [[nodiscard]] RowFacts facts(qsizetype row) const;
    [[nodiscard]] std::optional<MediaFacts> media(qsizetype row) const;
    [[nodiscard]] QString mediaText(const std::optional<MediaFacts> &facts, int column) const;
    [[nodiscard]] bool less(int column, quint32 a, quint32 b) const;

    ResultStore m_store;
    std::vector<QColor> m_colours;
    std::vector<SideFacts> m_facts;
    std::vector<bool> m_gone; // per disc
    std::vector<quint32> m_order;
    int m_shown = 0;
};
