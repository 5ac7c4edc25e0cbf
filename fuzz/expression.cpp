// Property: expressions compile and evaluate consistently over a small folder tree, and a literal
// made by RecordSet::Literal finds exactly the text it was made from.
// - compile either succeeds with no error, or names an error code from 1 to 10 at a position
//   inside the text (Empty for a text of blanks);
// - Find(e, first, last) is the negated error code for a bad expression, 0 when first is past
//   last, and otherwise the first row of first..last (clamped to the rows) where e holds, or 0;
//   the rows are checked one by one with Expression::isTrue;
// - evaluate() and isTrue() agree on every row, a second evaluation gives the same value, and no
//   result is a NaN number (not a number counts as no value);
// - level[k] and name[k] read row r+k, or nothing when r+k is not a row; an offset that is not
//   a whole number up to 2147483647 either way fails with BadRowOffset;
// - "name = " + RecordSet::Literal(t) finds the first row whose name is t.
//
// Input: four control bytes (first, last, where the fuzzed row goes, the row offset), then the
// expression text and, after a line feed, the fuzzed row's name, both as UTF-8.

#include "records/expression.h"
#include "catalogue/layouts.h"
#include "fuzz_support.h"
#include "records/recordset.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {

using fuzz::check;
using fuzz::fail;
using fuzz::shown;

enum Column { FullName, Name, Picture, OpenPicture, Selected, Open, Children, Siblings, Level };

struct TreeRow {
    const char16_t *fullname;
    const char16_t *name;
    int selected, open, children, siblings, level;
};

// Quotes of both kinds, Hangul, an empty name and numbers that need more than a byte.
constexpr TreeRow kRows[] = {
    {u"C:\\", u"C:\\", 0, 1, 4, 1, 1},
    {u"C:\\한글 폴더\\", u"한글 폴더", 0, 1, 2, 4, 2},
    {u"C:\\한글 폴더\\it's.txt", u"it's.txt", 0, 0, 0, 2, 3},
    {u"C:\\한글 폴더\\\"인용\".hwp", u"\"인용\".hwp", 1, 0, 0, 2, 3},
    {u"C:\\a''b\\", u"a''b", 0, 0, 1, 4, 2},
    {u"C:\\a''b\\xyz", u"xyz", 0, 0, 0, 1, 3},
    {u"C:\\빈\\", u"", 0, 0, 0, 4, 2},
    {u"C:\\x\\", u"x", 0, -1, 300, 4, -200},
};

void setRow(RecordSet &rows, qint64 row, const QString &fullname, const QString &name, const int numbers[5])
{
    const bool folder = fullname.endsWith(u'\\');
    rows.SetItem(row, FullName + 1, fullname);
    rows.SetItem(row, Name + 1, name);
    rows.SetItem(row, Picture + 1, QString::fromUtf16(folder ? kFolderPicture : kFilePicture));
    rows.SetItem(row, OpenPicture + 1, QString::fromUtf16(folder ? kOpenFolderPicture : kFilePicture));
    for (int i = 0; i < 5; ++i)
        rows.SetItem(row, Selected + 1 + i, qint64(numbers[i]));
}

void fillTree(RecordSet &rows)
{
    for (const TreeRow &r : kRows) {
        const int numbers[5] = {r.selected, r.open, r.children, r.siblings, r.level};
        setRow(rows, rows.InsertRow(0), QString::fromUtf16(r.fullname), QString::fromUtf16(r.name), numbers);
    }
}

// Mostly rows around the tree's few rows; the top sixteen byte values pick extremes.
qint64 rowBound(uint8_t c)
{
    static constexpr qint64 extremes[16] = {std::numeric_limits<qint64>::min(),
                                            std::numeric_limits<qint64>::min() + 1,
                                            -2147483648LL,
                                            -1,
                                            0,
                                            1,
                                            2147483647LL,
                                            2147483648LL,
                                            std::numeric_limits<qint64>::max() - 1,
                                            std::numeric_limits<qint64>::max(),
                                            9,
                                            10,
                                            100,
                                            -100,
                                            qint64(1) << 40,
                                            -(qint64(1) << 40)};
    return c < 0xF0 ? qint64(c % 16) - 3 : extremes[c - 0xF0];
}

struct Offset {
    QString text;
    std::optional<qint64> value; // none: must fail with BadRowOffset
};

Offset rowOffset(uint8_t c)
{
    struct Extreme {
        const char *text;
        std::optional<qint64> value;
    };
    static const Extreme extremes[16] = {
        {"2147483647", 2147483647},
        {"-2147483647", -2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"1.5", std::nullopt},
        {"-0", 0},
        {"+1", std::nullopt},
        {"- 1", -1},
        {"1.0", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0001", 1},
        {"9", 9},
        {"-9", -9},
        {"'1'", std::nullopt},
    };
    if (c >= 0xF0)
        return {QString::fromLatin1(extremes[c - 0xF0].text), extremes[c - 0xF0].value};
    const int value = int(c % 24) - 12;
    return {QString::number(value), value};
}

struct Value {
    ExprValue::Kind kind;
    bool boolean;
    double number;
    QString text;
};

Value copied(const ExprValue &v)
{
    return {v.kind, v.boolean, v.number, v.text.toString()};
}

bool sameValue(const Value &a, const ExprValue &b)
{
    return a.kind == b.kind && a.boolean == b.boolean &&
           (a.number == b.number || (std::isnan(a.number) && std::isnan(b.number))) && a.text == b.text;
}

bool truthOf(const ExprValue &v)
{
    return (v.kind == ExprValue::Kind::Boolean && v.boolean) ||
           (v.kind == ExprValue::Kind::Number && v.number != 0);
}

void checkCompile(const QString &source, const Expression &e, const ExprError &error)
{
    if (e.isValid()) {
        check(error.code == ExprErrorCode::None, "a compiled expression reports no error");
        return;
    }
    const int code = int(error.code);
    if (code < 1 || code > 10 || error.position < 0 || error.position > source.size())
        fail("a compile error has a code from 1 to 10 and a position inside the text",
             QStringLiteral("code %1 position %2 in '%3'").arg(code).arg(error.position).arg(shown(source)));
    bool blank = true;
    for (QChar c : source)
        blank = blank && c.isSpace();
    check(!blank || error.code == ExprErrorCode::Empty, "a text of blanks fails with Empty");
}

void checkEvaluation(const Expression &e, const RecordSet &rows, qint64 firstOnPage, const QString &edit)
{
    EvalContext context;
    context.rows = &rows;
    context.firstRowOnPage = firstOnPage;
    context.editText = edit;
    for (qint64 row = 0; row <= rows.RowCount() + 1; ++row) {
        context.row = row;
        const Value first = copied(e.evaluate(context));
        if (first.kind == ExprValue::Kind::Number && std::isnan(first.number))
            fail("no result is a NaN number");
        check(truthOf(e.evaluate(context)) == e.isTrue(context), "evaluate() and isTrue() agree");
        if (!sameValue(first, e.evaluate(context)))
            fail("a second evaluation gives the same value");
    }
}

void checkFind(const QString &source, const Expression &e, const ExprError &error, const RecordSet &rows,
               qint64 first, qint64 last)
{
    const qint64 found = rows.Find(source, first, last);
    if (!e.isValid()) {
        check(found == -qint64(error.code), "Find gives the negated error code for a bad expression");
        return;
    }
    qint64 expected = 0;
    EvalContext context;
    context.rows = &rows;
    for (qint64 row = std::max<qint64>(first, 1); row <= std::min(last, rows.RowCount()); ++row) {
        context.row = row;
        if (e.isTrue(context)) {
            expected = row;
            break;
        }
    }
    check(first <= last || found == 0, "Find with first past last gives 0");
    if (found != expected)
        fail("Find gives the first row of the range where the expression holds",
             QStringLiteral("'%1' over %2..%3: %4, expected %5")
                 .arg(shown(source))
                 .arg(first)
                 .arg(last)
                 .arg(found)
                 .arg(expected));
}

void checkRowOffset(const RecordSet &rows, const Offset &offset)
{
    for (const Column column : {Level, Name}) {
        const QString source = rows.layout().column(column).name + u'[' + offset.text + u']';
        ExprError error;
        const Expression e = Expression::compile(source, rows.layout(), &error);
        if (!offset.value) {
            check(!e.isValid() && error.code == ExprErrorCode::BadRowOffset,
                  "a row offset that is not a whole number within range fails with BadRowOffset");
            continue;
        }
        check(e.isValid(), "a whole-number row offset within range compiles");
        EvalContext context;
        context.rows = &rows;
        for (qint64 row = 0; row <= rows.RowCount() + 1; ++row) {
            context.row = row;
            const ExprValue v = e.evaluate(context);
            const qint64 target = row + *offset.value;
            if (target < 1 || target > rows.RowCount()) {
                check(v.kind == ExprValue::Kind::Null, "an offset to no row reads nothing");
            } else if (column == Level) {
                check(v.kind == ExprValue::Kind::Number && v.number == double(rows.numberAt(target, Level)),
                      "level[k] reads the level of row r+k");
            } else {
                check(v.kind == ExprValue::Kind::Text && v.text == rows.textAt(target, Name),
                      "name[k] reads the name of row r+k");
            }
        }
    }
}

void checkLiteral(const RecordSet &rows, const QString &text)
{
    const QString literal = RecordSet::Literal(text);
    check(literal == Expression::literal(text), "RecordSet::Literal is Expression::literal");
    const Expression e = Expression::compile(literal, rows.layout());
    check(e.isValid(), "a literal compiles");
    const ExprValue v = e.evaluate(EvalContext());
    check(v.kind == ExprValue::Kind::Text && v.text == text, "a literal reads back as its text");

    const QString search = QStringLiteral("name = ") + literal;
    qint64 expected = 0;
    for (qint64 row = 1; row <= rows.RowCount() && expected == 0; ++row) {
        if (rows.textAt(row, Name) == text)
            expected = row;
    }
    check(expected > 0, "the harness put the text into a row");
    const qint64 found = rows.Find(search, 1, rows.RowCount());
    if (found != expected)
        fail("name = Literal(t) finds the first row named t",
             QStringLiteral("'%1': row %2, expected %3").arg(shown(search)).arg(found).arg(expected));
    qint64 next = 0;
    for (qint64 row = expected + 1; row <= rows.RowCount() && next == 0; ++row) {
        if (rows.textAt(row, Name) == text)
            next = row;
    }
    check(rows.Find(search, expected + 1, rows.RowCount()) == next,
          "name = Literal(t) finds the next row named t");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input input(data, size);
    const qint64 first = rowBound(input.byte());
    const qint64 last = rowBound(input.byte());
    const uint8_t placement = input.byte();
    const Offset offset = rowOffset(input.byte());
    const QString source = QString::fromUtf8(input.until('\n'));
    const QString name = QString::fromUtf8(input.rest());

    RecordSet rows(d_dir_tree());
    fillTree(rows);
    const qint64 fuzzed = rows.InsertRow(placement % 10);
    const int numbers[5] = {0, placement & 1, placement % 3, placement % 7, placement / 10 - 12};
    setRow(rows, fuzzed, QStringLiteral("C:\\") + name, name, numbers);

    ExprError error;
    const Expression e = Expression::compile(source, rows.layout(), &error);
    checkCompile(source, e, error);
    checkFind(source, e, error, rows, first, last);
    checkFind(source, e, error, rows, last, first);
    checkFind(source, e, error, rows, 1, rows.RowCount());
    checkEvaluation(e, rows, placement % 12, name);
    checkRowOffset(rows, offset);
    checkLiteral(rows, name);
    return 0;
}
