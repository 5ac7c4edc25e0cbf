#include "treeview/expandcollapse.h"

namespace {

// The record set reads columns 0-based; the layout's column numbers are 1-based.
constexpr int kOpen = TreeColumn::open - 1;
constexpr int kLevel = TreeColumn::level - 1;
constexpr int kChildren = TreeColumn::children - 1;

bool inTree(const RecordSet &tree, qint64 row)
{
    return row >= 1 && row <= tree.RowCount();
}

} // namespace

int collapseRows(RecordSet &tree, qint64 startRow)
{
    if (!inTree(tree, startRow))
        return 0;
    tree.SetItem(startRow, TreeColumn::open, qint64(0));
    const qint64 level = tree.numberAt(startRow, kLevel);
    const qint64 rows = tree.RowCount();
    if (startRow == rows)
        return 0;
    qint64 end = rows;
    for (qint64 i = startRow + 1; i <= rows; ++i) {
        if (tree.numberAt(i, kLevel) <= level) {
            end = i - 1;
            break;
        }
        if (tree.numberAt(i, kOpen) != 0)
            tree.SetItem(i, TreeColumn::open, qint64(0));
    }
    tree.SetDetailHeight(startRow + 1, end, 0);
    return 0;
}

int expandRow(RecordSet &tree, qint64 startRow)
{
    if (!inTree(tree, startRow))
        return 0;
    tree.SetItem(startRow, TreeColumn::open, qint64(1));
    const qint64 rows = tree.RowCount();
    if (startRow == rows)
        return 0;
    const qint64 level = tree.numberAt(startRow, kLevel);
    qint64 end = tree.Find(QStringLiteral("level <= ") + QString::number(level), startRow + 1, rows);
    if (end < 1)
        end = rows;
    const QString childTest = QStringLiteral("level = ") + QString::number(level + 1);
    qint64 i = tree.Find(childTest, startRow + 1, end);
    while (i >= 1) {
        tree.SetDetailHeight(i, i, kTreeRowHeight);
        ++i;
        if (i > end)
            break;
        i = tree.Find(childTest, i, end);
    }
    tree.Sort(); // the tree has no sort order, so the rows stay where they are
    return 0;
}

void expandAll(RecordSet &tree)
{
    const qint64 rows = tree.RowCount();
    for (qint64 i = 1; i <= rows; ++i) {
        tree.SetItem(i, TreeColumn::open, qint64(1));
        tree.SetDetailHeight(i, i, kTreeRowHeight);
    }
}

void foldToRoot(RecordSet &tree)
{
    collapseRows(tree, 1);
    expandRow(tree, 1);
}

bool hasBox(const RecordSet &tree, qint64 row)
{
    if (!inTree(tree, row))
        return false;
    if (tree.numberAt(row, kChildren) == 1)
        return true;
    return row < tree.RowCount() && tree.numberAt(row + 1, kLevel) > tree.numberAt(row, kLevel);
}
