// Properties of the archive walk over any bytes: libarchive reads them, through the program's
// callbacks and bounds, into a tree of members (the archives inside them one level down), which
// is then scanned as an image file is, through the same walks as a disc:
// - no crash, and no reading past the time bound (with a margin for one decompressed block);
// - no more members than the bound, none at all when the reading ends in a leaf;
// - the count walk counts exactly the rows the build walk adds;
// - every row lies inside its branch: its path is its parent's (a file) or its parent's followed
//   by its own name and the separator (a folder), below the image's root, one level deeper than
//   its parent, with a name that holds no separator;
// - sizes are never negative, and every archive's note describes rows inside the tree.
//
// Input: the bytes of the file, whatever they hold.

#include "catalogue/archivenote.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "files/archivereader.h"
#include "fuzz_support.h"
#include "scanner/archivescan.h"
#include "scanner/foldercount.h"
#include "scanner/keptlistings.h"
#include "scanner/mediascan.h"
#include "scanner/treebuilder.h"

#include <QElapsedTimer>

namespace {

using fuzz::check;

constexpr qint64 kMilliseconds = 2000;
// One block handed to a decompressor may take a while past the bound before it comes back.
constexpr qint64 kMargin = 3000;

void checkBranches(const RecordSet &rows, const QString &root)
{
    check(rows.GetItemString(1, TreeColumn::fullname) == root, "the first row is the image's root");
    std::vector<qint64> parents; // the folder rows above the row looked at, by level
    for (qint64 row = 1; row <= rows.RowCount(); ++row) {
        const qint64 level = rows.GetItemNumber(row, TreeColumn::level);
        const QString path = rows.GetItemString(row, TreeColumn::fullname);
        const QString name = rows.GetItemString(row, TreeColumn::name);
        const bool folder =
            rows.GetItemString(row, TreeColumn::bmpname) == QString::fromUtf16(kFolderPicture);
        check(!name.isEmpty(), "every row has a name");
        check(path.startsWith(root), "every row lies below the image's root");
        if (row == 1) {
            check(level == 1 && folder, "the root is a folder at level 1");
            parents = {1};
            continue;
        }
        check(!name.contains(u'/'), "no name holds a separator");
        check(level >= 2 && level <= qint64(parents.size()) + 1, "a row is one level below its parent");
        parents.resize(size_t(level - 1));
        const QString parentPath = rows.GetItemString(parents.back(), TreeColumn::fullname);
        if (folder) {
            if (path != parentPath + name + u'/')
                fuzz::fail("a folder's path is its parent's and its name", fuzz::shown(path));
            parents.push_back(row);
        } else if (path != parentPath) {
            fuzz::fail("a file's path is its folder's", fuzz::shown(path));
        }
    }
}

void checkFacts(const RecordSet &rows, const TreeFacts &facts)
{
    check(facts.describes(rows.RowCount()), "the facts describe every row");
    for (qint64 row = 1; row <= rows.RowCount(); ++row) {
        const qint64 size = facts.at(row).size;
        check(size == FileStat::kUnknown || size >= 0, "no size is negative");
    }
    if (const RowNotes *notes = facts.notes.find(kArchiveNotes)) {
        for (const auto &[row, text] : notes->all()) {
            const std::optional<ArchiveNote> note = decodeArchiveNote(text);
            check(note.has_value(), "every archive note reads back");
            check(row >= 2 && row + note->rows <= rows.RowCount(), "an archive's branch lies in the tree");
            for (qint64 below = row + 1; below <= row + note->rows; ++below)
                check(rows.GetItemNumber(below, TreeColumn::level) >
                          rows.GetItemNumber(row, TreeColumn::level),
                      "an archive's rows lie below it");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    ArchiveLimits limits;
    limits.maxMembers = 3000;
    limits.milliseconds = kMilliseconds;
    limits.nestedBytes = qint64(4) << 20;
    limits.streamed = true;
    // The first bytes of the members a media reader would want, kept and read as the scan does.
    limits.headBytes = [](QByteArrayView name) { return name.endsWith("jpg") ? qint64(4096) : qint64(0); };
    limits.headBudget = 64 * 1024;
    QElapsedTimer timer;
    timer.start();
    ArchiveTree members;
    const ArchiveRead read = readArchiveBytes(
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), limits, {}, members);
    check(timer.elapsed() < kMilliseconds + kMargin, "the reading stops at its time bound");
    check(members.members() <= limits.maxMembers, "no more members than the bound");
    check(read.members == members.members(), "the members read are those in the tree");
    if (isLeaf(read.outcome)) {
        check(members.members() == 0, "a leaf has no members");
        return 0;
    }
    const QString root = QStringLiteral("/disc/image.bin/");
    const QByteArray rootBytes = root.toUtf8();
    ArchiveScan archives(limits);
    archives.noteImage(rootBytes, read);
    const std::unique_ptr<FolderWalk> walk = archives.walkImage(rootBytes, std::move(members), {});
    HookContext hooks;
    KeptListings kept;
    qint64 counted = 0;
    ScanContext count{hooks, walk.get(), &kept, nullptr, &archives};
    wf_file_cnt(count, root, counted);
    RecordSet rows(d_dir_tree());
    TreeFacts facts;
    MediaScan media(walk.get());
    ScanContext build{hooks, nullptr, &kept, &facts, &archives, &media};
    TreeBuilder(build, rows).of_recurse_dir_list(root, 1);
    check(rows.RowCount() == counted, "the count is the rows the build adds");
    checkBranches(rows, root);
    checkFacts(rows, facts);
    return 0;
}
