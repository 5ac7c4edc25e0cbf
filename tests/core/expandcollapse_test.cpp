#include "treeview/expandcollapse.h"

#include "catalogue/layouts.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A tree from its levels, one row per level, named r1, r2, ...
void fill(RecordSet &tree, const std::vector<int> &levels)
{
    QString text;
    for (size_t i = 0; i < levels.size(); ++i)
        text +=
            QStringLiteral("p\tr%1\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t%2\n").arg(i + 1).arg(levels[i]);
    tree.ImportString(text);
}

// The numbers of the shown rows.
std::vector<int> shown(const RecordSet &tree)
{
    std::vector<int> rows;
    for (qint64 r = 1; r <= tree.RowCount(); ++r) {
        if (tree.detailHeight(r) > 0)
            rows.push_back(int(r));
    }
    return rows;
}

std::vector<int> open(const RecordSet &tree)
{
    std::vector<int> rows;
    for (qint64 r = 1; r <= tree.RowCount(); ++r) {
        if (tree.GetItemNumber(r, "open") == 1)
            rows.push_back(int(r));
    }
    return rows;
}

//              1  2  3  4  5  6  7  8  9 10
const std::vector<int> kTree = {1, 2, 3, 4, 3, 2, 2, 3, 3, 4};

} // namespace

TEST(ExpandCollapse, AFreshTreeShowsTheRootAndItsChildren)
{
    RecordSet tree(d_dir_tree());
    fill(tree, kTree);
    tree.SetItem(3, "open", qint64(1)); // loaded files may carry open rows: they are closed again
    foldToRoot(tree);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 6, 7}));
    EXPECT_EQ(open(tree), std::vector<int>({1}));
}

TEST(ExpandCollapse, ClosingHidesTheWholeBranchReopeningShowsOneLevel)
{
    RecordSet tree(d_dir_tree());
    fill(tree, kTree);
    foldToRoot(tree);
    expandRow(tree, 2);
    expandRow(tree, 3);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 3, 4, 5, 6, 7}));
    collapseRows(tree, 2);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 6, 7}));
    EXPECT_EQ(open(tree), std::vector<int>({1}));
    expandRow(tree, 2);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 3, 5, 6, 7})) << "children only, closed";
    EXPECT_EQ(open(tree), std::vector<int>({1, 2}));
}

TEST(ExpandCollapse, BranchesThatRunToTheLastRow)
{
    RecordSet tree(d_dir_tree());
    fill(tree, kTree);
    foldToRoot(tree);
    expandRow(tree, 7);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 6, 7, 8, 9}));
    expandRow(tree, 9);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 6, 7, 8, 9, 10}));
    expandRow(tree, 10); // the last row: only its open flag changes
    EXPECT_EQ(tree.GetItemNumber(10, "open"), 1);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 6, 7, 8, 9, 10}));
    collapseRows(tree, 10);
    EXPECT_EQ(tree.GetItemNumber(10, "open"), 0);
    collapseRows(tree, 7);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 6, 7}));
}

TEST(ExpandCollapse, ExpandAllAndBack)
{
    RecordSet tree(d_dir_tree());
    fill(tree, kTree);
    foldToRoot(tree);
    expandAll(tree);
    EXPECT_EQ(shown(tree).size(), kTree.size());
    EXPECT_EQ(open(tree).size(), kTree.size()) << "files and folders alike";
    foldToRoot(tree);
    EXPECT_EQ(shown(tree), std::vector<int>({1, 2, 6, 7}));
    EXPECT_EQ(open(tree), std::vector<int>({1}));
}

TEST(ExpandCollapse, RowsTheTreeDoesNotHaveAreLeftAlone)
{
    RecordSet empty(d_dir_tree());
    foldToRoot(empty); // a scan cancelled before its first folder
    collapseRows(empty, 5);
    expandRow(empty, 0);
    EXPECT_EQ(empty.RowCount(), 0);
    RecordSet tree(d_dir_tree());
    fill(tree, {1, 2});
    expandRow(tree, 7);
    collapseRows(tree, -1);
    EXPECT_EQ(open(tree), std::vector<int>());
    EXPECT_FALSE(hasBox(tree, 3));
}

TEST(ExpandCollapse, BoxesFollowTheNextRowOrTheChildrenFlag)
{
    RecordSet tree(d_dir_tree());
    fill(tree, kTree);
    const std::vector<bool> boxes = {true, true, true, false, false, false, true, false, true, false};
    for (qint64 r = 1; r <= tree.RowCount(); ++r)
        EXPECT_EQ(hasBox(tree, r), boxes[size_t(r - 1)]) << r;
    tree.SetItem(10, "children", qint64(1));
    EXPECT_TRUE(hasBox(tree, 10)) << "children = 1 forces a box, even on the last row";
}

// Whatever the user opens and closes, a row is shown exactly when all its ancestors are open.
TEST(ExpandCollapse, ShownRowsAreThoseWithEveryAncestorOpen)
{
    std::mt19937 random(11);
    std::vector<int> levels = {1};
    for (int i = 1; i < 400; ++i)
        levels.push_back(std::max(2, std::min(levels.back() + int(random() % 3) - 1, 9)));
    RecordSet tree(d_dir_tree());
    fill(tree, levels);
    foldToRoot(tree);
    for (int step = 0; step < 300; ++step) {
        const std::vector<int> visible = shown(tree);
        const qint64 row = visible[random() % visible.size()];
        if (random() % 7 == 0) {
            expandAll(tree);
            continue;
        }
        if (tree.GetItemNumber(row, "open") == 1)
            collapseRows(tree, row);
        else
            expandRow(tree, row);
        std::vector<qint64> ancestors; // open state of the path from the root
        for (qint64 r = 1; r <= tree.RowCount(); ++r) {
            const qint64 level = tree.GetItemNumber(r, "level");
            ancestors.resize(size_t(level - 1));
            bool allOpen = true;
            for (qint64 a : ancestors)
                allOpen = allOpen && tree.GetItemNumber(a, "open") == 1;
            ASSERT_EQ(tree.detailHeight(r) > 0, allOpen) << "row " << r << " after step " << step;
            ancestors.push_back(r);
        }
    }
}
