#pragma once

#include "records/expression.h"

#include <QString>
#include <QStringView>
#include <vector>

// One lexical unit of an expression. Keywords are plain identifiers here; the
// parser decides what an identifier means from where it stands.
struct ExprToken {
    enum class Kind : unsigned char {
        End, // always the last token, placed just after the source
        Number,
        String,
        Identifier,
        LeftParen,
        RightParen,
        LeftBracket,
        RightBracket,
        Comma,
        Plus,
        Minus,
        Star,
        Slash,
        Equal,
        NotEqual,
        Less,
        Greater,
        LessEqual,
        GreaterEqual,
    };

    Kind kind = Kind::End;
    int position = 0;         // 0-based offset of the first character in the source
    QStringView spelling;     // the token as written, quotes included
    double number = 0;        // value of a Number
    bool hasFraction = false; // a Number written with a decimal point
    QString text;             // value of a String, with doubled quotes made single
};

// Splits `source` into `tokens`, ending with an End token. On a lexical fault
// returns false with `error` set; `tokens` then holds what was read so far.
bool tokenizeExpression(QStringView source, std::vector<ExprToken> &tokens, ExprError &error);
