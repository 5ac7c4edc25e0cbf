#include "scanner/drivescan.h"
#include "scanner/foldercount.h"
#include "scanner/keptlistings.h"
#include "scanner/treebuilder.h"

#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "support/fakefilesystem.h"
#include "support/rawtree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// One scan as the window runs it: count, then build, with a cancel that can be armed
// to fire when the walk enters a chosen folder (1-based, in walk order, for each walk).
struct Scan {
    explicit Scan(FileSystem &fs) : fs(fs), tree(d_dir_tree())
    {
        hooks.yieldAndCheckCancel = [this] { return ++entered >= cancelAt && cancelAt > 0; };
        hooks.showItem = [this](const QString &folder) { shownFolder = folder; };
        hooks.showStatus = [this](const QString &text) {
            texts << text;
            rowsAtText << tree.RowCount();
        };
        hooks.progress = &progress;
    }
    qint64 count(const QString &root)
    {
        entered = 0;
        qint64 total = 0;
        const auto walk = fs.walkDrive(root);
        ScanContext context{hooks, walk.get(), keepListings ? &kept : nullptr};
        countResult = wf_file_cnt(context, root, total);
        return total;
    }
    void build(const QString &root)
    {
        entered = 0;
        progress.setPosition(0);
        // As the window does: the build takes the count's listings back and lists nothing.
        const auto walk = keepListings ? nullptr : fs.walkDrive(root);
        ScanContext context{hooks, walk.get(), keepListings ? &kept : nullptr};
        TreeBuilder builder(context, tree);
        buildResult = builder.of_recurse_dir_list(root, 1);
    }
    qint64 scan(const QString &root)
    {
        const qint64 total = count(root);
        hooks.setMaximum(total);
        build(root);
        return total;
    }
    [[nodiscard]] QStringList rows() const
    {
        QStringList out;
        for (qint64 r = 1; r <= tree.RowCount(); ++r)
            out << tree.GetItemString(r, "level") + u' ' + tree.GetItemString(r, "fullname") + u'|' +
                       tree.GetItemString(r, "name");
        return out;
    }

    FileSystem &fs;
    KeptListings kept;
    bool keepListings = true;
    RecordSet tree;
    Progress progress;
    HookContext hooks;
    int entered = 0;
    int cancelAt = 0;
    int countResult = -1;
    qint64 buildResult = -1;
    QString shownFolder;
    QStringList texts;
    QList<qint64> rowsAtText; // rows in the tree when each text was shown
};

void touch(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

} // namespace

TEST(ScanOrder, FoldersFirstThenFilesWithEveryColumn)
{
    FakeFileSystem fs(
        {"/d/a/b/deep.txt", "/d/a/x.txt", "/d/a]b/in.txt", "/d/e/", "/d/[x] y.txt", "/d/z.txt", "/d/B.txt"});
    Scan scan(fs);
    EXPECT_EQ(scan.scan("/d"), 11);
    EXPECT_EQ(scan.rows(), QStringList({"1 /d/|d", "2 /d/a/|a", "3 /d/a/b/|b", "4 /d/a/b/|deep.txt",
                                        "3 /d/a/|x.txt", "2 /d/a]b/|a]b", "3 /d/a]b/|in.txt", "2 /d/e/|e",
                                        "2 /d/|[x] y.txt", "2 /d/|B.txt", "2 /d/|z.txt"}));
    EXPECT_EQ(scan.tree.RowCount(), 11) << "the count equals the rows";
    for (qint64 r = 1; r <= scan.tree.RowCount(); ++r) {
        const bool folder =
            scan.tree.GetItemString(r, "fullname").endsWith(scan.tree.GetItemString(r, "name") + u'/');
        EXPECT_EQ(scan.tree.GetItemString(r, "bmpname"), folder ? "folder.bmp" : "line.bmp") << r;
        EXPECT_EQ(scan.tree.GetItemString(r, "selectedbmpname"), folder ? "foldopen.bmp" : "line.bmp") << r;
        for (const char *zero : {"selected", "open", "children", "siblings"})
            EXPECT_EQ(scan.tree.GetItemNumber(r, zero), 0) << zero;
    }
    EXPECT_EQ(scan.shownFolder, "/d/e/") << "the last folder listed";
    EXPECT_EQ(scan.texts.last(), "100%");
    EXPECT_EQ(scan.rowsAtText.last(), 11) << "the bar is full with the last row, not before";
    EXPECT_EQ(scan.progress.position(), scan.progress.maximum());
}

TEST(ScanOrder, EachFolderIsListedOnce)
{
    FakeFileSystem fs({"/d/a/b/deep.txt", "/d/a/x.txt", "/d/e/", "/d/z.txt"});
    Scan once(fs);
    EXPECT_EQ(once.scan("/d"), 7);
    EXPECT_EQ(fs.listings, 4) << "d, a, b and e, by the count only";
    Scan twice(fs);
    twice.keepListings = false;
    twice.scan("/d");
    EXPECT_EQ(fs.listings, 4 + 8);
    EXPECT_EQ(once.rows(), twice.rows());
}

TEST(ScanOrder, RootsAndTrailingSeparators)
{
    EXPECT_EQ(TreeBuilder::folderName("/"), "/");
    EXPECT_EQ(TreeBuilder::folderName("D:/"), "D:");
    EXPECT_EQ(TreeBuilder::folderName("/media/kim/DISC_01/"), "DISC_01");
    EXPECT_EQ(TreeBuilder::folderName("/a]b/c[1/"), "c[1");

    FakeFileSystem fs({"/f.txt", "/sub/g.txt"});
    Scan withSlash(fs), without(fs);
    withSlash.scan("/");
    EXPECT_EQ(withSlash.rows(), QStringList({"1 /|/", "2 /sub/|sub", "3 /sub/|g.txt", "2 /|f.txt"}));
    FakeFileSystem nested({"/m/DISC/a.txt"});
    Scan a(nested), b(nested);
    EXPECT_EQ(a.scan("/m/DISC"), b.scan("/m/DISC/"));
    EXPECT_EQ(a.rows(), b.rows());
    EXPECT_EQ(a.rows().first(), "1 /m/DISC/|DISC");
}

TEST(ScanOrder, EmptyAndUnreadableFoldersStillGetTheirRow)
{
    FakeFileSystem fs({"/d/locked/secret.txt", "/d/empty/", "/d/after.txt"});
    fs.unreadable << "/d/locked/";
    Scan scan(fs);
    EXPECT_EQ(scan.scan("/d/"), 4);
    EXPECT_EQ(scan.rows(),
              QStringList({"1 /d/|d", "2 /d/empty/|empty", "2 /d/locked/|locked", "2 /d/|after.txt"}));

    FakeFileSystem lone({"/only/"});
    Scan one(lone);
    EXPECT_EQ(one.scan("/only/"), 1) << "a folder with nothing in it counts 1";
    EXPECT_EQ(one.tree.RowCount(), 1);
}

TEST(ScanCancel, DuringTheCountTheCountStopsGrowing)
{
    FakeFileSystem fs({"/d/a/1", "/d/a/2", "/d/b/3", "/d/c/4", "/d/c/5", "/d/top"});
    Scan before(fs);
    before.cancelAt = 1; // before the top folder is listed
    EXPECT_EQ(before.count("/d/"), 0);
    EXPECT_EQ(before.countResult, 0);

    Scan below(fs);
    below.cancelAt = 3; // on entering b: d and a were seen
    EXPECT_EQ(below.count("/d/"), 1 + 1 + 1 + 2);
    EXPECT_EQ(below.countResult, 1) << "the cancel came below the top folder";
    EXPECT_EQ(below.entered, 4) << "c still makes a call, which returns at once";
}

TEST(ScanCancel, DuringTheCountTheFoldersListedMakeTheTree)
{
    FakeFileSystem fs({"/d/a/1", "/d/a/2", "/d/b/3", "/d/c/4", "/d/c/5", "/d/top"});
    struct Case {
        int cancelAt;
        QStringList rows;
        QStringList percentages; // the build's, from the start though the count left the bar full
    };
    const Case cases[] = {
        {1, {}, {}}, // before the top folder was listed: nothing
        {3,          // d and a were listed
         {"1 /d/|d", "2 /d/a/|a", "3 /d/a/|1", "3 /d/a/|2", "2 /d/|top"},
         {"20%", "40%", "60%", "80%", "100%"}},
    };
    for (const Case &c : cases) {
        Scan scan(fs);
        scan.cancelAt = c.cancelAt; // the cancel stays reported, as the window's flag stays set
        const auto walk = fs.walkDrive("/d/");
        TreeFacts facts;
        const qint64 counted = scanDrive(scan.hooks, walk.get(), "/d/", scan.tree, facts);
        EXPECT_EQ(scan.rows(), c.rows) << c.cancelAt;
        EXPECT_EQ(scan.tree.RowCount(), counted) << "the count is the rows of the folders listed";
        EXPECT_EQ(scan.texts, c.percentages) << c.cancelAt;
    }
}

TEST(ScanProgress, TheCountMovesTheBarByTheShareOfTheTreeWalked)
{
    FakeFileSystem fs({"/d/a/1", "/d/a/2", "/d/b/3", "/d/c/4", "/d/c/5", "/d/c/e/", "/d/top"});
    Scan scan(fs);
    QStringList seen;
    const auto walk = fs.walkDrive("/d/");
    ScanContext context{scan.hooks, walk.get()};
    context.showFound = [&](qint64 folders, qint64 files) {
        seen << QStringLiteral("%1 %2 %3").arg(scan.progress.permille()).arg(folders).arg(files);
    };
    qint64 total = 0;
    wf_file_cnt(context, "/d/", total);
    // a, b and c are a third of d each, e the whole of c; and the folders and files found so far.
    EXPECT_EQ(seen, QStringList({"0 4 1", "333 4 3", "666 4 4", "666 5 6", "1000 5 6"}));
}

TEST(ScanCancel, DuringTheBuildBegunFoldersKeepTheirFiles)
{
    FakeFileSystem fs({"/d/a/1", "/d/a/x/2", "/d/b/3", "/d/c/4", "/d/top"});
    Scan scan(fs);
    const qint64 counted = scan.count("/d/");
    scan.hooks.setMaximum(counted);
    scan.cancelAt = 3; // on entering x, the third folder of the walk
    scan.build("/d/");
    EXPECT_EQ(scan.buildResult, 1);
    EXPECT_EQ(scan.rows(), QStringList({"1 /d/|d", "2 /d/a/|a", "3 /d/a/|1", "2 /d/|top"}))
        << "d and a were begun: their files are there; x, b and c were not";
    EXPECT_LT(scan.progress.position(), scan.progress.maximum());
    EXPECT_NE(scan.texts.last(), "100%");
}

TEST(ScanProgress, PercentTextAndBarBeyondSixteenBits)
{
    QStringList paths;
    for (int i = 0; i < 70000; ++i)
        paths << QStringLiteral("/big/f%1").arg(i, 5, 10, QLatin1Char('0'));
    FakeFileSystem fs(paths);
    Scan scan(fs);
    EXPECT_EQ(scan.scan("/big/"), 70001);
    EXPECT_EQ(scan.tree.RowCount(), 70001);
    EXPECT_EQ(scan.progress.permille(), 1000);
    EXPECT_LE(scan.kept.bytesHeld(), 256 * 1024) << "the listings' blocks go as the build reads past them";
    ASSERT_EQ(scan.texts.size(), 101) << "0% to 100%, each shown once";
    for (int p = 0; p <= 100; ++p)
        EXPECT_EQ(scan.texts[p], QString::number(p) + u'%');

    Progress empty;
    empty.advance();
    EXPECT_EQ(empty.percentText(), "0%") << "a zero maximum never divides";
    Progress half;
    half.setMaximum(200);
    half.advance();
    EXPECT_EQ(half.percentText(), "0%") << "0.5 is shown as 0";
    half.setPosition(500);
    EXPECT_EQ(half.position(), 200) << "the position stays within the maximum";
}

TEST(ScanDepth, ThousandsOfLevelsNeitherOverflowNorStall)
{
    QString path = QStringLiteral("/r/");
    for (int i = 0; i < 5000; ++i)
        path += QStringLiteral("d/");
    FakeFileSystem fs({path + "leaf.txt"});
    Scan scan(fs);
    EXPECT_EQ(scan.scan("/r/"), 5002);
    EXPECT_EQ(scan.tree.GetItemNumber(5002, "level"), 5002);
    EXPECT_EQ(scan.tree.GetItemString(5002, "name"), "leaf.txt");
}

TEST(ScanRealDisc, HostileNamesLinksAndHiddenEntries)
{
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/disc");
    QDir().mkpath(root + QStringLiteral("/사진 2004/a]b"));
    QDir().mkpath(root + QStringLiteral("/.hidden"));
    touch(root + QStringLiteral("/사진 2004/a]b/") + QString(83, u'가') +
          QStringLiteral("xy.txt")); // 255 bytes in UTF-8
    touch(root + QStringLiteral("/.dot"));
    touch(root + QStringLiteral("/read only.txt"));
    QFile::setPermissions(root + QStringLiteral("/read only.txt"), QFile::ReadOwner);
    QFile::link(root, root + QStringLiteral("/사진 2004/loop")); // a link back up
    QFile::link(root + QStringLiteral("/nowhere"), root + QStringLiteral("/dangling"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + QStringLiteral("/pipe")).constData(), 0600), 0);

    LocalFileSystem fs;
    const QString saved = QDir::currentPath();
    Scan scan(fs);
    EXPECT_EQ(scan.scan(root), 5);
    QDir::setCurrent(saved);
    EXPECT_EQ(scan.rows(), QStringList({"1 " + root + "/|disc", "2 " + root + "/사진 2004/|사진 2004",
                                        "3 " + root + "/사진 2004/a]b/|a]b",
                                        "4 " + root + "/사진 2004/a]b/|" + QString(83, u'가') + "xy.txt",
                                        "2 " + root + "/|read only.txt"}));
}

TEST(ScanRealDisc, AThousandLevelsDeep)
{
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/deep");
    for (int level = 0; level < 1200; ++level)
        path += QStringLiteral("/d");
    ASSERT_TRUE(QDir().mkpath(path));
    touch(path + QStringLiteral("/bottom.txt"));
    LocalFileSystem fs;
    const QString saved = QDir::currentPath();
    Scan scan(fs);
    EXPECT_EQ(scan.scan(dir.path() + QStringLiteral("/deep")), 1202);
    QDir::setCurrent(saved);
    EXPECT_EQ(scan.tree.GetItemNumber(1202, "level"), 1202);
    EXPECT_EQ(scan.tree.GetItemString(1202, "fullname"), path + u'/');
}

TEST(ScanRealDisc, CountEqualsRowsOnAGeneratedTree)
{
    QTemporaryDir dir;
    QProcess make;
    make.start("python3", {QStringLiteral(TARVEK_BENCH_DATA_DIR "/make_tree.py"),
                           dir.path() + QStringLiteral("/t"), "--entries", "3000", "--seed", "4"});
    ASSERT_TRUE(make.waitForFinished(60000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    LocalFileSystem fs;
    const QString saved = QDir::currentPath();
    Scan scan(fs);
    EXPECT_EQ(scan.scan(dir.path() + QStringLiteral("/t")), 3000);
    QDir::setCurrent(saved);
    EXPECT_EQ(scan.tree.RowCount(), 3000);
    EXPECT_EQ(scan.texts.last(), "100%");
}

TEST(ScanRealDisc, NamesThatAreNotTextKeepTheirContents)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + "/disc";
    // 사진 and 파일 as Korean Windows writes them (CP949), and two folders that both show as
    // "bad" + U+FFFD: one with a byte that is no text at all, one that really is U+FFFD.
    const QList<QPair<QByteArray, QByteArray>> folders = {
        {"\xBB\xE7\xC1\xF8", "\xC6\xC4\xC0\xCF.txt"}, {"bad\xFF", "one.txt"}, {"bad\xEF\xBF\xBD", "two.txt"}};
    for (const auto &[folder, file] : folders) {
        const int fd = rawtree::makeChain(root.left(root.lastIndexOf('/')), {"disc", folder});
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(rawtree::touchAt(fd, file));
        ::close(fd);
    }
    LocalFileSystem fs;
    Scan scan(fs);
    const QString disc = QFile::decodeName(root);
    EXPECT_EQ(scan.scan(disc), 7);
    EXPECT_EQ(scan.rows(),
              QStringList({"1 " + disc + "/|disc", "2 " + disc + QString::fromUtf8("/bad\uFFFD/|bad\uFFFD"),
                           "3 " + disc + QString::fromUtf8("/bad\uFFFD/|two.txt"),
                           "2 " + disc + QString::fromUtf8("/bad\uFFFD/|bad\uFFFD"),
                           "3 " + disc + QString::fromUtf8("/bad\uFFFD/|one.txt"),
                           "2 " + disc + QString::fromUtf8("/사진/|사진"),
                           "3 " + disc + QString::fromUtf8("/사진/|파일.txt")}));
    rawtree::empty(root);
}

TEST(ScanRealDisc, PathsPastTheSystemLimit)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + "/deep";
    QList<QByteArray> deep(3000, "d"), wide(20, QByteArray(255, 'n'));
    deep.prepend("deep");
    wide.prepend("deep");
    for (const QList<QByteArray> &chain : {deep, wide}) {
        const int bottom = rawtree::makeChain(QFile::encodeName(dir.path()), chain);
        ASSERT_GE(bottom, 0);
        ASSERT_TRUE(rawtree::touchAt(bottom, "bottom.txt"));
        ::close(bottom);
    }
    LocalFileSystem fs;
    Scan scan(fs);
    EXPECT_EQ(scan.scan(QFile::decodeName(root)), 3023);
    ASSERT_EQ(scan.tree.RowCount(), 3023);
    EXPECT_EQ(scan.tree.GetItemNumber(3002, "level"), 3002);
    EXPECT_EQ(scan.tree.GetItemString(3002, "name"), "bottom.txt");
    EXPECT_EQ(scan.tree.GetItemString(3002, "fullname").size(), dir.path().size() + 6 + 2 * 3000);
    EXPECT_EQ(scan.tree.GetItemString(3023, "name"), "bottom.txt");
    EXPECT_EQ(scan.tree.GetItemNumber(3023, "level"), 22);
    EXPECT_EQ(scan.tree.GetItemString(3023, "fullname"),
              QFile::decodeName(root) + QString("/" + QString(255, u'n')).repeated(20) + "/");
    rawtree::empty(root);
}

TEST(ScanRealDisc, AnotherFileSystemIsAnEmptyFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system needs root";
    QTemporaryDir dir;
    const QString disc = dir.path() + "/disc";
    ASSERT_TRUE(QDir().mkpath(disc + "/other"));
    touch(disc + "/a.txt");
    if (::mount("tarvek-test", QFile::encodeName(disc + "/other").constData(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "this machine allows no mount: " << std::strerror(errno);
    touch(disc + "/other/inside.txt");
    LocalFileSystem fs;
    Scan scan(fs);
    EXPECT_EQ(scan.scan(disc), 3);
    ::umount(QFile::encodeName(disc + "/other").constData());
    EXPECT_EQ(scan.rows(),
              QStringList({"1 " + disc + "/|disc", "2 " + disc + "/other/|other", "2 " + disc + "/|a.txt"}));
}
