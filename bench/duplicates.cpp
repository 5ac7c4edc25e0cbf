#include "bench/duplicates.h"

#include <cstdio>
#include <cstdlib>

#include "catalogue/contenthash.h"
#include "catalogue/datafiles.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "compare/duplicates.h"
#include "compare/foldercheck.h"
#include "compare/namekey.h"
#include "compare/treediff.h"
#include "scanner/drivescan.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MiB = qint64(1) << 20;
constexpr int kPlantedGroups = 600;

void figure(const char *name, double value, int decimals = 3)
{
    std::printf("%s: %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

qint64 peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

bool dropCaches()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3") == 1;
}

// Dates a file an hour back, as a disc saved long ago is.
void age(const QString &path)
{
    const struct timespec times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

// Sizes spread evenly over the orders of magnitude from 1 byte to 8 GiB, as on a mixed disc.
qint64 randomSize(std::mt19937_64 &random)
{
    std::uniform_real_distribution<double> exponent(0, std::log(8.0 * 1024 * MiB));
    return std::max<qint64>(1, qint64(std::exp(exponent(random))));
}

struct Plant {
    QString name;
    qint64 size;
    std::vector<int> discs; // those that got it
};

// The copy: each disc's catalogue file linked, a side file of random sizes beside it, and some
// file rows of common names given one size on two to four discs (the planted groups); some of
// them with two contents, which the hashes split.
int makeCopy(const QString &source, const QString &work, std::vector<Plant> &plants)
{
    QDir().mkpath(work + u"/.tarvek"_qs);
    QFile::remove(work + u"/cdinfo.dat"_qs);
    QFile::copy(source + u"/cdinfo.dat"_qs, work + u"/cdinfo.dat"_qs);
    RecordSet index(d_cdinfo());
    loadDataFile(index, source + u"/cdinfo.dat"_qs);
    std::mt19937_64 random(26);
    const QStringList common = {u"README"_qs, u"photos.tar.gz"_qs, u"include.tar.gz"_qs, u"photos"_qs,
                                u"notes"_qs};
    const int discs = int(index.RowCount());
    for (int g = 0; g < kPlantedGroups; ++g) {
        Plant plant{common[g % common.size()], 2 * (MiB + g * 7919), {}};
        const int copies = 2 + int(random() % 3);
        while (int(plant.discs.size()) < copies) {
            const int disc = int(random() % quint64(discs));
            if (std::find(plant.discs.begin(), plant.discs.end(), disc) == plant.discs.end())
                plant.discs.push_back(disc);
        }
        plants.push_back(plant);
    }
    for (int d = 0; d < discs; ++d) {
        const QString file = index.GetItemString(d + 1, IndexColumn::file);
        const QString catalogue = work + u'/' + file;
        QFile::remove(catalogue);
        if (::link(QFile::encodeName(source + u'/' + file).constData(),
                   QFile::encodeName(catalogue).constData()) != 0)
            return 1;
        RecordSet tree(d_dir_tree());
        loadDataFile(tree, catalogue);
        TreeFacts facts;
        for (qint64 row = 1; row <= tree.RowCount(); ++row)
            facts.append(
                {isFolderRow(tree, row) ? 0 : randomSize(random), 1500000000 + qint64(random() % 100000000)});
        for (size_t g = 0; g < plants.size(); ++g) {
            const auto at = std::find(plants[g].discs.begin(), plants[g].discs.end(), d);
            if (at == plants[g].discs.end())
                continue;
            // The first row of that name not planted yet; a disc without one drops out of the group.
            qint64 row = 1;
            while (row <= tree.RowCount() &&
                   (isFolderRow(tree, row) || tree.GetItemString(row, TreeColumn::name) != plants[g].name ||
                    facts.at(row).size % MiB == 0 ||
                    (facts.at(row).size > MiB && facts.at(row).size < 3 * MiB)))
                ++row;
            if (row > tree.RowCount()) {
                plants[g].discs.erase(at);
                continue;
            }
            facts.setSize(row, plants[g].size);
            // Every tenth group holds two contents: the first disc's copy differs from the rest.
            if (g % 10 == 0)
                setContentHash(facts, row, {quint64(g), quint64(at == plants[g].discs.begin() ? 1 : 2)});
        }
        if (!SideFiles::write(SideFiles::pathFor(catalogue), tree, facts).ok)
            return 1;
        age(SideFiles::pathFor(catalogue));
    }
    return 0;
}

// The groups there are, counted the plain way: every file of a size from the minimum, by composed
// name and size, sorted; a group stands on two discs or more. Hashes split as the search splits.
qint64 countGroups(const QString &work, qint64 minimum)
{
    RecordSet index(d_cdinfo());
    loadDataFile(index, work + u"/cdinfo.dat"_qs);
    struct Item {
        QString name;
        qint64 size;
        int disc;
        std::optional<ContentHash> hash;
    };
    std::vector<Item> items;
    for (qint64 d = 1; d <= index.RowCount(); ++d) {
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        loadDiscTree(work + u'/' + index.GetItemString(d, IndexColumn::file), tree, facts);
        for (qint64 row = 1; row <= tree.RowCount() && facts.describes(tree.RowCount()); ++row) {
            if (!isFolderRow(tree, row) && facts.at(row).size >= minimum)
                items.push_back({composedName(tree.GetItemString(row, TreeColumn::name)), facts.at(row).size,
                                 int(d), contentHashOf(facts, row)});
        }
    }
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        return a.size != b.size ? a.size < b.size : a.name < b.name;
    });
    qint64 groups = 0;
    for (size_t i = 0; i < items.size();) {
        size_t j = i;
        // Split by hash when the name's files hold two or more, the unhashed going with each part.
        std::map<std::pair<quint64, quint64>, std::vector<int>> byHash;
        std::vector<int> unhashed;
        while (j < items.size() && items[j].size == items[i].size && items[j].name == items[i].name) {
            if (items[j].hash)
                byHash[{items[j].hash->high, items[j].hash->low}].push_back(items[j].disc);
            else
                unhashed.push_back(items[j].disc);
            ++j;
        }
        std::vector<std::vector<int>> parts;
        if (byHash.size() <= 1) {
            parts.push_back(unhashed);
            if (!byHash.empty())
                parts.back().insert(parts.back().end(), byHash.begin()->second.begin(),
                                    byHash.begin()->second.end());
        } else {
            for (auto &[hash, discs] : byHash) {
                discs.insert(discs.end(), unhashed.begin(), unhashed.end());
                parts.push_back(discs);
            }
        }
        for (std::vector<int> &discs : parts) {
            std::sort(discs.begin(), discs.end());
            if (std::unique(discs.begin(), discs.end()) - discs.begin() >= 2)
                ++groups;
        }
        i = j;
    }
    return groups;
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

std::vector<DuplicateDisc> discsOf(const QString &work)
{
    RecordSet index(d_cdinfo());
    loadDataFile(index, work + u"/cdinfo.dat"_qs);
    std::vector<DuplicateDisc> discs;
    for (qint64 row = 1; row <= index.RowCount(); ++row)
        discs.push_back(
            {index.GetItemString(row, IndexColumn::file), index.GetItemString(row, IndexColumn::name)});
    return discs;
}

// Two 200,000-row discs: one generated, the other the same with a hundredth of it changed.
double compareSeconds(const QString &work)
{
    const QString first = work + u"/compare/cd_BIG1.dat"_qs, second = work + u"/compare/cd_BIG2.dat"_qs;
    if (!QFile::exists(second)) {
        QDir().mkpath(work + u"/compare/.tarvek"_qs);
        // bench/run names the generators' folder.
        const QString kit = qEnvironmentVariable("TARVEK_BENCH_KIT");
        if (QProcess::execute(u"python3"_qs, {kit + u"/make_catalogue.py"_qs, first, u"--rows"_qs,
                                              u"200000"_qs, u"--seed"_qs, u"7"_qs}) != 0) {
            std::fprintf(stderr, "duplicates: cannot make the compared catalogue from %s\n", qPrintable(kit));
            std::exit(2);
        }
        RecordSet tree(d_dir_tree());
        loadDataFile(tree, first);
        TreeFacts facts;
        std::mt19937_64 random(7);
        for (qint64 row = 1; row <= tree.RowCount(); ++row)
            facts.append({randomSize(random), 1500000000});
        (void)SideFiles::write(SideFiles::pathFor(first), tree, facts);
        for (qint64 row = 2; row <= tree.RowCount(); row += 100) {
            if (row % 300 == 2 && !isFolderRow(tree, row))
                tree.SetItem(row, TreeColumn::name, tree.GetItemString(row, TreeColumn::name) + u" 2"_qs);
            else
                facts.setSize(row, facts.at(row).size + 1);
        }
        (void)writeCatalogue(tree, second);
        (void)SideFiles::write(SideFiles::pathFor(second), tree, facts);
    }
    double best = 1e9;
    qint64 rows = 0;
    for (int run = 0; run < 3; ++run) {
        best = std::min(best, secondsOf([&] {
                            RecordSet a(d_dir_tree()), b(d_dir_tree());
                            TreeFacts fa, fb;
                            loadDiscTree(first, a, fa);
                            loadDiscTree(second, b, fb);
                            rows = qint64(diffTrees({&a, &fa}, {&b, &fb}).rows.size());
                        }));
    }
    figure("compare_rows_differing", double(rows), 0);
    return best;
}

// Files of 16 MiB for the hash against xxhsum -H2 (XXH128).
QStringList hashFiles(const QString &folder)
{
    QDir().mkpath(folder);
    QStringList files;
    std::mt19937_64 random(3);
    for (int i = 0; i < 48; ++i) {
        const QString path = folder + u"/file %1.bin"_qs.arg(i, 2, 10, QChar(u'0'));
        if (QFileInfo(path).size() != 16 * MiB) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            QByteArray block(MiB, Qt::Uninitialized);
            for (int m = 0; m < 16; ++m) {
                for (qsizetype b = 0; b + 8 <= block.size(); b += 8) {
                    const quint64 value = random();
                    std::memcpy(block.data() + b, &value, 8);
                }
                file.write(block);
            }
        }
        files << path;
    }
    return files;
}

void hashFigures(const QString &folder)
{
    const QStringList files = hashFiles(folder);
    LocalFileSystem fs;
    const auto ours = [&] {
        return secondsOf([&] {
            RecordSet tree(d_dir_tree());
            TreeFacts facts;
            HookContext hooks;
            const auto walk = fs.walkDrive(folder);
            scanDrive(hooks, walk.get(), folder, tree, facts, {}, nullptr, nullptr, true);
        });
    };
    const auto xxhsum = [&] {
        return secondsOf([&] {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.start(u"xxhsum"_qs, QStringList{u"-H2"_qs} + files);
            process.waitForFinished(-1);
        });
    };
    ours();
    xxhsum();
    double best = 1e9, bestXxh = 1e9;
    for (int run = 0; run < 3; ++run) {
        best = std::min(best, ours());
        bestXxh = std::min(bestXxh, xxhsum());
    }
    figure("hash_bytes", double(files.size()) * 16 * MiB, 0);
    figure("hash_warm_s", best);
    figure("xxhsum_warm_s", bestXxh);
    figure("hash_ratio_vs_xxhsum_warm", best / bestXxh, 2);
    if (!dropCaches()) {
        std::printf("hash_ratio_vs_xxhsum_cold: not measured (the page cache cannot be dropped here)\n");
        return;
    }
    double cold = 0, coldXxh = 0;
    for (int run = 0; run < 2; ++run) {
        dropCaches();
        cold += ours();
        dropCaches();
        coldXxh += xxhsum();
    }
    figure("hash_cold_s", cold / 2);
    figure("xxhsum_cold_s", coldXxh / 2);
    figure("hash_ratio_vs_xxhsum_cold", cold / coldXxh, 2);
}

} // namespace

int duplicatesFigures(const QString &discs, const QString &work, const QString &folder)
{
    std::vector<Plant> plants;
    if (!QFile::exists(work + u"/.complete"_qs)) {
        QElapsedTimer timer;
        timer.start();
        if (makeCopy(discs, work, plants) != 0)
            return 1;
        QFile planted(work + u"/.planted"_qs);
        planted.open(QIODevice::WriteOnly);
        qint64 groups = 0;
        for (const Plant &p : plants)
            // A two-content group keeps the copies past the first disc's: a group when two or more.
            groups += (&p - plants.data()) % 10 == 0 ? p.discs.size() > 2 : p.discs.size() >= 2;
        planted.write(QByteArray::number(groups));
        planted.close();
        QFile(work + u"/.complete"_qs).open(QIODevice::WriteOnly);
        std::fprintf(stderr, "copy with side files made in %.0f s\n", timer.elapsed() / 1000.0);
    }
    QFile planted(work + u"/.planted"_qs);
    planted.open(QIODevice::ReadOnly);
    const qint64 plantedGroups = planted.readAll().toLongLong();
    const std::vector<DuplicateDisc> all = discsOf(work);
    DuplicateQuery query{all, MiB, -1};
    HookContext hooks;
    // The first search makes and stores every disc's table; later ones read them.
    for (const QString &table : QDir(work + u"/.tarvek"_qs).entryList({u"*.keys"_qs}))
        QFile::remove(work + u"/.tarvek/"_qs + table);
    Duplicates found;
    figure("duplicates_first_s", secondsOf([&] { found = findDuplicates(hooks, work, query); }));
    double best = 1e9;
    qint64 peak = 0;
    for (int run = 0; run < 3; ++run) {
        resetPeak();
        const double s = secondsOf([&] { found = findDuplicates(hooks, work, query); });
        peak = std::max(peak, peakKb());
        best = std::min(best, s);
    }
    const qint64 expected = countGroups(work, MiB);
    figure("duplicates_found", double(found.groups.size()), 0);
    figure("duplicates_planted", double(plantedGroups), 0);
    figure("duplicates_expected", double(expected), 0);
    figure("duplicates_s", best);
    figure("duplicates_peak_mb", peak / 1024.0, 1);
    figure("compare_s", compareSeconds(work));
    // The folder check: the folder scanned on the spot and looked up on every disc.
    LocalFileSystem fs;
    double check = 1e9;
    qint64 files = 0;
    for (int run = 0; run < 3; ++run) {
        check = std::min(check, secondsOf([&] {
                             RecordSet tree(d_dir_tree());
                             TreeFacts facts;
                             const auto walk = fs.walkDrive(folder);
                             scanDrive(hooks, walk.get(), folder, tree, facts);
                             files = qint64(checkFolder(hooks, work, all, tree, facts).files.size());
                         }));
    }
    figure("folder_check_files", double(files), 0);
    figure("folder_check_s", check);
    hashFigures(work + u"/hash files"_qs);
    return 0;
}
