#include "cli/discscan.h"

#include "catalogue/layouts.h"
#include "cli/interrupt.h"
#include "cli/terminal.h"
#include "files/filesystem.h"
#include "files/progress.h"
#include "scanner/archivescan.h"
#include "scanner/discimage.h"
#include "scanner/drivescan.h"
#include "scanner/mediascan.h"
#include "treeview/expandcollapse.h"

#include <QDir>
#include <QStorageInfo>

namespace {

// A folder that is no volume's root is not a disc of its own: the label, the file system and the
// room of the volume it lies on are not its facts.
DiscFacts factsOfFolder(const QString &root)
{
    DiscFacts facts = volumeFactsOf(root);
    if (QStorageInfo(root).rootPath() != QDir::cleanPath(root)) {
        const QDateTime scanned = facts.scanned;
        facts = DiscFacts{};
        facts.scanned = scanned;
    }
    return facts;
}

DiscScan walk(FolderWalk *folders, const QString &root, RecordSet &tree, TreeFacts &facts,
              ArchiveScan *archives = nullptr, MediaScan *media = nullptr)
{
    ProgressLine line;
    HookContext hooks;
    Progress progress;
    QString status = QStringLiteral("준비중"), item;
    hooks.yieldAndCheckCancel = [] { return InterruptGuard::interrupted(); };
    if (line.shown()) {
        hooks.progress = &progress;
        hooks.showStatus = [&](const QString &text) { status = text; };
        hooks.showItem = [&](const QString &folder) {
            item = folder;
            line.show(status + u' ' + item);
        };
    }
    scanDrive(hooks, folders, root, tree, facts, {}, archives, media);
    line.clear();
    if (InterruptGuard::interrupted())
        return {DiscScan::End::Interrupted, interruptedText()};
    foldToRoot(tree);
    return {};
}

} // namespace

QString interruptedText()
{
    return QStringLiteral("스캔을 멈췄습니다. 아무것도 저장하지 않았습니다.");
}

DiscScan scanFolder(const QString &root, RecordSet &tree, TreeFacts &facts)
{
    const QString drive = root.endsWith(u'/') ? root : root + u'/';
    LocalFileSystem fs;
    // The archives on it are listed as the window lists them (but for compressed tar files).
    ArchiveLimits limits;
    limits.headBytes = &MediaScan::headBytesFor;
    ArchiveScan archives(limits);
    const std::unique_ptr<FolderWalk> folders = archives.wrap(fs.walkDrive(drive), nullptr);
    facts.disc = factsOfFolder(drive);
    // The pictures and songs are read as the window reads them with its option on.
    MediaScan media(folders.get());
    return walk(folders.get(), drive, tree, facts, &archives, &media);
}

DiscScan scanImage(const QString &image, RecordSet &tree, TreeFacts &facts)
{
    DiscImage disc;
    QString error;
    if (!openDiscImage(image, disc, error))
        return {DiscScan::End::Unreadable, error};
    facts.disc = disc.facts;
    MediaScan media(disc.walk.get());
    const DiscScan scan = walk(disc.walk.get(), disc.root, tree, facts, disc.archives.get(), &media);
    if (tree.RowCount() >= 1 && !disc.rootName.isEmpty())
        tree.SetItem(1, TreeColumn::name, disc.rootName);
    return scan;
}

FileResult saveScannedDisc(CatalogueEntries &entries, const RecordSet &tree, const TreeFacts &facts,
                           const CatalogueEntry &entry, bool replacing, qint64 indexRow)
{
    return replacing ? entries.replace(tree, entry, indexRow, &facts) : entries.add(tree, entry, &facts);
}
