#include "records/layout.h"

Layout::Layout(QString name, std::vector<ColumnDef> columns, int rowHeight)
    : m_name(std::move(name)), m_columns(std::move(columns)), m_rowHeight(rowHeight)
{
}

int Layout::columnIndex(QStringView name) const
{
    for (int i = 0; i < columnCount(); ++i) {
        if (name.compare(m_columns[size_t(i)].name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
