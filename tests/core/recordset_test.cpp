#include "records/recordset.h"

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <malloc.h>
#include <memory>

#include <random>

namespace {

QString column(const RecordSet &rs, const QString &name)
{
    QStringList values;
    for (qint64 r = 1; r <= rs.RowCount(); ++r)
        values << rs.GetItemString(r, name);
    return values.join(u',');
}

RecordSet &indexWith(RecordSet &rs, const QStringList &lines)
{
    rs.ImportString(lines.join(u"\r\n"));
    return rs;
}

} // namespace

TEST(RecordSetRows, InsertDeleteAndReset)
{
    RecordSet rs(d_cdinfo());
    EXPECT_EQ(rs.InsertRow(0), 1);
    rs.SetItem(1, "name", "A");
    EXPECT_EQ(rs.InsertRow(0), 2);
    rs.SetItem(2, "name", "C");
    EXPECT_EQ(rs.InsertRow(2), 2); // before row 2
    rs.SetItem(2, "name", "B");
    EXPECT_EQ(column(rs, "name"), "A,B,C");
    EXPECT_EQ(rs.InsertRow(-1), -1);

    EXPECT_EQ(rs.DeleteRow(1), 1);
    EXPECT_EQ(column(rs, "name"), "B,C");
    EXPECT_EQ(rs.DeleteRow(3), -1);
    EXPECT_EQ(rs.RowCount(), 2);
    // Row 0 is no row: nothing selected must never delete the current one.
    rs.SetRow(2);
    EXPECT_EQ(rs.DeleteRow(0), -1);
    EXPECT_EQ(column(rs, "name"), "B,C");
    EXPECT_EQ(rs.DeleteRow(1), 1);
    EXPECT_EQ(rs.GetRow(), 1) << "the current row stays on C";
    EXPECT_EQ(rs.GetItemString(rs.GetRow(), "name"), "C");
    rs.Reset();
    EXPECT_EQ(rs.RowCount(), 0);
    EXPECT_EQ(rs.GetItemString(1, "name"), "");
}

TEST(RecordSetRows, SetItemOutsideTheRowsChangesNothing)
{
    RecordSet rs(d_dir_tree());
    rs.InsertRow(0);
    EXPECT_EQ(rs.SetItem(0, "name", "x"), -1);
    EXPECT_EQ(rs.SetItem(2, "name", "x"), -1);
    EXPECT_EQ(rs.SetItem(1, "nosuch", "x"), -1);
    EXPECT_EQ(rs.GetItemString(1, "name"), "");
    EXPECT_EQ(rs.SetItem(1, "level", qint64(3)), 1);
    EXPECT_EQ(rs.GetItemNumber(1, "level"), 3);
    EXPECT_EQ(rs.SetItem(1, "level", "abc"), -1);
    EXPECT_EQ(rs.SetItem(1, "level", qint64(1) << 40), -1);
    EXPECT_EQ(rs.GetItemNumber(1, "LEVEL"), 3) << "column names match without regard to case";
    // A number column widens when a value needs more than a byte, keeping earlier values.
    rs.InsertRow(0);
    EXPECT_EQ(rs.SetItem(2, "level", qint64(100000)), 1);
    EXPECT_EQ(rs.GetItemNumber(1, "level"), 3);
    EXPECT_EQ(rs.GetItemNumber(2, "level"), 100000);
    EXPECT_EQ(rs.GetItemString(2, 9), "100000");
}

TEST(RecordSetImport, FieldsNumbersAndLines)
{
    RecordSet rs(d_dir_tree());
    const QString text = u"D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\textra\tmore\r\n"
                         u"D:\\a\\\ta\tfolder.bmp\tfoldopen.bmp\r\n"       // missing trailing fields
                         u"\r\n"                                           // empty line: no row
                         u"D:\\\tbad\tline.bmp\tline.bmp\t0\tx\t0\t0\t2\n" // bad number: rejected
                         u"D:\\\tf.txt\tline.bmp\tline.bmp\t 0 \t0\t0\t0\t-2\n"
                         u"D:\\\thalf\tline.bmp\tline.bmp\t1.5\t0\t0\t0\t2"_qs;
    EXPECT_EQ(rs.ImportString(text), 3);
    EXPECT_EQ(column(rs, "name"), "D:,a,f.txt");
    EXPECT_EQ(column(rs, "level"), "1,0,-2");
    EXPECT_EQ(column(rs, "open"), "1,0,0");
    EXPECT_EQ(rs.GetItemString(2, "bmpname"), "folder.bmp");
    EXPECT_EQ(rs.GetItemString(2, "selectedbmpname"), "foldopen.bmp");

    const QString longName(300, u'가');
    EXPECT_EQ(rs.ImportString(QStringLiteral("p\t") + longName), 1);
    EXPECT_EQ(rs.GetItemString(4, "name"), longName) << "over-long values are kept whole";
    EXPECT_EQ(rs.ImportString(u"p\tq\tr\ts\t2147483648"), 0) << "out of range";
    EXPECT_EQ(rs.ImportString(u"p\tq\tr\ts\t-2147483648"), 1);
}

TEST(RecordSetImport, ChangesAreAnnouncedOncePerBatch)
{
    RecordSet rs(d_dir_tree());
    QSignalSpy spy(&rs, &RecordSet::changed);
    QString text;
    for (int i = 0; i < 1000; ++i)
        text += QStringLiteral("D:\\\tn") + QString::number(i) +
                QStringLiteral("\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n");
    rs.ImportString(text);
    for (int i = 1; i <= 50; ++i)
        rs.SetItem(i, "open", qint64(1));
    EXPECT_EQ(spy.count(), 0) << "nothing is sent before the event loop runs";
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 1);
    rs.SelectRow(3, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 2);
}

TEST(RecordSetFile, SaveAsWritesEveryRowAndReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cd_X.dat");
    RecordSet rs(d_dir_tree());
    rs.ImportString(u"D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                    u"D:\\\t한글 똠.txt\tline.bmp\tline.bmp\t1\t0\t0\t0\t2\r\n"
                    u"D:\\\tlast\tline.bmp\tline.bmp\t0\t0\t0\t0\t-7"_qs);
    rs.SetDetailHeight(2, 3, 0); // hidden rows are written too
    rs.SetItem(3, "name", u"tab\there\r\nand\u0001ctl"_qs);
    ASSERT_TRUE(rs.SaveAs(path).ok);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith("\t-7\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 3);
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF")) << "Korean that fits CP949 is written as CP949";

    RecordSet back(d_dir_tree());
    EXPECT_EQ(loadDataFile(back, path), 3);
    EXPECT_EQ(column(back, "name"), u"D:,한글 똠.txt,tab here  and ctl"_qs);
    EXPECT_EQ(column(back, "level"), "1,2,-7");
    EXPECT_EQ(column(back, "selected"), "0,1,0");
}

TEST(RecordSetFile, TextOutsideCp949RoundTrips)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cdinfo.dat");
    RecordSet rs(d_cdinfo());
    const QString desc = u"사진 😀 ภาษาไทย"_qs;
    rs.ImportString(QStringLiteral("cd_A.dat\t") + desc + QStringLiteral("\tA\t04"));
    ASSERT_TRUE(rs.SaveAs(path).ok);
    RecordSet back(d_cdinfo());
    loadDataFile(back, path);
    EXPECT_EQ(back.GetItemString(1, "desc"), desc);
}

TEST(RecordSetCopy, RowsCopyAppendsOrInserts)
{
    RecordSet source(d_cdinfo()), target(d_cdinfo());
    indexWith(source, {"a.dat\t\tA\t01", "b.dat\t\tB\t02", "c.dat\t\tC\t03"});
    indexWith(target, {"x.dat\t\tX\t01", "y.dat\t\tY\t01"});
    EXPECT_EQ(source.RowsCopy(2, 2, target, 10000), 1);
    EXPECT_EQ(column(target, "name"), "X,Y,B");
    EXPECT_EQ(source.RowsCopy(1, 3, target, 2), 1);
    EXPECT_EQ(column(target, "name"), "X,A,B,C,Y,B");
    EXPECT_EQ(column(target, "gubn"), "01,01,02,03,01,02");
    EXPECT_EQ(source.RowsCopy(3, 2, target, 1), -1);
    RecordSet tree(d_dir_tree());
    EXPECT_EQ(source.RowsCopy(1, 1, tree, 1), -1) << "layouts must match";
}

TEST(RecordSetFind, RangesAndBadExpressions)
{
    RecordSet rs(d_cdinfo());
    indexWith(rs, {"cd_A.dat\td\tA\t01", "cd_it's.dat\td\tit's\t02", "cd_C.dat\td\tC\t01"});
    EXPECT_EQ(rs.Find("gubn = '01'", 1, 3), 1);
    EXPECT_EQ(rs.Find("gubn = '01'", 2, 3), 3);
    EXPECT_EQ(rs.Find("gubn = '01'", 2, 2), 0);
    EXPECT_EQ(rs.Find("gubn = '01'", 4, 3), 0) << "first past last";
    EXPECT_EQ(rs.Find("gubn = '01'", 5, 3), 0);
    EXPECT_EQ(rs.Find("gubn = '01'", -5, 99), 1) << "range is clamped to the rows";
    EXPECT_LT(rs.Find("name = 'it's'", 1, 3), 0) << "unescaped quote does not parse";
    EXPECT_LT(rs.Find("nosuch = 1", 1, 3), 0);
    EXPECT_EQ(rs.Find("name = " + RecordSet::Literal(u"it's"), 1, 3), 2);
    EXPECT_EQ(rs.Find("file = " + RecordSet::Literal(u"cd_C.dat"), 1, rs.RowCount()), 3);
}

TEST(RecordSetSort, StableOrdersByTextAndNumber)
{
    RecordSet rs(d_cdinfo());
    indexWith(rs, {"1\tb\tZ\t03", "2\ta\tB\t01", "3\tb\tA\t02", "4\ta\tA\t01", "5\t\tb\t01"});
    EXPECT_EQ(rs.Sort(), 1);
    EXPECT_EQ(column(rs, "file"), "1,2,3,4,5") << "no order set: rows stay";
    EXPECT_EQ(rs.SetSort("gubn a, name a"), 1);
    rs.Sort();
    EXPECT_EQ(column(rs, "file"), "4,2,5,3,1") << "by code, then label; upper case before lower";
    EXPECT_EQ(rs.SetSort("desc d"), 1);
    rs.Sort();
    EXPECT_EQ(column(rs, "file"), "3,1,4,2,5") << "stable: equal descriptions keep their order";
    EXPECT_EQ(rs.SetSort("nosuch a"), -1);
    EXPECT_EQ(rs.SetSort("name x"), -1);
    rs.Sort();
    EXPECT_EQ(column(rs, "file"), "3,1,4,2,5") << "a bad order keeps the one in force";

    // Past 16 rows a sort that is not stable reorders equal keys; these must keep their order.
    RecordSet many(d_cdinfo());
    QStringList lines, expected01, expected02;
    for (int i = 0; i < 40; ++i) {
        const QString code = (i * 7) % 3 == 0 ? "02" : "01";
        lines << QString::number(i) + "\td\tsame\t" + code;
        (code == "01" ? expected01 : expected02) << QString::number(i);
    }
    indexWith(many, lines);
    many.SetSort("gubn a, name a");
    many.Sort();
    EXPECT_EQ(column(many, "file"), (expected01 + expected02).join(u','));

    RecordSet tree(d_dir_tree());
    tree.ImportString(u"a\tx\t\t\t0\t0\t0\t0\t10\nb\ty\t\t\t0\t0\t0\t0\t9\nc\tz\t\t\t0\t0\t0\t0\t-1");
    tree.SetSort("level a");
    tree.Sort();
    EXPECT_EQ(column(tree, "level"), "-1,9,10") << "numbers sort by value, not as text";
}

TEST(RecordSetSelection, HighlightsFollowTheirRows)
{
    RecordSet rs(d_cdinfo());
    indexWith(rs, {"1\t\tC\t", "2\t\tA\t", "3\t\tB\t"});
    rs.SelectRow(1, true);
    EXPECT_TRUE(rs.IsSelected(1));
    EXPECT_FALSE(rs.IsSelected(0));
    EXPECT_FALSE(rs.IsSelected(4));
    rs.SetRow(1);
    rs.SetSort("name a");
    rs.Sort();
    EXPECT_TRUE(rs.IsSelected(3)) << "row C moved to the end with its highlight";
    EXPECT_EQ(rs.GetRow(), 3);
    rs.SelectRow(0, true);
    EXPECT_TRUE(rs.IsSelected(1) && rs.IsSelected(2) && rs.IsSelected(3));
    rs.SelectRow(0, false);
    EXPECT_FALSE(rs.IsSelected(1) || rs.IsSelected(2) || rs.IsSelected(3));
    rs.SelectRow(2, true);
    rs.DeleteRow(1);
    EXPECT_TRUE(rs.IsSelected(1));
}

TEST(RecordSetHeights, HideShowAndRanges)
{
    RecordSet rs(d_dir_tree());
    for (int i = 0; i < 5; ++i)
        rs.InsertRow(0);
    EXPECT_EQ(rs.heights().total(), 5 * 19);
    rs.SetDetailHeight(2, 4, 0);
    EXPECT_EQ(rs.detailHeight(1), 19);
    EXPECT_EQ(rs.detailHeight(3), 0);
    EXPECT_EQ(rs.heights().total(), 2 * 19);
    rs.SetDetailHeight(4, 3, 19);
    EXPECT_EQ(rs.detailHeight(3), 0) << "first > last changes nothing";
    rs.SetDetailHeight(3, 99, 19);
    EXPECT_EQ(rs.detailHeight(5), 19);
    EXPECT_EQ(rs.detailHeight(2), 0);
    rs.DeleteRow(1);
    EXPECT_EQ(rs.detailHeight(1), 0) << "heights move with their rows";
}

// The block sums must agree with a plain walk over the heights after any mix of changes.
TEST(RecordSetHeights, OffsetsAgreeWithAPlainWalk)
{
    std::mt19937 random(7);
    RowHeights heights;
    heights.insert(0, 3000, 19);
    for (int step = 0; step < 200; ++step) {
        const qint64 a = random() % heights.size(), b = random() % heights.size();
        switch (random() % 4) {
        case 0:
            heights.set(std::min(a, b), std::max(a, b), random() % 2 ? 0 : 19);
            break;
        case 1:
            heights.insert(a, 1 + random() % 300, random() % 2 ? 0 : 5);
            break;
        case 2:
            heights.erase(std::min(a, b), std::min<qint64>(std::abs(a - b), 400));
            break;
        default:
            heights.set(a, a, int(random() % 30));
            break;
        }
    }
    qint64 offset = 0;
    for (qint64 row = 0; row < heights.size(); ++row) {
        ASSERT_EQ(heights.offsetOf(row), offset);
        if (heights.height(row) > 0) {
            ASSERT_EQ(heights.rowAt(offset), row);
            ASSERT_EQ(heights.rowAt(offset + heights.height(row) - 1), row);
            ASSERT_EQ(heights.nextShown(offset == 0 ? 0 : row), heights.nextShown(row));
        }
        offset += heights.height(row);
    }
    EXPECT_EQ(heights.total(), offset);
    EXPECT_EQ(heights.rowAt(offset), heights.size());
    for (qint64 row = 0; row < heights.size(); row += 97) {
        qint64 next = row;
        while (next < heights.size() && heights.height(next) == 0)
            ++next;
        EXPECT_EQ(heights.nextShown(row), next);
        qint64 previous = row;
        while (previous >= 0 && heights.height(previous) == 0)
            --previous;
        EXPECT_EQ(heights.previousShown(row), previous);
    }
}

// A search reads a thousand catalogues one after the other: a small record set must cost
// kilobytes, not a full text block per column.
TEST(RecordSetMemory, SmallSetsCostKilobytes)
{
    const auto heapInUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t before = heapInUse();
    std::vector<std::unique_ptr<RecordSet>> sets;
    for (int i = 0; i < 20; ++i) {
        sets.push_back(std::make_unique<RecordSet>(d_dir_tree()));
        sets.back()->ImportString(u"D:/\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\n"
                                  u"D:/\ta.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2");
        sets.back()->Reset();
        sets.back()->ImportString(u"D:/\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1");
    }
    EXPECT_LT(heapInUse() - before, size_t(20) * 128 * 1024);
}

TEST(TextStore, LongTextsAndRepeatsKeepTheirValues)
{
    TextPool pool;
    TextInterner interner(pool);
    const QString huge(3 * 1024 * 1024 + 17, u'x'); // longer than a block
    const QString big(40000, u'가');                // needs the two-unit length
    std::vector<std::pair<quint32, QString>> stored;
    for (int i = 0; i < 20000; ++i) {
        const QString text = QString::number(i) + QString(i % 50, u'y');
        stored.emplace_back(*pool.add(text), text);
        if (i == 7000)
            stored.emplace_back(*pool.add(huge), huge);
        if (i == 9000)
            stored.emplace_back(*pool.add(big), big);
    }
    for (const auto &[handle, text] : stored)
        ASSERT_EQ(pool.view(handle), text);
    EXPECT_EQ(*pool.add(QString()), 0u);
    EXPECT_EQ(pool.view(0), QString());

    const quint32 first = *interner.intern(u"D:\\docs\\");
    interner.intern(u"D:\\other\\");
    for (int i = 0; i < 5000; ++i)
        interner.intern(QString::number(i));
    EXPECT_EQ(*interner.intern(u"D:\\docs\\"), first);
    EXPECT_EQ(pool.view(*interner.intern(u"4999")), u"4999");
}
