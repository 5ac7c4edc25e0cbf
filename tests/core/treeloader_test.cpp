// Loading a catalogue file into a tree, as the list pane opens a disc: written byte by byte as
// the earlier Windows version wrote them, and files that are no catalogue at all.

#include "catalogue/layouts.h"
#include "catalogue/treeloader.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Load {
    Load()
    {
        hooks.progress = &progress;
        hooks.showStatus = [this](const QString &text) { texts << text; };
        hooks.yieldAndCheckCancel = [this] { return ++yields == cancelAt; };
    }
    TreeLoad run(const QByteArray &bytes)
    {
        const QString path = dir.filePath("cd_DISC.dat");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        return loadTree(hooks, tree, path);
    }
    QTemporaryDir dir;
    RecordSet tree{d_dir_tree()};
    Progress progress;
    HookContext hooks;
    QStringList texts;
    int yields = 0;
    int cancelAt = 0;
};

} // namespace

TEST(TreeLoad, AFileOfTheWindowsVersion)
{
    // CP949 names, "\" paths from a drive letter, CR LF, a tenth field, a blank line ending the file.
    const QByteArray bytes =
        "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
        "E:\\\xBB\xE7\xC1\xF8\\\t\xBB\xE7\xC1\xF8\tfolder.bmp\tfoldopen.bmp\t1\t0\t0\t0\t2\textra\r\n"
        "E:\\\xBB\xE7\xC1\xF8\\\t\x8C\x63.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n"
        "E:\\\tREADME.TXT\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n"
        "\r\n"
        "E:\\\tafter.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
    Load load;
    const TreeLoad result = load.run(bytes);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.lines, 4);
    ASSERT_EQ(load.tree.RowCount(), 4);
    EXPECT_EQ(load.tree.GetItemString(2, TreeColumn::fullname), u"E:\\사진\\"_s);
    EXPECT_EQ(load.tree.GetItemString(3, TreeColumn::name), u"똠.jpg"_s);
    EXPECT_EQ(load.tree.GetItemNumber(2, TreeColumn::selected), 1) << "selected carries over";
    EXPECT_EQ(load.texts, QStringList({u"준비중"_s, "25%", "50%", "75%", "100%", ""}));
    EXPECT_EQ(load.progress.position(), 0) << "reset after the end";

    // The last line may lack its CR LF.
    Load last;
    EXPECT_EQ(last.run("E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t1\r\nE:\\\tx\tline.bmp\tline."
                       "bmp\t0\t0\t0\t0\t2")
                  .lines,
              2);
    EXPECT_EQ(last.tree.GetItemString(2, TreeColumn::name), "x");
}

TEST(TreeLoad, ACancelKeepsTheRowsReadAndTheProgress)
{
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes += "D:\\\tf" + QByteArray::number(i) + "\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
    Load load;
    load.cancelAt = 2; // before the second line
    const TreeLoad result = load.run(bytes);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(load.tree.RowCount(), 1);
    EXPECT_EQ(load.progress.position(), 1);
    EXPECT_EQ(load.progress.maximum(), 200);
    EXPECT_EQ(load.texts.last(), "0%") << "half a percent shows as 0";
}

TEST(TreeLoad, LongFilesBadLinesAndFilesThatAreNoCatalogue)
{
    // Past 65,535 lines the progress still ends full, with one bad line skipped on the way.
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += i == 5 ? "D:\\\tbad\tline.bmp\tline.bmp\t0\t0\t0\t0\tlevel\r\n"
                        : "D:\\\tf\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
    Load load;
    bool full = false;
    load.progress.onChange = [&] { full = full || load.progress.permille() == 1000; };
    EXPECT_EQ(load.run(bytes).lines, 70000);
    EXPECT_EQ(load.tree.RowCount(), 69999);
    EXPECT_TRUE(full);
    EXPECT_EQ(load.texts.size(), 1 + 101 + 1);

    // Random bytes load whatever lines parse, and a missing file leaves the tree empty.
    QByteArray noise(1 << 16, '\0');
    QRandomGenerator random(3);
    for (char &c : noise)
        c = char(random.bounded(256));
    Load garbage;
    garbage.run(noise);
    Load missing;
    missing.tree.ImportString(u"a\tb\t\t\t0\t0\t0\t0\t1");
    EXPECT_FALSE(loadTree(missing.hooks, missing.tree, missing.dir.filePath("none.dat")).opened);
    EXPECT_EQ(missing.tree.RowCount(), 0);
    EXPECT_EQ(missing.texts, QStringList({u"준비중"_s, ""}));
}
