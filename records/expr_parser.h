#pragma once

#include "records/expression.h"
#include "records/layout.h"

#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

// Instructions of a compiled expression. The program is postfix: operands are
// pushed on a value stack and operators replace them with their result.
// Jumps only go forward, so each instruction runs at most once per evaluation.
enum class ExprOp : unsigned char {
    PushNumber,       // number
    PushText,         // arg: index into literals
    PushTextColumn,   // arg: column, offset: rows after the current one
    PushNumberColumn, // arg: column, offset: rows after the current one
    PushFirstText,    // arg: column, read in the first row on the page
    PushFirstNumber,  // arg: column, read in the first row on the page
    PushEditText,
    Negate,
    Add, // arg: index into scratch, used when both operands are text
    Subtract,
    Multiply,
    Divide,
    Equal,
    NotEqual,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
    Not,
    AndJump, // arg: target; a false left operand decides the result
    AndCombine,
    OrJump, // arg: target; a true left operand decides the result
    OrCombine,
    JumpUnlessTrue, // arg: target; pops the condition of if()
    Jump,           // arg: target
    Pos,
    Rgb,
    Bitmap,
};

struct ExprInstruction {
    ExprOp op = ExprOp::PushNumber;
    int arg = 0;
    qint64 offset = 0;
    double number = 0;
};

// The result of compiling: the program plus the storage its values point into.
class CompiledExpression {
  public:
    std::vector<ExprInstruction> code;
    std::vector<QString> literals; // string literals with their quotes resolved
    int stackSize = 0;             // deepest the value stack gets

    // Reused by every evaluation so that evaluating allocates nothing; this is
    // also why one expression must not be evaluated on two threads at once.
    mutable std::vector<ExprValue> stack;
    mutable std::vector<QString> scratch; // one buffer per '+' for joining texts
};

// Compiles `source` against the columns of `layout`. Returns null and sets `error`
// when the text is not a valid expression. May throw std::bad_alloc.
std::unique_ptr<CompiledExpression> compileExpression(QStringView source, const Layout &layout,
                                                      ExprError &error);
