#include "search/treefind.h"

#include "catalogue/layouts.h"
#include "search/textforms.h"

qint64 findNameRow(const RecordSet &tree, const QString &text, qint64 first, qint64 last)
{
    const QString wanted = composed(text);
    for (qint64 row = std::max<qint64>(first, 1); row <= std::min(last, tree.RowCount()); ++row) {
        if (composed(tree.GetItemString(row, TreeColumn::name)).contains(wanted))
            return row;
    }
    return 0;
}
