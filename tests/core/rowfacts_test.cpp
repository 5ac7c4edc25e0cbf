// Each row's own size and date wherever it is shown: the results search and its export, the open
// tree's export, the disc list's export; with lines the loader passes over (a line too long to
// keep, a line the tree rejects) before the rows, so that file lines and tree rows differ.

#include "catalogue/csv.h"
#include "catalogue/datafiles.h"
#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefacts.h"
#include "catalogue/sidefile.h"
#include "search/resultsearch.h"
#include "search/resultsexport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray row(int n)
{
    return "E:\\d\\\tn" + QByteArray::number(n).rightJustified(4, '0') +
           ".txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
}

// `rows` rows after the disc's root, with the lines in `passedOver` (by the row they come before)
// put in between.
QByteArray catalogue(int rows, const std::map<int, QByteArray> &passedOver)
{
    QByteArray bytes = "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n";
    for (int n = 0; n < rows; ++n) {
        if (const auto line = passedOver.find(n); line != passedOver.end())
            bytes += line->second;
        bytes += row(n);
    }
    return bytes;
}

QList<QStringList> csvRows(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QStringList> rows;
    for (const QByteArray &line : file.readAll().mid(3).split('\n')) {
        if (!line.trimmed().isEmpty())
            rows << QString::fromUtf8(line.trimmed()).split(u',');
    }
    rows.removeFirst(); // the heading
    return rows;
}

} // namespace

TEST(RowFacts, EveryRowShowsItsOwnSizeAndDate)
{
    QTemporaryDir dir;
    const QString data = dir.path();
    const QByteArray rejected = "E:\\d\\\tn-bad.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\tx\r\n";
    const QByteArray tooLong =
        "E:\\d\\\tn12-long" + QByteArray(3 << 19, 'x') + "\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
    const struct {
        QString file;
        QByteArray bytes;
    } discs[] = {
        // Small, with a line too long to keep: read whole.
        {u"cd_a.dat"_s, catalogue(20, {{5, rejected}, {9, tooLong}, {11, rejected}})},
        // Thousands of rows, old: read in parts.
        {u"cd_b.dat"_s, catalogue(3000, {{500, rejected}, {1100, rejected}, {1250, rejected}})},
    };
    std::vector<ResultDisc> listed;
    RecordSet list(d_cdinfo());
    QHash<QString, QHash<QString, RowFacts>> expected; // per disc, by name
    QStringList names;                                 // every tree row's path and name
    for (const auto &disc : discs) {
        QFile file(data + u'/' + disc.file);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(disc.bytes);
        file.flush();
        file.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime);
        file.close();
        RecordSet tree(d_dir_tree());
        loadDataFile(tree, file.fileName());
        TreeFacts facts;
        for (qint64 r = 1; r <= tree.RowCount(); ++r)
            facts.append({1000 * (disc.file == u"cd_b.dat") + r, 1700000000 + r * 86400});
        facts.disc.files = tree.RowCount() - 1;
        facts.disc.totalSize = 12345;
        ASSERT_TRUE(SideFiles::write(SideFiles::pathFor(file.fileName()), tree, facts).ok);
        for (qint64 r = 1; r <= tree.RowCount(); ++r) {
            expected[disc.file][tree.GetItemString(r, TreeColumn::name)] = rowFactsOf(facts, r);
            names << tree.GetItemString(r, TreeColumn::fullname) + u'\t' +
                         tree.GetItemString(r, TreeColumn::name);
        }
        listed.push_back({disc.file, disc.file, {}, u"01"_s});
        list.ImportString(disc.file + u"\t\t"_s + disc.file + u"\t01"_s);

        // The open tree's export, row by row.
        ASSERT_TRUE(exportTree(data + u"/tree.csv"_s, tree, facts).ok);
        const QList<QStringList> treeRows = csvRows(data + u"/tree.csv"_s);
        ASSERT_EQ(treeRows.size(), tree.RowCount());
        for (qsizetype r = 0; r < treeRows.size(); ++r) {
            const RowFacts own = expected[disc.file][treeRows[r][1]];
            EXPECT_EQ(treeRows[r][3], QString::number(own.size)) << qPrintable(treeRows[r][1]);
            EXPECT_EQ(treeRows[r][4], csvDate(own.modified)) << qPrintable(treeRows[r][1]);
        }
    }

    for (const QString &text : {u"n12"_s, u"n"_s, u".txt"_s}) {
        ResultStore store;
        store.reset(listed);
        HookContext hooks;
        searchResults(hooks, store, data, text);
        ASSERT_GT(store.rowCount(), 5) << qPrintable(text);
        // Every row of the trees holding the text, and no other.
        EXPECT_EQ(store.rowCount(),
                  std::count_if(names.begin(), names.end(),
                                [&](const QString &pathAndName) {
                                    return pathAndName.section(u'\t', 0, 0).contains(text) ||
                                           pathAndName.section(u'\t', 1).contains(text);
                                }))
            << qPrintable(text);
        std::vector<SideFacts> facts;
        for (const ResultDisc &disc : listed)
            facts.push_back(readSideFacts(data, disc.file));
        ASSERT_TRUE(exportResults(data + u"/results.csv"_s, store, {}, data).ok);
        const QList<QStringList> exported = csvRows(data + u"/results.csv"_s);
        ASSERT_EQ(exported.size(), store.rowCount());
        for (qsizetype r = 0; r < store.rowCount(); ++r) {
            const QString &file = listed[size_t(store.discOf(r))].file;
            const QString name = store.nameOf(r);
            ASSERT_TRUE(expected[file].contains(name))
                << "a result row that is no row of the tree: " << qPrintable(name);
            const RowFacts own = expected[file][name];
            // As the results window shows it, and as its export writes it.
            const RowFacts shown = facts[size_t(store.discOf(r))].row(store.lineOf(r));
            EXPECT_EQ(shown.size, own.size) << qPrintable(file) << " " << qPrintable(name);
            EXPECT_EQ(shown.modified, own.modified) << qPrintable(file) << " " << qPrintable(name);
            EXPECT_EQ(exported[r][6], QString::number(own.size)) << qPrintable(name);
            EXPECT_EQ(exported[r][7], csvDate(own.modified)) << qPrintable(name);
        }
    }

    // The disc list's export: each disc's own totals.
    ASSERT_TRUE(exportDiscList(data + u"/list.csv"_s, list, data).ok);
    const QList<QStringList> totals = csvRows(data + u"/list.csv"_s);
    ASSERT_EQ(totals.size(), 2);
    EXPECT_EQ(totals[0][3], u"20"_s);
    EXPECT_EQ(totals[1][3], u"3000"_s);
}
