// The paths every saved disc takes: catalogues of thousands of rows, dated older than the index's
// untrusted window, read in parts where the index allows it. Every answer of the index (the
// discs, the result rows and their line numbers) is compared with a plain read of each whole
// file; nothing here knows what the index's trigrams are made of.

#include "catalogue/datafolder.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "files/textcodec.h"
#include "files/textfile.h"
#include "search/resultsearch.h"
#include "search/search.h"
#include "search/searchindex.h"
#include "search/searchindexfile.h"
#include "support/searchedresults.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// A catalogue of rows of one length, in CP949 or UTF-8 with its mark, so that its blocks of
// lines are known: with 64 × m rows, block b is rows b·m to b·m + m − 1 (fewer than 64 rows make
// a block each). The rows named in `probes` get the probe's name ("QuKK"), and the rows in
// `common` the folder "Zcm"; every other row is "D:\사진\dirNNN\" and "fileNNNNN.txt".
QByteArray catalogue(int rows, bool utf8, const QString &probe, const std::vector<int> &probes,
                     const std::vector<int> &common)
{
    QStringEncoder encoder = utf8 ? QStringEncoder(QStringEncoder::Utf8) : QStringEncoder(kCp949Name);
    QByteArray bytes = utf8 ? QByteArray(kUtf8Bom) : QByteArray();
    for (int row = 0; row < rows; ++row) {
        const bool isProbe = std::find(probes.begin(), probes.end(), row) != probes.end();
        const bool isCommon = std::find(common.begin(), common.end(), row) != common.end();
        const QString folder =
            u"D:\\사진\\%1%2\\"_s.arg(isCommon ? u"Zcm"_s : u"dir"_s).arg(row / 50, 3, 10, QLatin1Char('0'));
        const QString name = u"%1%2.txt"_s.arg(isProbe ? probe : u"file"_s).arg(row, 5, 10, QLatin1Char('0'));
        bytes += encoder.encode(folder + u'\t' + name + u"\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n"_s);
    }
    return bytes;
}

// Rows b·m + offset for each block b in `blocks`.
std::vector<int> rowsIn(const std::vector<int> &blocks, int perBlock, int offset)
{
    std::vector<int> rows;
    for (int block : blocks)
        rows.push_back(block * perBlock + std::min(offset, perBlock - 1));
    return rows;
}

// `count` blocks of 64 spread from the first to the last.
std::vector<int> someBlocks(int count, int of = 64)
{
    std::vector<int> blocks;
    for (int i = 0; i < count; ++i)
        blocks.push_back(count == 1 ? of / 2 : i * (of - 1) / (count - 1));
    return blocks;
}

void writeOld(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.flush();
    // Dated back while open (Qt dates open files only), past the index's untrusted window.
    ASSERT_TRUE(
        file.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
}

// "file:line:path|name" for every row of the files whose path below the disc's root (the first
// line's folder) or name holds `text` in any case, read whole as the loader reads them.
QStringList wholeReadRows(const QString &folder, const QStringList &files, const QString &text)
{
    QStringList rows;
    for (const QString &file : files) {
        TextFileReader reader;
        QString line;
        QString root;
        if (!reader.open(folder + u'/' + file))
            continue;
        while (reader.readLine(line) >= 1) {
            const QStringList fields = line.split(u'\t');
            if (reader.lineNumber() == 1)
                root = fields[0];
            const QString below = fields[0].startsWith(root) ? fields[0].mid(root.size() - 1) : fields[0];
            if (below.contains(text, Qt::CaseInsensitive) ||
                fields.value(1).contains(text, Qt::CaseInsensitive))
                rows << u"%1:%2:%3|%4"_s.arg(file).arg(reader.lineNumber()).arg(below, fields.value(1));
        }
    }
    return rows;
}

QStringList resultRows(const QString &folder, const QStringList &files, const QString &text)
{
    const ResultStore store = searchedResults(folder, files, text);
    QStringList rows;
    for (qsizetype row = 0; row < store.rowCount(); ++row)
        rows << u"%1:%2:%3|%4"_s.arg(files[store.discOf(row)])
                    .arg(store.lineOf(row))
                    .arg(store.pathOf(row), store.nameOf(row));
    return rows;
}

// The discs the index leaves, read where it says, against each file read whole.
void expectTheLineScansAnswer(const QString &folder, const QStringList &files, const QString &text)
{
    HookContext hooks;
    const SearchCandidates candidates = SearchIndex::candidateFiles(folder, text, hooks);
    const CatalogueMatcher matcher(text);
    for (const QString &file : files) {
        const QString path = folder + u'/' + file;
        const FileRanges *parts = candidates.partsOf(file);
        const bool indexed =
            candidates.mayHold(file) && (parts ? matcher.matchesIn(path, *parts) : matcher.matches(path));
        EXPECT_EQ(indexed, matcher.matches(path)) << qPrintable(file) << " " << qPrintable(text);
    }
}

// The blocks of `blockBytes` a search of `text` reads of `file`; 64 when it reads it whole.
qint64 blocksRead(const QString &folder, const QString &file, const QString &text, qint64 blockBytes)
{
    HookContext hooks;
    const SearchCandidates candidates = SearchIndex::candidateFiles(folder, text, hooks);
    if (!candidates.mayHold(file))
        return 0;
    const FileRanges *parts = candidates.partsOf(file);
    if (!parts)
        return 64;
    qint64 bytes = 0;
    for (const LineRange &range : parts->ranges)
        bytes += range.end - range.begin;
    return bytes / blockBytes;
}

struct Disc {
    QString file;
    int rows;
    bool utf8;
    int k; // the blocks holding its probe
};

} // namespace

// A text held in exactly k blocks, for each k around the points where a posting's blocks and a
// trigram's list of files change form, in files of one row a block and of a hundred, in CP949
// and UTF-8: the index reads exactly those blocks, and gives the discs, rows and line numbers
// the whole files give.
TEST(IndexParts, TextInExactlyKBlocksOfOldCatalogues)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    std::vector<Disc> discs;
    for (const int k : {1, 6, 7, 8, 9, 63, 64}) {
        discs.push_back({u"cd_one%1.dat"_s.arg(k), 64, k % 2 == 0, k});
        discs.push_back({u"cd_many%1.dat"_s.arg(k), 6400, k % 2 == 1, k});
    }
    discs.push_back({u"cd_short.dat"_s, 40, false, 8});
    discs.push_back({u"cd_none.dat"_s, 3000, true, 0});
    QStringList files;
    qint64 lineBytes[2] = {};
    for (const Disc &disc : discs) {
        const int perBlock = std::max(1, disc.rows / 64);
        const int of = std::min(64, disc.rows);
        const QString probe = u"Qu%1"_s.arg(disc.k, 2, 10, QLatin1Char('0'));
        // The common folder in the k blocks after the probe's, wrapping round.
        std::vector<int> common;
        for (int block : someBlocks(disc.k, of))
            common.push_back((block + 1) % of);
        const QByteArray bytes =
            catalogue(disc.rows, disc.utf8, probe, rowsIn(someBlocks(disc.k, of), perBlock, 7),
                      rowsIn(common, perBlock, 3));
        lineBytes[disc.utf8] = (bytes.size() - (disc.utf8 ? kUtf8BomSize : 0)) / disc.rows;
        writeOld(folder + u'/' + disc.file, bytes);
        files << disc.file;
    }
    for (const Disc &disc : discs) {
        if (disc.k == 0)
            continue;
        const QString probe = u"Qu%1"_s.arg(disc.k, 2, 10, QLatin1Char('0'));
        const qint64 blockBytes = lineBytes[disc.utf8] * std::max(1, disc.rows / 64);
        if (disc.rows >= 64) {
            EXPECT_EQ(blocksRead(folder, disc.file, probe, blockBytes), disc.k) << qPrintable(disc.file);
        }
    }
    // Built by the searches above; from now on it is read from its file, never rebuilt.
    const FileVersion built = versionOf(searchIndexPath(folder));
    ASSERT_NE(built, FileVersion{});
    QStringList texts = {u"Zcm"_s,      u"사진\\Zcm"_s, u"Zcm00"_s, u"\\Zcm06"_s,
                         u"file0000"_s, u"1.txt"_s,     u"없는말"_s};
    for (const int k : {1, 6, 7, 8, 9, 63, 64})
        texts << u"Qu%1"_s.arg(k, 2, 10, QLatin1Char('0')) << u"Qu%10"_s.arg(k, 2, 10, QLatin1Char('0'));
    for (const QString &text : texts) {
        expectTheLineScansAnswer(folder, files, text);
        EXPECT_EQ(resultRows(folder, files, text).join(u'\n').toStdString(),
                  wholeReadRows(folder, files, text).join(u'\n').toStdString())
            << qPrintable(text);
    }
    EXPECT_EQ(versionOf(searchIndexPath(folder)), built) << "an index that covers every file was rebuilt";
}

// Files changed behind the program's back that keep their size and their modification time (a
// rewrite in place, the time put back: only the change time and the bytes differ) are read
// anew, by the search index and by the catch-up with the index file.
TEST(IndexParts, ChangesThatKeepSizeAndModificationTime)
{
    QTemporaryDir dir;
    const QString folder = dir.path(), path = folder + u"/cd_a.dat"_s;
    const struct {
        const char *what;
        std::vector<int> before, after; // the blocks holding the probe
    } cases[] = {{"the text newly there", {}, {20}},
                 {"the text moved to another block", {5}, {40}},
                 {"the text gone", {30}, {}}};
    for (const auto &c : cases) {
        writeOld(path, catalogue(6400, false, u"Qu77"_s, rowsIn(c.before, 100, 9), {}));
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        expectTheLineScansAnswer(folder, {u"cd_a.dat"_s}, u"Qu77"_s); // the index now covers it
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.write(catalogue(6400, false, u"Qu77"_s, rowsIn(c.after, 100, 9), {}));
        }
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        expectTheLineScansAnswer(folder, {u"cd_a.dat"_s}, u"Qu77"_s);
        EXPECT_EQ(resultRows(folder, {u"cd_a.dat"_s}, u"Qu77"_s),
                  wholeReadRows(folder, {u"cd_a.dat"_s}, u"Qu77"_s))
            << c.what;
    }

    // The index file of the catalogue, rewritten by another copy of the program in place.
    RecordSet index(d_cdinfo()), list(d_cdinfo());
    CatalogueEntries entries(index, list, folder, u"cdinfo.dat"_s);
    writeOld(folder + u"/cdinfo.dat"_s, "cd_a.dat\told\tA\t01\r\n");
    entries.loadIndex();
    index.RowsCopy(1, 1, list, 1);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(folder + u"/cdinfo.dat"_s).constData(), &st), 0);
    {
        QFile file(folder + u"/cdinfo.dat"_s);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write("cd_a.dat\tnew\tA\t01\r\n");
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(folder + u"/cdinfo.dat"_s).constData(), times, 0), 0);
    EXPECT_TRUE(entries.catchUp());
    EXPECT_EQ(list.GetItemString(1, IndexColumn::desc), u"new"_s);
}

// A file modified moments ago may change again within the time a file system keeps (two seconds
// on FAT) and keep its stamp: the index does not trust it, and reads it whole until it is older.
TEST(IndexParts, RecentFilesAreNotTrusted)
{
    const qint64 second = 1000 * 1000 * 1000;
    const struct {
        qint64 age;
        bool recent;
    } stamps[] = {{0, true},           {second, true},       {2 * second + second / 2, true},
                  {-5 * second, true}, {10 * second, false}, {86400 * second, false}};
    for (const auto &s : stamps) {
        FileStamp stamp;
        stamp.mtimeNs = QDateTime::currentMSecsSinceEpoch() * 1000 * 1000 - s.age;
        EXPECT_EQ(isRecentStamp(stamp), s.recent) << s.age / 1000000 << " ms old";
    }

    QTemporaryDir dir;
    const QString path = dir.path() + u"/cd_a.dat"_s;
    writeOld(path, catalogue(6400, false, u"Qu77"_s, rowsIn({12}, 100, 9), {}));
    // Dated one second back, to an even second, as a FAT data folder keeps it.
    const qint64 even = (::time(nullptr) - 1) & ~qint64(1);
    const struct timespec times[2] = {{even, 0}, {even, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    HookContext hooks;
    EXPECT_EQ(SearchIndex::candidateFiles(dir.path(), u"Qu77"_s, hooks).partsOf(u"cd_a.dat"_s), nullptr)
        << "a file of a second ago is read whole";
    writeOld(path, catalogue(6400, false, u"Qu77"_s, rowsIn({12}, 100, 9), {}));
    EXPECT_NE(SearchIndex::candidateFiles(dir.path(), u"Qu77"_s, hooks).partsOf(u"cd_a.dat"_s), nullptr)
        << "an old file is read in parts";
}
