#include "cli/arguments.h"

#include <algorithm>

namespace {

const QStringList kGlobalValues = {QStringLiteral("data")};
const QStringList kGlobalFlags = {QStringLiteral("json"), QStringLiteral("null"),
                                  QStringLiteral("interactive"), QStringLiteral("help"),
                                  QStringLiteral("version")};

const CommandSyntax *findSyntax(const std::vector<CommandSyntax> &syntaxes, const QString &name)
{
    const auto found = std::find_if(syntaxes.begin(), syntaxes.end(),
                                    [&](const CommandSyntax &syntax) { return syntax.name == name; });
    return found == syntaxes.end() ? nullptr : &*found;
}

// One option at args[i] ("--name", "--name=value" or "-h"); moves i past its value.
bool takeOption(const QStringList &args, qsizetype &i, const CommandSyntax *syntax, Arguments &out,
                QString &error)
{
    QString name = args[i] == u"-h" ? QStringLiteral("help") : args[i].mid(2);
    QString value;
    const qsizetype equals = name.indexOf(u'=');
    const bool inline_ = equals >= 0;
    if (inline_) {
        value = name.mid(equals + 1);
        name.truncate(equals);
    }
    const bool takesValue = kGlobalValues.contains(name) || (syntax && syntax->valueOptions.contains(name));
    const bool isFlag = kGlobalFlags.contains(name) || (syntax && syntax->flagOptions.contains(name));
    if (!takesValue && !isFlag) {
        error = args[i].startsWith(u"--")
                    ? QStringLiteral("알 수 없는 옵션입니다: %1").arg(args[i])
                    : QStringLiteral("알 수 없는 옵션입니다: %1 (\"-\"로 시작하는 글은 \"--\" 뒤에 쓰세요)")
                          .arg(args[i]);
        return false;
    }
    if (isFlag) {
        if (inline_) {
            error = QStringLiteral("%1 옵션은 값을 받지 않습니다.").arg(QStringLiteral("--") + name);
            return false;
        }
        out.flags.insert(name);
        return true;
    }
    if (!inline_) {
        if (i + 1 >= args.size()) {
            error = QStringLiteral("%1 옵션에 값이 없습니다.").arg(QStringLiteral("--") + name);
            return false;
        }
        value = args[++i];
    }
    out.values.insert(name, value);
    return true;
}

bool isOption(const QString &arg)
{
    return arg == u"-h" || (arg.startsWith(u"-") && arg.size() > 1);
}

} // namespace

bool parseArguments(const QStringList &args, const std::vector<CommandSyntax> &syntaxes, Arguments &out,
                    QString &error)
{
    out = Arguments{};
    const CommandSyntax *syntax = nullptr;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (!optionsEnded && arg == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && isOption(arg)) {
            if (!takeOption(args, i, syntax, out, error))
                return false;
        } else if (!syntax) {
            syntax = findSyntax(syntaxes, arg);
            if (!syntax) {
                error = QStringLiteral("알 수 없는 명령입니다: %1").arg(arg);
                return false;
            }
            out.command = arg;
        } else {
            out.operands << arg;
        }
    }
    if (!syntax || out.has(QStringLiteral("help")) || out.has(QStringLiteral("version")))
        return true;
    if (out.operands.size() < syntax->minOperands || out.operands.size() > syntax->maxOperands) {
        error = QStringLiteral("%1 명령의 인자가 맞지 않습니다.").arg(syntax->name);
        return false;
    }
    return true;
}
