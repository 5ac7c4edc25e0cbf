#include "records/recordset.h"

#include "records/recordset_columns.h"

#include <algorithm>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr int kMaxColumns = 16; // the widest layout has 9

// A whole number in the int32 range, surrounded by optional spaces; empty reads as 0.
std::optional<qint32> parseWholeNumber(QStringView field)
{
    if (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()))
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

// Position of the first tab at or after `from`, or `size`. Eight characters at a time where
// the processor allows: a million-line catalogue is split into nine million fields on load.
qsizetype findTab(const char16_t *data, qsizetype from, qsizetype size)
{
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i tab = _mm_set1_epi16(u'\t');
    for (; i + 8 <= size; i += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(chunk, tab));
        if (mask != 0)
            return i + qCountTrailingZeroBits(uint(mask)) / 2;
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == u'\t')
            return i;
    }
    return size;
}

// Splits `line` at its tabs into the first `columns` fields; missing fields are empty and
// fields past the layout are ignored.
void splitFields(QStringView line, int columns, QStringView *fields)
{
    const char16_t *data = line.utf16();
    const qsizetype size = line.size();
    qsizetype start = 0;
    for (int c = 0; c < columns; ++c) {
        if (start > size) {
            fields[c] = QStringView();
            continue;
        }
        const qsizetype tab = findTab(data, start, size);
        fields[c] = QStringView(data + start, tab - start);
        start = tab + 1;
    }
}

} // namespace

bool RecordSet::importLine(QStringView line)
{
    const int columns = std::min(m_layout.columnCount(), kMaxColumns);
    QStringView fields[kMaxColumns];
    qint32 numbers[kMaxColumns];
    quint32 handles[kMaxColumns];
    splitFields(line, columns, fields);
    for (int c = 0; c < columns; ++c) {
        if (m_columnRefs[size_t(c)].isText)
            continue;
        const auto number = parseWholeNumber(fields[c]);
        if (!number)
            return false;
        numbers[c] = *number;
    }
    for (int c = 0; c < columns; ++c) {
        const ColumnRef ref = m_columnRefs[size_t(c)];
        if (!ref.isText)
            continue;
        const auto handle = m_texts[size_t(ref.index)]->store(fields[c]);
        if (!handle)
            return false;
        handles[c] = *handle;
    }
    for (int c = 0; c < columns; ++c) {
        const ColumnRef ref = m_columnRefs[size_t(c)];
        if (ref.isText)
            m_texts[size_t(ref.index)]->cells.push_back(handles[c]);
        else
            m_numbers[size_t(ref.index)]->push(numbers[c]);
    }
    m_heights.insert(m_rows, 1, m_layout.rowHeight());
    m_selected.push_back(false);
    ++m_rows;
    if (m_currentRow == 0)
        m_currentRow = 1;
    return true;
}

bool RecordSet::appendLine(QStringView line)
{
    if (line.isEmpty() || !importLine(line))
        return false;
    noteChange();
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

bool RecordSet::isNumberField(QStringView field)
{
    return parseWholeNumber(field).has_value();
}

QString RecordSet::asWritten(QStringView value)
{
    QString text;
    appendField(text, value);
    return text;
}

void RecordSet::makeWritable(QString &value)
{
    const auto control =
        std::find_if(value.cbegin(), value.cend(), [](QChar c) { return isControl(c.unicode()); });
    if (control == value.cend())
        return;
    for (QChar &c : value) {
        if (isControl(c.unicode()))
            c = u' ';
    }
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
