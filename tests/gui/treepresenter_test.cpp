// How tree rows are drawn: the objects of each row, computed from the layout's rules,
// and a few pixels where the pictures of neighbouring rows must meet.

#include "treeview/treepresenter.h"

#include "catalogue/layouts.h"
#include "treeview/expandcollapse.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Rows from (level, picture, name); picture "f" for a folder, "-" for a file.
void fill(RecordSet &tree, const std::vector<std::tuple<int, char, QString>> &rows)
{
    for (const auto &[level, kind, name] : rows) {
        const QString pictures = kind == 'f' ? "folder.bmp\tfoldopen.bmp" : "line.bmp\tline.bmp";
        tree.ImportString(QStringLiteral("p\t%1\t%2\t0\t0\t0\t0\t%3").arg(name, pictures).arg(level));
    }
}

// "object@x:picture" for each item of a row.
QStringList describe(const TreePresenter &presenter, const RecordSet &tree, qint64 row,
                     qint64 firstOnPage = 1)
{
    RowPaintState state;
    state.firstRowOnPage = firstOnPage;
    QStringList out;
    for (const TreePresenter::Item &item : presenter.itemsOf(tree, row, state))
        out << item.object + u'@' + QString::number(item.box.x()) +
                   (item.picture.isEmpty() ? "" : ":" + item.picture);
    return out;
}

class TreeRows : public ::testing::Test {
  protected:
    void SetUp() override
    {
        fill(tree, {{1, 'f', "D:"},
                    {2, 'f', "docs"},
                    {3, 'f', "empty"},
                    {3, '-', "a.txt"},
                    {2, 'f', "deep"},
                    {3, 'f', "l3"},
                    {4, 'f', "l4"},
                    {5, 'f', "l5"},
                    {6, 'f', "l6"},
                    {7, 'f', "l7"},
                    {8, 'f', "l8"},
                    {9, 'f', "l9"},
                    {10, 'f', "l10"},
                    {11, 'f', "l11"},
                    {12, 'f', "l12"},
                    {13, '-', "z.txt"}});
    }
    RecordSet tree{d_dir_tree()};
    TreePresenter presenter;
};

} // namespace

TEST_F(TreeRows, LevelsOneToThreeIndentByTwentyPixels)
{
    EXPECT_EQ(describe(presenter, tree, 1), QStringList({"pict@1:folder.bmp", "name@20"}))
        << "level 1: no box, no lines, picture at 1";
    EXPECT_EQ(describe(presenter, tree, 2),
              QStringList({"clickbox@0:plus.bmp", "pict@20:folder.bmp", "name@40"}));
    EXPECT_EQ(describe(presenter, tree, 3), QStringList({"clickbox@20:empty.bmp", "compute_2@1:lines.bmp",
                                                         "pict@40:folder.bmp", "name@60"}))
        << "an empty folder shows the corner, not a box";
    EXPECT_EQ(describe(presenter, tree, 4),
              QStringList({"clickbox@20:empty.bmp", "compute_2@1:lines.bmp", "pict@40:line.bmp", "name@60"}));
}

TEST_F(TreeRows, DeepRowsShowNineAncestorLinesAtMost)
{
    const QStringList row15 = describe(presenter, tree, 15); // level 12
    EXPECT_EQ(row15.filter("lines.bmp").size(), 9);
    EXPECT_TRUE(row15.contains("compute_1@161:lines.bmp"));
    EXPECT_TRUE(row15.contains("pict@220:folder.bmp"));
    EXPECT_EQ(describe(presenter, tree, 16).filter("lines.bmp").size(), 9) << "level 13 as well";
    EXPECT_EQ(describe(presenter, tree, 14).filter("lines.bmp").size(), 9) << "level 11 reaches x = 161";
    EXPECT_EQ(describe(presenter, tree, 13).filter("lines.bmp").size(), 8);
}

TEST_F(TreeRows, BoxesFollowOpenChildrenAndTheLastRow)
{
    EXPECT_TRUE(describe(presenter, tree, 16).contains("clickbox@220:empty.bmp"))
        << "the last row has no box";
    tree.SetItem(16, "children", qint64(1));
    EXPECT_TRUE(describe(presenter, tree, 16).contains("clickbox@220:plus.bmp")) << "unless children is 1";
    tree.SetItem(16, "open", qint64(1));
    EXPECT_TRUE(describe(presenter, tree, 16).contains("clickbox@220:minus.bmp"));
    tree.SetItem(4, "siblings", qint64(1));
    EXPECT_TRUE(describe(presenter, tree, 4).contains("clickbox@20:empty2.bmp"));
    for (qint64 row = 1; row <= tree.RowCount(); ++row)
        EXPECT_EQ(presenter.showbox(tree, row) == 1, hasBox(tree, row)) << row;
}

TEST_F(TreeRows, TheSelectedFolderOpensFilesStayLines)
{
    tree.SetItem(2, "selected", qint64(1));
    tree.SetItem(4, "selected", qint64(1));
    EXPECT_TRUE(describe(presenter, tree, 2).contains("pict@20:foldopen.bmp"));
    EXPECT_TRUE(describe(presenter, tree, 4).contains("pict@40:line.bmp"));
}

TEST_F(TreeRows, NamesHideOnlyWhenTheFirstRowOnThePageHasNone)
{
    EXPECT_TRUE(describe(presenter, tree, 3, 2).contains("name@60"));
    tree.SetItem(2, "name", QString());
    EXPECT_FALSE(describe(presenter, tree, 3, 2).contains("name@60"))
        << "the edit text equals the empty name";
    EXPECT_TRUE(describe(presenter, tree, 3, 1).contains("name@60"));
}

TEST_F(TreeRows, ClicksFindTheObjectUnderThePointer)
{
    RowPaintState state;
    EXPECT_EQ(presenter.objectAt(tree, 2, QPoint(5, 10), state), "clickbox");
    EXPECT_EQ(presenter.objectAt(tree, 2, QPoint(25, 10), state), "pict");
    EXPECT_EQ(presenter.objectAt(tree, 2, QPoint(45, 10), state), "name");
    EXPECT_EQ(presenter.objectAt(tree, 1, QPoint(0, 1), state), "detail") << "level 1 has no box";
    EXPECT_EQ(presenter.objectAt(tree, 1, QPoint(500, 10), state), "detail") << "right of the name";
    EXPECT_EQ(presenter.objectAt(tree, 3, QPoint(18, 10), state), "detail") << "between two objects";
}

// Drawn one under the other, the connector of a box continues in the ancestor line of the
// row below: both dotted lines fall on the same column of pixels.
TEST_F(TreeRows, ConnectorLinesMeetAcrossRows)
{
    QImage image(300, 19 * 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (qint64 row = 2; row <= 5; ++row)
        presenter.paintRow(painter, QRect(0, int(row - 2) * 19, 300, 19), tree, row, RowPaintState{});
    painter.end();
    const QRgb grey = qRgb(128, 128, 128);
    EXPECT_EQ(image.pixel(5, 1), grey) << "box connector up, row 2";
    EXPECT_EQ(image.pixel(5, 19 + 1), grey) << "ancestor line, row 3";
    EXPECT_EQ(image.pixel(5, 19 + 17), grey);
    EXPECT_EQ(image.pixel(25, 19 + 11), grey) << "corner of the empty folder";
    EXPECT_EQ(image.pixel(5, 3 * 19 + 1), grey) << "row 5 (level 2) box connector";
    EXPECT_EQ(image.pixel(41, 19 + 2 + 8), qRgb(0, 0, 0)) << "the folder outline at x = 40 + 1";
}

namespace {
// Width in row pixels of the ink right of the picture, for a row drawn on a device of `dpi`
// through a painter scaled back to 96 DPI, as printing does.
double nameInkWidth(const TreePresenter &presenter, const RecordSet &tree, int dpi)
{
    const double scale = dpi / 96.0;
    QImage image(int(300 * scale), int(19 * scale), QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254));
    image.setDotsPerMeterY(int(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    presenter.paintRow(painter, QRect(0, 0, 300, 19), tree, 1, RowPaintState{});
    painter.end();
    int right = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = int(20 * scale); x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                right = std::max(right, x);
    return right / scale - 20;
}
} // namespace

// Printing draws rows at 96 DPI on a device of far higher resolution: names must come out
// the size they have on screen, not sized again by the printer's resolution.
TEST_F(TreeRows, NamesKeepTheirSizeOnAPrinter)
{
    const double screen = nameInkWidth(presenter, tree, 96);
    const double paper = nameInkWidth(presenter, tree, 1200);
    EXPECT_GT(screen, 5);
    EXPECT_NEAR(paper, screen, screen * 0.3);
}

// On a 200 % or 300 % screen each picture is the one drawn for that scale, placed where the 1x
// picture goes; at 100 % it is the bitmap itself.
TEST_F(TreeRows, PicturesAreDrawnForTheScreensScale)
{
    for (const int scale : {1, 2, 3}) {
        QImage image(300 * scale, 19 * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::white);
        QPainter painter(&image);
        presenter.paintRow(painter, QRect(0, 0, 300, 19), tree, 2, RowPaintState{});
        painter.end();
        const TreePresenter::Item pict = presenter.itemsOf(tree, 2, RowPaintState{})[1];
        ASSERT_EQ(pict.object, "pict");
        QImage expected(scale == 1
                            ? ":/pictures/" + pict.picture
                            : QString(":/pictures/%1@%2x.png").arg(pict.picture.chopped(4)).arg(scale));
        ASSERT_EQ(expected.width(), 16 * scale) << scale;
        expected = expected.convertToFormat(QImage::Format_RGB32);
        const QRect placed(pict.box.topLeft() * scale, QSize(16, 15) * scale);
        EXPECT_EQ(image.copy(placed), expected.copy(0, 0, 16 * scale, 15 * scale)) << "scale " << scale;
    }
}
