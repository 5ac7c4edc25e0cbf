#include "records/expression.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

using Cell = std::variant<QString, qint64>;

// Rows held in vectors, counting text reads so tests can see what was evaluated.
class FakeRows : public RowSource {
  public:
    FakeRows(Layout layout, std::vector<std::vector<Cell>> rows)
        : m_layout(std::move(layout)), m_rows(std::move(rows))
    {
    }

    [[nodiscard]] const Layout &layout() const override { return m_layout; }
    [[nodiscard]] qint64 rowCount() const override { return qint64(m_rows.size()); }
    [[nodiscard]] QStringView textAt(qint64 row, int column) const override
    {
        ++textReads;
        return std::get<QString>(cell(row, column));
    }
    [[nodiscard]] qint64 numberAt(qint64 row, int column) const override
    {
        return std::get<qint64>(cell(row, column));
    }

    mutable int textReads = 0;

  private:
    // A real record set has no row 0 or row count + 1: reading one is a fault even if it does not crash here.
    [[nodiscard]] const Cell &cell(qint64 row, int column) const
    {
        static const Cell none;
        if (row < 1 || row > rowCount()) {
            ADD_FAILURE() << "read of row " << row << " outside 1.." << rowCount();
            return none;
        }
        return m_rows[size_t(row - 1)][size_t(column)];
    }

    Layout m_layout;
    std::vector<std::vector<Cell>> m_rows;
};

Layout discLayout()
{
    using T = ColumnType;
    return Layout("discs",
                  {{"name", T::Text, 40},
                   {"level", T::Number},
                   {"children", T::Number},
                   {"file", T::Text, 40},
                   {"showbox", T::Number},
                   {"siblings", T::Number},
                   {"open", T::Number},
                   {"gubn", T::Text, 2}},
                  20);
}

// name, level, children, file, showbox, siblings, open, gubn
FakeRows &sampleRows()
{
    static FakeRows rows(discLayout(), {
                                           {"MYDISC", 1, 2, "cd_A.dat", 1, 0, 1, "01"},
                                           {"xabcx", 2, 0, "cd_B.dat", 0, 1, 0, "02"},
                                           {"it's", 4, 0, "cd_A.dat", 1, 0, 0, "03"},
                                           {"tail", 3, 0, "", 0, 0, 0, "09"},
                                       });
    return rows;
}

EvalContext contextAt(qint64 row, qint64 firstRowOnPage = 0, QStringView editText = {})
{
    return EvalContext{&sampleRows(), row, firstRowOnPage, editText};
}

// One readable string per value so that a table row states its expectation plainly.
QString describe(const ExprValue &value)
{
    switch (value.kind) {
    case ExprValue::Kind::Null:
        return "null";
    case ExprValue::Kind::Boolean:
        return value.boolean ? "true" : "false";
    case ExprValue::Kind::Number:
        return QString::number(value.number, 'g', 15);
    case ExprValue::Kind::Text:
        return "'" + value.text.toString() + "'";
    }
    return "?";
}

QString evaluateAt(const QString &source, const EvalContext &context)
{
    ExprError error;
    const Expression expression = Expression::compile(source, discLayout(), &error);
    if (!expression.isValid())
        return QString("error %1 at %2").arg(int(error.code)).arg(error.position);
    return describe(expression.evaluate(context));
}

struct Case {
    const char *source;
    const char *expected;
};

void checkAll(std::initializer_list<Case> cases, const EvalContext &context)
{
    for (const Case &c : cases)
        EXPECT_EQ(evaluateAt(c.source, context).toStdString(), c.expected) << c.source;
}

} // namespace

TEST(Expression, PrecedenceAndAssociativity)
{
    checkAll({{"1 + 2 * 3", "7"},
              {"1 + 2 * 3 = 7", "true"},
              {"8 / 4 / 2", "1"},
              {"10 - 4 - 3", "3"},
              {"1.5 + 1", "2.5"},
              {"-2 * 3", "-6"},
              {"- -2", "2"},
              {"not 1 = 2 or 0", "true"},
              {"not 1 = 1 and 1 = 1", "false"},
              {"1 = 1 or 1 = 2 and 1 = 2", "true"},
              {"(1 = 1 or 1 = 2) and 1 = 2", "false"},
              {"1 < 2 = (3 < 4)", "true"},
              {"level + 1 <= 3", "true"},
              {"not not 5", "true"}},
             contextAt(1));
}

TEST(Expression, StringsAndQuotes)
{
    checkAll({{"'it''s'", "'it's'"},
              {R"("say ""hi""")", R"('say "hi"')"},
              {R"('a"b')", R"('a"b')"},
              {R"("a'b")", "'a'b'"},
              {"''", "''"},
              {"''''", "'''"},
              {R"("x" = 'x')", "true"},
              {"'한글' + '!'", "'한글!'"},
              {"name = 'it''s'", "true"}},
             contextAt(3));
}

TEST(Expression, LiteralReadsBackExactly)
{
    EXPECT_EQ(Expression::literal(u"it's"), "'it''s'");
    const QString hostile[] = {"",
                               "'",
                               "''",
                               "it's",
                               "\"",
                               "\"'\"",
                               "back\\slash",
                               "tab\there",
                               "line\r\nbreak",
                               "한글 디스크",
                               "' or 1 = 1 or '",
                               "((('",
                               QString("a") + QChar(0) + "b" + QChar(0)};
    for (const QString &text : hostile) {
        ExprError error;
        const Expression expression = Expression::compile(Expression::literal(text), discLayout(), &error);
        ASSERT_TRUE(expression.isValid()) << text.toStdString() << " error " << int(error.code);
        const ExprValue value = expression.evaluate({});
        ASSERT_EQ(value.kind, ExprValue::Kind::Text);
        EXPECT_EQ(value.text, text) << text.toStdString();
    }
}

TEST(Expression, RowOffsetsAtTheEdges)
{
    checkAll({{"level[1]", "2"}, {"level[-1]", "null"}, {"name[2]", "'it's'"}, {"level[ - 1 ]", "null"}},
             contextAt(1));
    checkAll({{"level[1]", "null"}, {"level[-1]", "4"}, {"level[-3]", "1"}, {"level[-4]", "null"}},
             contextAt(4));
    // The rule that draws a tree's expand button: on the last row only children count.
    const char *source = "if ( children = 1, 1, if ( level[1] > level , 1, 0 ) )";
    const char *expected[] = {"1", "1", "0", "0"};
    for (qint64 row = 1; row <= 4; ++row)
        EXPECT_EQ(evaluateAt(source, contextAt(row)).toStdString(), expected[row - 1]) << row;
    // Rows outside the source read as null instead of reaching the row source.
    checkAll({{"level", "null"}, {"name", "null"}}, contextAt(0));
    checkAll({{"level", "null"}}, contextAt(5));
}

TEST(Expression, Functions)
{
    checkAll({{"Pos(name, 'abc')", "2"},
              {"Pos(name, 'x')", "1"},
              {"Pos(name, 'ABC')", "0"},
              {"Pos(name, '')", "0"},
              {"Pos(name, level[9])", "null"},
              {"Pos(level, 'x')", "null"},
              {"Pos(name,'abc') > 0", "true"},
              {"rgb(1, 2, 3)", "197121"},
              {"rgb(1, level[9], 3)", "null"},
              {"bitmap('plus.bmp')", "'plus.bmp'"},
              {"bitmap(level[9])", "null"},
              {"if(1, 'a', 'b')", "'a'"},
              {"if(-0.5, 'a', 'b')", "'a'"},
              {"if(0, 'a', 'b')", "'b'"},
              {"if(1 = 2, 'a', 'b')", "'b'"},
              {"if(level[9], 'a', 'b')", "'b'"},
              {"if(name, 'a', 'b')", "'b'"}},
             contextAt(2));
    checkAll(
        {{"first(name for page)", "'xabcx'"}, {"first(level for page) + 0", "2"}, {"gettext()", "'typed'"}},
        contextAt(4, 2, u"typed"));
    checkAll({{"first(name for page)", "null"}}, contextAt(4, 0));
    checkAll({{"first(name for page)", "null"}}, contextAt(4, 5));
    // Channels of opposite infinities are no colour, and no colour equals everything.
    const std::string huge = "1" + std::string(300, '0') + " * 1" + std::string(300, '0');
    const std::string infinities = "rgb(" + huge + ", -" + huge + ", 0)";
    checkAll({{infinities.c_str(), "null"}, {(infinities + " = 5").c_str(), "null"}}, contextAt(2));
}

TEST(Expression, IfEvaluatesOnlyTheChosenBranch)
{
    const Expression expression = Expression::compile(u"if(level = 1, 'a', name + file)", discLayout());
    sampleRows().textReads = 0;
    EXPECT_EQ(describe(expression.evaluate(contextAt(1))), "'a'");
    EXPECT_EQ(sampleRows().textReads, 0);
    EXPECT_EQ(describe(expression.evaluate(contextAt(2))), "'xabcxcd_B.dat'");
    EXPECT_EQ(sampleRows().textReads, 2);
}

TEST(Expression, ThreeValuedLogic)
{
    // 1/0 stands for null.
    checkAll({{"1 = 1 and 1/0 = 1", "null"},
              {"1 = 2 and 1/0 = 1", "false"},
              {"1/0 = 1 and 1 = 2", "false"},
              {"1/0 = 1 and 1 = 1", "null"},
              {"1 = 1 or 1/0 = 1", "true"},
              {"1/0 = 1 or 1 = 1", "true"},
              {"1 = 2 or 1/0 = 1", "null"},
              {"1/0 = 1 or 1 = 2", "null"},
              {"not 1/0 = 1", "null"},
              {"2 and 3", "true"},
              {"0 or 0", "false"},
              {"0 and 1", "false"},
              {"5 or 0", "true"},
              {"0 or 7", "true"}},
             contextAt(1));
    const Expression unknown = Expression::compile(u"1 = 1 and 1/0 = 1", discLayout());
    EXPECT_FALSE(unknown.isTrue(contextAt(1)));
    EXPECT_TRUE(Expression::compile(u"level + 1", discLayout()).isTrue(contextAt(1)));
    EXPECT_FALSE(Expression::compile(u"level - 1", discLayout()).isTrue(contextAt(1)));
    EXPECT_FALSE(Expression::compile(u"'text'", discLayout()).isTrue(contextAt(1)));
    EXPECT_FALSE(Expression().isTrue(contextAt(1)));
    EXPECT_EQ(Expression().evaluate(contextAt(1)).kind, ExprValue::Kind::Null);
}

TEST(Expression, TypesAndNulls)
{
    checkAll({{"1 = '1'", "null"},
              {"'a' < 1", "null"},
              {"1 + 'a'", "null"},
              {"'a' - 'b'", "null"},
              {"-'a'", "null"},
              {"5 / 0", "null"},
              {"level[9] = level[9]", "null"},
              {"level[9] + 1", "null"},
              {"'a' < 'b'", "true"},
              {"'B' < 'a'", "true"},
              {"'a' = 'A'", "false"},
              {"'abc' <> 'abd'", "true"},
              {"'ab' < 'abc'", "true"},
              {"'b' >= 'abc'", "true"},
              {"2 >= 2", "true"},
              {"2 > 2", "false"},
              {"(1 = 1) = 1", "null"},
              {"'' = ''", "true"}},
             contextAt(1));
}

TEST(Expression, JoinedTextSurvivesReuse)
{
    const Expression expression = Expression::compile(u"(name + '-') + (file + '.') + gubn", discLayout());
    ASSERT_TRUE(expression.isValid());
    const char *expected[] = {"'MYDISC-cd_A.dat.01'", "'xabcx-cd_B.dat.02'", "'it's-cd_A.dat.03'",
                              "'tail-.09'"};
    for (int pass = 0; pass < 2; ++pass) {
        for (qint64 row = 1; row <= 4; ++row)
            EXPECT_EQ(describe(expression.evaluate(contextAt(row))), expected[row - 1]) << row;
    }
}

TEST(Expression, NamesIgnoreCase)
{
    checkAll({{"LEVEL", "2"},
              {"Name = 'xabcx'", "true"},
              {"POS(NAME, 'b')", "3"},
              {"IF(1, 2, 3)", "2"},
              {"Rgb(1, 0, 0)", "1"},
              {"BitMap('a')", "'a'"},
              {"1 = 1 AND NOT 1 = 2 Or 0", "true"},
              {"FIRST(Name FOR PAGE)", "'MYDISC'"},
              {"GetText()", "''"}},
             contextAt(2, 1));
}

TEST(Expression, ProgramExpressions)
{
    struct RowCase {
        const char *source;
        const char *expected[4];
    };
    const RowCase cases[] = {
        {"level <= 3", {"true", "true", "false", "true"}},
        {"level = 4", {"false", "false", "true", "false"}},
        {"file='cd_A.dat'", {"true", "false", "true", "false"}},
        {"name='MYDISC'", {"true", "false", "false", "false"}},
        {"bitmap(if(showbox = 0, if(siblings = 0, 'empty.bmp', 'empty2.bmp'), "
         "if(open = 1,'minus.bmp','plus.bmp')))",
         {"'minus.bmp'", "'empty2.bmp'", "'plus.bmp'", "'empty.bmp'"}},
        {"if (gettext() = first(name for page),0,1)", {"1", "0", "0", "0"}},
        {"if(gubn='01', rgb(0,0,0), if(gubn='02', rgb(0,0,255), if(gubn='03', rgb(128,0,0), "
         "if(gubn='04', rgb(0,128,0), rgb(128,0,0)))))",
         {"0", "16711680", "128", "128"}},
    };
    for (const RowCase &c : cases) {
        for (qint64 row = 1; row <= 4; ++row) {
            const QString editText = row == 1 ? "other" : "xabcx";
            EXPECT_EQ(evaluateAt(c.source, contextAt(row, 2, editText)).toStdString(), c.expected[row - 1])
                << c.source << " row " << row;
        }
    }
}

TEST(Expression, BadExpressionsReportCodeAndPosition)
{
    using E = ExprErrorCode;
    const struct {
        const char *source;
        ExprErrorCode code;
        int position;
    } cases[] = {
        {"", E::Empty, 0},
        {"  \t ", E::Empty, 0},
        {"1 # 2", E::UnexpectedCharacter, 2},
        {"level != 1", E::UnexpectedCharacter, 6},
        {"'abc", E::UnterminatedString, 0},
        {"name = \"ab''", E::UnterminatedString, 7},
        {"'it''", E::UnterminatedString, 0},
        {"1.", E::BadNumber, 0},
        {"2 + 1.2.3", E::BadNumber, 4},
        {"12abc", E::BadNumber, 0},
        {".5", E::UnexpectedCharacter, 0},
        {"1 +", E::UnexpectedToken, 3},
        {"1 2", E::UnexpectedToken, 2},
        {"()", E::UnexpectedToken, 1},
        {"and", E::UnexpectedToken, 0},
        {"1 = not 1", E::UnexpectedToken, 4},
        {"level[1] [2]", E::UnexpectedToken, 9},
        {"(1 + 2", E::MissingParenthesis, 6},
        {"Pos(name, 'a' 'b')", E::MissingParenthesis, 14},
        {"level[1", E::MissingParenthesis, 7},
        {"nosuch = 1", E::UnknownColumn, 0},
        {"level = nosuch", E::UnknownColumn, 8},
        {"foo(1)", E::UnknownFunction, 0},
        {"1 + name(1)", E::UnknownFunction, 4},
        {"if(1, 2)", E::WrongArgumentCount, 0},
        {"if(1, 2, 3, 4)", E::WrongArgumentCount, 0},
        {"rgb(1, 2)", E::WrongArgumentCount, 0},
        {"Pos(name)", E::WrongArgumentCount, 0},
        {"gettext(1)", E::WrongArgumentCount, 0},
        {"bitmap()", E::WrongArgumentCount, 0},
        {"first()", E::WrongArgumentCount, 0},
        {"level[1.5]", E::BadRowOffset, 6},
        {"level[x]", E::BadRowOffset, 6},
        {"first(name)", E::UnexpectedToken, 10},
        {"first(name for row)", E::UnexpectedToken, 15},
        {"first(1 for page)", E::UnexpectedToken, 6},
        {"first(nosuch for page)", E::UnknownColumn, 6},
        {"first(name for page", E::MissingParenthesis, 19},
    };
    for (const auto &c : cases) {
        ExprError error;
        const Expression expression = Expression::compile(QString::fromUtf8(c.source), discLayout(), &error);
        EXPECT_FALSE(expression.isValid()) << c.source;
        EXPECT_EQ(error.code, c.code) << c.source;
        EXPECT_EQ(error.position, c.position) << c.source;
    }
}

TEST(Expression, CompileReportsAndSurvivesExtremes)
{
    ExprError error{ExprErrorCode::Empty, 3};
    EXPECT_TRUE(Expression::compile(u"level = 1", discLayout(), &error).isValid());
    EXPECT_EQ(error.code, ExprErrorCode::None);
    EXPECT_FALSE(Expression::compile(u"level =", discLayout()).isValid()); // no error pointer

    // Nesting a person might write compiles; hostile depth fails instead of crashing.
    const QString nested = QString(50, u'(') + "1" + QString(50, u')');
    EXPECT_EQ(describe(Expression::compile(nested, discLayout()).evaluate({})), "1");
    const QString deep = QString(100000, u'(') + "1" + QString(100000, u')');
    EXPECT_FALSE(Expression::compile(deep, discLayout(), &error).isValid());
    // Long flat chains are loops, not recursion.
    QString sum = "0";
    QString conditions = "1 = 2";
    for (int i = 0; i < 20000; ++i) {
        sum += " + 1 - -1";
        conditions += " or not 1";
    }
    EXPECT_EQ(describe(Expression::compile(sum, discLayout()).evaluate({})), "40000");
    EXPECT_EQ(describe(Expression::compile(conditions, discLayout()).evaluate({})), "false");
}
