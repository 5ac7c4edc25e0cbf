#include "records/expr_tokenizer.h"

namespace {

using Kind = ExprToken::Kind;

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isIdentifierStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isIdentifierPart(QChar c)
{
    return isIdentifierStart(c) || isAsciiDigit(c);
}

class Tokenizer {
  public:
    Tokenizer(QStringView source, std::vector<ExprToken> &tokens, ExprError &error)
        : m_source(source), m_tokens(tokens), m_error(error)
    {
    }

    bool run();

  private:
    [[nodiscard]] QChar at(qsizetype pos) const { return pos < m_source.size() ? m_source[pos] : QChar(); }
    ExprToken &push(Kind kind, qsizetype start);
    bool fail(ExprErrorCode code, qsizetype position);
    bool readNumber();
    bool readString();
    void readIdentifier();
    bool readPunctuation();

    QStringView m_source;
    std::vector<ExprToken> &m_tokens;
    ExprError &m_error;
    qsizetype m_pos = 0;
};

bool Tokenizer::run()
{
    m_tokens.clear();
    while (true) {
        while (m_pos < m_source.size() && m_source[m_pos].isSpace())
            ++m_pos;
        if (m_pos >= m_source.size())
            break;
        const QChar c = m_source[m_pos];
        bool ok = true;
        if (isAsciiDigit(c))
            ok = readNumber();
        else if (c == u'\'' || c == u'"')
            ok = readString();
        else if (isIdentifierStart(c))
            readIdentifier();
        else
            ok = readPunctuation();
        if (!ok)
            return false;
    }
    push(Kind::End, m_pos);
    return true;
}

// Consumes up to m_pos: the token covers [start, m_pos).
ExprToken &Tokenizer::push(Kind kind, qsizetype start)
{
    ExprToken &token = m_tokens.emplace_back();
    token.kind = kind;
    token.position = int(start);
    token.spelling = m_source.sliced(start, m_pos - start);
    return token;
}

bool Tokenizer::fail(ExprErrorCode code, qsizetype position)
{
    m_error.code = code;
    m_error.position = int(position);
    return false;
}

bool Tokenizer::readNumber()
{
    const qsizetype start = m_pos;
    while (isAsciiDigit(at(m_pos)))
        ++m_pos;
    bool hasFraction = false;
    if (at(m_pos) == u'.') {
        hasFraction = true;
        ++m_pos;
        if (!isAsciiDigit(at(m_pos)))
            return fail(ExprErrorCode::BadNumber, start);
        while (isAsciiDigit(at(m_pos)))
            ++m_pos;
    }
    // "12abc" or "1.2.3" is a typo, not a number followed by something else.
    if (isIdentifierPart(at(m_pos)) || at(m_pos) == u'.')
        return fail(ExprErrorCode::BadNumber, start);
    bool ok = false;
    const double value = m_source.sliced(start, m_pos - start).toDouble(&ok);
    if (!ok)
        return fail(ExprErrorCode::BadNumber, start);
    ExprToken &token = push(Kind::Number, start);
    token.number = value;
    token.hasFraction = hasFraction;
    return true;
}

// Inside a string the opening quote written twice stands for one quote;
// the other kind of quote is an ordinary character.
bool Tokenizer::readString()
{
    const qsizetype start = m_pos;
    const QChar quote = m_source[m_pos++];
    QString text;
    while (true) {
        const qsizetype close = m_source.indexOf(quote, m_pos);
        if (close < 0)
            return fail(ExprErrorCode::UnterminatedString, start);
        text.append(m_source.sliced(m_pos, close - m_pos));
        m_pos = close + 1;
        if (at(m_pos) != quote)
            break;
        text.append(quote);
        ++m_pos;
    }
    push(Kind::String, start).text = std::move(text);
    return true;
}

void Tokenizer::readIdentifier()
{
    const qsizetype start = m_pos;
    while (isIdentifierPart(at(m_pos)))
        ++m_pos;
    push(Kind::Identifier, start);
}

bool Tokenizer::readPunctuation()
{
    struct Symbol {
        QStringView spelling;
        Kind kind;
    };
    // Two-character operators come first so that "<=" is not read as "<" then "=".
    static constexpr Symbol symbols[] = {
        {u"<>", Kind::NotEqual},    {u"<=", Kind::LessEqual}, {u">=", Kind::GreaterEqual},
        {u"(", Kind::LeftParen},    {u")", Kind::RightParen}, {u"[", Kind::LeftBracket},
        {u"]", Kind::RightBracket}, {u",", Kind::Comma},      {u"+", Kind::Plus},
        {u"-", Kind::Minus},        {u"*", Kind::Star},       {u"/", Kind::Slash},
        {u"=", Kind::Equal},        {u"<", Kind::Less},       {u">", Kind::Greater},
    };
    const QStringView rest = m_source.sliced(m_pos);
    for (const Symbol &symbol : symbols) {
        if (rest.startsWith(symbol.spelling)) {
            const qsizetype start = m_pos;
            m_pos += symbol.spelling.size();
            push(symbol.kind, start);
            return true;
        }
    }
    return fail(ExprErrorCode::UnexpectedCharacter, m_pos);
}

} // namespace

bool tokenizeExpression(QStringView source, std::vector<ExprToken> &tokens, ExprError &error)
{
    return Tokenizer(source, tokens, error).run();
}
