// Writes the three CSV exports of a small catalogue into a folder, for check_csv.py to read back
// with Python's csv module: a name holding a comma, a double quote, a tab and a syllable only
// CP949 (not EUC-KR) holds must come back as it went in; so must names and descriptions (which a
// tree or a list in memory can hold) with a CR, an LF, CR LF, quotes, commas and a leading
// byte-order mark character.

#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "search/resultsearch.h"
#include "search/resultsexport.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: csv_sample FOLDER\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QStringLiteral("a,b \"똠\"\tc.txt");
    RecordSet tree(d_dir_tree());
    tree.appendLine(QStringLiteral("E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1"));
    const qint64 row = tree.InsertRow(0);
    tree.SetItem(row, TreeColumn::fullname, QStringLiteral("E:\\"));
    tree.SetItem(row, TreeColumn::name, name); // a tab only a tree in memory can hold
    tree.SetItem(row, TreeColumn::bmpname, QStringLiteral("line.bmp"));
    const QStringList hostile = {u"cr\rinside"_s,       u"lf\ninside"_s,   u"crlf\r\ninside"_s,
                                 u"\"quoted\""_s,       u"ends in cr\r"_s, u"\uFEFFmark first"_s,
                                 u"comma,\"and\"\r\n"_s};
    RecordSet list(d_cdinfo());
    list.appendLine(QStringLiteral("cd_똠,1.dat\t\"설명\", 둘\t똠,1\t04"));
    RecordSet more(d_dir_tree()), moreList(d_cdinfo());
    for (const QString &text : hostile) {
        const qint64 at = more.InsertRow(0);
        more.SetItem(at, TreeColumn::fullname, text);
        more.SetItem(at, TreeColumn::name, text);
        const qint64 entry = moreList.InsertRow(0);
        moreList.SetItem(entry, IndexColumn::name, text);
        moreList.SetItem(entry, IndexColumn::desc, text);
    }
    // The catalogue file drops the tab, as every data file does.
    if (!writeCatalogue(tree, folder + QStringLiteral("/cd_똠,1.dat")).ok)
        return 1;
    ResultStore store;
    store.reset({{QStringLiteral("cd_똠,1.dat"), QStringLiteral("똠,1"), QStringLiteral("\"설명\", 둘"),
                  QStringLiteral("04")}});
    HookContext hooks;
    searchResults(hooks, store, folder, QStringLiteral("똠"));
    const bool written = exportTree(folder + QStringLiteral("/tree.csv"), tree, TreeFacts()).ok &&
                         exportTree(folder + QStringLiteral("/hostile-tree.csv"), more, TreeFacts()).ok &&
                         exportDiscList(folder + QStringLiteral("/hostile-list.csv"), moreList, folder).ok &&
                         exportDiscList(folder + QStringLiteral("/list.csv"), list, folder).ok &&
                         exportResults(folder + QStringLiteral("/results.csv"), store, {}, folder).ok;
    return written ? 0 : 1;
}
