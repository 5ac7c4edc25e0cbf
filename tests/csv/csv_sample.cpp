// Writes the three CSV exports of a small catalogue into a folder, for check_csv.py to read back
// with Python's csv module: a name holding a comma, a double quote, a tab and a syllable only
// CP949 (not EUC-KR) holds must come back as it went in.

#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "search/resultsearch.h"
#include "search/resultsexport.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

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
    RecordSet list(d_cdinfo());
    list.appendLine(QStringLiteral("cd_똠,1.dat\t\"설명\", 둘\t똠,1\t04"));
    // The catalogue file drops the tab, as every data file does.
    if (!writeCatalogue(tree, folder + QStringLiteral("/cd_똠,1.dat")).ok)
        return 1;
    ResultStore store;
    store.reset({{QStringLiteral("cd_똠,1.dat"), QStringLiteral("똠,1"), QStringLiteral("\"설명\", 둘"),
                  QStringLiteral("04")}});
    HookContext hooks;
    searchResults(hooks, store, folder, QStringLiteral("똠"));
    const bool written = exportTree(folder + QStringLiteral("/tree.csv"), tree, TreeFacts()).ok &&
                         exportDiscList(folder + QStringLiteral("/list.csv"), list, folder).ok &&
                         exportResults(folder + QStringLiteral("/results.csv"), store, {}, folder).ok;
    return written ? 0 : 1;
}
