#include "records/expr_parser.h"

#include "records/expr_tokenizer.h"

#include <optional>

namespace {

using Kind = ExprToken::Kind;

// Deep enough for anything a person writes, shallow enough that hostile input
// such as thousands of '(' cannot exhaust the thread's stack while parsing.
constexpr int maxNesting = 200;
// Keeps row + offset far from overflowing whatever the row number.
constexpr double maxRowOffset = 2147483647.0;

enum class Function : unsigned char { If, First, Other };

struct FunctionInfo {
    QStringView name;
    Function function;
    int argumentCount;
    ExprOp op; // what Other emits after its arguments
};

constexpr FunctionInfo functions[] = {
    {u"if", Function::If, 3, ExprOp::Jump},          {u"first", Function::First, 1, ExprOp::Jump},
    {u"pos", Function::Other, 2, ExprOp::Pos},       {u"rgb", Function::Other, 3, ExprOp::Rgb},
    {u"bitmap", Function::Other, 1, ExprOp::Bitmap}, {u"gettext", Function::Other, 0, ExprOp::PushEditText},
};

const FunctionInfo *findFunction(QStringView name)
{
    for (const FunctionInfo &info : functions) {
        if (name.compare(info.name, Qt::CaseInsensitive) == 0)
            return &info;
    }
    return nullptr;
}

bool isKeyword(const ExprToken &token, QStringView keyword)
{
    return token.kind == Kind::Identifier && token.spelling.compare(keyword, Qt::CaseInsensitive) == 0;
}

bool isReserved(const ExprToken &token)
{
    return isKeyword(token, u"and") || isKeyword(token, u"or") || isKeyword(token, u"not") ||
           isKeyword(token, u"for") || isKeyword(token, u"page");
}

// How many values an instruction leaves on the stack minus how many it takes.
int stackEffect(ExprOp op)
{
    switch (op) {
    case ExprOp::PushNumber:
    case ExprOp::PushText:
    case ExprOp::PushTextColumn:
    case ExprOp::PushNumberColumn:
    case ExprOp::PushFirstText:
    case ExprOp::PushFirstNumber:
    case ExprOp::PushEditText:
        return 1;
    case ExprOp::Rgb:
        return -2;
    case ExprOp::Negate:
    case ExprOp::Not:
    case ExprOp::Bitmap:
    case ExprOp::AndJump:
    case ExprOp::OrJump:
    case ExprOp::Jump:
        return 0;
    default:
        return -1; // binary operators, the combines, Pos and JumpUnlessTrue
    }
}

// Operators of the binary precedence levels below `not`, lowest level first.
constexpr int binaryLevelCount = 3;

std::optional<ExprOp> binaryOperator(Kind kind, int level)
{
    struct Entry {
        int level;
        Kind kind;
        ExprOp op;
    };
    static constexpr Entry table[] = {
        {0, Kind::Equal, ExprOp::Equal},
        {0, Kind::NotEqual, ExprOp::NotEqual},
        {0, Kind::Less, ExprOp::Less},
        {0, Kind::Greater, ExprOp::Greater},
        {0, Kind::LessEqual, ExprOp::LessEqual},
        {0, Kind::GreaterEqual, ExprOp::GreaterEqual},
        {1, Kind::Plus, ExprOp::Add},
        {1, Kind::Minus, ExprOp::Subtract},
        {2, Kind::Star, ExprOp::Multiply},
        {2, Kind::Slash, ExprOp::Divide},
    };
    for (const Entry &entry : table) {
        if (entry.level == level && entry.kind == kind)
            return entry.op;
    }
    return std::nullopt;
}

// Recursive descent that writes the postfix program as it goes.
class Parser {
  public:
    Parser(const std::vector<ExprToken> &tokens, const Layout &layout, CompiledExpression &out,
           ExprError &error)
        : m_tokens(tokens), m_layout(layout), m_out(out), m_error(error)
    {
    }

    bool parse();

  private:
    [[nodiscard]] const ExprToken &current() const { return m_tokens[m_index]; }
    [[nodiscard]] const ExprToken &next() const
    {
        return m_tokens[std::min(m_index + 1, m_tokens.size() - 1)];
    }
    [[nodiscard]] bool at(Kind kind) const { return current().kind == kind; }
    void advance() { m_index = std::min(m_index + 1, m_tokens.size() - 1); }
    bool accept(Kind kind)
    {
        if (!at(kind))
            return false;
        advance();
        return true;
    }
    bool fail(ExprErrorCode code, int position);
    bool failHere(ExprErrorCode code) { return fail(code, current().position); }
    bool expectClose(Kind kind);
    int emitOp(ExprOp op, int arg = 0, qint64 offset = 0, double number = 0);
    void patchJump(int instruction) { m_out.code[size_t(instruction)].arg = int(m_out.code.size()); }

    bool parseOr();
    bool parseOrChain();
    bool parseAnd();
    bool parseNot();
    bool parseBinary(int level);
    bool parseUnary();
    bool parsePrimary();
    bool parseColumn();
    bool parseRowOffset(qint64 &offset);
    bool parseCall();
    bool parseArguments(const FunctionInfo &info, int namePosition);
    bool parseFirst(int namePosition);

    const std::vector<ExprToken> &m_tokens;
    const Layout &m_layout;
    CompiledExpression &m_out;
    ExprError &m_error;
    size_t m_index = 0;
    int m_nesting = 0;
    int m_depth = 0;
};

bool Parser::parse()
{
    if (at(Kind::End))
        return fail(ExprErrorCode::Empty, 0);
    if (!parseOr())
        return false;
    if (!at(Kind::End))
        return failHere(ExprErrorCode::UnexpectedToken);
    return true;
}

bool Parser::fail(ExprErrorCode code, int position)
{
    m_error.code = code;
    m_error.position = position;
    return false;
}

bool Parser::expectClose(Kind kind)
{
    if (!at(kind))
        return failHere(ExprErrorCode::MissingParenthesis);
    advance();
    return true;
}

int Parser::emitOp(ExprOp op, int arg, qint64 offset, double number)
{
    m_out.code.push_back({op, arg, offset, number});
    m_depth += stackEffect(op);
    m_out.stackSize = std::max(m_out.stackSize, m_depth);
    return int(m_out.code.size()) - 1;
}

// Every nested expression passes through here, so this is where depth is capped.
bool Parser::parseOr()
{
    if (m_nesting >= maxNesting)
        return failHere(ExprErrorCode::UnexpectedToken);
    ++m_nesting;
    const bool ok = parseOrChain();
    --m_nesting;
    return ok;
}

// The right operand of `or` and `and` is skipped when the left one decides.
bool Parser::parseOrChain()
{
    if (!parseAnd())
        return false;
    while (isKeyword(current(), u"or")) {
        advance();
        const int jump = emitOp(ExprOp::OrJump);
        if (!parseAnd())
            return false;
        emitOp(ExprOp::OrCombine);
        patchJump(jump);
    }
    return true;
}

bool Parser::parseAnd()
{
    if (!parseNot())
        return false;
    while (isKeyword(current(), u"and")) {
        advance();
        const int jump = emitOp(ExprOp::AndJump);
        if (!parseNot())
            return false;
        emitOp(ExprOp::AndCombine);
        patchJump(jump);
    }
    return true;
}

// Counted rather than recursed so that a long run of `not` cannot overflow the stack.
bool Parser::parseNot()
{
    int count = 0;
    for (; isKeyword(current(), u"not"); ++count)
        advance();
    if (!parseBinary(0))
        return false;
    for (int i = 0; i < count; ++i)
        emitOp(ExprOp::Not);
    return true;
}

bool Parser::parseBinary(int level)
{
    if (level == binaryLevelCount)
        return parseUnary();
    if (!parseBinary(level + 1))
        return false;
    while (const std::optional<ExprOp> op = binaryOperator(current().kind, level)) {
        advance();
        if (!parseBinary(level + 1))
            return false;
        int scratch = 0;
        if (*op == ExprOp::Add) {
            scratch = int(m_out.scratch.size());
            m_out.scratch.emplace_back();
        }
        emitOp(*op, scratch);
    }
    return true;
}

bool Parser::parseUnary()
{
    int count = 0;
    for (; at(Kind::Minus); ++count)
        advance();
    if (!parsePrimary())
        return false;
    for (int i = 0; i < count; ++i)
        emitOp(ExprOp::Negate);
    return true;
}

bool Parser::parsePrimary()
{
    const ExprToken &token = current();
    switch (token.kind) {
    case Kind::Number:
        emitOp(ExprOp::PushNumber, 0, 0, token.number);
        advance();
        return true;
    case Kind::String:
        m_out.literals.push_back(token.text);
        emitOp(ExprOp::PushText, int(m_out.literals.size()) - 1);
        advance();
        return true;
    case Kind::LeftParen:
        advance();
        return parseOr() && expectClose(Kind::RightParen);
    case Kind::Identifier:
        if (isReserved(token))
            return failHere(ExprErrorCode::UnexpectedToken);
        return next().kind == Kind::LeftParen ? parseCall() : parseColumn();
    default:
        return failHere(ExprErrorCode::UnexpectedToken);
    }
}

bool Parser::parseColumn()
{
    const int column = m_layout.columnIndex(current().spelling);
    if (column < 0)
        return failHere(ExprErrorCode::UnknownColumn);
    advance();
    qint64 offset = 0;
    if (at(Kind::LeftBracket) && !parseRowOffset(offset))
        return false;
    const bool isText = m_layout.column(column).type == ColumnType::Text;
    emitOp(isText ? ExprOp::PushTextColumn : ExprOp::PushNumberColumn, column, offset);
    return true;
}

// After the '[' of col[n]: an optional minus and a whole number, then ']'.
bool Parser::parseRowOffset(qint64 &offset)
{
    advance();
    const int start = current().position;
    const bool negative = at(Kind::Minus);
    if (negative)
        advance();
    const ExprToken &number = current();
    if (number.kind != Kind::Number || number.hasFraction || number.number > maxRowOffset)
        return fail(ExprErrorCode::BadRowOffset, start);
    offset = negative ? -qint64(number.number) : qint64(number.number);
    advance();
    return expectClose(Kind::RightBracket);
}

bool Parser::parseCall()
{
    const FunctionInfo *info = findFunction(current().spelling);
    if (!info)
        return failHere(ExprErrorCode::UnknownFunction);
    const int namePosition = current().position;
    advance();
    advance();
    if (info->function == Function::First)
        return parseFirst(namePosition);
    return parseArguments(*info, namePosition);
}

// if(c, a, b) becomes: c JumpUnlessTrue(else) a Jump(end) else: b end:
bool Parser::parseArguments(const FunctionInfo &info, int namePosition)
{
    const bool isIf = info.function == Function::If;
    int jumps[2] = {0, 0};
    int count = 0;
    if (!at(Kind::RightParen)) {
        do {
            if (!parseOr())
                return false;
            ++count;
            if (isIf && count == 1)
                jumps[0] = emitOp(ExprOp::JumpUnlessTrue);
            if (isIf && count == 2) {
                jumps[1] = emitOp(ExprOp::Jump);
                --m_depth; // the else branch pushes in place of the then branch
                patchJump(jumps[0]);
            }
        } while (accept(Kind::Comma));
    }
    if (!expectClose(Kind::RightParen))
        return false;
    if (count != info.argumentCount)
        return fail(ExprErrorCode::WrongArgumentCount, namePosition);
    if (isIf)
        patchJump(jumps[1]);
    else
        emitOp(info.op);
    return true;
}

// Only first(<column> for page) exists: the column's value in the page's first row.
bool Parser::parseFirst(int namePosition)
{
    if (at(Kind::RightParen))
        return fail(ExprErrorCode::WrongArgumentCount, namePosition);
    if (!at(Kind::Identifier) || isReserved(current()))
        return failHere(ExprErrorCode::UnexpectedToken);
    const int column = m_layout.columnIndex(current().spelling);
    if (column < 0)
        return failHere(ExprErrorCode::UnknownColumn);
    advance();
    if (!isKeyword(current(), u"for"))
        return failHere(ExprErrorCode::UnexpectedToken);
    advance();
    if (!isKeyword(current(), u"page"))
        return failHere(ExprErrorCode::UnexpectedToken);
    advance();
    if (!expectClose(Kind::RightParen))
        return false;
    const bool isText = m_layout.column(column).type == ColumnType::Text;
    emitOp(isText ? ExprOp::PushFirstText : ExprOp::PushFirstNumber, column);
    return true;
}

} // namespace

std::unique_ptr<CompiledExpression> compileExpression(QStringView source, const Layout &layout,
                                                      ExprError &error)
{
    std::vector<ExprToken> tokens;
    if (!tokenizeExpression(source, tokens, error))
        return nullptr;
    auto compiled = std::make_unique<CompiledExpression>();
    if (!Parser(tokens, layout, *compiled, error).parse())
        return nullptr;
    compiled->stack.resize(size_t(compiled->stackSize));
    return compiled;
}
