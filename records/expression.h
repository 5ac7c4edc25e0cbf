#pragma once

#include "records/layout.h"
#include "records/rowsource.h"

#include <QString>
#include <QStringView>
#include <memory>

// Why an expression did not compile. Codes are positive; Find reports them negated.
enum class ExprErrorCode {
    None = 0,
    Empty = 1,               // nothing but blanks
    UnexpectedCharacter = 2, // a character no token starts with
    UnterminatedString = 3,
    BadNumber = 4,
    UnexpectedToken = 5, // a token where the grammar allows none of its kind
    MissingParenthesis = 6,
    UnknownColumn = 7,
    UnknownFunction = 8,
    WrongArgumentCount = 9,
    BadRowOffset = 10, // col[n] with n not a whole number
};

struct ExprError {
    ExprErrorCode code = ExprErrorCode::None;
    int position = -1; // 0-based offset into the source where the fault was found
};

// One value during evaluation. Text views point into the record set, the compiled
// expression or its scratch space; they stay valid until the next evaluation.
struct ExprValue {
    enum class Kind : unsigned char { Null, Number, Text, Boolean };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    QStringView text;
};

// Everything an expression may read besides literals.
struct EvalContext {
    const RowSource *rows = nullptr;
    qint64 row = 0;            // current row, 1-based
    qint64 firstRowOnPage = 0; // first row shown in the grid, for first(col for page)
    QStringView editText;      // text of the grid's edit field, for gettext()
};

class CompiledExpression;

// An expression compiled once against a layout and then evaluated row by row.
class Expression {
  public:
    Expression();
    ~Expression();
    Expression(Expression &&) noexcept;
    Expression &operator=(Expression &&) noexcept;

    // Never throws; on failure the result is invalid and *error says why and where.
    static Expression compile(QStringView source, const Layout &layout, ExprError *error = nullptr);

    [[nodiscard]] bool isValid() const { return bool(m_code); }
    [[nodiscard]] ExprValue evaluate(const EvalContext &context) const;
    // True for a true condition or a non-zero number; false for everything else, null included.
    [[nodiscard]] bool isTrue(const EvalContext &context) const;

    // A literal that reads back as exactly `text`, quotes and all.
    [[nodiscard]] static QString literal(QStringView text);

  private:
    std::unique_ptr<CompiledExpression> m_code;
};
