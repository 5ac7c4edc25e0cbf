#include "records/recordset.h"

#include "records/recordset_columns.h"

#include <QMetaObject>

RecordSet::RecordSet(const Layout &layout, QObject *parent) : QObject(parent), m_layout(layout)
{
    for (int c = 0; c < layout.columnCount(); ++c) {
        const ColumnDef &def = layout.column(c);
        if (def.type == ColumnType::Text) {
            m_columnRefs.push_back({true, int(m_texts.size())});
            m_texts.push_back(std::make_unique<TextColumn>(def.repeats));
        } else {
            m_columnRefs.push_back({false, int(m_numbers.size())});
            m_numbers.push_back(std::make_unique<NumberColumn>());
        }
    }
}

RecordSet::~RecordSet() = default;

void RecordSet::noteChange()
{
    if (m_notifyPending)
        return;
    m_notifyPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_notifyPending = false;
            emit changed();
        },
        Qt::QueuedConnection);
}

QStringView RecordSet::textAt(qint64 row, int column) const
{
    const ColumnRef ref = m_columnRefs[size_t(column)];
    if (!ref.isText)
        return {};
    return m_texts[size_t(ref.index)]->at(row - 1);
}

qint64 RecordSet::numberAt(qint64 row, int column) const
{
    const ColumnRef ref = m_columnRefs[size_t(column)];
    if (ref.isText)
        return 0;
    return m_numbers[size_t(ref.index)]->at(row - 1);
}

int RecordSet::columnNumber(const QString &column) const
{
    return m_layout.columnIndex(column);
}

void RecordSet::reserve(qint64 rows)
{
    for (auto &text : m_texts)
        text->cells.reserve(size_t(rows));
    for (auto &number : m_numbers)
        number->each([rows](auto &v) { v.reserve(size_t(rows)); });
}

void RecordSet::appendBlankRows(qint64 count)
{
    for (auto &text : m_texts)
        text->cells.resize(text->cells.size() + size_t(count), 0);
    for (auto &number : m_numbers)
        number->each([count](auto &v) { v.resize(v.size() + size_t(count), 0); });
    m_heights.insert(m_rows, count, m_layout.rowHeight());
    m_selected.resize(m_selected.size() + size_t(count), false);
    m_rows += count;
    if (m_currentRow == 0 && m_rows > 0)
        m_currentRow = 1;
}

qint64 RecordSet::InsertRow(qint64 before)
{
    if (before < 0)
        return -1;
    appendBlankRows(1);
    if (before == 0 || before >= m_rows) {
        noteChange();
        return m_rows;
    }
    // Rotate the new last row into place.
    std::vector<qint64> order(static_cast<size_t>(m_rows));
    for (qint64 i = 0; i < m_rows; ++i)
        order[size_t(i)] = i < before - 1 ? i : (i == before - 1 ? m_rows - 1 : i - 1);
    applyOrder(order);
    noteChange();
    return before;
}

int RecordSet::DeleteRow(qint64 row)
{
    // Only the row named is ever deleted: row 0 is no row, not the current one.
    if (!validRow(row))
        return -1;
    const size_t at = size_t(row - 1);
    for (auto &text : m_texts)
        text->cells.erase(text->cells.begin() + qsizetype(at));
    for (auto &number : m_numbers)
        number->each([at](auto &v) { v.erase(v.begin() + qsizetype(at)); });
    m_heights.erase(row - 1, 1);
    m_selected.erase(m_selected.begin() + qsizetype(at));
    --m_rows;
    // The current row stays on its record when a row above it goes.
    if (row < m_currentRow)
        --m_currentRow;
    m_currentRow = std::min(m_currentRow, m_rows);
    noteChange();
    return 1;
}

int RecordSet::Reset()
{
    for (auto &text : m_texts)
        text->clear();
    for (auto &number : m_numbers)
        *number = NumberColumn();
    m_heights.clear();
    m_selected.clear();
    m_rows = 0;
    m_currentRow = 0;
    noteChange();
    return 1;
}

QString RecordSet::GetItemString(qint64 row, const QString &column) const
{
    return GetItemString(row, columnNumber(column) + 1);
}

QString RecordSet::GetItemString(qint64 row, int column) const
{
    if (!validRow(row) || column < 1 || column > m_layout.columnCount())
        return {};
    const ColumnRef ref = m_columnRefs[size_t(column - 1)];
    if (ref.isText)
        return m_texts[size_t(ref.index)]->at(row - 1).toString();
    return QString::number(m_numbers[size_t(ref.index)]->at(row - 1));
}

qint64 RecordSet::GetItemNumber(qint64 row, const QString &column) const
{
    return GetItemNumber(row, columnNumber(column) + 1);
}

qint64 RecordSet::GetItemNumber(qint64 row, int column) const
{
    const int c = column - 1;
    if (!validRow(row) || c < 0 || c >= m_layout.columnCount())
        return 0;
    const ColumnRef ref = m_columnRefs[size_t(c)];
    return ref.isText ? m_texts[size_t(ref.index)]->at(row - 1).toLongLong() : numberAt(row, c);
}

bool RecordSet::setText(qint64 row, int column, QStringView value)
{
    TextColumn &text = *m_texts[size_t(m_columnRefs[size_t(column)].index)];
    const auto handle = text.store(value);
    if (!handle)
        return false;
    text.cells[size_t(row - 1)] = *handle;
    return true;
}

bool RecordSet::setNumber(qint64 row, int column, qint64 value)
{
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return false;
    m_numbers[size_t(m_columnRefs[size_t(column)].index)]->set(row - 1, qint32(value));
    return true;
}

int RecordSet::SetItem(qint64 row, const QString &column, const QString &value)
{
    return SetItem(row, columnNumber(column) + 1, value);
}

int RecordSet::SetItem(qint64 row, const QString &column, qint64 value)
{
    return SetItem(row, columnNumber(column) + 1, value);
}

int RecordSet::SetItem(qint64 row, int column, const QString &value)
{
    if (!validRow(row) || column < 1 || column > m_layout.columnCount())
        return -1;
    const int c = column - 1;
    bool ok = true;
    if (m_columnRefs[size_t(c)].isText) {
        ok = setText(row, c, value);
    } else {
        const QString trimmed = value.trimmed();
        const qint64 number = trimmed.isEmpty() ? 0 : trimmed.toLongLong(&ok);
        ok = ok && setNumber(row, c, number);
    }
    if (ok)
        noteChange();
    return ok ? 1 : -1;
}

int RecordSet::SetItem(qint64 row, int column, qint64 value)
{
    if (!validRow(row) || column < 1 || column > m_layout.columnCount())
        return -1;
    const int c = column - 1;
    const bool ok =
        m_columnRefs[size_t(c)].isText ? setText(row, c, QString::number(value)) : setNumber(row, c, value);
    if (ok)
        noteChange();
    return ok ? 1 : -1;
}

int RecordSet::SelectRow(qint64 row, bool on)
{
    if (row == 0) {
        std::fill(m_selected.begin(), m_selected.end(), on);
    } else if (validRow(row)) {
        m_selected[size_t(row - 1)] = on;
    } else {
        return -1;
    }
    noteChange();
    return 1;
}

bool RecordSet::IsSelected(qint64 row) const
{
    return validRow(row) && m_selected[size_t(row - 1)];
}

int RecordSet::SetRow(qint64 row)
{
    if (!validRow(row))
        return -1;
    m_currentRow = row;
    noteChange();
    return 1;
}

int RecordSet::SetDetailHeight(qint64 first, qint64 last, int height)
{
    if (height < 0)
        return -1;
    first = std::max<qint64>(first, 1);
    last = std::min(last, m_rows);
    if (first > last)
        return 1;
    m_heights.set(first - 1, last - 1, std::min(height, 0xFFFF));
    noteChange();
    return 1;
}

int RecordSet::detailHeight(qint64 row) const
{
    return validRow(row) ? m_heights.height(row - 1) : 0;
}
