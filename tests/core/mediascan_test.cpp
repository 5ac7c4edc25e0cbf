// What the pictures and songs of a disc are: read by the scan into notes and thumbnails, and the
// thumbnail store kept beside a saved catalogue file.

#include "catalogue/discfacts.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "catalogue/savedthumbnails.h"
#include "catalogue/sidefile.h"
#include "catalogue/thumbnails.h"
#include "catalogue/treeloader.h"
#include "scanner/drivescan.h"
#include "scanner/mediascan.h"
#include "support/mediafiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace MediaFiles;

namespace {

void writeFile(const QByteArray &path, const QByteArray &bytes, qint64 mtime = 1600000000)
{
    // By its bytes: a name that is not UTF-8 would not survive a QString.
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
}

qint64 rowNamed(const RecordSet &tree, const QString &name)
{
    for (qint64 row = 1; row <= tree.RowCount(); ++row) {
        if (tree.GetItemString(row, TreeColumn::name) == name)
            return row;
    }
    return 0;
}

// A tree of `rows` rows, a folder and its files, and a made-up thumbnail for every third file.
void bigTree(RecordSet &tree, TreeFacts &facts, qint64 rows, char mark)
{
    tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1"_s);
    facts.append({0, 0});
    for (qint64 row = 2; row <= rows; ++row) {
        tree.ImportString(u"E:/\tIMG_%1.JPG\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_s.arg(row));
        facts.append({row, 1600000000});
        if (row % 3 == 0)
            facts.thumbnails.add(row, QByteArray(1 + row % 700, mark) + QByteArray::number(row));
    }
}

// Another program renames a file in the catalogue at `catalogue`, keeping its size and date.
void renameBehindItsBack(const QString &catalogue)
{
    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    bytes.replace("IMG_1500.JPG", "IMG_1501.JPG");
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(catalogue).constData(), &before), 0);
    writeFile(QFile::encodeName(catalogue), bytes, before.st_mtim.tv_sec);
}

} // namespace

TEST(MediaScan, TheScanNotesWhatEachPictureAndSongIs)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + "/disc/";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(root + "사진")));
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(root + "음악")));
    const QByteArray photo =
        jpegWithExif(320, 213, {"2004:07:11 15:05:00", "", "Canon", "Canon EOS 300D", 3072, 2048});
    const QByteArray song =
        mp3(id3Frame("TPE1", 1, utf16(u"김광석"_s)) + id3Frame("TALB", 0, cp949(u"다시 부르기"_s)), 80);
    // The file's date is the day it was burnt, not the day it was taken.
    writeFile(root + "사진/IMG_0001.JPG", photo, 1700000000);
    writeFile(root + "사진/scan.png", encodedImage(300, 100, "PNG"));
    writeFile(root + "사진/broken.jpg", photo.first(200) + QByteArray(4000, 'x'));
    writeFile(root + "사진/" + cp949(u"가을.jpg"_s), photo); // a name written by Korean Windows
    writeFile(root + "사진/tab\tname.jpg", photo);           // held as "tab name.jpg"
    writeFile(root + "음악/01.mp3", song);
    writeFile(root + "음악/cut.mp3", song.first(12));
    writeFile(root + "readme.txt", "IMG_0001.JPG");

    struct Expected {
        QString name;
        QString note; // the media note's first fields; empty: none
        bool thumbnail;
    };
    const QString canon = u"picture\t2004-07-11T15:05:00\tCanon\tCanon EOS 300D\t3072\t2048"_s;
    const Expected expected[] = {
        {u"IMG_0001.JPG"_s, canon, true}, {u"scan.png"_s, u"picture\t\t\t\t300\t100"_s, true},
        {u"broken.jpg"_s, {}, false},     {u"가을.jpg"_s, canon, true},
        {u"tab name.jpg"_s, canon, true}, {u"01.mp3"_s, u"audio\t\t\t\t-\t-\t김광석\t다시 부르기"_s, false},
        {u"cut.mp3"_s, {}, false},        {u"readme.txt"_s, {}, false},
    };
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "facts on" : "facts off");
        HookContext hooks;
        LocalFileSystem fs;
        const auto walk = fs.walkDrive(QFile::decodeName(root));
        MediaScan media(walk.get());
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        scanDrive(hooks, walk.get(), QFile::decodeName(root), tree, facts, {}, nullptr,
                  on ? &media : nullptr);
        ASSERT_EQ(tree.RowCount(), 11);
        const RowNotes *notes = facts.notes.find(kMediaNotes);
        EXPECT_EQ(notes != nullptr, on);
        for (const Expected &file : expected) {
            SCOPED_TRACE(file.name.toStdString());
            const qint64 row = rowNamed(tree, file.name);
            ASSERT_GT(row, 0);
            const QString note = notes ? QString::fromUtf8(notes->at(row)) : QString();
            EXPECT_EQ(note.first(std::min(note.size(), file.note.size())), on ? file.note : QString());
            EXPECT_EQ(facts.thumbnails.has(row), on && file.thumbnail);
            if (on && file.thumbnail) {
                EXPECT_LE(
                    std::max(facts.thumbnails.imageOf(row).width(), facts.thumbnails.imageOf(row).height()),
                    kThumbnailSide);
            }
        }
        EXPECT_EQ(facts.at(rowNamed(tree, u"IMG_0001.JPG"_s)).mtime, 1700000000);
    }
    ::unlink((root + "사진/" + cp949(u"가을.jpg"_s)).constData()); // QTemporaryDir removes by text
}

TEST(ThumbnailStore, SavedLoadedRenamedAndDeletedWithItsTreeOnly)
{
    QTemporaryDir dir;
    const QString data = dir.path() + u"/data"_s;
    RecordSet tree(d_dir_tree()), index(d_cdinfo()), list(d_cdinfo());
    TreeFacts facts;
    bigTree(tree, facts, 3000, 'a');
    CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
    const auto catalogue = [&](const char *label) {
        return entries.filePath(CatalogueEntries::fileForLabel(QString::fromLatin1(label)));
    };
    const auto same = [](const Thumbnails &store, const Thumbnails &made) {
        if (store.rows() != made.rows())
            return false;
        for (const qint64 row : made.rows()) {
            if (store.jpegOf(row) != made.jpegOf(row))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(entries.add(tree, {u"cd_a.dat"_s, {}, u"a"_s, {}}, &facts).ok);
    const QByteArray fingerprint = SideFiles::fingerprint(tree);
    const Thumbnails opened = Thumbnails::open(catalogue("a"), fingerprint);
    EXPECT_EQ(opened.count(), 1000);
    EXPECT_TRUE(same(opened, facts.thumbnails));
    EXPECT_TRUE(same(Thumbnails::openUnchanged(catalogue("a")), facts.thumbnails));
    EXPECT_FALSE(opened.has(2));
    EXPECT_TRUE(opened.jpegOf(3001).isEmpty());

    // Loaded and saved again, the tree keeps its thumbnails, read from its own store.
    HookContext hooks;
    RecordSet loaded(d_dir_tree());
    SideFiles::Fingerprint loading;
    ASSERT_TRUE(loadTree(hooks, loaded, catalogue("a"), &loading).opened);
    TreeFacts loadedFacts;
    ASSERT_TRUE(SideFiles::read(SideFiles::pathFor(catalogue("a")), loaded, loadedFacts));
    loadedFacts.thumbnails = Thumbnails::open(catalogue("a"), loading.result());
    ASSERT_TRUE(entries.replace(loaded, {u"cd_a.dat"_s, {}, u"a"_s, {}}, 1, &loadedFacts).ok);
    EXPECT_TRUE(same(Thumbnails::open(catalogue("a"), fingerprint), facts.thumbnails));
    // A store written anew since it was opened is not read at the old offsets.
    EXPECT_TRUE(opened.jpegOf(3).isEmpty());

    ASSERT_TRUE(entries.change(u"a"_s, {u"cd_b.dat"_s, {}, u"b"_s, {}}).ok);
    EXPECT_FALSE(QFile::exists(ThumbnailStores::pathFor(catalogue("a"))));
    EXPECT_TRUE(same(Thumbnails::open(catalogue("b"), fingerprint), facts.thumbnails));
    EXPECT_TRUE(same(Thumbnails::openUnchanged(catalogue("b")), facts.thumbnails));

    // Another tree under the name: its own thumbnails, or none, never the old ones.
    RecordSet other(d_dir_tree());
    TreeFacts otherFacts;
    bigTree(other, otherFacts, 1200, 'b');
    ASSERT_TRUE(entries.replace(other, {u"cd_b.dat"_s, {}, u"b"_s, {}}, 1, &otherFacts).ok);
    EXPECT_TRUE(Thumbnails::open(catalogue("b"), fingerprint).isEmpty());
    EXPECT_TRUE(same(Thumbnails::open(catalogue("b"), SideFiles::fingerprint(other)), otherFacts.thumbnails));
    ASSERT_TRUE(entries.replace(tree, {u"cd_b.dat"_s, {}, u"b"_s, {}}, 1, nullptr).ok);
    EXPECT_FALSE(QFile::exists(ThumbnailStores::pathFor(catalogue("b"))));
    ASSERT_TRUE(entries.replace(tree, {u"cd_b.dat"_s, {}, u"b"_s, {}}, 1, &facts).ok);
    ASSERT_TRUE(entries.remove(1).index.ok);
    EXPECT_FALSE(QFile::exists(ThumbnailStores::pathFor(catalogue("b"))));
}

TEST(ThumbnailStore, ACatalogueChangedBehindItsBackOrADamagedStoreShowsNone)
{
    QTemporaryDir dir;
    const QString data = dir.path() + u"/data"_s;
    RecordSet tree(d_dir_tree()), index(d_cdinfo()), list(d_cdinfo());
    TreeFacts facts;
    bigTree(tree, facts, 2000, 'c');
    CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
    ASSERT_TRUE(entries.add(tree, {u"cd_a.dat"_s, {}, u"a"_s, {}}, &facts).ok);
    const QString catalogue = entries.filePath(u"cd_a.dat"_s),
                  storePath = ThumbnailStores::pathFor(catalogue);
    QFile storeFile(storePath);
    ASSERT_TRUE(storeFile.open(QIODevice::ReadOnly));
    const QByteArray store = storeFile.readAll();
    storeFile.close();
    ASSERT_EQ(Thumbnails::openUnchanged(catalogue).count(), 666);

    // Damaged stores: a cut head, a cut table, an offset past the end, rows out of order.
    const qsizetype table = store.indexOf(QByteArray::fromRawData("\x03\0\0\0\0\0\0\0", 8));
    ASSERT_GT(table, 0);
    QByteArray farOffset = store, unordered = store;
    farOffset[table + 15] = '\x7f';
    unordered[table] = '\x09';
    for (const QByteArray &damaged : {store.first(20), store.first(table + 30), farOffset, unordered}) {
        writeFile(QFile::encodeName(storePath), damaged);
        EXPECT_TRUE(Thumbnails::openUnchanged(catalogue).isEmpty());
        EXPECT_TRUE(Thumbnails::open(catalogue, SideFiles::fingerprint(tree)).isEmpty());
    }
    writeFile(QFile::encodeName(storePath), store);
    ASSERT_EQ(Thumbnails::openUnchanged(catalogue).count(), 666);

    // Another program renames a file in the catalogue, keeping its size and date.
    renameBehindItsBack(catalogue);
    EXPECT_TRUE(Thumbnails::openUnchanged(catalogue).isEmpty());
    HookContext hooks;
    RecordSet loaded(d_dir_tree());
    SideFiles::Fingerprint loading;
    ASSERT_TRUE(loadTree(hooks, loaded, catalogue, &loading).opened);
    EXPECT_TRUE(Thumbnails::open(catalogue, loading.result()).isEmpty());
}

TEST(SavedThumbnails, EachDiscShowsItsOwnPicturesUntilItsCatalogueChanges)
{
    QTemporaryDir dir;
    const QString data = dir.path() + u"/data"_s;
    RecordSet index(d_cdinfo()), list(d_cdinfo());
    CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
    // Two discs of 3,000 rows whose thumbnails are plain colours: red on a, blue on b, on rows
    // 3, 6, 9 ... of a and 4, 8, 12 ... of b, so that a picture shown for the wrong disc or row
    // shows.
    const auto jpegOf = [](QColor colour) {
        QImage image(160, 120, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 90);
        return bytes;
    };
    for (const auto &[label, colour, every] :
         {std::tuple{u"a"_s, QColor(Qt::red), 3}, {u"b"_s, QColor(Qt::blue), 4}}) {
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        bigTree(tree, facts, 3000, 'x');
        facts.thumbnails = Thumbnails();
        for (qint64 row = every; row <= 3000; row += every)
            facts.thumbnails.add(row, jpegOf(colour));
        ASSERT_TRUE(entries.add(tree, {CatalogueEntries::fileForLabel(label), {}, label, {}}, &facts).ok);
    }
    const auto near = [](const QImage &image, QColor colour) {
        const QColor seen = image.pixelColor(image.width() / 2, image.height() / 2);
        return !image.isNull() && std::abs(seen.red() - colour.red()) < 16 &&
               std::abs(seen.blue() - colour.blue()) < 16;
    };
    SavedThumbnails saved(data);
    struct Case {
        QString file;
        qint64 row;
        QColor colour; // invalid: no picture
    };
    const Case cases[] = {
        {u"cd_a.dat"_s, 3, Qt::red},  {u"cd_a.dat"_s, 2997, Qt::red},  {u"cd_a.dat"_s, 4, {}},
        {u"cd_b.dat"_s, 4, Qt::blue}, {u"cd_b.dat"_s, 3000, Qt::blue}, {u"cd_b.dat"_s, 3, {}},
        {u"cd_c.dat"_s, 3, {}},       {u"../data/cd_a.dat"_s, 3, {}},  {u"cd_a.dat"_s, 0, {}},
    };
    for (const Case &c : cases) {
        const QImage image = saved.imageOf(c.file, c.row);
        if (c.colour.isValid())
            EXPECT_TRUE(near(image, c.colour)) << qPrintable(c.file) << ' ' << c.row;
        else
            EXPECT_TRUE(image.isNull()) << qPrintable(c.file) << ' ' << c.row;
    }
    // Another program changes disc a's catalogue, keeping its size and date: once forgotten, its
    // pictures are no longer shown, while b's still are.
    const QString catalogue = entries.filePath(u"cd_a.dat"_s);
    renameBehindItsBack(catalogue);
    saved.forget();
    EXPECT_TRUE(saved.imageOf(u"cd_a.dat"_s, 3).isNull());
    EXPECT_TRUE(near(saved.imageOf(u"cd_b.dat"_s, 8), Qt::blue));
}
