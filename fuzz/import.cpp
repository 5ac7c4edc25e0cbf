// Property: importing tab-separated lines into a record set keeps every field exactly.
// Checked against a reading of the lines made here: lines end at LF, one CR before the LF is
// dropped, empty lines add nothing; fields split at tabs, missing ones are empty, extra ones
// ignored. A line whose number field is not a whole number from -2^31 to 2^31-1 (blanks around
// it allowed, an empty or blank field being 0) adds no row; every other line adds one row whose
// text fields read back exactly as written and whose number fields read back as their value.
// So the rows added never exceed the non-empty lines. Both layouts, through ImportString and
// through appendLine one line at a time.
//
// Input: a flag byte (bit 0: the tree layout instead of the index; bit 1: appendLine; bit 2: the
// text is raw UTF-16 instead of UTF-8; bits 3-4: grow the text, see grown()), then the text.

#include "catalogue/layouts.h"
#include "fuzz_support.h"
#include "records/recordset.h"

#include <optional>
#include <vector>

namespace {

using fuzz::check;
using fuzz::fail;
using fuzz::shown;

struct Line {
    QStringView text;
    bool empty;
};

std::vector<Line> splitLines(QStringView text)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n')
            ++end;
        QStringView line = text.sliced(start, end - start);
        // A CR before the LF goes, and so does one that ends the text: a CR LF cut short.
        if (line.endsWith(u'\r'))
            line.chop(1);
        lines.push_back({line, line.isEmpty()});
        start = end + 1;
    }
    return lines;
}

std::vector<QStringView> splitFields(QStringView line, int count)
{
    std::vector<QStringView> fields;
    qsizetype start = 0;
    while (int(fields.size()) < count && start <= line.size()) {
        qsizetype end = start;
        while (end < line.size() && line[end] != u'\t')
            ++end;
        fields.push_back(line.sliced(start, end - start));
        start = end + 1;
    }
    while (int(fields.size()) < count)
        fields.push_back(QStringView());
    return fields;
}

std::optional<qint64> wholeNumber(QStringView field)
{
    qsizetype begin = 0, end = field.size();
    while (begin < end && field[begin].isSpace())
        ++begin;
    while (end > begin && field[end - 1].isSpace())
        --end;
    if (begin == end)
        return 0;
    const bool negative = field[begin] == u'-';
    if (negative || field[begin] == u'+')
        ++begin;
    if (begin == end)
        return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        if (field[i] < u'0' || field[i] > u'9')
            return std::nullopt;
        value = std::min<qint64>(value * 10 + (field[i].unicode() - u'0'), qint64(1) << 40);
    }
    value = negative ? -value : value;
    if (value < -2147483648LL || value > 2147483647LL)
        return std::nullopt;
    return value;
}

struct Expected {
    std::vector<QStringView> fields;
    std::vector<qint64> numbers; // per column; 0 for text columns
};

// The row a line must add, or nothing.
std::optional<Expected> expectedRow(const Layout &layout, const Line &line)
{
    if (line.empty)
        return std::nullopt;
    Expected row{splitFields(line.text, layout.columnCount()),
                 std::vector<qint64>(size_t(layout.columnCount()))};
    for (int c = 0; c < layout.columnCount(); ++c) {
        if (layout.column(c).type == ColumnType::Text)
            continue;
        const auto number = wholeNumber(row.fields[size_t(c)]);
        if (!number)
            return std::nullopt;
        row.numbers[size_t(c)] = *number;
    }
    return row;
}

void checkRow(const RecordSet &rows, qint64 row, const Expected &expected)
{
    const Layout &layout = rows.layout();
    for (int c = 0; c < layout.columnCount(); ++c) {
        if (layout.column(c).type == ColumnType::Text) {
            const QStringView got = rows.textAt(row, c);
            if (got != expected.fields[size_t(c)])
                fail("a text field reads back as written",
                     QStringLiteral("row %1 column %2: '%3', expected '%4'")
                         .arg(row)
                         .arg(c + 1)
                         .arg(shown(got.left(200)), shown(expected.fields[size_t(c)].left(200))));
            check(!got.contains(u'\t') && !got.contains(u'\n'), "a text field holds no tab or line feed");
        } else if (rows.numberAt(row, c) != expected.numbers[size_t(c)]) {
            fail("a number field reads back as its value",
                 QStringLiteral("row %1 column %2: %3, expected %4 from '%5'")
                     .arg(row)
                     .arg(c + 1)
                     .arg(rows.numberAt(row, c))
                     .arg(expected.numbers[size_t(c)])
                     .arg(shown(expected.fields[size_t(c)])));
        }
    }
}

QString decoded(const QByteArray &bytes, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(bytes);
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}

// Grow mode 2 repeats the whole text past the text pool's first block, for many rows; mode 3
// pads the first field of the last line past the 32 K units a one-unit length prefix can hold
// or, with bits 5-7 set too and for the inputs fuzz::rarely() picks, past the pool's 1 M unit
// window: one long row.
QString grown(const QString &text, uint8_t flags, bool big)
{
    const int grow = (flags >> 3) & 3;
    if (grow < 2 || text.isEmpty())
        return text;
    if (grow == 2) {
        QString out;
        while (out.size() < 5000)
            out.append(text);
        return out;
    }
    const qsizetype target = (flags >> 5) == 7 && big ? (qsizetype(1) << 20) + 1 : 0x8000 + 1;
    const qsizetype lineStart = text.lastIndexOf(u'\n') + 1;
    qsizetype fieldEnd = text.indexOf(u'\t', lineStart);
    if (fieldEnd < 0)
        fieldEnd = text.size();
    QString field = text.sliced(lineStart, fieldEnd - lineStart);
    if (field.isEmpty() || field == u"\r")
        field = QStringLiteral("가");
    QString padded = field;
    while (padded.size() < target)
        padded.append(field);
    return text.left(lineStart) + padded + text.sliced(fieldEnd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input input(data, size);
    const uint8_t flags = input.byte();
    const Layout &layout = flags & 1 ? d_dir_tree() : d_cdinfo();
    const QString text = grown(decoded(input.rest(), flags & 4), flags, fuzz::rarely(data, size));

    const std::vector<Line> lines = splitLines(text);
    RecordSet rows(layout);
    qint64 added = 0;
    if (flags & 2) {
        for (const Line &line : lines) {
            const bool expected = expectedRow(layout, line).has_value();
            check(rows.appendLine(line.text) == expected,
                  "appendLine adds a row exactly for a line that holds one");
            added += expected;
        }
    } else {
        added = rows.ImportString(text);
    }

    qint64 nonEmpty = 0;
    qint64 row = 0;
    for (const Line &line : lines) {
        nonEmpty += !line.empty;
        if (const auto expected = expectedRow(layout, line)) {
            ++row;
            check(row <= rows.RowCount(), "every line that holds a row adds one");
            checkRow(rows, row, *expected);
        }
    }
    check(added <= nonEmpty, "rows added never exceed the non-empty lines");
    if (added != row || rows.RowCount() != row)
        fail("the rows added are exactly the lines that hold a row",
             QStringLiteral("%1 reported, %2 rows, %3 expected").arg(added).arg(rows.RowCount()).arg(row));
    return 0;
}
