// tarvek-cli export LABEL --csv FILE, export --results TEXT --csv FILE and export --list --csv
// FILE: the window's CSV exports of a disc's tree, of the results and of the disc list.

#include "cli/commands.h"

#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "cli/arguments.h"
#include "cli/disctree.h"
#include "cli/exitstatus.h"
#include "cli/rowsearch.h"
#include "cli/session.h"
#include "cli/terminal.h"
#include "search/resultsexport.h"

namespace {

int written(const FileResult &result)
{
    if (result.ok)
        return kExitOk;
    tellUser(result.error);
    return kExitDataProblem;
}

} // namespace

int runExport(Session &session)
{
    const Arguments &args = session.args;
    const bool results = args.hasValue(QStringLiteral("results"));
    const bool list = args.has(QStringLiteral("list"));
    if (!args.hasValue(QStringLiteral("csv")) ||
        int(results) + int(list) + int(!args.operands.isEmpty()) != 1) {
        tellUser(QStringLiteral("export에는 라벨, --results 글, --list 중 하나와 --csv 파일이 필요합니다."));
        return kExitUsage;
    }
    // Before the data folder is listed, which makes it the current directory.
    const QString csv = absolutePath(args.value(QStringLiteral("csv")));
    if (!session.readIndex())
        return kExitDataProblem;
    if (list) {
        session.listEverything();
        return written(exportDiscList(csv, session.list(), session.dataFolder()));
    }
    if (results) {
        ResultStore store;
        const bool found = searchRows(session, args.value(QStringLiteral("results")), store);
        const int status = written(exportResults(csv, store, {}, session.dataFolder()));
        return status == kExitOk && !found ? kExitNothingFound : status;
    }
    const qint64 row = session.discRow(args.operands.first());
    if (row == 0)
        return kExitNothingFound;
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    if (!loadDiscTree(session.dataFolder(), session.entryAt(row), tree, facts))
        return kExitDataProblem;
    return written(exportTree(csv, tree, facts));
}
