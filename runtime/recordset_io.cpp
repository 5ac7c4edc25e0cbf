#include "runtime/recordset.h"

#include "runtime/recordset_columns.h"

#include <array>
#include <limits>

namespace {

constexpr int kMaxColumns = 64;

// A whole number in the int32 range, surrounded by optional spaces; empty reads as 0.
std::optional<qint32> parseWholeNumber(QStringView field)
{
    field = field.trimmed();
    if (field.isEmpty())
        return 0;
    qsizetype i = 0;
    const bool negative = field[0] == u'-';
    if (negative || field[0] == u'+')
        ++i;
    if (i == field.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < field.size(); ++i) {
        const char16_t c = field[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

// Appends `value` with every tab, line break or other control character turned into a
// space, so that the line reads back as the same fields.
void appendField(QString &line, QStringView value)
{
    const qsizetype start = line.size();
    line.append(value);
    QChar *data = line.data() + start;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (isControl(data[i].unicode()))
            data[i] = u' ';
    }
}

void appendNumber(QString &line, qint64 value)
{
    char16_t digits[24];
    int n = 0;
    const bool negative = value < 0;
    quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    do {
        digits[n++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        line.append(u'-');
    while (n > 0)
        line.append(QChar(digits[--n]));
}

} // namespace

bool RecordSet::importLine(QStringView line)
{
    const int columns = std::min(m_layout.columnCount(), kMaxColumns);
    std::array<QStringView, kMaxColumns> fields;
    std::array<qint32, kMaxColumns> numbers{};
    qsizetype start = 0;
    for (int c = 0; c < columns; ++c) {
        if (start > line.size()) {
            fields[size_t(c)] = {};
            continue;
        }
        qsizetype tab = line.indexOf(u'\t', start);
        if (tab < 0)
            tab = line.size();
        fields[size_t(c)] = line.sliced(start, tab - start);
        start = tab + 1;
    }
    for (int c = 0; c < columns; ++c) {
        if (m_columnRefs[size_t(c)].isText)
            continue;
        const auto number = parseWholeNumber(fields[size_t(c)]);
        if (!number)
            return false;
        numbers[size_t(c)] = *number;
    }
    std::array<quint32, kMaxColumns> handles{};
    for (int c = 0; c < columns; ++c) {
        const ColumnRef ref = m_columnRefs[size_t(c)];
        if (!ref.isText)
            continue;
        const auto handle = m_texts[size_t(ref.index)]->store(fields[size_t(c)]);
        if (!handle)
            return false;
        handles[size_t(c)] = *handle;
    }
    for (int c = 0; c < columns; ++c) {
        const ColumnRef ref = m_columnRefs[size_t(c)];
        if (ref.isText)
            m_texts[size_t(ref.index)]->cells.push_back(handles[size_t(c)]);
        else
            m_numbers[size_t(ref.index)]->push(numbers[size_t(c)]);
    }
    m_heights.insert(m_rows, 1, m_layout.rowHeight());
    m_selected.push_back(false);
    ++m_rows;
    if (m_currentRow == 0)
        m_currentRow = 1;
    return true;
}

qint64 RecordSet::ImportString(QStringView text)
{
    qint64 added = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = text.sliced(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty() && importLine(line))
            ++added;
        start = end + 1;
    }
    if (added > 0)
        noteChange();
    return added;
}

FileResult RecordSet::SaveAs(const QString &path) const
{
    return writeTextFileAtomically(path, [this](LineSink &sink) {
        QString line;
        for (qint64 row = 1; row <= m_rows; ++row) {
            line.clear();
            for (int c = 0; c < m_layout.columnCount(); ++c) {
                if (c > 0)
                    line.append(u'\t');
                const ColumnRef ref = m_columnRefs[size_t(c)];
                if (ref.isText)
                    appendField(line, m_texts[size_t(ref.index)]->at(row - 1));
                else
                    appendNumber(line, m_numbers[size_t(ref.index)]->at(row - 1));
            }
            if (!sink.writeLine(line))
                return;
        }
    });
}

int RecordSet::RowsCopy(qint64 first, qint64 last, RecordSet &target, qint64 before) const
{
    if (&target.m_layout != &m_layout || !validRow(first) || !validRow(last) || first > last || before < 1)
        return -1;
    const qint64 count = last - first + 1;
    const qint64 oldRows = target.m_rows;
    target.appendBlankRows(count);
    for (qint64 i = 0; i < count; ++i) {
        for (int c = 0; c < m_layout.columnCount(); ++c) {
            if (m_columnRefs[size_t(c)].isText)
                target.setText(oldRows + 1 + i, c, textAt(first + i, c));
            else
                target.setNumber(oldRows + 1 + i, c, numberAt(first + i, c));
        }
    }
    if (before <= oldRows) {
        // Move the appended block in front of `before`.
        std::vector<qint64> order;
        order.reserve(size_t(target.m_rows));
        for (qint64 i = 0; i < before - 1; ++i)
            order.push_back(i);
        for (qint64 i = 0; i < count; ++i)
            order.push_back(oldRows + i);
        for (qint64 i = before - 1; i < oldRows; ++i)
            order.push_back(i);
        target.applyOrder(order);
    }
    target.noteChange();
    return 1;
}
