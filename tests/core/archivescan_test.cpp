// The archives a scan meets become branches of the tree, with their notes in the side file, and an
// image file scans as the disc it stands for, row for row as the same tree on a disc.

#include "catalogue/archivenote.h"
#include "catalogue/datafiles.h"
#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "files/isovolume.h"
#include "scanner/archivescan.h"
#include "scanner/foldercount.h"
#include "scanner/imagescan.h"
#include "scanner/keptlistings.h"
#include "scanner/treebuilder.h"
#include "support/archives.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A scan of a folder of this machine as the window runs it: the count with its listings kept, then
// the build, the archives it meets listed.
struct DriveScan {
    DriveScan() { hooks.progress = &progress; }
    void run(const QString &root, const ArchiveLimits &limits = {})
    {
        LocalFileSystem fs;
        ArchiveScan archives(limits);
        KeptListings kept;
        {
            const auto walk = archives.wrap(fs.walkDrive(root), &hooks);
            ScanContext count{hooks, walk.get(), &kept, nullptr, &archives};
            wf_file_cnt(count, root, counted);
        }
        hooks.setMaximum(counted);
        ScanContext build{hooks, nullptr, &kept, &facts, &archives};
        TreeBuilder(build, tree).of_recurse_dir_list(root, 1);
    }
    RecordSet tree{d_dir_tree()};
    TreeFacts facts;
    HookContext hooks;
    Progress progress;
    qint64 counted = 0;
};

// Every row below the root as "level path|name size mtime archive?", the root's path left out.
QStringList rowsBelowRoot(const RecordSet &tree, const TreeFacts &facts)
{
    const QString root = tree.GetItemString(1, TreeColumn::fullname);
    const RowNotes *archives = facts.notes.find(kArchiveNotes);
    QStringList rows;
    for (qint64 row = 2; row <= tree.RowCount(); ++row) {
        const FileStat stat = facts.at(row);
        rows << QStringLiteral("%1 %2|%3 %4 %5%6")
                    .arg(tree.GetItemString(row, TreeColumn::level),
                         tree.GetItemString(row, TreeColumn::fullname).mid(root.size()),
                         tree.GetItemString(row, TreeColumn::name))
                    .arg(stat.size)
                    .arg(stat.mtime)
                    .arg(archives && !archives->at(row).isEmpty() ? u" archive"_s : QString());
    }
    return rows;
}

QStringList shapes(const RecordSet &tree)
{
    QStringList rows;
    const QString root = tree.GetItemString(1, TreeColumn::fullname);
    for (qint64 row = 1; row <= tree.RowCount(); ++row)
        rows << tree.GetItemString(row, TreeColumn::level) + u' ' +
                    tree.GetItemString(row, TreeColumn::fullname).mid(root.size()) + u'|' +
                    tree.GetItemString(row, TreeColumn::name) + u' ' +
                    tree.GetItemString(row, TreeColumn::bmpname);
    return rows;
}

qint64 fileSize(const QString &path)
{
    return QFileInfo(path).size();
}

// A generated disc tree in `dir`/src, deeper than ISO 9660's eight levels so that Rock Ridge
// relocates folders, with long Hangul names, and its image `dir`/disc.iso; `extra` adds to the tree
// before the image is made. The image's path, empty when it could not be made.
QString makeImage(const QTemporaryDir &dir, int entries, int depth, int seed,
                  const std::function<void(const QString &)> &extra, const QStringList &label = {})
{
    const QString src = dir.filePath(u"src"_s);
    if (!archives::run(u"python3"_s, {QStringLiteral(TARVEK_TEST_DATA_DIR "/make_tree.py"), src,
                                      u"--entries"_s, QString::number(entries), u"--depth"_s,
                                      QString::number(depth), u"--seed"_s, QString::number(seed)}))
        return {};
    if (extra)
        extra(src);
    const QString image = dir.filePath(u"disc.iso"_s);
    const QStringList options = {u"-quiet"_s,         u"-J"_s,   u"-R"_s, u"-joliet-long"_s,
                                 u"-input-charset"_s, u"utf-8"_s};
    return archives::run(u"genisoimage"_s, options + label + QStringList{u"-o"_s, image, src}) ? image
                                                                                               : QString();
}

} // namespace

TEST(ArchiveScan, ArchivesAreFoldersOfTheTreeWithNotesOfTheirOwn)
{
    QTemporaryDir dir;
    const QString disc = dir.filePath(u"disc"_s);
    archives::write(disc + u"/docs/a.txt"_s, "aaa", 1000000000);
    ASSERT_TRUE(archives::make(u"zip-cp949"_s, disc + u"/photos.zip"_s,
                               {u"여행/바다.jpg=sea"_s, u"메모.txt=memo"_s}));
    archives::write(disc + u"/fake.zip"_s, "not a zip", 1000000000);
    archives::write(disc + u"/b.txt"_s, "bb", 1000000000);
    archives::write(dir.filePath(u"log/log.txt"_s), "log line", 1000000000);
    if (!archives::bsdtar(disc + u"/logs.tar.gz"_s, dir.filePath(u"log"_s), {u"log.txt"_s}, {u"-z"_s}))
        GTEST_SKIP() << "bsdtar (libarchive-tools) is not installed";
    const qint64 zipSize = fileSize(disc + u"/photos.zip"_s);
    const qint64 tgzSize = fileSize(disc + u"/logs.tar.gz"_s);

    DriveScan scan;
    scan.run(disc + u'/');
    EXPECT_EQ(shapes(scan.tree),
              QStringList({"1 |disc folder.bmp", "2 docs/|docs folder.bmp", "3 docs/|a.txt line.bmp",
                           "2 photos.zip/|photos.zip folder.bmp", "3 photos.zip/여행/|여행 folder.bmp",
                           "4 photos.zip/여행/|바다.jpg line.bmp", "3 photos.zip/|메모.txt line.bmp",
                           "2 |b.txt line.bmp", "2 |fake.zip line.bmp", "2 |logs.tar.gz line.bmp"}));
    EXPECT_EQ(scan.counted, scan.tree.RowCount());
    // The archive's own size and date; the disc holds the archive, not what it unpacks to.
    const std::optional<ArchiveNote> note = ArchiveRows(scan.facts.notes).note(4);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->size, zipSize);
    EXPECT_EQ(note->mtime, QFileInfo(disc + u"/photos.zip"_s).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(note->unpacked, 7);
    EXPECT_EQ(note->rows, 3);
    EXPECT_EQ(note->format, u"zip"_s);
    EXPECT_EQ(note->outcome, ArchiveOutcome::Listed);
    EXPECT_EQ(scan.facts.at(4).size, zipSize);
    EXPECT_EQ(scan.facts.disc.totalSize, 3 + zipSize + 9 + 2 + tgzSize);
    EXPECT_EQ(scan.facts.disc.files, 6);
    EXPECT_EQ(scan.facts.notes.find(kArchiveNotes)->all().size(), 1u);
    EXPECT_TRUE(rowFactsText(scan.tree, scan.facts, 6).contains(u" — 압축 파일 안 · "_s));
    EXPECT_FALSE(rowFactsText(scan.tree, scan.facts, 8).contains(u"압축 파일 안"_s));

    // The catalogue file keeps its nine fields, the archive a folder row; the notes go to the side file.
    const QString catalogue = dir.filePath(u"data/cd_disc.dat"_s);
    QDir().mkpath(dir.filePath(u"data"_s));
    ASSERT_TRUE(writeCatalogue(scan.tree, catalogue).ok);
    RecordSet loaded(d_dir_tree());
    loadDataFile(loaded, catalogue);
    ASSERT_EQ(loaded.RowCount(), scan.tree.RowCount());
    EXPECT_EQ(loaded.GetItemString(4, TreeColumn::bmpname), u"folder.bmp"_s);
    EXPECT_EQ(loaded.GetItemString(4, TreeColumn::selectedbmpname), u"foldopen.bmp"_s);
    QFile raw(catalogue);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray line = raw.readAll().split('\n').value(3);
    EXPECT_EQ(line.count('\t'), 8) << line.toStdString();
    ASSERT_TRUE(SideFiles::write(SideFiles::pathFor(catalogue), scan.tree, scan.facts).ok);
    TreeFacts back;
    ASSERT_TRUE(SideFiles::read(SideFiles::pathFor(catalogue), loaded, back));
    EXPECT_EQ(ArchiveRows(back.notes).note(4), note);
    EXPECT_TRUE(ArchiveRows(back.notes).isInside(7));

    // Read whole only when asked: then the compressed tar is a branch too.
    DriveScan whole;
    ArchiveLimits streamed;
    streamed.streamed = true;
    whole.run(disc + u'/', streamed);
    // A branch like a folder's: among the folders, by its name.
    EXPECT_EQ(shapes(whole.tree).mid(3, 3),
              QStringList({"2 logs.tar.gz/|logs.tar.gz folder.bmp", "3 logs.tar.gz/|log.txt line.bmp",
                           "2 photos.zip/|photos.zip folder.bmp"}));
    EXPECT_EQ(whole.counted, whole.tree.RowCount());
}

TEST(ArchiveScan, ABranchCutShortEndsWithARowThatSaysSo)
{
    QTemporaryDir dir;
    const QString disc = dir.filePath(u"disc"_s);
    ASSERT_TRUE(archives::make(u"zip-utf8"_s, disc + u"/many.zip"_s,
                               {u"sub/1=1"_s, u"sub/2=2"_s, u"3=3"_s, u"4=4"_s, u"5=5"_s, u"6=6"_s}));
    archives::write(disc + u"/z.txt"_s, "z");
    ArchiveLimits three;
    three.maxMembers = 3;
    DriveScan scan;
    scan.run(disc + u'/', three);
    const QString cut = cutShortRowName(ArchiveOutcome::TooManyMembers, three);
    EXPECT_EQ(shapes(scan.tree), QStringList({"1 |disc folder.bmp", "2 many.zip/|many.zip folder.bmp",
                                              "3 many.zip/sub/|sub folder.bmp", "4 many.zip/sub/|1 line.bmp",
                                              "4 many.zip/sub/|2 line.bmp",
                                              "3 many.zip/|" + cut + " line.bmp", "2 |z.txt line.bmp"}));
    EXPECT_EQ(scan.counted, scan.tree.RowCount());
    EXPECT_TRUE(rowFactsText(scan.tree, scan.facts, 2).contains(u"항목이 너무 많아"_s));

    // An archive chosen as the disc itself ends its root's listing so.
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    HookContext hooks;
    const ImageScan image = scanImage(disc + u"/many.zip"_s, hooks, three, tree, facts);
    ASSERT_TRUE(image.read) << image.problem.toStdString();
    EXPECT_EQ(tree.GetItemString(tree.RowCount(), TreeColumn::name), cut);
    EXPECT_EQ(tree.GetItemString(1, TreeColumn::name), u"many.zip"_s) << "no label: the file's name";
    EXPECT_EQ(facts.disc.fileSystemType, u"zip"_s);
}

TEST(ImageScan, RowsBelowTheRootAreThoseOfTheSameTreeOnADisc)
{
    if (!archives::have(u"genisoimage"_s))
        GTEST_SKIP() << "genisoimage is not installed";
    QTemporaryDir dir;
    const QString image = makeImage(
        dir, 1500, 11, 5,
        [&dir](const QString &src) {
            archives::make(u"zip-cp949"_s, src + u"/압축.zip"_s, {u"사진/바다.jpg=sea"_s});
            // A compressed tar stays a leaf, as it does on a disc with the option off.
            archives::write(dir.filePath(u"log/log.txt"_s), "log");
            archives::bsdtar(src + u"/logs.tar.gz"_s, dir.filePath(u"log"_s), {u"log.txt"_s}, {u"-z"_s});
        },
        {u"-V"_s, u"TEST_IMG"_s});
    ASSERT_FALSE(image.isEmpty());
    const QString src = dir.filePath(u"src"_s);
    ASSERT_TRUE(QFile::exists(src + u"/logs.tar.gz"_s));
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    HookContext hooks;
    Progress progress;
    hooks.progress = &progress;
    const ImageScan scan = scanImage(image, hooks, {}, tree, facts);
    ASSERT_TRUE(scan.read) << scan.problem.toStdString();
    EXPECT_EQ(scan.volumeLabel, u"TEST_IMG"_s);
    EXPECT_EQ(tree.GetItemString(1, TreeColumn::name), u"TEST_IMG"_s);
    EXPECT_EQ(tree.GetItemString(1, TreeColumn::fullname), image + u'/');
    IsoVolume volume;
    ASSERT_TRUE(readIsoVolume(image, volume));
    EXPECT_EQ(facts.disc.capacity, volume.capacity);
    EXPECT_EQ(facts.disc.fileSystemType, u"iso9660"_s);
    EXPECT_EQ(progress.position(), progress.maximum());
    EXPECT_EQ(tree.RowCount(), 1500 + 4) << "the generated rows, the zip's three and the tar";

    // The same tree scanned where it lies, without libarchive, gives the same rows below the root.
    DriveScan onDisc;
    onDisc.run(src + u'/');
    const QStringList expected = rowsBelowRoot(onDisc.tree, onDisc.facts);
    const QStringList got = rowsBelowRoot(tree, facts);
    ASSERT_EQ(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << "row " << i + 2;
    EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](const QString &row) { return row.count(u'/') > 9; }))
        << "folders deeper than eight levels";
    // A cancel while the rows are built keeps those built, as a drive's scan keeps them.
    RecordSet part(d_dir_tree());
    TreeFacts partFacts;
    Progress partProgress;
    HookContext cancelling;
    cancelling.progress = &partProgress;
    // Cancelled in the build, once the count (whose bar goes by folders) is over.
    bool built = false;
    ScanReports reports;
    reports.counted = [&] { built = true; };
    cancelling.yieldAndCheckCancel = [&] { return built && partProgress.position() > 100; };
    ASSERT_TRUE(scanImage(image, cancelling, {}, part, partFacts, reports).read);
    EXPECT_GT(part.RowCount(), 100);
    EXPECT_LT(part.RowCount(), tree.RowCount());
    EXPECT_EQ(partProgress.maximum(), tree.RowCount()) << "counted whole before the cancel";
    // Its rows are rows of the whole scan, in the same order.
    const QStringList whole = shapes(tree);
    qsizetype at = 0;
    for (const QString &row : shapes(part)) {
        at = whole.indexOf(row, at);
        ASSERT_GE(at, 0) << row.toStdString();
    }
}

TEST(ImageScan, RowsAreThoseOfTheImageMountedWithFuseiso)
{
    if (!archives::have(u"fuseiso"_s) || !archives::have(u"genisoimage"_s) ||
        !archives::have(u"fusermount"_s))
        GTEST_SKIP() << "fuseiso, fusermount or genisoimage is not installed";
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "/dev/fuse cannot be opened here: no FUSE mounts";
    QTemporaryDir dir;
    const QString image = makeImage(dir, 800, 10, 8, {});
    ASSERT_FALSE(image.isEmpty());
    const QString mount = dir.filePath(u"mnt"_s);
    QDir().mkpath(mount);
    if (!archives::run(u"fuseiso"_s, {image, mount}))
        GTEST_SKIP() << "fuseiso could not mount here";
    struct Unmount {
        QString at;
        ~Unmount() { archives::run(u"fusermount"_s, {u"-u"_s, at}); }
    } unmount{mount};
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    HookContext hooks;
    ASSERT_TRUE(scanImage(image, hooks, {}, tree, facts).read);
    DriveScan mounted;
    mounted.run(mount + u'/');
    // fuseiso shows the folders Rock Ridge relocated twice: in their place and under rr_moved.
    QStringList expected = rowsBelowRoot(mounted.tree, mounted.facts);
    expected.removeIf([](const QString &row) { return row.section(u' ', 1).startsWith(u"rr_moved/"_s); });
    const QStringList got = rowsBelowRoot(tree, facts);
    ASSERT_EQ(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << "row " << i + 2;
}

TEST(ImageScan, ImagesThatCannotBeReadSayWhy)
{
    QTemporaryDir dir;
    // UDF alone: the volume recognition sequence, no ISO 9660 descriptor.
    QByteArray udf(16 * 2048, '\0');
    for (const char *identifier : {"BEA01", "NSR02", "TEA01"}) {
        QByteArray sector(2048, '\0');
        sector.replace(1, 5, identifier);
        sector[6] = 1;
        udf += sector;
    }
    udf += QByteArray(64 * 2048, '\0');
    archives::write(dir.filePath(u"dvd.iso"_s), udf);
    archives::write(dir.filePath(u"notes.iso"_s), "just text, no image");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(u"pipe.iso"_s)).constData(), 0644), 0);
    const struct {
        const char *file;
        QString said;
    } cases[] = {
        {"dvd.iso", u"UDF"_s},
        {"notes.iso", u"디스크 이미지나 압축 파일이 아닙니다"_s},
        {"pipe.iso", u"열 수 없습니다"_s},
        {"missing.iso", u"열 수 없습니다"_s},
    };
    for (const auto &c : cases) {
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        HookContext hooks;
        QElapsedTimer timer;
        timer.start();
        const ImageScan scan = scanImage(dir.filePath(QString::fromLatin1(c.file)), hooks, {}, tree, facts);
        EXPECT_FALSE(scan.read) << c.file;
        EXPECT_TRUE(scan.problem.contains(c.said)) << c.file << ": " << scan.problem.toStdString();
        EXPECT_EQ(tree.RowCount(), 0) << c.file;
        EXPECT_LT(timer.elapsed(), 5000) << c.file << " must not wait";
    }
}
