// tarvek-cli rm LABEL and tarvek-cli rename OLD NEW [--desc D] [--category C]: the list menu's
// 삭제 and 변경, through the window's entry changes.

#include "cli/commands.h"

#include "catalogue/entrytexts.h"
#include "cli/arguments.h"
#include "cli/category.h"
#include "cli/exitstatus.h"
#include "cli/records.h"
#include "cli/session.h"
#include "cli/terminal.h"

int runRemove(Session &session)
{
    if (!session.prepareChange())
        return kExitDataProblem;
    const qint64 row = session.discRow(session.args.operands.first());
    if (row == 0)
        return kExitNothingFound;
    const CatalogueEntry entry = session.entryAt(row);
    if (session.interactive() && !askUser(EntryTexts::deleteQuestion(EntryTexts::labelOfFile(entry.file))))
        return kExitRefused;
    // The list holds the index's rows in its order: the disc's list row is its index row.
    session.listEverything();
    const CatalogueEntries::Removal removal = session.entries().remove(row);
    if (!removal.index.ok)
        return failedChange(removal.index);
    if (removal.fileDeleteFailed) {
        tellUser(EntryTexts::fileDeleteError(entry.file));
        return kExitDataProblem;
    }
    return kExitOk;
}

int runRename(Session &session)
{
    const Arguments &args = session.args;
    if (!session.prepareChange())
        return kExitDataProblem;
    const qint64 row = session.discRow(args.operands.at(0));
    if (row == 0)
        return kExitNothingFound;
    const CatalogueEntry before = session.entryAt(row);
    CatalogueEntry after = before;
    after.name = CatalogueEntries::trimmedLabel(args.operands.at(1));
    after.file = CatalogueEntries::fileForLabel(after.name);
    if (args.hasValue(QStringLiteral("desc")))
        after.desc = args.value(QStringLiteral("desc"));
    if (args.hasValue(QStringLiteral("category")) &&
        !parseCategory(args.value(QStringLiteral("category")), after.gubn))
        return kExitUsage;
    // As the dialog's 변경 checks: only what changes, so that an entry the earlier version wrote stays
    // editable.
    const QString problem = CatalogueEntries::fieldsProblem(after.name, after.desc, &before);
    if (!problem.isEmpty()) {
        tellUser(problem);
        return kExitRefused;
    }
    session.listEverything();
    const FileResult changed = session.entries().change(before.name, after);
    if (!changed.ok)
        return failedChange(changed);
    session.out.write(discRecord(session.entryAt(CatalogueEntries::findLabel(session.index(), after.name))));
    return kExitOk;
}
