// tarvek-cli list [--sort label|desc|category] and tarvek-cli show LABEL [--tree]: the saved discs,
// one disc's facts, or its whole tree.

#include "cli/commands.h"

#include "catalogue/csv.h"
#include "catalogue/datafiles.h"
#include "catalogue/entrysteps.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefacts.h"
#include "catalogue/sidefile.h"
#include "cli/arguments.h"
#include "cli/disctree.h"
#include "cli/exitstatus.h"
#include "cli/records.h"
#include "cli/session.h"
#include "cli/terminal.h"
#include "files/paths.h"

namespace {

// The list menu's three orders, by the names the command line gives them.
QString sortExpression(const QString &order)
{
    if (order == u"label")
        return QStringLiteral("name a");
    if (order == u"desc")
        return QStringLiteral("desc a, name a");
    if (order == u"category")
        return QStringLiteral("gubn a, name a");
    return {};
}

void showFacts(Session &session, const CatalogueEntry &entry)
{
    DiscFacts disc;
    const bool known =
        isBareFileName(entry.file) &&
        SideFiles::readDisc(SideFiles::pathFor(session.dataFolder() + kPathSeparator + entry.file), disc);
    Record record = discRecord(entry);
    record.text("category_name", categoryText(entry.gubn));
    record.text("volume_label", disc.volumeLabel, known).text("file_system", disc.fileSystemType, known);
    record.number("capacity", disc.capacity, known && disc.capacity != FileStat::kUnknown);
    record.number("free", disc.freeSpace, known && disc.freeSpace != FileStat::kUnknown);
    record.number("folders", disc.folders, known).number("files", disc.files, known);
    record.number("bytes", disc.totalSize, known);
    record.text("scanned", csvDate(disc.scanned), known && disc.scanned.isValid());
    session.out.writeFields(record);
}

int showTree(Session &session, const CatalogueEntry &entry)
{
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    if (!loadDiscTree(session.dataFolder(), entry, tree, facts))
        return kExitDataProblem;
    for (qint64 row = 1; row <= tree.RowCount(); ++row) {
        const TreeRow treeRow{tree.GetItemString(row, TreeColumn::fullname),
                              tree.GetItemString(row, TreeColumn::name),
                              tree.GetItemString(row, TreeColumn::bmpname) == kFolderPicture, row};
        session.out.write(rowRecord(entry.name, treeRow, rowFactsOf(facts, row)));
    }
    return tree.RowCount() > 0 ? kExitOk : kExitNothingFound;
}

} // namespace

int runList(Session &session)
{
    const QString order = session.args.value(QStringLiteral("sort"));
    const QString expression = sortExpression(order);
    if (session.args.hasValue(QStringLiteral("sort")) && expression.isEmpty()) {
        tellUser(QStringLiteral("--sort는 label, desc, category 중 하나입니다: '%1'").arg(order));
        return kExitUsage;
    }
    if (!session.readIndex())
        return kExitDataProblem;
    session.listEverything();
    RecordSet &list = session.list();
    if (!expression.isEmpty()) {
        list.SetSort(expression);
        list.Sort();
    }
    for (qint64 row = 1; row <= list.RowCount(); ++row)
        session.out.write(discRecord(entryAt(list, row)));
    return list.RowCount() > 0 ? kExitOk : kExitNothingFound;
}

int runShow(Session &session)
{
    if (!session.readIndex())
        return kExitDataProblem;
    const qint64 row = session.discRow(session.args.operands.first());
    if (row == 0)
        return kExitNothingFound;
    const CatalogueEntry entry = session.entryAt(row);
    if (session.args.has(QStringLiteral("tree")))
        return showTree(session, entry);
    showFacts(session, entry);
    return kExitOk;
}
