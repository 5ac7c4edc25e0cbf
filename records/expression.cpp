#include "records/expression.h"

#include "records/expr_parser.h"

#include <cmath>
#include <new>
#include <optional>

namespace {

using Kind = ExprValue::Kind;

// The outcome of a condition under three-valued logic.
enum class Truth : unsigned char { False, True, Unknown };

// Results are written into the value stack field by field: building a whole
// ExprValue and copying it made the CPU wait on store forwarding at every step.
void setNull(ExprValue &value)
{
    value.kind = Kind::Null;
    value.boolean = false;
    value.number = 0;
    value.text = {};
}

void setNumber(ExprValue &value, double number)
{
    setNull(value);
    value.kind = Kind::Number;
    value.number = number;
}

void setText(ExprValue &value, QStringView text)
{
    setNull(value);
    value.kind = Kind::Text;
    value.text = text;
}

void setBoolean(ExprValue &value, bool boolean)
{
    setNull(value);
    value.kind = Kind::Boolean;
    value.boolean = boolean;
}

void setTruth(ExprValue &value, Truth truth)
{
    if (truth == Truth::Unknown)
        setNull(value);
    else
        setBoolean(value, truth == Truth::True);
}

// A boolean counts as itself and a number by being non-zero; null is unknown
// and text is never true, as in isTrue() and if().
Truth truthOf(const ExprValue &value)
{
    switch (value.kind) {
    case Kind::Boolean:
        return value.boolean ? Truth::True : Truth::False;
    case Kind::Number:
        return value.number != 0 ? Truth::True : Truth::False;
    case Kind::Null:
        return Truth::Unknown;
    case Kind::Text:
        break;
    }
    return Truth::False;
}

void readColumn(const EvalContext &context, int column, qint64 row, bool isText, ExprValue &out)
{
    if (!context.rows || row < 1 || row > context.rows->rowCount())
        setNull(out);
    else if (isText)
        setText(out, context.rows->textAt(row, column));
    else
        setNumber(out, double(context.rows->numberAt(row, column)));
}

void operand(const CompiledExpression &program, const ExprInstruction &in, const EvalContext &context,
             ExprValue &out)
{
    switch (in.op) {
    case ExprOp::PushNumber:
        return setNumber(out, in.number);
    case ExprOp::PushText:
        return setText(out, program.literals[size_t(in.arg)]);
    case ExprOp::PushTextColumn:
    case ExprOp::PushNumberColumn:
        return readColumn(context, in.arg, context.row + in.offset, in.op == ExprOp::PushTextColumn, out);
    case ExprOp::PushFirstText:
    case ExprOp::PushFirstNumber:
        return readColumn(context, in.arg, context.firstRowOnPage, in.op == ExprOp::PushFirstText, out);
    default:
        return setText(out, context.editText);
    }
}

// Joins two texts in a buffer owned by the '+' that asked; after the first
// evaluations the buffer is big enough and nothing is allocated.
void join(ExprValue &left, const ExprValue &right, QString &buffer)
{
    try {
        buffer.resize(0); // keeps the capacity, unlike clear()
        buffer.append(left.text);
        buffer.append(right.text);
    } catch (const std::bad_alloc &) {
        return setNull(left);
    }
    setText(left, buffer);
}

void arithmetic(ExprOp op, ExprValue &left, const ExprValue &right)
{
    if (left.kind != Kind::Number || right.kind != Kind::Number)
        return setNull(left);
    double result = 0;
    switch (op) {
    case ExprOp::Add:
        result = left.number + right.number;
        break;
    case ExprOp::Subtract:
        result = left.number - right.number;
        break;
    case ExprOp::Multiply:
        result = left.number * right.number;
        break;
    default:
        if (right.number == 0)
            return setNull(left);
        result = left.number / right.number;
    }
    // inf - inf and the like: not a number is treated as no value.
    if (std::isnan(result))
        return setNull(left);
    setNumber(left, result);
}

// <0, 0 or >0 for two values of the same kind; nothing for nulls and mixed kinds.
std::optional<int> order(const ExprValue &left, const ExprValue &right)
{
    if (left.kind != right.kind)
        return std::nullopt;
    switch (left.kind) {
    case Kind::Number:
        return int(left.number > right.number) - int(left.number < right.number);
    case Kind::Text:
        return left.text.compare(right.text);
    case Kind::Boolean:
        return int(left.boolean) - int(right.boolean);
    case Kind::Null:
        break;
    }
    return std::nullopt;
}

bool holds(ExprOp op, int sign)
{
    switch (op) {
    case ExprOp::Equal:
        return sign == 0;
    case ExprOp::NotEqual:
        return sign != 0;
    case ExprOp::Less:
        return sign < 0;
    case ExprOp::Greater:
        return sign > 0;
    case ExprOp::LessEqual:
        return sign <= 0;
    default:
        return sign >= 0;
    }
}

void comparison(ExprOp op, ExprValue &left, const ExprValue &right)
{
    // Equality of texts is the common case in searches; comparing lengths first
    // settles most mismatches without looking at the characters.
    if (left.kind == Kind::Text && right.kind == Kind::Text &&
        (op == ExprOp::Equal || op == ExprOp::NotEqual))
        return setBoolean(left, (left.text == right.text) == (op == ExprOp::Equal));
    const std::optional<int> sign = order(left, right);
    if (!sign)
        return setNull(left);
    setBoolean(left, holds(op, *sign));
}

// The left operand of and/or is already true-or-unknown (and) or false-or-unknown (or).
void combine(ExprOp op, ExprValue &left, const ExprValue &right)
{
    const Truth a = truthOf(left);
    const Truth b = truthOf(right);
    const Truth decisive = op == ExprOp::AndCombine ? Truth::False : Truth::True;
    if (b == decisive)
        return setTruth(left, decisive);
    if (a == Truth::Unknown || b == Truth::Unknown)
        return setNull(left);
    setTruth(left, op == ExprOp::AndCombine ? Truth::True : Truth::False);
}

// True when the left operand of and/or decides the result on its own.
bool shortCircuit(ExprOp op, ExprValue &left)
{
    const Truth truth = truthOf(left);
    const Truth decisive = op == ExprOp::AndJump ? Truth::False : Truth::True;
    setTruth(left, truth);
    return truth == decisive;
}

void position(ExprValue &text, const ExprValue &part)
{
    if (text.kind != Kind::Text || part.kind != Kind::Text)
        return setNull(text);
    if (part.text.isEmpty())
        return setNumber(text, 0);
    setNumber(text, double(text.text.indexOf(part.text) + 1));
}

void rgb(ExprValue *channels)
{
    for (int i = 0; i < 3; ++i) {
        if (channels[i].kind != Kind::Number)
            return setNull(channels[0]);
    }
    const double colour = channels[0].number + 256 * channels[1].number + 65536 * channels[2].number;
    // Channels of opposite infinities add up to not a number, which is no value, as in arithmetic.
    if (std::isnan(colour))
        return setNull(channels[0]);
    setNumber(channels[0], colour);
}

void unary(ExprOp op, ExprValue &value)
{
    switch (op) {
    case ExprOp::Negate:
        if (value.kind != Kind::Number)
            return setNull(value);
        return setNumber(value, -value.number);
    case ExprOp::Not: {
        const Truth truth = truthOf(value);
        return setTruth(value, truth == Truth::Unknown ? truth
                               : truth == Truth::True  ? Truth::False
                                                       : Truth::True);
    }
    default: // bitmap(name) hands the name on; the grid loads the picture
        if (value.kind != Kind::Text)
            setNull(value);
    }
}

void binary(ExprOp op, ExprValue &left, const ExprValue &right, const CompiledExpression &program, int arg)
{
    switch (op) {
    case ExprOp::Add:
        if (left.kind == Kind::Text && right.kind == Kind::Text)
            return join(left, right, program.scratch[size_t(arg)]);
        return arithmetic(op, left, right);
    case ExprOp::Subtract:
    case ExprOp::Multiply:
    case ExprOp::Divide:
        return arithmetic(op, left, right);
    case ExprOp::AndCombine:
    case ExprOp::OrCombine:
        return combine(op, left, right);
    case ExprOp::Pos:
        return position(left, right);
    default:
        return comparison(op, left, right);
    }
}

// Runs the postfix program on the value stack sized at compile time. The result
// stays in the stack's first slot, so isTrue() can look at it without a copy.
const ExprValue &run(const CompiledExpression &program, const EvalContext &context)
{
    ExprValue *stack = program.stack.data();
    int top = -1;
    const int size = int(program.code.size());
    for (int pc = 0; pc < size; ++pc) {
        const ExprInstruction &in = program.code[size_t(pc)];
        switch (in.op) {
        case ExprOp::PushNumber:
        case ExprOp::PushText:
        case ExprOp::PushTextColumn:
        case ExprOp::PushNumberColumn:
        case ExprOp::PushFirstText:
        case ExprOp::PushFirstNumber:
        case ExprOp::PushEditText:
            operand(program, in, context, stack[++top]);
            break;
        case ExprOp::Negate:
        case ExprOp::Not:
        case ExprOp::Bitmap:
            unary(in.op, stack[top]);
            break;
        case ExprOp::Rgb:
            top -= 2;
            rgb(stack + top);
            break;
        case ExprOp::AndJump:
        case ExprOp::OrJump:
            if (shortCircuit(in.op, stack[top]))
                pc = in.arg - 1;
            break;
        case ExprOp::JumpUnlessTrue:
            if (truthOf(stack[top--]) != Truth::True)
                pc = in.arg - 1;
            break;
        case ExprOp::Jump:
            pc = in.arg - 1;
            break;
        default:
            --top;
            binary(in.op, stack[top], stack[top + 1], program, in.arg);
        }
    }
    return stack[0];
}

} // namespace

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression &&) noexcept = default;
Expression &Expression::operator=(Expression &&) noexcept = default;

Expression Expression::compile(QStringView source, const Layout &layout, ExprError *error)
{
    Expression result;
    ExprError found;
    try {
        result.m_code = compileExpression(source, layout, found);
    } catch (const std::exception &) {
        // Out of memory. No error code names that; the position marks it as
        // a fault of the machine rather than of the text.
        result.m_code.reset();
        found = {ExprErrorCode::UnexpectedToken, -1};
    }
    if (error)
        *error = result.isValid() ? ExprError() : found;
    return result;
}

ExprValue Expression::evaluate(const EvalContext &context) const
{
    if (!m_code)
        return {};
    try {
        return run(*m_code, context);
    } catch (...) {
        // Only a row source can throw here; a failed read is no value.
        return {};
    }
}

bool Expression::isTrue(const EvalContext &context) const
{
    if (!m_code)
        return false;
    try {
        return truthOf(run(*m_code, context)) == Truth::True;
    } catch (...) {
        return false;
    }
}

QString Expression::literal(QStringView text)
{
    try {
        QString result;
        result.reserve(text.size() + 2);
        result.append(u'\'');
        for (const QChar c : text) {
            if (c == u'\'')
                result.append(c);
            result.append(c);
        }
        result.append(u'\'');
        return result;
    } catch (const std::bad_alloc &) {
        return QString(); // compiles to an Empty error rather than to a wrong text
    }
}
