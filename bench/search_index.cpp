// Figures of the search index for bench/run search: building it, its size, searches with and
// without it, and whether the two give the same discs.

#include "bench/search_index.h"

#include "files/textfile.h"
#include "search/searchindex.h"
#include "search/searchindexfile.h"
#include "ui/w_list.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>

#include <cstdio>
#include <unistd.h>

namespace {

double searchMs(w_list &window, const QString &text)
{
    window.sle_search->setText(text);
    QElapsedTimer timer;
    timer.start();
    window.cb_search_clicked();
    return timer.nsecsElapsed() / 1e6;
}

double bestSearchMs(w_list &window, const QString &text)
{
    double best = 1e12;
    for (int run = 0; run < 3; ++run)
        best = std::min(best, searchMs(window, text));
    return best;
}

QStringList discsFound(w_list &window, const QString &text, bool indexed)
{
    SearchIndex::setEnabled(indexed);
    searchMs(window, text);
    SearchIndex::setEnabled(true);
    QStringList discs;
    for (qint64 row = 1; row <= window.list().RowCount(); ++row)
        discs << window.list().GetItemString(row, QStringLiteral("file"));
    return discs;
}

// Texts of 1 to 6 characters cut from random lines of random discs.
QStringList textsFromLines(const QStringList &files, int count)
{
    QRandomGenerator random(19);
    QStringList texts;
    while (texts.size() < count) {
        TextFileReader reader;
        QString line;
        if (!reader.open(files[random.bounded(int(files.size()))]))
            continue;
        for (int skip = random.bounded(10000); skip >= 0 && reader.readLine(line) >= 0; --skip) {
        }
        if (line.isEmpty())
            continue;
        const int length = random.bounded(1, 7);
        texts << line.mid(random.bounded(int(std::max<qsizetype>(1, line.size() - length + 1))), length);
    }
    return texts;
}

// A search right after the page cache was emptied (root only).
double coldMs(w_list &window, const QString &text, bool indexed)
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    if (!drop.open(QIODevice::WriteOnly) || drop.write("3\n") != 2)
        return -1;
    drop.close();
    SearchIndex::setEnabled(indexed);
    const double ms = searchMs(window, text);
    SearchIndex::setEnabled(true);
    return ms;
}

} // namespace

void searchIndexFigures(w_list &window, const QString &dataFolder, const QStringList &files,
                        const QString &hitWord, const QString &missWord, const Figure &figure)
{
    QFile::remove(searchIndexPath(dataFolder));
    QElapsedTimer build;
    build.start();
    searchMs(window, missWord);
    figure("index_build_s", build.nsecsElapsed() / 1e9, 3);
    qint64 catalogueBytes = 0;
    for (const QString &file : files)
        catalogueBytes += QFileInfo(file).size();
    figure("catalogue_bytes", double(catalogueBytes), 0);
    figure("index_bytes", double(QFileInfo(searchIndexPath(dataFolder)).size()), 0);
    figure("index_hit_ms", bestSearchMs(window, hitWord), 1);
    figure("index_miss_ms", bestSearchMs(window, missWord), 1);
    SearchIndex::setEnabled(false);
    figure("scan_hit_ms", bestSearchMs(window, hitWord), 1);
    figure("scan_miss_ms", bestSearchMs(window, missWord), 1);
    SearchIndex::setEnabled(true);
    bool equal = true;
    for (const QString &text : QStringList{hitWord, missWord} + textsFromLines(files, 200))
        equal = equal && discsFound(window, text, true) == discsFound(window, text, false);
    figure("index_answers_equal", equal ? 1 : 0, 0);
    if (::geteuid() == 0) {
        figure("index_cold_miss_ms", coldMs(window, missWord, true), 1);
        figure("scan_cold_miss_ms", coldMs(window, missWord, false), 1);
    }
}
