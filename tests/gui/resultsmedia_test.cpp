// The results window's rows of pictures and songs: sorting by their facts, and the grid of
// thumbnails asking its provider for the rows on screen only.

#include "catalogue/sidefacts.h"
#include "search/resultsearch.h"
#include "support/mediadiscs.h"
#include "ui/thumbnailview.h"
#include "ui/w_results_model.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

using namespace Qt::StringLiterals;

namespace {

class ResultsMedia : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(mediadiscs::writeDiscs(s_dir->path(), 2000));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    // The model of a search for `text` over the media disc and the one saved before.
    static void fill(ResultsModel &model, const QString &text)
    {
        const std::vector<ResultDisc> discs = mediadiscs::resultDiscs();
        std::vector<SideFacts> facts;
        for (const ResultDisc &disc : discs)
            facts.push_back(readSideFacts(s_dir->path(), disc.file));
        model.start(discs, {Qt::black, Qt::black}, facts);
        HookContext hooks;
        searchResults(hooks, model.store(), s_dir->path(), text);
        model.rowsFound(0, model.store().rowCount());
    }
    static QTemporaryDir *s_dir;
};
QTemporaryDir *ResultsMedia::s_dir = nullptr;

} // namespace

TEST_F(ResultsMedia, SortsByTheFactsOfPicturesAndSongs)
{
    const struct {
        int column;
        Qt::SortOrder order;
        QStringList named; // the media disc's rows that have the fact, in the order shown
    } cases[] = {
        {ResultsModel::Taken, Qt::AscendingOrder, {u"img_0003.jpg"_s, u"img_0001.jpg"_s, u"img_0002.jpg"_s}},
        {ResultsModel::Taken, Qt::DescendingOrder, {u"img_0002.jpg"_s, u"img_0001.jpg"_s, u"img_0003.jpg"_s}},
        {ResultsModel::Artist, Qt::AscendingOrder, {u"track03.mp3"_s, u"track02.mp3"_s, u"track01.mp3"_s}},
        {ResultsModel::Album, Qt::AscendingOrder, {u"track03.mp3"_s, u"track02.mp3"_s, u"track01.mp3"_s}},
        {ResultsModel::Album, Qt::DescendingOrder, {u"track01.mp3"_s, u"track02.mp3"_s, u"track03.mp3"_s}},
        {ResultsModel::Camera, Qt::AscendingOrder, {u"img_0001.jpg"_s, u"img_0003.jpg"_s, u"img_0002.jpg"_s}},
        {ResultsModel::Length, Qt::AscendingOrder, {u"track01.mp3"_s, u"track03.mp3"_s, u"track02.mp3"_s}},
        {ResultsModel::Pixels,
         Qt::DescendingOrder,
         {u"img_0001.jpg"_s, u"img_0002.jpg"_s, u"img_0003.jpg"_s}},
    };
    ResultsModel model;
    fill(model, u"media"_s);
    ASSERT_EQ(model.rowCount(), 14); // the folder and its six files, on both discs
    for (const auto &c : cases) {
        model.sort(c.column, c.order);
        QStringList named;
        QStringList shown;
        int emptyAt = -1, lastFact = -1;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString text = model.index(row, c.column).data().toString();
            const QString name = model.index(row, ResultsModel::Name).data().toString();
            shown << name + u'=' + text;
            if (text.isEmpty())
                emptyAt = emptyAt < 0 || c.order == Qt::AscendingOrder ? row : emptyAt;
            else {
                lastFact = row;
                named << name;
            }
        }
        EXPECT_EQ(named, c.named) << c.column << ' ' << qPrintable(shown.join(u", "));
        // The rows without the fact together at one end: first going up, last going down.
        if (c.order == Qt::AscendingOrder)
            EXPECT_LT(emptyAt, model.rowCount() - 3) << c.column;
        else
            EXPECT_GT(emptyAt, lastFact) << c.column;
    }
    // What the columns say of a picture and a song.
    model.sort(ResultsModel::Name, Qt::AscendingOrder);
    EXPECT_EQ(model.index(0, ResultsModel::Name).data().toString(), u"img_0001.jpg"_s);
    EXPECT_EQ(model.index(0, ResultsModel::Camera).data().toString(), u"Canon EOS 300D"_s);
    EXPECT_EQ(model.index(0, ResultsModel::Pixels).data().toString(), u"3072 × 2048"_s);
    EXPECT_EQ(model.index(1, ResultsModel::Camera).data().toString(), QString()); // the old disc's
    fill(model, u"floyd"_s);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, ResultsModel::Name).data().toString(), u"track02.mp3  (태그로 찾음)"_s);
    EXPECT_EQ(model.index(0, ResultsModel::Length).data().toString(), u"5:34"_s);
}

TEST_F(ResultsMedia, TheGridAsksForTheThumbnailsOnScreenOnly)
{
    ResultsModel model;
    fill(model, u"n0"_s);
    ASSERT_EQ(model.rowCount(), 4000);
    ThumbnailView view(model);
    // Shown first, as the results window shows its grid before the thumbnails come: the cells
    // first laid out for plain pictures must not cut the thumbnails.
    view.resize(800, 600);
    view.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    std::set<std::pair<QString, qint64>> asked;
    // Each row's picture in a colour of its own row, so that a row showing another's shows.
    view.thumbnails().setProvider([&](const QString &file, qint64 row) {
        asked.insert({file, row});
        QImage image(320, 200, QImage::Format_RGB32);
        image.fill(QColor::fromRgb(int(row % 200), 40, file == u"cd_media.dat" ? 200 : 0));
        return image;
    });
    view.resize(800, 600);
    view.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    const QPixmap shot = view.viewport()->grab();
    ASSERT_FALSE(asked.empty());
    // A screen holds a few dozen cells, never the thousands of rows.
    EXPECT_LT(asked.size(), 60u);
    const SideFacts facts = readSideFacts(s_dir->path(), u"cd_media.dat"_s);
    for (int row = 0; row < 3; ++row) {
        const QModelIndex index = view.model()->index(row, 0);
        const qint64 treeRow = facts.treeRow(model.store().lineOf(model.storeRow(row)));
        EXPECT_TRUE(asked.count({u"cd_media.dat"_s, treeRow})) << row;
        // The cell's picture, scaled to 160 × 100, in the middle of its cell.
        const QRect cell = view.visualRect(index);
        const QColor colour = QColor::fromRgb(int(treeRow % 200), 40, 200);
        EXPECT_EQ(shot.toImage().pixelColor(cell.center().x(), cell.top() + 4 + 50), colour) << row;
        // Whole: its left and right edges are there too.
        const int middle = cell.top() + 4 + 80;
        EXPECT_EQ(shot.toImage().pixelColor(cell.center().x() - 78, middle), colour) << row;
        EXPECT_EQ(shot.toImage().pixelColor(cell.center().x() + 77, middle), colour) << row;
        EXPECT_EQ(index.data().toString(), model.store().nameOf(model.storeRow(row)));
    }
    // The disc saved before has no rows to ask for: none of its rows was asked for.
    for (const auto &[file, row] : asked)
        EXPECT_EQ(file, u"cd_media.dat"_s);
    // Scrolled to the end, the last rows are asked for, those of the disc saved before are not.
    asked.clear();
    view.scrollToBottom();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    (void)view.viewport()->grab();
    EXPECT_TRUE(asked.empty()); // its side file is none: a plain picture each
    EXPECT_FALSE(view.model()->index(3999, 0).data(Qt::DecorationRole).value<QPixmap>().isNull());
}
