// Pictures and songs in the results: the filters of their facts, plain words found in a song's
// tags (and marked so), a disc saved before such facts were kept, and the CSV export's columns.

#include "catalogue/csv.h"
#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "catalogue/mediacells.h"
#include "catalogue/sidefacts.h"
#include "search/resultsearch.h"
#include "search/resultsexport.h"
#include "support/mediadiscs.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class MediaSearch : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(mediadiscs::writeDiscs(s_dir->path()));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static ResultStore search(const QString &text)
    {
        ResultStore store;
        store.reset(mediadiscs::resultDiscs());
        HookContext hooks;
        searchResults(hooks, store, s_dir->path(), text);
        return store;
    }
    static QTemporaryDir *s_dir;
};
QTemporaryDir *MediaSearch::s_dir = nullptr;

} // namespace

TEST_F(MediaSearch, FiltersAndTagWordsFindTheirRows)
{
    // "disc:name", with " tag" for a row found by its tags.
    const struct {
        QString query;
        QStringList rows;
    } cases[] = {
        {u"촬영:2004"_s, {u"0:img_0001.jpg"_s}},
        {u"taken:2004-07"_s, {u"0:img_0001.jpg"_s}},
        {u"촬영:2004-08"_s, {}},
        {u"촬영:2003..2004"_s, {u"0:img_0001.jpg"_s, u"0:img_0003.jpg"_s}},
        {u"촬영:>=2005"_s, {u"0:img_0002.jpg"_s}},
        {u"날짜:2004"_s, {}}, // the files' own dates are of 2010
        {u"카메라:canon"_s, {u"0:img_0001.jpg"_s, u"0:img_0003.jpg"_s}},
        {u"camera:D70"_s, {u"0:img_0002.jpg"_s}},
        {u"카메라:canon 촬영:2004"_s, {u"0:img_0001.jpg"_s}},
        {u"아티스트:이승환"_s, {u"0:track01.mp3"_s}},
        {u"artist:pink"_s, {u"0:track02.mp3"_s}},
        {u"앨범:wall"_s, {u"0:track02.mp3"_s}},
        {u"album:천일"_s, {u"0:track01.mp3"_s}},
        {u"아티스트:abba 앨범:wall"_s, {}},
        {u"track 아티스트:abba"_s, {u"0:track03.mp3"_s}},
        // Plain words: the name first, then the tags, marked.
        {u"track0"_s,
         {u"0:track01.mp3"_s, u"0:track02.mp3"_s, u"0:track03.mp3"_s, u"1:track01.mp3"_s, u"1:track02.mp3"_s,
          u"1:track03.mp3"_s}},
        {u"floyd"_s, {u"0:track02.mp3 tag"_s}},
        {u"세월"_s, {u"0:track01.mp3 tag"_s}},
        {u"dancing queen"_s, {u"0:track03.mp3 tag"_s}},
        {u"track02 mother"_s, {u"0:track02.mp3 tag"_s}},
        {u"mother -track02"_s, {}},
        {u"mother 종류:사진"_s, {}},
        {u"canon"_s, {}}, // a camera is no tag
        {u"img_000"_s,
         {u"0:img_0001.jpg"_s, u"0:img_0002.jpg"_s, u"0:img_0003.jpg"_s, u"1:img_0001.jpg"_s,
          u"1:img_0002.jpg"_s, u"1:img_0003.jpg"_s}},
        // The disc saved before: found by its names as ever, never by facts it does not have.
        {u"n02999"_s, {u"0:n02999.txt"_s, u"1:n02999.txt"_s}},
    };
    for (const auto &c : cases) {
        const ResultStore store = search(c.query);
        QStringList rows;
        for (qsizetype row = 0; row < store.rowCount(); ++row)
            rows << u"%1:%2%3"_s.arg(store.discOf(row))
                        .arg(store.nameOf(row), store.byTag(row) ? u" tag"_s : u""_s);
        EXPECT_EQ(rows, c.rows) << qPrintable(c.query + u" → "_s + rows.join(u", "));
        EXPECT_EQ(store.discsWithRows(), c.rows.isEmpty()                 ? 0
                                         : c.rows.back().startsWith(u'1') ? 2
                                                                          : 1)
            << qPrintable(c.query);
        // Each row's facts are its own: the line found gives back the row's note.
        const SideFacts facts = readSideFacts(s_dir->path(), u"cd_media.dat"_s);
        for (qsizetype row = 0; row < store.rowCount(); ++row) {
            const auto expected = mediadiscs::mediaFiles().find(store.nameOf(row));
            if (store.discOf(row) == 0 && expected != mediadiscs::mediaFiles().end()) {
                EXPECT_EQ(facts.media(store.lineOf(row)), expected->second) << qPrintable(store.nameOf(row));
            }
        }
    }
}

TEST_F(MediaSearch, ExportsAddTheFactsAfterTheOldColumns)
{
    const QString folder = s_dir->path();
    // A row of each kind: the old columns as before, then the facts.
    const struct {
        QString query;
        QStringList cells;
    } cases[] = {
        {u"img_0001"_s,
         {u"MEDIA"_s,
          {},
          categoryText(u"01"_s),
          u"\\media\\"_s,
          u"img_0001.jpg"_s,
          u"파일"_s,
          u"2004-07-11T15:05:00"_s,
          u"Canon"_s,
          u"Canon EOS 300D"_s,
          u"3072"_s,
          u"2048"_s,
          {},
          {},
          {},
          {},
          {},
          {}}},
        {u"floyd"_s,
         {u"MEDIA"_s,
          {},
          categoryText(u"01"_s),
          u"\\media\\"_s,
          u"track02.mp3"_s,
          u"파일"_s,
          {},
          {},
          {},
          {},
          {},
          u"Pink Floyd"_s,
          u"The Wall"_s,
          u"Mother"_s,
          {},
          {},
          u"0:05:34"_s}},
        {u"n00001.txt"_s,
         {u"OLD"_s,
          {},
          categoryText(u"01"_s),
          u"\\docs\\"_s,
          u"n00001.txt"_s,
          u"파일"_s,
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {}}},
    };
    for (const auto &c : cases) {
        const ResultStore found = search(c.query);
        ASSERT_GE(found.rowCount(), 1) << qPrintable(c.query);
        // The media disc's row first, the old disc's last.
        const qsizetype row = c.cells.front() == u"OLD" ? found.rowCount() - 1 : 0;
        const QString csv = folder + u"/results.csv"_s;
        ASSERT_TRUE(exportResults(csv, found, {}, folder).ok);
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().mid(3).split('\n');
        EXPECT_EQ(QString::fromUtf8(lines[0]).trimmed(),
                  csvRecord(kDiscHeading + kRowHeading + kMediaHeading));
        QStringList expected = c.cells;
        // The size and date columns stay where they were, after the kind.
        const RowFacts own =
            readSideFacts(folder, found.discs()[size_t(found.discOf(row))].file).row(found.lineOf(row));
        expected.insert(6, csvSize(own.size));
        expected.insert(7, csvDate(own.modified));
        EXPECT_EQ(QString::fromUtf8(lines[row + 1]).trimmed(), csvRecord(expected)) << qPrintable(c.query);
    }
    // The open tree's export: its five columns, then the same facts.
    RecordSet tree(d_dir_tree());
    const QString path = folder + u"/cd_media.dat"_s;
    loadDataFile(tree, path);
    TreeFacts facts;
    ASSERT_TRUE(SideFiles::read(SideFiles::pathFor(path), tree, facts));
    ASSERT_TRUE(exportTree(folder + u"/tree.csv"_s, tree, facts).ok);
    QFile file(folder + u"/tree.csv"_s);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().mid(3).split('\n');
    EXPECT_EQ(QString::fromUtf8(lines[0]).trimmed(), csvRecord(kRowHeading + kMediaHeading));
    int checked = 0;
    for (qint64 row = 1; row <= tree.RowCount(); ++row) {
        const auto media = mediadiscs::mediaFiles().find(tree.GetItemString(row, TreeColumn::name));
        const QStringList cells =
            QStringList{tree.GetItemString(row, TreeColumn::fullname),
                        tree.GetItemString(row, TreeColumn::name),
                        kindText(row == 1 || row == tree.RowCount() - 6)} +
            factCells(rowFactsOf(facts, row)) +
            mediaCells(media == mediadiscs::mediaFiles().end() ? std::nullopt : std::optional(media->second));
        EXPECT_EQ(QString::fromUtf8(lines[row]).trimmed(), csvRecord(cells)) << row;
        checked += media != mediadiscs::mediaFiles().end();
    }
    EXPECT_EQ(checked, 6);
}
