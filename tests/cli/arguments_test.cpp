// The command line taken apart: options anywhere, values inline or after, "--" before a text that
// begins with "-", and every way of getting it wrong.

#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace {
const std::vector<CommandSyntax> kSyntaxes = {
    {"scan", 1, 1, {"label", "desc"}, {"replace"}},
    {"search", 0, 1, {"type"}, {"files"}},
};
} // namespace

TEST(CliArguments, TakenApartAgainstTheSubcommands)
{
    struct Case {
        QStringList args;
        bool ok;
        QString command, operands, values, flags; // values as "name=value" joined by ",", sorted
    };
    const Case cases[] = {
        {{"--json", "scan", "/media/x", "--label", "A B"}, true, "scan", "/media/x", "label=A B", "json"},
        {{"scan", "--label=-x-", "/m", "--replace", "--data", "/d"},
         true,
         "scan",
         "/m",
         "data=/d,label=-x-",
         "replace"},
        {{"search", "--files", "--", "-jpg"}, true, "search", "-jpg", "", "files"},
        {{"search", "--type", "사진", "--files"}, true, "search", "", "type=사진", "files"},
        {{"search"}, true, "search", "", "", ""},
        {{"scan", "--help"}, true, "scan", "", "", "help"}, // no operand needed with --help
        {{"-h"}, true, "", "", "", "help"},
        {{}, true, "", "", "", ""},
        {{"search", "-jpg"}, false, "", "", "", ""},              // unknown option: "--" first
        {{"scan", "/m", "--label"}, false, "", "", "", ""},       // a value missing
        {{"scan", "/m", "--replace=yes"}, false, "", "", "", ""}, // a flag given a value
        {{"scan", "/m", "--type", "x"}, false, "", "", "", ""},   // another subcommand's option
        {{"scan"}, false, "", "", "", ""},                        // too few operands
        {{"scan", "/a", "/b"}, false, "", "", "", ""},            // too many
        {{"label", "x"}, false, "", "", "", ""},                  // no such subcommand
        {{"--label", "x", "scan", "/m"}, false, "", "", "", ""},  // its options after it
    };
    for (const Case &c : cases) {
        Arguments args;
        QString error;
        const bool ok = parseArguments(c.args, kSyntaxes, args, error);
        SCOPED_TRACE(qPrintable(c.args.join(u' ')));
        ASSERT_EQ(ok, c.ok) << qPrintable(error);
        if (!ok) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        QStringList values, flags(args.flags.begin(), args.flags.end());
        for (auto it = args.values.cbegin(); it != args.values.cend(); ++it)
            values << it.key() + u'=' + it.value();
        values.sort();
        flags.sort();
        EXPECT_EQ(args.command, c.command);
        EXPECT_EQ(args.operands.join(u'|'), c.operands);
        EXPECT_EQ(values.join(u','), c.values);
        EXPECT_EQ(flags.join(u','), c.flags);
    }
}
