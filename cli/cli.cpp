#include "cli/cli.h"

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/datafolderchoice.h"
#include "cli/exitstatus.h"
#include "cli/session.h"
#include "cli/terminal.h"
#include "cli/usage.h"

#include <cstdio>

namespace {

struct Subcommand {
    CommandSyntax syntax;
    int (*run)(Session &);
};

const std::vector<Subcommand> &subcommands()
{
    static const std::vector<Subcommand> all = {
        {{"scan", 1, 1, {"label", "desc", "category"}, {"replace"}}, runScan},
        {{"scan-images", 1, 1, {"category", "desc"}, {"file-names"}}, runScanImages},
        {{"search", 0, 1, {"type", "size", "date", "category"}, {"files"}}, runSearch},
        {{"list", 0, 0, {"sort"}, {}}, runList},
        {{"show", 1, 1, {}, {"tree"}}, runShow},
        {{"rm", 1, 1, {}, {}}, runRemove},
        {{"rename", 2, 2, {"desc", "category"}, {}}, runRename},
        {{"export", 0, 1, {"csv", "results"}, {"list"}}, runExport},
    };
    return all;
}

std::vector<CommandSyntax> syntaxes()
{
    std::vector<CommandSyntax> out;
    for (const Subcommand &command : subcommands())
        out.push_back(command.syntax);
    return out;
}

void print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

OutputFormat formatOf(const Arguments &args)
{
    if (args.has(QStringLiteral("json")))
        return OutputFormat::Json;
    return args.has(QStringLiteral("null")) ? OutputFormat::Null : OutputFormat::Tsv;
}

} // namespace

int runCommandLine(const QStringList &arguments, const QString &executablePath)
{
    Arguments args;
    QString error;
    if (!parseArguments(arguments, syntaxes(), args, error)) {
        tellUser(error + QStringLiteral("\n'tarvek-cli --help'로 쓰는 법을 보세요."));
        return kExitUsage;
    }
    if (args.has(QStringLiteral("version"))) {
        print(versionText());
        return kExitOk;
    }
    if (args.has(QStringLiteral("help"))) {
        print(usageText(args.command));
        return kExitOk;
    }
    if (args.command.isEmpty()) {
        std::fputs(usageText({}).toUtf8().constData(), stderr);
        return kExitUsage;
    }
    if (args.has(QStringLiteral("json")) && args.has(QStringLiteral("null"))) {
        tellUser(QStringLiteral("--json과 --null은 함께 쓸 수 없습니다."));
        return kExitUsage;
    }
    // An empty --data (a variable that was not set) must not fall back to the real catalogue.
    if (args.hasValue(QStringLiteral("data")) && args.value(QStringLiteral("data")).isEmpty()) {
        tellUser(QStringLiteral("--data에 데이터 폴더를 주세요."));
        return kExitUsage;
    }
    const DataFolderChoice folder = chooseDataFolder(args.value(QStringLiteral("data")), executablePath);
    Output out(formatOf(args));
    Session session(args, out, folder.folder, folder.perUser);
    int status = kExitUsage;
    for (const Subcommand &command : subcommands()) {
        if (command.syntax.name == args.command)
            status = command.run(session);
    }
    if (!out.flush()) {
        tellUser(QStringLiteral("결과를 쓰지 못했습니다."));
        return status == kExitOk ? kExitDataProblem : status;
    }
    return status;
}
