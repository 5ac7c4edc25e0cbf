#include "treeview/expandcollapse.h"

namespace {

struct TreeColumns {
    explicit TreeColumns(const Layout &layout)
        : open(layout.columnIndex(u"open")), level(layout.columnIndex(u"level")),
          children(layout.columnIndex(u"children"))
    {
    }
    int open, level, children; // 0-based
};

const TreeColumns &columnsOf(const RecordSet &tree)
{
    static const TreeColumns columns(tree.layout());
    return columns;
}

bool inTree(const RecordSet &tree, qint64 row)
{
    return row >= 1 && row <= tree.RowCount();
}

} // namespace

int collapseRows(RecordSet &tree, qint64 startRow)
{
    if (!inTree(tree, startRow))
        return 0;
    const TreeColumns &c = columnsOf(tree);
    tree.SetItem(startRow, c.open + 1, qint64(0));
    const qint64 level = tree.numberAt(startRow, c.level);
    const qint64 rows = tree.RowCount();
    if (startRow == rows)
        return 0;
    qint64 end = rows;
    for (qint64 i = startRow + 1; i <= rows; ++i) {
        if (tree.numberAt(i, c.level) <= level) {
            end = i - 1;
            break;
        }
        if (tree.numberAt(i, c.open) != 0)
            tree.SetItem(i, c.open + 1, qint64(0));
    }
    tree.SetDetailHeight(startRow + 1, end, 0);
    return 0;
}

int expandRow(RecordSet &tree, qint64 startRow)
{
    if (!inTree(tree, startRow))
        return 0;
    const TreeColumns &c = columnsOf(tree);
    tree.SetItem(startRow, c.open + 1, qint64(1));
    const qint64 rows = tree.RowCount();
    if (startRow == rows)
        return 0;
    const qint64 level = tree.numberAt(startRow, c.level);
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
    const TreeColumns &c = columnsOf(tree);
    const qint64 rows = tree.RowCount();
    for (qint64 i = 1; i <= rows; ++i) {
        tree.SetItem(i, c.open + 1, qint64(1));
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
    const TreeColumns &c = columnsOf(tree);
    if (tree.numberAt(row, c.children) == 1)
        return true;
    return row < tree.RowCount() && tree.numberAt(row + 1, c.level) > tree.numberAt(row, c.level);
}
