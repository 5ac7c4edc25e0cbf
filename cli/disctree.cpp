#include "cli/disctree.h"

#include "catalogue/datafiles.h"
#include "catalogue/datafolder.h"
#include "catalogue/sidefile.h"
#include "catalogue/treeloader.h"
#include "cli/terminal.h"
#include "files/paths.h"

bool loadDiscTree(const QString &dataFolder, const CatalogueEntry &entry, RecordSet &tree, TreeFacts &facts)
{
    const QString path = dataFolder + kPathSeparator + entry.file;
    if (!isBareFileName(entry.file)) {
        tellUser(QStringLiteral("'%1' 디스크의 파일 이름 '%2'은(는) 열 수 없는 이름입니다.")
                     .arg(entry.name, entry.file));
        return false;
    }
    const QString irregular = irregularFileProblem(path);
    if (!irregular.isEmpty()) {
        tellUser(irregular);
        return false;
    }
    HookContext hooks;
    SideFiles::Fingerprint fingerprint;
    const TreeLoad load = loadTree(hooks, tree, path, &fingerprint);
    if (!load.opened) {
        tellUser(QStringLiteral("'%1' 파일을 읽을 수 없습니다.").arg(path));
        return false;
    }
    SideFiles::Contents contents = SideFiles::readContents(SideFiles::pathFor(path));
    const QByteArray sideFingerprint = contents.fingerprint;
    if (SideFiles::accept(std::move(contents), tree, facts, &fingerprint))
        facts.thumbnails = Thumbnails::open(path, sideFingerprint); // saved again with the tree
    return true;
}
