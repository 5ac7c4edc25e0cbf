#include "records/recordset.h"

#include "records/recordset_columns.h"

#include <numeric>

qint64 RecordSet::Find(const QString &expression, qint64 first, qint64 last) const
{
    if (expression != m_findText || !m_findExpression.isValid()) {
        m_findError = {};
        m_findExpression = Expression::compile(expression, m_layout, &m_findError);
        m_findText = expression;
    }
    if (!m_findExpression.isValid())
        return -qint64(std::max(1, int(m_findError.code)));
    first = std::max<qint64>(first, 1);
    last = std::min(last, m_rows);
    EvalContext context;
    context.rows = this;
    for (qint64 row = first; row <= last; ++row) {
        context.row = row;
        if (m_findExpression.isTrue(context))
            return row;
    }
    return 0;
}

int RecordSet::SetSort(const QString &sortText)
{
    std::vector<std::pair<int, bool>> keys;
    const QStringList parts = sortText.split(u',', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QStringList words = part.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const int column = m_layout.columnIndex(words[0]);
        if (column < 0 || words.size() > 2)
            return -1;
        bool descending = false;
        if (words.size() == 2) {
            const QString direction = words[1].toLower();
            if (direction != u"a" && direction != u"d")
                return -1;
            descending = direction == u"d";
        }
        keys.emplace_back(column, descending);
    }
    m_sortKeys = std::move(keys);
    return 1;
}

int RecordSet::Sort()
{
    if (m_sortKeys.empty() || m_rows < 2)
        return 1;
    std::vector<qint64> order(static_cast<size_t>(m_rows));
    std::iota(order.begin(), order.end(), qint64(0));
    std::stable_sort(order.begin(), order.end(), [this](qint64 a, qint64 b) {
        for (const auto &[column, descending] : m_sortKeys) {
            int cmp;
            if (m_columnRefs[size_t(column)].isText) {
                cmp = textAt(a + 1, column).compare(textAt(b + 1, column));
            } else {
                const qint64 x = numberAt(a + 1, column), y = numberAt(b + 1, column);
                cmp = x < y ? -1 : (x > y ? 1 : 0);
            }
            if (cmp != 0)
                return descending ? cmp > 0 : cmp < 0;
        }
        return false;
    });
    applyOrder(order);
    noteChange();
    return 1;
}

void RecordSet::applyOrder(const std::vector<qint64> &order)
{
    for (auto &text : m_texts) {
        std::vector<quint32> moved(order.size());
        for (size_t i = 0; i < order.size(); ++i)
            moved[i] = text->cells[size_t(order[i])];
        text->cells = std::move(moved);
    }
    for (auto &number : m_numbers) {
        number->each([&order](auto &values) {
            std::remove_reference_t<decltype(values)> moved(order.size());
            for (size_t i = 0; i < order.size(); ++i)
                moved[i] = values[size_t(order[i])];
            values = std::move(moved);
        });
    }
    std::vector<bool> selected(order.size());
    qint64 current = m_currentRow;
    for (size_t i = 0; i < order.size(); ++i) {
        selected[i] = m_selected[size_t(order[i])];
        if (order[i] == m_currentRow - 1)
            current = qint64(i) + 1;
    }
    m_selected = std::move(selected);
    m_currentRow = current;
    m_heights.permute(order);
}
