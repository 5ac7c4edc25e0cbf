// Sizes and dates: recorded by the scan, kept in the side file beside a catalogue file, and
// carried by the entry changes.

#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/entries.h"
#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "catalogue/treeloader.h"
#include "scanner/drivescan.h"
#include "scanner/foldercount.h"
#include "scanner/keptlistings.h"
#include "scanner/treebuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

void makeFile(const QString &path, qint64 size, qint64 mtime)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size)); // sparse: 5 GiB takes no room
    file.close();
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

// Every row as "name size mtime", "?" for unknown.
QStringList factRows(const RecordSet &tree, const TreeFacts &facts)
{
    const auto text = [](qint64 n) { return n == FileStat::kUnknown ? u"?"_s : QString::number(n); };
    QStringList out;
    for (qint64 row = 1; row <= tree.RowCount(); ++row)
        out << tree.GetItemString(row, TreeColumn::name) + u' ' + text(facts.at(row).size) + u' ' +
                   text(facts.at(row).mtime);
    return out;
}

} // namespace

TEST(ScanFacts, SizesDatesTotalsAndCountsWithAndWithoutKeptListings)
{
    QTemporaryDir dir;
    const QString root = dir.path() + u"/disc"_s;
    ASSERT_TRUE(QDir().mkpath(root + u"/영화/빈 폴더"_s));
    makeFile(root + u"/영화/film.mkv"_s, 5LL << 30, 1700000000);
    makeFile(root + u"/영화/link.lnk"_s, 2048, -86400); // a day before 1970
    makeFile(root + u"/a.txt"_s, 0, 946684800);
    const struct timespec folderTime[2] = {{1600000000, 0}, {1600000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(root + u"/영화/빈 폴더"_s).constData(), folderTime, 0);
    const struct timespec rootTime[2] = {{1500000000, 0}, {1500000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(root).constData(), rootTime, 0);
    const qint64 total = (5LL << 30) + 2048;
    for (const bool keep : {true, false}) {
        HookContext hooks;
        LocalFileSystem fs;
        KeptListings kept;
        const auto walk = fs.walkDrive(root);
        ScanContext context{hooks, walk.get(), keep ? &kept : nullptr};
        qint64 counted = 0;
        wf_file_cnt(context, root, counted);
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        const auto buildWalk = fs.walkDrive(root);
        ScanContext build{hooks, keep ? nullptr : buildWalk.get(), keep ? &kept : nullptr, &facts};
        TreeBuilder(build, tree).of_recurse_dir_list(root, 1);
        const QStringList rows = factRows(tree, facts);
        ASSERT_EQ(rows.size(), 6) << keep;
        EXPECT_EQ(rows[0], u"disc %1 1500000000"_s.arg(total)) << keep; // the root's own date too
        EXPECT_TRUE(rows[1].startsWith(u"영화 %1 "_s.arg(total))) << keep;
        EXPECT_EQ(rows.mid(2), QStringList({u"빈 폴더 0 1600000000"_s, u"film.mkv 5368709120 1700000000"_s,
                                            u"link.lnk 2048 -86400"_s, u"a.txt 0 946684800"_s}))
            << keep;
        EXPECT_EQ(facts.disc.folders, 2);
        EXPECT_EQ(facts.disc.files, 3);
        EXPECT_EQ(facts.disc.totalSize, total);
    }
}

TEST(SideFile, ReadOnlyForTheTreeItWasWrittenFor)
{
    QTemporaryDir dir;
    const QString catalogue = dir.path() + u"/cd_x.dat"_s;
    const QString base = u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\n"
                         u"E:/\t사진.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_s;
    RecordSet tree(d_dir_tree());
    tree.ImportString(base);
    TreeFacts facts;
    facts.append({123, FileStat::kUnknown});
    facts.append({123, 1700000000});
    facts.disc.volumeLabel = u"사진\t2004"_s;
    facts.disc.capacity = 700LL << 20;
    facts.disc.files = 1;
    facts.disc.scanned = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    ASSERT_TRUE(writeCatalogue(tree, catalogue).ok); // the disc the side file belongs to
    ASSERT_TRUE(SideFiles::write(SideFiles::pathFor(catalogue), tree, facts).ok);
    EXPECT_EQ(SideFiles::pathFor(catalogue), dir.path() + u"/.tarvek/cd_x.dat.facts"_s);

    const struct {
        QString rows;
        bool read;
    } cases[] = {
        {base, true},
        {QString(base).replace(u"사진.jpg"_s, u"사진.png"_s), false},           // a name changed by hand
        {QString(base).replace(u"0\t0\t0\t0\t2"_s, u"0\t0\t0\t0\t3"_s), false}, // a level
        {base + u"\nE:/\tb\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_s, false},       // a row more
        {base.section(u'\n', 0, 0), false},                                     // a row fewer
    };
    for (const auto &c : cases) {
        RecordSet loaded(d_dir_tree());
        loaded.ImportString(c.rows);
        TreeFacts read;
        EXPECT_EQ(SideFiles::read(SideFiles::pathFor(catalogue), loaded, read), c.read)
            << c.rows.toStdString();
        EXPECT_EQ(read.describes(loaded.RowCount()), c.read);
        if (c.read) {
            EXPECT_EQ(read.at(1).size, 123);
            EXPECT_EQ(read.at(1).mtime, FileStat::kUnknown);
            EXPECT_EQ(read.at(2).mtime, 1700000000);
            EXPECT_EQ(read.disc.volumeLabel, u"사진 2004"_s);
            EXPECT_EQ(read.disc.capacity, 700LL << 20);
            EXPECT_EQ(read.disc.scanned, facts.disc.scanned);
        }
    }
    DiscFacts disc;
    EXPECT_TRUE(SideFiles::readDisc(SideFiles::pathFor(catalogue), disc));
    EXPECT_EQ(disc.files, 1);
    EXPECT_FALSE(SideFiles::readDisc(catalogue, disc)); // a catalogue file is no side file
}

TEST(SideFile, VersionsFingerprintsAndNumbersAsWrittenByHand)
{
    QTemporaryDir dir;
    const QString catalogue = dir.path() + u"/cd_x.dat"_s;
    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
               "E:/\ta.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n\r\n");
    file.close();
    RecordSet tree(d_dir_tree());
    HookContext hooks;
    SideFiles::Fingerprint loaded;
    loadTree(hooks, tree, catalogue, &loaded);
    const QByteArray md5 = SideFiles::fingerprint(tree, 1), xxh3 = SideFiles::fingerprint(tree);
    const struct {
        QByteArray version, fingerprint, rows;
        QString sizes; // "" when the file is ignored
    } cases[] = {
        {"2", xxh3, "12\t-5\r\n-\t-\r\n", u"12 -5 ? ?"_s},
        {"1", md5, "12\t-5\r\n-\t-\r\n", u"12 -5 ? ?"_s}, // written before XXH3
        {"1", xxh3, "12\t-5\r\n-\t-\r\n", {}},
        {"2", md5, "12\t-5\r\n-\t-\r\n", {}},
        {"3", xxh3, "12\t-5\r\n-\t-\r\n", u"12 -5 ? ?"_s},
        {"3", xxh3, "12\t-5\r\n-\t-\r\n\r\n[hash]\r\n2\tab\r\n", u"12 -5 ? ?"_s}, // notes follow
        {"3", xxh3, "12\t-5\r\n\r\n-\t-\r\n", {}},                                // rows cut short
        {"4", xxh3, "12\t-5\r\n-\t-\r\n", {}},                                    // a later format
        {"2x", xxh3, "12\t-5\r\n-\t-\r\n", {}},
        {"2", xxh3, "12\t-5\r\n", {}}, // a row missing
        {"2", xxh3,
         "999999999999999999\t-999999999999999999\r\n9223372036854775807\t99999999999999999999\r\n",
         u"999999999999999999 -999999999999999999 9223372036854775807 ?"_s},
        {"2", xxh3, "-\t+5\r\n 1\t0x1\r\n", u"? ? ? 0"_s},
    };
    for (const auto &c : cases) {
        QFile side(SideFiles::pathFor(catalogue));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(side).path()) && side.open(QIODevice::WriteOnly));
        side.write("tarvek-facts\t" + c.version + "\r\nrows\t" + c.fingerprint + "\r\n\r\n" + c.rows);
        side.close();
        TreeFacts facts;
        // The loader's own fingerprint stands in for the side file's version 2 only.
        const bool hashed = c.version == "2" || c.version == "3";
        SideFiles::Fingerprint again;
        for (qint64 row = 1; hashed && row <= tree.RowCount(); ++row)
            again.addRow(tree, row);
        EXPECT_EQ(SideFiles::accept(SideFiles::readContents(side.fileName()), tree, facts,
                                    hashed ? &again : nullptr),
                  !c.sizes.isEmpty())
            << c.version.toStdString() << c.rows.toStdString();
        QStringList sizes;
        for (qint64 row = 1; row <= facts.rows(); ++row) {
            for (const qint64 n : {facts.at(row).size, facts.at(row).mtime})
                sizes << (n == FileStat::kUnknown ? u"?"_s : QString::number(n));
        }
        EXPECT_EQ(sizes.join(u' '), c.sizes) << c.rows.toStdString();
    }
    EXPECT_EQ(loaded.result(), xxh3); // hashed while loading, as after
}

TEST(SideFile, NotesOfSomeRowsByKind)
{
    QTemporaryDir dir;
    const QString catalogue = dir.path() + u"/cd_x.dat"_s;
    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
               "E:/\ta.zip\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
               "E:/a.zip/\tb.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n\r\n");
    file.close();
    RecordSet tree(d_dir_tree());
    loadDataFile(tree, catalogue);
    const QByteArray rows = "5\t1\r\n5\t2\r\n5\t3\r\n";
    const struct {
        QByteArray notes;  // as written after the rows
        QStringList found; // "kind row text" of every note read
    } cases[] = {
        {"", {}},
        {"\r\n[archive]\r\n2\tzip\r\n[hash]\r\n3\t00ff\r\n", {u"archive 2 zip"_s, u"hash 3 00ff"_s}},
        {"\r\n[a-1]\r\n1\tx\ty\r\n3\t\xea\xb0\x80\r\n", {u"a-1 1 x\ty"_s, u"a-1 3 가"_s}},
        // rows outside the tree, out of order, without a text or a kind, and names that are none
        {"\r\n1\tlost\r\n[k]\r\n0\tx\r\n4\tx\r\n2\tb\r\n1\ta\r\n3\r\n[k k]\r\n3\tc\r\n[]\r\n3\td\r\n",
         {u"k 2 b"_s}},
    };
    for (const auto &c : cases) {
        QFile side(SideFiles::pathFor(catalogue));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(side).path()) && side.open(QIODevice::WriteOnly));
        side.write("tarvek-facts\t3\r\nrows\t" + SideFiles::fingerprint(tree) + "\r\n\r\n" + rows + c.notes);
        side.close();
        TreeFacts facts;
        ASSERT_TRUE(SideFiles::read(side.fileName(), tree, facts)) << c.notes.toStdString();
        QStringList found;
        for (const auto &[kind, notes] : facts.notes.kinds()) {
            for (const auto &[row, text] : notes.all())
                found << QString::fromLatin1(kind) + u' ' + QString::number(row) + u' ' +
                             QString::fromUtf8(text);
        }
        EXPECT_EQ(found, c.found) << c.notes.toStdString();
        EXPECT_EQ(facts.at(3).mtime, 3);
        // Written again, they read back the same.
        ASSERT_TRUE(SideFiles::write(side.fileName(), tree, facts).ok);
        TreeFacts again;
        ASSERT_TRUE(SideFiles::read(side.fileName(), tree, again));
        for (const auto &[kind, notes] : facts.notes.kinds()) {
            for (const auto &[row, text] : notes.all())
                EXPECT_EQ(again.notes.of(kind).at(row), text) << kind.toStdString() << row;
        }
    }
}

TEST(SideFile, DiscFactsOnlyForTheTreeTheCatalogueFileHolds)
{
    QTemporaryDir dir;
    const QString catalogue = dir.path() + u"/cd_x.dat"_s;
    const QByteArray rows = "E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n\r\n";
    const struct {
        QByteArray now; // the catalogue file when the disc's facts are read; empty: gone
        bool read;
        bool older = false; // a side file written before it kept a hash of the catalogue's bytes
    } cases[] = {
        {rows, true},
        {QByteArray(rows).replace("\t0\t1\t0", "\t1\t1\t0"), true}, // a flag another program set
        {QByteArray(rows).replace("E:\t", "F:/new\t"), false},      // another disc under its name
        // Another tree of the same size: a replace killed before its side file followed, or
        // another program's rewrite.
        {QByteArray(rows).replace("E:\t", "G:\t"), false},
        {{}, false},
        {rows, true, true},
        {QByteArray(rows).replace("\t0\t1\t0", "\t1\t1\t0"), true, true},
        {QByteArray(rows).replace("E:\t", "G:\t"), false, true},
    };
    for (const auto &c : cases) {
        QFile file(catalogue);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(rows) == rows.size());
        file.close();
        RecordSet tree(d_dir_tree());
        loadDataFile(tree, catalogue);
        TreeFacts facts;
        facts.append({1, 2});
        facts.disc.files = 7;
        ASSERT_TRUE(SideFiles::write(SideFiles::pathFor(catalogue), tree, facts).ok);
        if (c.older) {
            QFile side(SideFiles::pathFor(catalogue));
            ASSERT_TRUE(side.open(QIODevice::ReadOnly));
            QByteArray bytes = side.readAll();
            side.close();
            const qsizetype at = bytes.indexOf("\r\ncontent\t");
            ASSERT_GT(at, 0);
            bytes.remove(at, bytes.indexOf("\r\n", at + 2) - at);
            ASSERT_TRUE(side.open(QIODevice::WriteOnly | QIODevice::Truncate));
            side.write(bytes);
            side.close();
        }
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    file.write(c.now) == c.now.size());
        file.close();
        if (c.now.isEmpty())
            file.remove();
        DiscFacts disc;
        EXPECT_EQ(SideFiles::readDisc(SideFiles::pathFor(catalogue), disc), c.read) << c.now.toStdString();
        EXPECT_EQ(disc.files, c.read ? 7 : 0);
    }
}

TEST(SideFile, SaveRenameAndDeleteCarryIt)
{
    QTemporaryDir dir;
    const QString data = dir.path() + u"/data"_s;
    RecordSet tree(d_dir_tree()), index(d_cdinfo()), list(d_cdinfo());
    tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1"_s);
    TreeFacts facts;
    facts.append({10, 20});
    CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
    const auto side = [&](const QString &label) {
        return QFile::exists(SideFiles::pathFor(entries.filePath(CatalogueEntries::fileForLabel(label))));
    };
    ASSERT_TRUE(entries.add(tree, {u"cd_a.dat"_s, {}, u"a"_s, {}}, &facts).ok);
    EXPECT_TRUE(side(u"a"_s));
    ASSERT_TRUE(entries.change(u"a"_s, {u"cd_b.dat"_s, {}, u"b"_s, {}}).ok);
    EXPECT_FALSE(side(u"a"_s));
    EXPECT_TRUE(side(u"b"_s));
    // Saved again without facts for the tree (a disc of the earlier version): no stale sizes stay.
    ASSERT_TRUE(entries.replace(tree, {u"cd_b.dat"_s, {}, u"b"_s, {}}, 1, nullptr).ok);
    EXPECT_FALSE(side(u"b"_s));
    ASSERT_TRUE(entries.replace(tree, {u"cd_b.dat"_s, {}, u"b"_s, {}}, 1, &facts).ok);
    EXPECT_TRUE(side(u"b"_s));
    ASSERT_TRUE(entries.remove(1).index.ok);
    EXPECT_FALSE(side(u"b"_s));
    EXPECT_FALSE(QFile::exists(data + u"/cd_b.dat"_s));
}

TEST(FactsText, FileFolderDiscAndUnknownRows)
{
    RecordSet tree(d_dir_tree());
    tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\n"
                      u"E:/사진/\t사진\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\n"
                      u"E:/사진/\t바다.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\n"
                      u"E:/\ta.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_s);
    TreeFacts facts;
    for (const FileStat &stat : {FileStat{1234567 + 6, 0}, FileStat{1234567, FileStat::kUnknown},
                                 FileStat{1234567, 0}, FileStat{6, FileStat::kUnknown}})
        facts.append(stat);
    facts.disc.files = 2;
    facts.disc.folders = 1;
    facts.disc.totalSize = 1234573;
    const TreeFacts none;
    const struct {
        const TreeFacts &facts;
        qint64 row;
        QString text;
    } cases[] = {
        {facts, 1, u"E:/ — 폴더 1개, 파일 2개, 크기 1.2 MB · "_s + dateText(0)},
        {facts, 2, u"E:/사진/ — 1.2 MB · 폴더 0개, 파일 1개"_s},
        {facts, 3, u"E:/사진/바다.jpg — 1.2 MB (1,234,567바이트) · "_s + dateText(0)},
        {none, 3, u"E:/사진/바다.jpg — 크기 모름 · 날짜 모름"_s},
        {none, 1, u"E:/ — 크기 모름 · 폴더 1개, 파일 2개"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rowFactsText(tree, c.facts, c.row), c.text) << c.row;
    EXPECT_EQ(discTooltip(facts.disc), u"전체 크기 1.2 MB (1,234,573바이트)\n파일 2개"_s);
}

TEST(ScanFacts, ADiscWithControlCharactersInItsNamesKeepsItsSizesOnceSaved)
{
    // A tab or a line break in a name is saved as a space: the tree the scan holds must be the
    // one that loads again, or its side file never matches and every size of the disc is lost.
    QTemporaryDir dir;
    const QString root = dir.path() + u"/disc"_s, data = dir.path() + u"/data"_s;
    ASSERT_TRUE(QDir().mkpath(root + u"/tab\there"_s));
    makeFile(root + u"/tab\there/line\nbreak.txt"_s, 7, 1700000000);
    HookContext hooks;
    LocalFileSystem fs;
    const auto walk = fs.walkDrive(root);
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    scanDrive(hooks, walk.get(), root, tree, facts);
    EXPECT_EQ(tree.GetItemString(3, TreeColumn::name), u"line break.txt"_s);
    RecordSet index(d_cdinfo()), list(d_cdinfo());
    CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
    ASSERT_TRUE(entries.add(tree, {u"cd_A.dat"_s, {}, u"A"_s, {}}, &facts).ok);
    RecordSet loaded(d_dir_tree());
    TreeLoad load = loadTree(hooks, loaded, data + u"/cd_A.dat"_s);
    ASSERT_TRUE(load.opened);
    TreeFacts read;
    ASSERT_TRUE(SideFiles::read(SideFiles::pathFor(data + u"/cd_A.dat"_s), loaded, read));
    EXPECT_EQ(factRows(loaded, read), factRows(tree, facts));
}
