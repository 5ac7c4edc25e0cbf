#include "scanner/drivescan.h"

#include "catalogue/discfacts.h"
#include "scanner/contenthashing.h"
#include "scanner/foldercount.h"
#include "scanner/keptlistings.h"
#include "scanner/treebuilder.h"

qint64 scanDrive(HookContext &hooks, FolderWalk *walk, const QString &root, RecordSet &tree, TreeFacts &facts,
                 const ScanReports &reports, ArchiveScan *archives, MediaScan *media, bool hashContents)
{
    KeptListings kept;
    ContentHashing hashing;
    ContentHashing *hashes = hashContents && walk ? &hashing : nullptr;
    qint64 counted = 0;
    ScanContext count{hooks, walk, &kept, nullptr, archives, nullptr, hashes};
    count.showFound = reports.found;
    wf_file_cnt(count, root, counted);
    // Asked before the count is reported over, so that a cancel meant for the build is not taken
    // for one that stopped the count.
    const bool countCancelled = hooks.cancelled();
    if (reports.counted)
        reports.counted();
    // A cancel that stopped the count is over: the build makes what was read into a tree, and the
    // kept listings run out exactly where the count stopped.
    HookContext buildHooks = hooks;
    if (countCancelled)
        buildHooks.yieldAndCheckCancel = [&hooks] {
            hooks.yieldAndCheckCancel();
            return false;
        };
    if (hooks.progress)
        hooks.progress->setPosition(0); // the count left it at the share of the tree walked
    buildHooks.setMaximum(counted);
    tree.reserve(tree.RowCount() + counted); // the rows to come, without growing by doubling
    facts.reserve(facts.rows() + counted);
    // With the count's listings kept, the build walk lists nothing itself.
    ScanContext build{buildHooks, nullptr, &kept, &facts, archives, media, hashes};
    TreeBuilder(build, tree).of_recurse_dir_list(root, 1);
    if (hashes && !hooks.cancelled())
        hashes->run(hooks, *walk, facts);
    return counted;
}
