// tarvek-cli scan PATH|IMAGE --label L [--desc D] [--category C] [--replace]: one disc scanned
// and saved as the window's Scan and Save do.

#include "cli/commands.h"

#include "catalogue/entrytexts.h"
#include "catalogue/layouts.h"
#include "cli/arguments.h"
#include "cli/category.h"
#include "cli/discscan.h"
#include "cli/exitstatus.h"
#include "cli/interrupt.h"
#include "cli/records.h"
#include "cli/session.h"
#include "cli/terminal.h"

#include <QFileInfo>

namespace {

// Whether a save under the label may go ahead: a free label, or one in use that --replace (or a
// yes with --interactive) gives over to the new tree.
int checkLabelFree(Session &session, const QString &label, bool &replacing, qint64 &indexRow)
{
    CatalogueEntries &entries = session.entries();
    indexRow = entries.discUsingLabel(label);
    replacing = indexRow > 0 || entries.fileWithoutEntry(label);
    if (!replacing || session.args.has(QStringLiteral("replace")))
        return kExitOk;
    if (session.interactive() && askUser(EntryTexts::replaceQuestion(label)))
        return kExitOk;
    tellUser(EntryTexts::labelInUse(label) + QStringLiteral("\n그 디스크를 바꾸려면 --replace를 붙이세요."));
    return kExitRefused;
}

} // namespace

int runScan(Session &session)
{
    const Arguments &args = session.args;
    const QString source = absolutePath(args.operands.first());
    const QFileInfo info(source);
    if (!info.isDir() && !info.isFile()) {
        tellUser(QStringLiteral("스캔할 폴더나 이미지 파일이 없습니다: '%1'").arg(source));
        return kExitUsage;
    }
    if (!args.hasValue(QStringLiteral("label"))) {
        tellUser(QStringLiteral("--label로 디스크의 라벨을 주세요."));
        return kExitUsage;
    }
    CatalogueEntry entry;
    entry.name = CatalogueEntries::trimmedLabel(args.value(QStringLiteral("label")));
    entry.desc = args.value(QStringLiteral("desc"));
    entry.file = CatalogueEntries::fileForLabel(entry.name);
    if (!parseCategory(args.value(QStringLiteral("category")), entry.gubn))
        return kExitUsage;
    const QString problem = CatalogueEntries::fieldsProblem(entry.name, entry.desc);
    if (!problem.isEmpty()) {
        tellUser(problem);
        return kExitRefused;
    }
    if (!session.prepareChange())
        return kExitDataProblem;
    bool replacing = false;
    qint64 indexRow = 0;
    if (const int status = checkLabelFree(session, entry.name, replacing, indexRow); status != kExitOk)
        return status;

    InterruptGuard guard;
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    const DiscScan scan = info.isDir() ? scanFolder(source, tree, facts) : scanImage(source, tree, facts);
    if (scan.end != DiscScan::End::Done) {
        tellUser(scan.error);
        return scan.end == DiscScan::End::Interrupted ? kExitInterrupted : kExitDataProblem;
    }
    const FileResult saved = saveScannedDisc(session.entries(), tree, facts, entry, replacing, indexRow);
    if (!saved.ok)
        return failedChange(saved);
    Record record = discRecord(session.entryAt(CatalogueEntries::findLabel(session.index(), entry.name)));
    record.number("rows", tree.RowCount());
    session.out.write(record);
    return kExitOk;
}
