// Figures for bench/run: loading and searching a catalogue, scanning a folder tree, and
// opening and painting a large tree in the main window. Prints "name: value" lines.

#include "bench/cli.h"
#include "bench/duplicates.h"
#include "bench/media.h"
#include "bench/programwindow.h"
#include "bench/search_index.h"
#include "bench/thumbview.h"
#include "bench/typing.h"
#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "scanner/foldercount.h"
#include "scanner/imagescan.h"
#include "scanner/keptlistings.h"
#include "search/searchindex.h"
#include "support/rootedfilesystem.h"
#include "ui/w_list.h"
#include "ui/w_results.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace {

// Resident memory from /proc/self/status, in bytes: "VmRSS" now or "VmHWM" at its peak.
qint64 memoryKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

// Bytes the program holds on the heap now: unlike the resident size, this does not depend on how
// much freed memory the allocator kept from earlier work.
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

// Resets the peak so that it measures only what follows.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void figure(const char *name, double value, int decimals = 3)
{
    std::printf("%s: %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

void figure(const char *name, qint64 value)
{
    std::printf("%s: %lld\n", name, static_cast<long long>(value));
    std::fflush(stdout);
}

// Seconds a command takes with its output thrown away; the first run warms the cache.
double commandSeconds(const QString &program, const QStringList &arguments)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(program, arguments);
        process.waitForFinished(-1);
        if (run > 0)
            best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

int catalogue(const QString &file)
{
    const double iconv = commandSeconds(QStringLiteral("iconv"), {"-f", "CP949", "-t", "UTF-8", file});
    RecordSet tree(d_dir_tree());
    { // warm the page cache the same way for the load
        RecordSet warm(d_dir_tree());
        loadDataFile(warm, file);
    }
    resetPeak();
    const qint64 before = memoryKb("VmRSS:");
    const qint64 heapBefore = heapInUse();
    QElapsedTimer timer;
    timer.start();
    loadDataFile(tree, file);
    const double load = timer.nsecsElapsed() / 1e9;
    const qint64 growth = memoryKb("VmHWM:") - before;
    const qint64 heapGrowth = heapInUse() - heapBefore;
    const qint64 rows = tree.RowCount();
    figure("catalogue_rows", rows);
    figure("catalogue_load_s", load);
    figure("iconv_s", iconv);
    figure("catalogue_load_ratio_vs_iconv", load / iconv, 2);
    figure("catalogue_bytes_per_row", double(growth) / double(rows), 1);
    figure("catalogue_heap_bytes_per_row", double(heapGrowth) / double(rows), 1);
    timer.restart();
    const qint64 found = tree.Find(QStringLiteral("name = 'no row holds this name'"), 1, rows);
    figure("find_miss_ms", timer.nsecsElapsed() / 1e6, 1);
    return found == 0 ? 0 : 1;
}

// The fewest seconds `work` took in `runs` runs: this machine's other work only ever adds time.
double bestSeconds(int runs, const std::function<void()> &work)
{
    double best = 1e12;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

int scan(const QString &folder)
{
    const QString root = folder.endsWith(u'/') ? folder : folder + u'/';
    const double find = commandSeconds(QStringLiteral("find"), {root, "-printf", "%p\\n"});
    // find and ncdu looking at every entry's size and date, as the scan does now.
    const double findStat = commandSeconds(QStringLiteral("find"), {root, "-printf", "%s %T@\\n"});
    const bool ncduThere = !QStandardPaths::findExecutable(QStringLiteral("ncdu")).isEmpty();
    const double ncdu =
        ncduThere ? commandSeconds(QStringLiteral("ncdu"), {"-0", "-o", "/dev/null", root}) : 0;
    ProgramWindow program(root);
    w_list &window = program.window;
    resetPeak();
    const qint64 before = memoryKb("VmRSS:");
    const qint64 heapBefore = heapInUse();
    QElapsedTimer timer;
    timer.start();
    window.cb_scan_clicked(); // count, build and fold, yielding once per folder
    double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 growth = memoryKb("VmHWM:") - before;
    const qint64 heapGrowth = heapInUse() - heapBefore;
    const qint64 rows = window.tree().RowCount();
    // The memory of the first scan; the time the best of three, as for find.
    seconds = std::min(seconds, bestSeconds(2, [&] { window.cb_scan_clicked(); }));
    figure("scan_rows", rows);
    figure("scan_s", seconds);
    figure("find_s", find);
    figure("scan_ratio_vs_find", seconds / find, 2);
    figure("find_stat_s", findStat);
    figure("scan_ratio_vs_find_stat", seconds / findStat, 2);
    if (ncduThere) {
        figure("ncdu_s", ncdu);
        figure("scan_ratio_vs_ncdu", seconds / ncdu, 2);
    }
    figure("scan_bytes_per_row", double(growth) / double(std::max<qint64>(rows, 1)), 1);
    figure("scan_heap_bytes_per_row", double(heapGrowth) / double(std::max<qint64>(rows, 1)), 1);
    // What the count's kept listings hold at their peak, when the count has ended.
    HookContext hooks;
    KeptListings kept;
    const std::unique_ptr<FolderWalk> walk = program.fs.walkDrive(root);
    ScanContext context{hooks, walk.get(), &kept};
    qint64 counted = 0;
    wf_file_cnt(context, root, counted);
    figure("scan_listing_bytes_per_row", double(kept.bytesHeld()) / double(std::max<qint64>(counted, 1)), 1);
    return rows == window.il_file_cnt ? 0 : 1;
}

// A saved disc opened as the list pane opens it: the two-pass load through the window, with
// its yield and cancel test before every line, its progress and its fold.
int load(const QString &file)
{
    const double iconv = commandSeconds(QStringLiteral("iconv"), {"-f", "CP949", "-t", "UTF-8", file});
    ProgramWindow program(QStringLiteral("/"));
    w_list &window = program.window;
    window.show();
    window.wf_restore(2, file); // warms the page cache as iconv's first run did
    // A side file for the tree, so that every timed load reads it too, as a scanned disc's would.
    TreeFacts facts;
    for (qint64 row = 1; row <= window.tree().RowCount(); ++row)
        facts.append({row * 1000, 1700000000 + row});
    facts.disc.scanned = QDateTime::currentDateTimeUtc();
    const bool written = SideFiles::write(SideFiles::pathFor(file), window.tree(), facts).ok;
    // Processor time too, every thread's: what other programs on a busy machine leave of the
    // wall time says little, the work done says the same on any machine.
    const auto cpuSeconds = [] {
        timespec now{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    };
    const double cpuBefore = cpuSeconds();
    const double seconds = bestSeconds(3, [&] { window.wf_restore(2, file); });
    const double cpu = (cpuSeconds() - cpuBefore) / 3;
    figure("load_rows", window.tree().RowCount());
    figure("load_side_file_read", qint64(written && window.treeFacts().describes(window.tree().RowCount())));
    TreeFacts read;
    figure("side_file_read_s",
           bestSeconds(3, [&] { SideFiles::read(SideFiles::pathFor(file), window.tree(), read); }));
    figure("fingerprint_s", bestSeconds(3, [&] { (void)SideFiles::fingerprint(window.tree()); }));
    figure("load_1m_s", seconds);
    figure("load_cpu_s", cpu);
    figure("iconv_s", iconv);
    figure("load_ratio_vs_iconv", seconds / iconv, 2);
    return window.tree().RowCount() > 0 ? 0 : 1;
}

double millisecondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

// The best of three runs of a search typed into the search box, in milliseconds.
double searchMilliseconds(w_list &window, const QString &text)
{
    window.sle_search->setText(text);
    double best = 1e12;
    for (int run = 0; run < 3; ++run)
        best = std::min(best, millisecondsOf([&] { window.cb_search_clicked(); }));
    return best;
}

// Every disc's catalogue searched through the window, against grep -F -l over the same files with
// the word's CP949 bytes; each timed after a first run that reads the files into the page cache.
int search(const QString &dataFolder, const QString &hitWord)
{
    const QString missWord = QStringLiteral("없는단어");
    QStringList files = QDir(dataFolder).entryList({QStringLiteral("cd_*.dat")}, QDir::Files, QDir::Name);
    for (QString &file : files)
        file.prepend(dataFolder + u'/');
    // The pattern goes through a file: arguments would be re-encoded as UTF-8 on their way.
    QTemporaryDir patterns;
    const auto grepMilliseconds = [&](const QString &word) {
        QFile pattern(patterns.filePath(QStringLiteral("pattern")));
        pattern.open(QIODevice::WriteOnly | QIODevice::Truncate);
        pattern.write(QStringEncoder("windows-949").encode(word) + '\n');
        pattern.close();
        return 1000 * commandSeconds(QStringLiteral("grep"),
                                     QStringList{"-F", "-l", "-f", pattern.fileName()} + files);
    };
    initGlobals();
    gs_pgm_dir = QFileInfo(dataFolder).absolutePath();
    gs_data_dir = u'/' + QFileInfo(dataFolder).fileName();
    RootedFileSystem fs(QStringLiteral("/"));
    w_list window(fs);
    window.open();
    SearchIndex::setEnabled(false); // the figures against grep are of the line scan
    const double miss = searchMilliseconds(window, missWord);
    const double hit = searchMilliseconds(window, hitWord);
    const qint64 hits = window.list().RowCount();
    // The results window for the hit word as Ctrl+Enter runs it: the disc search, then every row
    // of the catalogue's discs that holds the word, into the window.
    double results = 1e12;
    double resultsOnly = 1e12;
    w_results *resultsWindow = nullptr;
    for (int run = 0; run < 3; ++run) {
        double only = 0;
        results = std::min(results, millisecondsOf([&] {
                               window.sle_search->setText(hitWord);
                               window.cb_search_clicked();
                               // The results window finds words anywhere in a row: the hit
                               // word's own rows are those of the phrase.
                               window.sle_search->setText(u'"' + hitWord + u'"');
                               only = millisecondsOf([&] {
                                   window.ue_results();
                                   resultsWindow = window.findChild<w_results *>();
                                   while (resultsWindow->searching())
                                       QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                               });
                           }));
        resultsOnly = std::min(resultsOnly, only);
    }
    const qint64 resultRows = resultsWindow ? resultsWindow->model().rowCount() : 0;
    const double grepMiss = grepMilliseconds(missWord);
    const double grepHit = grepMilliseconds(hitWord);
    figure("search_discs", qint64(files.size()));
    figure("search_hit_discs", hits);
    figure("search_miss_ms", miss, 1);
    figure("search_hit_ms", hit, 1);
    figure("grep_miss_ms", grepMiss, 1);
    figure("grep_hit_ms", grepHit, 1);
    figure("search_ratio_vs_grep", std::max(miss / grepMiss, hit / grepHit), 2);
    figure("results_rows", resultRows);
    figure("results_ms", results, 1);
    figure("results_only_ms", resultsOnly, 1);
    figure("results_ratio_vs_search", results / hit, 2);
    SearchIndex::setEnabled(true);
    const Figure print = [](const char *name, double value, int decimals) { figure(name, value, decimals); };
    searchIndexFigures(window, dataFolder, files, hitWord, missWord, print);
    typingFigures(window, hitWord, print);
    return hits > 0 && resultRows > 0 ? 0 : 1;
}

// Seconds `program` takes over each of `files` in turn, the best of three passes after a first one.
double commandsSeconds(const QString &program, const QStringList &options, const QStringList &files)
{
    double best = 1e12;
    for (int run = 0; run < 4; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (const QString &file : files) {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.start(program, options + QStringList{file});
            process.waitForFinished(-1);
        }
        if (run > 0)
            best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

// An image or archive file scanned as a disc, as "이미지 파일…" scans it: the best of three after a
// first run; its rows go to `rows`.
double imageScanSeconds(const QString &file, qint64 &rows)
{
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    Progress progress;
    HookContext hooks;
    hooks.progress = &progress;
    scanImage(file, hooks, {}, tree, facts);
    const double seconds = bestSeconds(3, [&] { scanImage(file, hooks, {}, tree, facts); });
    rows = tree.RowCount();
    return seconds;
}

// The scan of `root` through the window, as Scan runs it: the best of `runs` after a first one.
double windowScanSeconds(const QString &root, int runs, qint64 &rows)
{
    ProgramWindow program(root);
    program.window.cb_scan_clicked();
    const double seconds = bestSeconds(runs, [&] { program.window.cb_scan_clicked(); });
    rows = program.window.tree().RowCount();
    return seconds;
}

// Listing archives and images against bsdtar -tvf on the same files, and an image scanned against
// the scan of the same image mounted with fuseiso at `mountPoint`.
int archive(const QString &folder, const QString &iso, const QString &mountPoint)
{
    const QString zip = folder + QStringLiteral("/tree.zip");
    const QString sevenZip = folder + QStringLiteral("/tree.7z");
    const QString zips = folder + QStringLiteral("/zips/");
    qint64 rows = 0;
    const auto ratio = [&](const char *name, const QString &file) {
        const double bsdtar = commandSeconds(QStringLiteral("bsdtar"), {"-tvf", file});
        const double tarvek = imageScanSeconds(file, rows);
        const QByteArray base = QByteArray(name);
        figure((base + "_rows").constData(), rows);
        figure((base + "_scan_s").constData(), tarvek);
        figure((base + "_bsdtar_s").constData(), bsdtar);
        figure((base + "_ratio_vs_bsdtar").constData(), tarvek / bsdtar, 2);
        return tarvek;
    };
    ratio("zip", zip);
    ratio("7z", sevenZip);
    QStringList zipFiles = QDir(zips).entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name);
    for (QString &file : zipFiles)
        file.prepend(zips);
    const double find = commandSeconds(QStringLiteral("find"), {zips});
    const double bsdtars = commandsSeconds(QStringLiteral("bsdtar"), {"-tvf"}, zipFiles);
    const double folderScan = windowScanSeconds(zips, 3, rows);
    figure("zips_folder_rows", rows);
    figure("zips_folder_scan_s", folderScan);
    figure("zips_find_plus_bsdtar_s", find + bsdtars);
    figure("zips_folder_ratio", folderScan / (find + bsdtars), 2);
    const double isoScan = ratio("iso", iso);
    // The same image mounted with fuseiso, scanned through the window as a drive.
    QDir().mkpath(mountPoint);
    if (QProcess::execute(QStringLiteral("fuseiso"), {iso, mountPoint}) != 0) {
        std::fprintf(stderr, "fuseiso could not mount %s: no fuseiso figures\n", qPrintable(iso));
        return 0;
    }
    const double mounted = windowScanSeconds(mountPoint, 1, rows);
    QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), mountPoint});
    figure("fuseiso_rows", rows);
    figure("fuseiso_scan_s", mounted);
    figure("iso_ratio_vs_fuseiso_scan", isoScan / mounted, 3);
    return 0;
}

int tree(const QString &file)
{
    ProgramWindow program(QStringLiteral("/"));
    w_list &window = program.window;
    window.show();
    loadDataFile(window.tree(), file);
    window.wf_collapse_rows(*window.dw_1, 1);
    window.wf_expand_row(*window.dw_1, 1);
    QApplication::processEvents();
    const qint64 rows = window.tree().RowCount();
    const auto repaint = [&] { window.dw_1->viewport()->repaint(); };
    figure("tree_rows", rows);
    figure("expand_all_ms", millisecondsOf([&] {
               window.cb_expand_clicked();
               repaint();
           }),
           1);
    figure("collapse_root_ms", millisecondsOf([&] {
               window.dw_1_doubleclicked(0, 0, 1, "pict");
               repaint();
           }),
           1);
    figure("expand_root_ms", millisecondsOf([&] {
               window.dw_1_doubleclicked(0, 0, 1, "pict");
               repaint();
           }),
           1);
    double paint = 1e9;
    for (int i = 0; i < 5; ++i)
        paint = std::min(paint, millisecondsOf(repaint));
    figure("paint_ms", paint, 2);
    window.cb_expand_clicked(); // every row shown, so the last row can be reached
    QApplication::processEvents();
    figure("scroll_to_last_ms", millisecondsOf([&] {
               window.dw_1->ScrollToRow(rows);
               repaint();
           }),
           2);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutions();
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == u"catalogue")
        return catalogue(args[2]);
    if (args.size() == 3 && args[1] == u"scan")
        return scan(args[2]);
    if (args.size() == 3 && args[1] == u"tree")
        return tree(args[2]);
    if (args.size() == 3 && args[1] == u"load")
        return load(args[2]);
    if (args.size() == 4 && args[1] == u"search")
        return search(args[2], args[3]);
    if (args.size() == 5 && args[1] == u"duplicates")
        return duplicatesFigures(args[2], args[3], args[4]);
    if (args.size() == 5 && args[1] == u"archive")
        return archive(args[2], args[3], args[4]);
    if (args.size() == 3 && args[1] == u"thumbview")
        return thumbviewFigures(
            args[2], [](const char *name, double value, int decimals) { figure(name, value, decimals); });
    if (args.size() == 3 && args[1] == u"make-media")
        return makeMediaFigures(args[2]);
    if (args.size() == 3 && args[1] == u"media")
        return mediaFigures(
            args[2], [](const char *name, double value, int decimals) { figure(name, value, decimals); });
    if (args.size() == 6 && args[1] == u"cli")
        return cliFigures(args[2], args[3], args[4], args[5]);
    std::fprintf(
        stderr,
        "usage: tarvek_bench catalogue FILE | load FILE | scan DIR | tree FILE | search DATADIR WORD |\n"
        "       cli TARVEK_CLI DATADIR WORD PLOCATE_DB | duplicates DATADIR COPYDIR FOLDER\n"
        "       archive DIR ISO MOUNTPOINT | thumbview DIR | make-media DIR | media DIR\n");
    return 2;
}
