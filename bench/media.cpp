#include "bench/media.h"

#include "bench/mediagen.h"
#include "bench/pagecache.h"
#include "bench/programwindow.h"
#include "bench/thumbview.h"
#include "catalogue/discfacts.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefacts.h"
#include "catalogue/thumbnails.h"
#include "scanner/archivescan.h"
#include "scanner/drivescan.h"
#include "scanner/mediaread.h"
#include "scanner/mediascan.h"
#include "search/resultsearch.h"
#include "ui/w_results_model.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Bytes this process has had from read and pread so far, page cache or not (/proc/self/io).
qint64 bytesReadSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// A scan through the window with its option for pictures and songs on, and its save.
struct SavedScan {
    std::unique_ptr<ProgramWindow> program;
    QString catalogue; // the saved catalogue file
    double seconds = 0;
    qint64 bytesRead = 0; // by the scan alone
    bool saved = false;
};

// Scans `root` as Scan does, and saves it when `save` as the save dialog does, into the program
// folder's own data folder; timed together.
SavedScan scanOf(const QString &root, bool save)
{
    SavedScan scan;
    scan.program = std::make_unique<ProgramWindow>(root);
    const QString dataFolder = dataFolderPath();
    w_list &window = scan.program->window;
    if (window.act_media)
        window.act_media->setChecked(true);
    QElapsedTimer timer;
    timer.start();
    const qint64 before = bytesReadSoFar();
    window.cb_scan_clicked();
    scan.bytesRead = bytesReadSoFar() - before;
    if (save) {
        const CatalogueEntry entry{CatalogueEntries::fileForLabel(QStringLiteral("MEDIA")),
                                   QStringLiteral("사진과 음악"), QStringLiteral("MEDIA"),
                                   QStringLiteral("04")};
        scan.saved = window.entries().add(window.tree(), entry, &window.treeFacts()).ok;
        scan.catalogue = dataFolder + u'/' + entry.file;
    }
    scan.seconds = double(timer.nsecsElapsed()) / 1e9;
    return scan;
}

struct FactsCheck {
    qint64 pictures = 0, picturesAsWritten = 0;
    qint64 songs = 0, songsAsWritten = 0;
    qint64 thumbnailsSaved = 0, thumbnailsTurned = 0;
};

// A song's length comes from its frames' rate and count, to the millisecond or near it.
bool sameFacts(const MediaFacts &read, const MediaFacts &written)
{
    MediaFacts lengthless = read;
    lengthless.lengthMs = written.lengthMs;
    return lengthless == written && std::abs(read.lengthMs - written.lengthMs) <= 30;
}

// Every row's facts against what was written into its file, found by its path below the root;
// and the saved store's thumbnail of each picture, 160 × 120, or 120 × 160 for a picture the
// camera held upright (the EXIF thumbnail turned as a viewer turns it).
FactsCheck checkFacts(const RecordSet &tree, const TreeFacts &facts, const MediaManifest &written,
                      const Thumbnails &saved)
{
    FactsCheck check;
    const RowNotes *notes = facts.notes.find(kMediaNotes);
    std::vector<QString> folders; // by level, the root's first
    for (qint64 row = 1; row <= tree.RowCount(); ++row) {
        const qint64 level = tree.GetItemNumber(row, TreeColumn::level);
        folders.resize(size_t(std::max<qint64>(level, 1)));
        folders.back() = tree.GetItemString(row, TreeColumn::name);
        QStringList parts(folders.begin() + 1, folders.end());
        const auto file = written.find(parts.join(u'/'));
        const std::optional<MediaFacts> read =
            notes ? decodeMediaFacts(notes->at(row)) : std::optional<MediaFacts>();
        if (file == written.end() || !read)
            continue;
        const bool picture = file->second.facts.kind == MediaFacts::Kind::Picture;
        (picture ? check.pictures : check.songs) += 1;
        if (sameFacts(*read, file->second.facts))
            (picture ? check.picturesAsWritten : check.songsAsWritten) += 1;
        const QImage thumbnail = picture ? saved.imageOf(row) : QImage();
        check.thumbnailsSaved += thumbnail.isNull() ? 0 : 1;
        const QSize upright =
            file->second.onItsSide ? QSize(120, kThumbnailSide) : QSize(kThumbnailSide, 120);
        check.thumbnailsTurned += thumbnail.size() == upright ? 1 : 0;
    }
    return check;
}

// exiv2 -pt over every JPEG, then id3v2 -l over every MP3, each given the files in batches by
// xargs, as a person would list them; the output thrown away, or only the lines naming `count`
// (a photo's date taken and a song's artist) counted.
double toolsSeconds(const QString &pictures, const QString &songs, qint64 *counted = nullptr)
{
    const QString script =
        counted ? QStringLiteral("{ xargs -0 -a \"$1\" exiv2 -pt; xargs -0 -a \"$2\" id3v2 -l; } 2>/dev/null"
                                 " | grep -c -e 'Exif.Photo.DateTimeOriginal ' -e '^TPE1 '")
                : QStringLiteral(
                      "{ xargs -0 -a \"$1\" exiv2 -pt; xargs -0 -a \"$2\" id3v2 -l; } >/dev/null 2>&1");
    QProcess process;
    if (!counted)
        process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("sh"),
                  {QStringLiteral("-c"), script, QStringLiteral("sh"), pictures, songs});
    process.waitForFinished(-1);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (counted)
        *counted = process.readAllStandardOutput().trimmed().toLongLong();
    return seconds;
}

// The window's walk through scanDrive alone, with no window and no save, the pictures and songs
// read under `limits` (none: not read), the best of three: what share of the scan's time the
// reading of the files and the making of thumbnails take.
double partScanSeconds(const QString &root, const std::optional<MediaLimits> &limits)
{
    double best = 1e12;
    for (int run = 0; run < 3; ++run) {
        LocalFileSystem fs;
        HookContext hooks;
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        QElapsedTimer timer;
        timer.start();
        ArchiveScan archives{ArchiveLimits{}};
        const std::unique_ptr<FolderWalk> walk = archives.wrap(fs.walkDrive(root), &hooks);
        MediaScan media(walk.get(), limits.value_or(MediaLimits{}));
        scanDrive(hooks, walk.get(), root, tree, facts, {}, &archives, limits ? &media : nullptr);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

void partFigures(const QString &root, const Figure &figure)
{
    MediaLimits factsOnly;
    factsOnly.thumbnails = false;
    figure("media_part_walk_only_warm_s", partScanSeconds(root, std::nullopt), 3);
    figure("media_part_facts_no_thumbnails_warm_s", partScanSeconds(root, factsOnly), 3);
    figure("media_part_facts_and_thumbnails_warm_s", partScanSeconds(root, MediaLimits{}), 3);
}

bool writeList(const QString &path, const QStringList &files)
{
    QFile list(path);
    if (!list.open(QIODevice::WriteOnly))
        return false;
    for (const QString &file : files)
        list.write(QFile::encodeName(file) + '\0');
    return list.flush();
}

// The results window's grid over the saved disc's pictures, its thumbnails read from the store
// saved beside it, opened as a provider would open it when first asked.
int gridFigures(const QString &catalogue, qint64 pictures, const Figure &figure)
{
    const QString dataFolder = QFileInfo(catalogue).absolutePath();
    const std::vector<ResultDisc> discs = {
        {QFileInfo(catalogue).fileName(), QStringLiteral("MEDIA"), {}, {}}};
    ResultsModel model;
    model.start(discs, {Qt::black}, {readSideFacts(dataFolder, discs.front().file)});
    HookContext hooks;
    searchResults(hooks, model.store(), dataFolder, QStringLiteral("jpg"));
    model.rowsFound(0, model.store().rowCount());
    Thumbnails store;
    qint64 drawn = 0;
    const double ms = gridFirstScreenMs(model, [&]() -> ThumbnailProvider {
        store = Thumbnails();
        drawn = 0;
        return [&](const QString &file, qint64 row) {
            if (store.isEmpty())
                store = Thumbnails::openUnchanged(dataFolder + u'/' + file);
            QImage image = store.imageOf(row);
            drawn += image.isNull() ? 0 : 1;
            return image;
        };
    });
    figure("thumbnail_view_results", double(model.rowCount()), 0);
    figure("thumbnail_view_thumbnails_drawn", double(drawn), 0);
    figure("thumbnail_view_first_screen_ms", ms, 2);
    return model.rowCount() == pictures && drawn > 0 ? 0 : 1;
}

// What the scan reads of each picture: the folders that hold pictures only, scanned as drives
// of their own, so that no song's reads are counted.
double readKibPerPicture(const QString &folder)
{
    qint64 bytes = 0, pictures = 0;
    for (const QString &only : {QStringLiteral("DCIM"), QStringLiteral("사진")}) {
        const SavedScan scan = scanOf(folder + u'/' + only + u'/', false);
        const RowNotes *notes = scan.program->window.treeFacts().notes.find(kMediaNotes);
        bytes += scan.bytesRead;
        pictures += notes ? qint64(notes->all().size()) : 0;
    }
    return double(bytes) / 1024.0 / double(std::max<qint64>(pictures, 1));
}

QStringList filesOf(const QString &folder, const MediaManifest &manifest, MediaFacts::Kind kind)
{
    QStringList files;
    for (const auto &[path, written] : manifest) {
        if (written.facts.kind == kind)
            files << folder + u'/' + path;
    }
    return files;
}

bool toolsThere()
{
    for (const char *tool : {"exiv2", "id3v2", "xargs", "grep"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::fprintf(stderr, "media: %s is not installed (exiv2, id3v2 and findutils are needed)\n",
                         tool);
            return false;
        }
    }
    return true;
}

} // namespace

int makeMediaFigures(const QString &folder)
{
    return toolsThere() && writeMediaSet(folder, MediaSet{}) ? 0 : 1;
}

namespace {

// The scan and the tools over the same files, cold and warm; the last warm scan is kept.
struct Timings {
    qint64 stillCached = 0, scanCached = 0, toolsCached = 0, toolsListed = 0;
    double scanCold = 0, scanWarm = 1e12, toolsCold = 0, toolsWarm = 1e12;
    SavedScan scan;
};

Timings timeScanAndTools(const QString &root, const QStringList &pictures, const QStringList &songs,
                         const QString &pictureList, const QString &songList)
{
    Timings t;
    // Cold: every page of every file dropped from the page cache first.
    evictFromPageCache(pictures + songs);
    t.stillCached = bytesInPageCache(pictures + songs);
    t.scanCold = scanOf(root, true).seconds;
    // What the disc gave the page cache for them: the bytes asked for and the kernel's read-ahead.
    t.scanCached = bytesInPageCache(pictures);
    evictFromPageCache(pictures + songs);
    t.toolsCold = toolsSeconds(pictureList, songList);
    t.toolsCached = bytesInPageCache(pictures);
    toolsSeconds(pictureList, songList, &t.toolsListed); // warms what the tools read
    for (int run = 0; run < 3; ++run)
        t.toolsWarm = std::min(t.toolsWarm, toolsSeconds(pictureList, songList));
    for (int run = 0; run < 3; ++run) {
        t.scan = scanOf(root, true);
        t.scanWarm = std::min(t.scanWarm, t.scan.seconds);
    }
    return t;
}

void timingFigures(const Timings &t, double pictures, const Figure &figure)
{
    figure("media_cold_bytes_cached_before", double(t.stillCached), 0);
    figure("media_scan_rows", double(t.scan.program->window.tree().RowCount()), 0);
    figure("media_scan_cold_s", t.scanCold, 3);
    figure("media_scan_warm_s", t.scanWarm, 3);
    figure("media_tools_cold_s", t.toolsCold, 3);
    figure("media_tools_warm_s", t.toolsWarm, 3);
    figure("media_ratio_vs_tools_cold", t.scanCold / t.toolsCold, 2);
    figure("media_ratio_vs_tools_warm", t.scanWarm / t.toolsWarm, 2);
    figure("media_tools_facts_listed", double(t.toolsListed), 0);
    figure("media_cold_scan_cached_kib_per_picture", double(t.scanCached) / 1024.0 / pictures, 1);
    figure("media_cold_tools_cached_kib_per_picture", double(t.toolsCached) / 1024.0 / pictures, 1);
}

void factFigures(const FactsCheck &check, double pictures, double songs, const Figure &figure)
{
    figure("media_pictures_generated", pictures, 0);
    figure("media_pictures_with_facts", double(check.pictures), 0);
    figure("media_pictures_facts_as_written", double(check.picturesAsWritten), 0);
    figure("media_thumbnails_saved", double(check.thumbnailsSaved), 0);
    figure("media_thumbnails_turned_right", double(check.thumbnailsTurned), 0);
    figure("media_songs_generated", songs, 0);
    figure("media_songs_with_facts", double(check.songs), 0);
    figure("media_songs_facts_as_written", double(check.songsAsWritten), 0);
}

} // namespace

int mediaFigures(const QString &folder, const Figure &figure)
{
    const MediaManifest manifest = mediaManifest(MediaSet{});
    const QStringList pictures = filesOf(folder, manifest, MediaFacts::Kind::Picture);
    const QStringList songs = filesOf(folder, manifest, MediaFacts::Kind::Audio);
    QTemporaryDir lists;
    const QString pictureList = lists.filePath(QStringLiteral("pictures")),
                  songList = lists.filePath(QStringLiteral("songs"));
    if (!toolsThere() || !writeList(pictureList, pictures) || !writeList(songList, songs))
        return 1;
    const QString root = folder + u'/';
    const Timings t = timeScanAndTools(root, pictures, songs, pictureList, songList);
    timingFigures(t, double(pictures.size()), figure);
    partFigures(root, figure);
    figure("media_read_kib_per_picture", readKibPerPicture(folder), 1);
    const qint64 storeBytes = QFileInfo(ThumbnailStores::pathFor(t.scan.catalogue)).size();
    figure("thumbnail_kib_per_picture", double(storeBytes) / 1024.0 / double(pictures.size()), 2);
    w_list &window = t.scan.program->window;
    const FactsCheck check =
        checkFacts(window.tree(), window.treeFacts(), manifest, Thumbnails::openUnchanged(t.scan.catalogue));
    factFigures(check, double(pictures.size()), double(songs.size()), figure);
    const bool right = t.scan.saved && check.picturesAsWritten == pictures.size() &&
                       check.songsAsWritten == songs.size() && check.thumbnailsTurned == pictures.size() &&
                       t.toolsListed == pictures.size() + songs.size();
    const int grid = gridFigures(t.scan.catalogue, qint64(pictures.size()), figure);
    if (!right)
        std::fprintf(stderr, "media: the scan's facts are not all those written (see the figures above)\n");
    return right ? grid : 1;
}
