#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

// What a subcommand takes: how many operands, and which options with a value and without one
// (names without the leading "--").
struct CommandSyntax {
    QString name;
    int minOperands = 0;
    int maxOperands = 0;
    QStringList valueOptions;
    QStringList flagOptions;
};

// A command line taken apart: the subcommand, its operands and its options. The options every
// subcommand takes (--data, --json, --null, --interactive, --help, --version) may stand anywhere.
struct Arguments {
    QString command; // empty when none was given
    QStringList operands;
    QHash<QString, QString> values;
    QSet<QString> flags;

    [[nodiscard]] bool has(const QString &flag) const { return flags.contains(flag); }
    [[nodiscard]] bool hasValue(const QString &name) const { return values.contains(name); }
    [[nodiscard]] QString value(const QString &name) const { return values.value(name); }
};

// Takes `args` (without the program's name) apart against the subcommands' syntaxes: "--name value"
// or "--name=value", "--" ending the options (so that a text may begin with "-"), "-h" for
// "--help". False, with `error` for the user, when an option, an operand or a value is amiss;
// with --help or --version the operands are not counted.
bool parseArguments(const QStringList &args, const std::vector<CommandSyntax> &syntaxes, Arguments &out,
                    QString &error);
