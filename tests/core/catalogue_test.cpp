#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"

#include "catalogue/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString writeBytes(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

} // namespace

TEST(Layouts, ColumnsInFileOrder)
{
    const QStringList index = {"file", "desc", "name", "gubn"};
    ASSERT_EQ(d_cdinfo().columnCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(d_cdinfo().column(i).name, index[i]);
    const QStringList tree = {"fullname", "name",     "bmpname", "selectedbmpname", "selected", "open",
                              "children", "siblings", "level"};
    ASSERT_EQ(d_dir_tree().columnCount(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(d_dir_tree().column(i).name, tree[i]);
        EXPECT_EQ(d_dir_tree().column(i).type, i >= 4 ? ColumnType::Number : ColumnType::Text);
    }
    EXPECT_EQ(d_dir_tree().rowHeight(), 19);
    EXPECT_EQ(categoryText(u"01"), u"프로그램");
    EXPECT_EQ(categoryText(u"04"), u"사진");
    EXPECT_EQ(categoryText(u"07"), u"07");
}

TEST(IndexFile, LoadRules)
{
    QTemporaryDir dir;
    RecordSet index(d_cdinfo());
    EXPECT_EQ(loadDataFile(index, dir.filePath("missing.dat")), 0);
    EXPECT_EQ(index.RowCount(), 0);

    // The last line lacks CR LF; a blank line ends the load.
    const QString noEnding =
        writeBytes(dir, "a.dat", "cd_A.dat\tdesc A\tA\t01\r\ncd_B.dat\t\tB\t02\textra\r\ncd_C.dat\tc\tC\t03");
    EXPECT_EQ(loadDataFile(index, noEnding), 3);
    EXPECT_EQ(index.GetItemString(2, "gubn"), "02");
    EXPECT_EQ(index.GetItemString(3, "name"), "C");

    RecordSet blank(d_cdinfo());
    const QString middle = writeBytes(dir, "b.dat", "cd_A.dat\t\tA\t01\r\n\r\ncd_B.dat\t\tB\t02\r\n");
    EXPECT_EQ(loadDataFile(blank, middle), 1);
    EXPECT_EQ(blank.RowCount(), 1);

    RecordSet first(d_cdinfo());
    const QString firstEmpty = writeBytes(dir, "c.dat", "\r\ncd_A.dat\t\tA\t01\r\n");
    EXPECT_EQ(loadDataFile(first, firstEmpty), 0);
    EXPECT_EQ(first.RowCount(), 0);

    RecordSet shortLine(d_cdinfo());
    loadDataFile(shortLine, writeBytes(dir, "d.dat", "cd_A.dat\n"));
    EXPECT_EQ(shortLine.RowCount(), 1);
    EXPECT_EQ(shortLine.GetItemString(1, "gubn"), "");
}

TEST(IndexFile, StoreReplacesTheFileAndReportsFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cdinfo.dat");
    RecordSet index(d_cdinfo());
    index.ImportString(u"cd_사진.dat\t여름 여행\t사진\t04\r\ncd_B.dat\t\tB\t01"_qs);
    ASSERT_TRUE(storeIndex(index, path).ok);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(
        bytes,
        QByteArray("cd_\xBB\xE7\xC1\xF8.dat\t\xBF\xA9\xB8\xA7 \xBF\xA9\xC7\xE0\t\xBB\xE7\xC1\xF8\t04\r\n"
                   "cd_B.dat\t\tB\t01\r\n"));

    const FileResult failed = storeIndex(index, dir.filePath("no/such/folder/cdinfo.dat"));
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.error.isEmpty());
}

TEST(CatalogueFile, OneRowTreeAndForeignFilesRoundTrip)
{
    QTemporaryDir dir;
    RecordSet tree(d_dir_tree());
    tree.ImportString(u"/media/kim/DISC/\tDISC\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1");
    const QString path = dir.filePath("cd_DISC.dat");
    ASSERT_TRUE(writeCatalogue(tree, path).ok);
    RecordSet back(d_dir_tree());
    EXPECT_EQ(loadDataFile(back, path), 1);
    EXPECT_EQ(back.GetItemString(1, "fullname"), "/media/kim/DISC/");
    EXPECT_EQ(back.GetItemNumber(1, "open"), 1);

    // Another tool's file: Windows paths and more than nine fields.
    RecordSet foreign(d_dir_tree());
    loadDataFile(foreign,
                 writeBytes(dir, "cd_W.dat", "D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\tx\ty\r\n"));
    EXPECT_EQ(foreign.GetItemString(1, "fullname"), "D:\\");
    EXPECT_EQ(foreign.GetItemNumber(1, "level"), 1);
}

TEST(CatalogueFile, OnlyBareFileNamesAreUsed)
{
    for (const char *good : {"cd_A.dat", "cd_사진 2004.dat", "cd_a]b.dat", "cd_it's.dat"})
        EXPECT_TRUE(isBareFileName(QString::fromUtf8(good))) << good;
    for (const char *bad :
         {"", "..", "../cdinfo.dat", "cd_../x.dat", "a/b.dat", "/etc/passwd", "..\\x.dat", "cd_\x01.dat",
          "cd_\t.dat", ".", "cdinfo.dat", "CDINFO.DAT", "cd_\x7f.dat", "cd_\u0085.dat", "cd_\u009f.dat"})
        EXPECT_FALSE(isBareFileName(QString::fromUtf8(bad))) << bad;
}

TEST(Globals, PathsFollowTheWorkingDirectory)
{
    const QString saved = QDir::currentPath();
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    initGlobals();
    QDir::setCurrent(saved);
    EXPECT_EQ(gs_pgm_dir, QDir(dir.path()).canonicalPath());
    EXPECT_EQ(indexFilePath(), gs_pgm_dir + "/data/cdinfo.dat");
    EXPECT_EQ(dataFilePath("cd_A.dat"), gs_pgm_dir + "/data/cd_A.dat");
    EXPECT_EQ(helpFilePath(), gs_pgm_dir + "/tarvek.hlp");
    EXPECT_TRUE(gs_sort_str.isEmpty());
    gs_pgm_dir = "";
    EXPECT_EQ(indexFilePath(), "/data/cdinfo.dat") << "started at the root";
}
