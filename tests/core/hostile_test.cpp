// Data folders that fight back: pipes where files should be, side files with huge tails, crafted
// and rewritten search indexes, and the permissions of the files a change replaces.

#include "catalogue/datafiles.h"
#include "catalogue/entries.h"
#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "catalogue/sidefacts.h"
#include "catalogue/sidefile.h"
#include "files/fileops.h"
#include "search/resultsearch.h"
#include "search/search.h"
#include "search/searchindex.h"
#include "search/searchindexfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kRows = "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                         "E:\\\tphoto.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";

void put(const QString &path, const QByteArray &bytes, int daysOld = 1)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.flush();
    if (daysOld > 0)
        file.setFileTime(QDateTime::currentDateTime().addDays(-daysOld), QFileDevice::FileModificationTime);
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

// Runs `read` while `fifo` is a pipe no one writes; true when it came back by itself. A read
// blocked on the pipe is let go (a writer opens and closes it), so that the test ends.
bool comesBackFromAPipe(const QString &fifo, const std::function<void()> &read)
{
    std::future<void> done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    return false;
}

} // namespace

// Every file the program reads from the data folder and its own folder may be a pipe: each read
// comes back at once, and the disc reads as one without that file.
TEST(HostileFiles, APipeNeverHangsARead)
{
    QTemporaryDir dir;
    const QString data = dir.path(), catalogue = data + u"/cd_a.dat"_s;
    const QString side = SideFiles::pathFor(catalogue), index = searchIndexPath(data);
    RecordSet tree(d_dir_tree());
    tree.ImportString(QString::fromLatin1(kRows));
    const struct {
        const char *what;
        QString pipe; // the file that is a pipe
        std::function<void()> read;
    } cases[] = {
        {"the side file's rows", side, [&] { (void)SideFiles::readContents(side); }},
        {"the side file's head", side,
         [&] {
             DiscFacts disc;
             EXPECT_FALSE(SideFiles::readDisc(side, disc));
         }},
        {"the side facts of a result row", side,
         [&] { EXPECT_EQ(readSideFacts(data, u"cd_a.dat"_s).row(2).size, -1); }},
        {"the totals of the disc list", side,
         [&] { EXPECT_EQ(readSideFacts(data, u"cd_a.dat"_s).disc().files, -1); }},
        {"the list's export", side,
         [&] {
             RecordSet list(d_cdinfo());
             list.ImportString(u"cd_a.dat\t\ta\t01"_s);
             EXPECT_TRUE(exportDiscList(data + u"/list.csv"_s, list, data).ok);
         }},
        {"the search index", index,
         [&] {
             HookContext hooks;
             EXPECT_TRUE(SearchIndex::candidateFiles(data, u"photo"_s, hooks).mayHold(u"cd_a.dat"_s));
         }},
        {"a catalogue file the results search reads", catalogue,
         [&] {
             ResultStore store;
             store.reset({{u"cd_a.dat"_s, u"a"_s, {}, u"01"_s}});
             HookContext hooks;
             searchResults(hooks, store, data, u"photo"_s);
             EXPECT_EQ(store.rowCount(), 0);
         }},
        {"a catalogue file copied to its new name", catalogue,
         [&] {
             fileOps().link = [](const char *, const char *) {
                 errno = EPERM; // a file system without links: the tree is copied
                 return -1;
             };
             RecordSet index(d_cdinfo()), list(d_cdinfo());
             CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
             list.ImportString(u"cd_a.dat\t\ta\t01"_s);
             index.ImportString(u"cd_a.dat\t\ta\t01"_s);
             EXPECT_FALSE(entries.change(u"a"_s, {u"cd_b.dat"_s, {}, u"b"_s, u"01"_s}).ok);
             resetFileOps();
         }},
    };
    for (const auto &c : cases) {
        QDir(data).removeRecursively();
        QDir().mkpath(ownFolderPath(data));
        put(catalogue, kRows);
        QFile::remove(c.pipe);
        ASSERT_EQ(::mkfifo(QFile::encodeName(c.pipe).constData(), 0644), 0) << c.what;
        EXPECT_TRUE(comesBackFromAPipe(c.pipe, c.read)) << c.what << " waited on a pipe";
    }
}

// A side file is read no further than its format allows: a head, and one short line per row of
// the tree its catalogue can hold. A file with a huge tail is refused without reading the tail.
TEST(HostileFiles, ASideFileIsReadNoFurtherThanItsFormatAllows)
{
    QTemporaryDir dir;
    const QString catalogue = dir.path() + u"/cd_a.dat"_s, side = SideFiles::pathFor(catalogue);
    put(catalogue, kRows);
    RecordSet tree(d_dir_tree());
    loadDataFile(tree, catalogue);
    TreeFacts facts;
    facts.append({10, 20});
    facts.append({30, 40});
    const struct {
        const char *what;
        qint64 tailBytes; // past the written file
        bool lines;       // the tail is row lines ("1\t1"); else a hole that reads as zeros
    } cases[] = {
        {"no tail", 0, false}, {"64 MiB of zeros", 64 << 20, false}, {"16 MiB of rows", 16 << 20, true}};
    const auto bytesRead = [] {
        QFile io(u"/proc/self/io"_s);
        io.open(QIODevice::ReadOnly);
        for (const QByteArray &line : io.readAll().split('\n')) {
            if (line.startsWith("rchar:"))
                return line.mid(6).trimmed().toLongLong();
        }
        return qint64(-1);
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(SideFiles::write(side, tree, facts).ok);
        QFile file(side);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append));
        if (c.lines)
            file.write(QByteArray("1\t1\r\n").repeated(int(c.tailBytes / 5)));
        else
            file.resize(file.size() + c.tailBytes);
        file.close();
        const qint64 before = bytesRead();
        TreeFacts read;
        EXPECT_EQ(SideFiles::read(side, tree, read), c.tailBytes == 0) << c.what;
        const qint64 readBytes = bytesRead() - before;
        if (before >= 0) {
            EXPECT_LT(readBytes, 1 << 20) << c.what << ": the tail was read";
        }
        if (c.tailBytes == 0) {
            EXPECT_EQ(read.at(2).size, 30);
        }
    }
}

// A crafted index (its checksums made right after the bytes were changed) is refused before
// anything is made for what it claims, and rebuilt as a damaged one is; the answer stays the
// line scan's.
TEST(HostileFiles, ACraftedIndexIsRefusedAndRebuilt)
{
    QTemporaryDir dir;
    const QString data = dir.path(), index = searchIndexPath(data);
    for (int i = 0; i < 6; ++i)
        put(data + u"/cd_%1.dat"_s.arg(i), i % 2 ? kRows : QByteArray(kRows).replace("photo", "music"));
    HookContext hooks;
    (void)SearchIndex::candidateFiles(data, u"photo"_s, hooks);
    const QByteArray built = bytesOf(index);
    ASSERT_GT(built.size(), 100);
    const qsizetype head = qsizetype(sizeof("TarvekSearchIndex 2\n")) - 1;
    uint32_t entries;
    uint64_t tableBytes;
    std::memcpy(&entries, built.constData() + head + 4, 4);
    std::memcpy(&tableBytes, built.constData() + head + 8, 8);
    const qsizetype listsEnd = head + 32 + qsizetype(tableBytes) + qsizetype(entries) * 12; // where they end
    const auto setWord = [](QByteArray bytes, qsizetype at, auto value) {
        if (at + qsizetype(sizeof value) <= bytes.size())
            std::memcpy(bytes.data() + at, &value, sizeof value);
        return bytes;
    };
    const struct {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        // 56 bytes: a head claiming 2^31 files in an empty table.
        {"2^31 files in 56 bytes",
         setWord(built.first(head) + QByteArray(36, '\0'), head, uint32_t(1) << 31)},
        {"one file more than the table holds", setWord(built, head, uint32_t(7))},
        {"2^31 files", setWord(built, head, uint32_t(1) << 31)},
        {"more trigrams than the directory holds", setWord(built, head + 4, uint32_t(0xFFFFFFF0))},
        {"a table larger than the file", setWord(built, head + 8, uint64_t(1) << 40)},
        {"lists ending past the file", setWord(built, listsEnd, uint32_t(0xFFFFFF00))},
    };
    for (const auto &c : cases) {
        QByteArray crafted = c.bytes;
        resealIndexBytes(crafted);
        put(index, crafted, 0);
        SearchCandidates found;
        EXPECT_NO_THROW(found = SearchIndex::candidateFiles(data, u"photo"_s, hooks)) << c.what;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(found.mayHold(u"cd_%1.dat"_s.arg(i)), i % 2 == 1) << c.what << " " << i;
        SearchIndexFile rebuilt;
        ASSERT_TRUE(rebuilt.open(index)) << c.what;
        EXPECT_EQ(rebuilt.files().size(), 6u) << c.what;
    }
}

// An index written over in place while a search reads it (a backup copied back with cp) makes
// that search read a damaged index, never a signal.
TEST(HostileFiles, AnIndexRewrittenInPlaceWhileOpen)
{
    QTemporaryDir dir;
    const QString data = dir.path(), index = searchIndexPath(data);
    QByteArray rows;
    for (int i = 0; i < 3000; ++i)
        rows += "E:\\folder\\\tname " + QByteArray::number(i) + ".txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
    for (int i = 0; i < 8; ++i)
        put(data + u"/cd_%1.dat"_s.arg(i), rows);
    HookContext hooks;
    (void)SearchIndex::candidateFiles(data, u"name 12"_s, hooks);
    const QByteArray whole = bytesOf(index);
    for (const qsizetype cut : {qsizetype(0), qsizetype(100), whole.size() / 2}) {
        put(index, whole, 0);
        SearchIndexFile open;
        ASSERT_TRUE(open.open(index));
        {
            QFile inPlace(index); // as cp writes over an existing file
            ASSERT_TRUE(inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate));
            inPlace.write(whole.first(cut));
        }
        std::vector<uint64_t> blocks(open.files().size(), ~uint64_t(0));
        EXPECT_FALSE(open.forEachList([](uint32_t, const std::vector<Posting> &) {})) << cut;
        for (const uint32_t trigram : textTrigrams(u"name 12"_s))
            (void)open.keepHolders(trigram, blocks);
    }
}

// A replaced file keeps the permissions of the file it replaces (never those of what a link
// there points to, and always readable by its owner); a new one gets what the umask gives.
TEST(HostileFiles, ReplacedFilesKeepTheirPermissions)
{
    QTemporaryDir dir;
    const QString data = dir.path() + u"/data"_s;
    const mode_t umaskBefore = ::umask(027);
    RecordSet index(d_cdinfo()), list(d_cdinfo()), tree(d_dir_tree());
    tree.ImportString(QString::fromLatin1(kRows));
    TreeFacts facts;
    facts.append({1, 2});
    facts.append({3, 4});
    CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
    SearchIndex::follow(entries);
    ASSERT_TRUE(entries.add(tree, {u"cd_a.dat"_s, {}, u"a"_s, u"01"_s}, &facts).ok);
    const QString catalogue = data + u"/cd_a.dat"_s, side = SideFiles::pathFor(catalogue);
    const QString idx = searchIndexPath(data);
    EXPECT_EQ(modeOf(catalogue) & 07777, 0640u) << "a new file: 0666 less the umask";
    HookContext hooks;
    (void)SearchIndex::candidateFiles(data, u"photo"_s, hooks);
    ASSERT_TRUE(QFileInfo::exists(idx));
    QFile outside(dir.path() + u"/elsewhere"_s);
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.close();
    constexpr mode_t kLink = ~mode_t(0);
    const struct {
        const char *what;
        QString path;
        mode_t before, after; // kLink before: a symbolic link to a file of mode 0600
        std::function<void()> change;
    } cases[] = {
        {"a disc saved again", catalogue, 0644, 0644,
         [&] {
             EXPECT_TRUE(entries.replace(tree, {u"cd_a.dat"_s, u"x"_s, u"a"_s, u"01"_s}, 1, &facts).ok);
         }},
        {"the index of the catalogue", data + u"/cdinfo.dat"_s, 0604, 0604,
         [&] {
             EXPECT_TRUE(entries.change(u"a"_s, {u"cd_a.dat"_s, u"y"_s, u"a"_s, u"02"_s}).ok);
         }},
        {"a side file", side, 0644, 0644,
         [&] {
             EXPECT_TRUE(entries.replace(tree, {u"cd_a.dat"_s, u"z"_s, u"a"_s, u"01"_s}, 1, &facts).ok);
         }},
        {"a search index no one can read", idx, 0000, 0400,
         [&] {
             EXPECT_TRUE(entries.add(tree, {u"cd_b.dat"_s, {}, u"b"_s, u"01"_s}).ok);
             (void)SearchIndex::candidateFiles(data, u"photo"_s, hooks);
         }},
        {"a search index that is a link", idx, kLink, 0640,
         [&] {
             EXPECT_TRUE(entries.add(tree, {u"cd_c.dat"_s, {}, u"c"_s, u"01"_s}).ok);
             (void)SearchIndex::candidateFiles(data, u"photo"_s, hooks);
         }},
    };
    for (const auto &c : cases) {
        if (c.before == kLink) {
            ::chmod(QFile::encodeName(outside.fileName()).constData(), 0600);
            QFile::remove(c.path);
            ASSERT_TRUE(QFile::link(outside.fileName(), c.path));
        } else {
            ASSERT_EQ(::chmod(QFile::encodeName(c.path).constData(), c.before), 0) << c.what;
        }
        c.change();
        EXPECT_TRUE(S_ISREG(modeOf(c.path))) << c.what;
        EXPECT_EQ(modeOf(c.path) & 07777, c.after) << c.what;
    }
    EXPECT_EQ(modeOf(outside.fileName()) & 07777, 0600u) << "what the link pointed to stays as it was";
    ::umask(umaskBefore);
}
