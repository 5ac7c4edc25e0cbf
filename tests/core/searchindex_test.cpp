// The search index never changes an answer: for random data folders (CP949 and UTF-8 files, blank
// lines, CR LF and LF, 똠 whose second byte is "c"), random texts (whose trigrams often lie on
// different lines of a file), and random saves, deletes, renames, edits behind the program's
// back and damaged indexes, the files and lines it leaves to be read give exactly the files the
// line scan finds.

#include "catalogue/datafolder.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "files/filesystem.h"
#include "files/listbox.h"
#include "files/textfile.h"
#include "search/search.h"
#include "search/searchindex.h"
#include "search/searchindexfile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList kWords = {u"똠"_s,       u"c"_s,         u"가나"_s,  u"bmp"_s, u"D:\\"_s,
                            u"\t"_s,       u"사진 2001"_s, u"12.34"_s, u"😀"_s,   u"ก"_s,
                            u"line.bmp"_s, u"\uFEFF"_s,    u"a"_s,     u"다"_s};

// Sets an open file's modification time some days back (Qt sets the time of open files only).
void backdateOpen(QFile &file, int days)
{
    file.flush();
    file.setFileTime(QDateTime::currentDateTime().addDays(-days), QFileDevice::FileModificationTime);
}

class Folder {
  public:
    explicit Folder(QRandomGenerator &random) : m_random(random) {}
    QString path(const QString &name) const { return m_dir.filePath(name); }
    [[nodiscard]] QString folder() const { return m_dir.path(); }

    // Lines of random words, with blank lines and line ends of either kind, in CP949 (words it
    // cannot hold left out, a broken byte now and then) or UTF-8 with its mark.
    QByteArray content()
    {
        const bool utf8 = m_random.bounded(3) == 0;
        QByteArray bytes = utf8 ? "\xEF\xBB\xBF" : "";
        QString text;
        for (int line = m_random.bounded(8); line >= 0; --line) {
            // Often the start of the line before, as folder paths repeat in a catalogue.
            text = text.left(m_random.bounded(2) ? m_random.bounded(int(text.size()) + 1) : 0);
            for (int word = m_random.bounded(6); word >= 0; --word)
                text += kWords[m_random.bounded(int(kWords.size()))];
            QStringEncoder encoder =
                utf8 ? QStringEncoder(QStringEncoder::Utf8) : QStringEncoder("windows-949");
            QByteArray encoded = encoder.encode(text);
            if (encoder.hasError())
                encoded = "x";
            if (m_random.bounded(12) == 0)
                encoded += utf8 ? "\xFF" : "\x81 ";
            bytes +=
                (m_random.bounded(10) == 0 ? QByteArray() : encoded) + (m_random.bounded(2) ? "\r\n" : "\n");
        }
        return bytes;
    }
    void write(const QString &name, const QByteArray &bytes, bool backdate)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        if (backdate)
            backdateOpen(file, 1);
    }
    QString anyFile()
    {
        const QStringList names = listed();
        return names.isEmpty() ? u"cd_none.dat"_s : names[m_random.bounded(int(names.size()))];
    }
    [[nodiscard]] QStringList listed() const
    {
        return QDir(folder()).entryList({u"cd_*.dat"_s}, QDir::Files);
    }
    // Half the time a piece of a line of one of the files (often reaching past what it shares with
    // the line before), else a piece of two words.
    QString someText()
    {
        QString words =
            kWords[m_random.bounded(int(kWords.size()))] + kWords[m_random.bounded(int(kWords.size()))];
        TextFileReader reader;
        if (m_random.bounded(2) && reader.open(path(anyFile())))
            for (int skip = m_random.bounded(8); skip >= 0 && reader.readLine(words) > 0; --skip) {
            }
        return words.mid(m_random.bounded(int(std::max<qsizetype>(1, words.size()))), m_random.bounded(1, 9));
    }
    QString newName() { return u"cd_%1%2.dat"_s.arg(m_random.bounded(2) ? u"똠"_s : u"d"_s).arg(++m_made); }

  private:
    QRandomGenerator &m_random;
    QTemporaryDir m_dir;
    int m_made = 0;
};

// One random change to the folder: through the program (which tells the index) or behind its back.
void change(Folder &folder, QRandomGenerator &random)
{
    const QString name = folder.anyFile();
    const QString index = searchIndexPath(folder.folder());
    switch (random.bounded(7)) {
    case 0: { // a save, new or over an old disc
        const QString saved = random.bounded(2) ? name : folder.newName();
        ASSERT_TRUE(writeFileAtomically(folder.path(saved), folder.content()).ok);
        SearchIndex::refreshFiles(folder.folder(), {saved});
        break;
    }
    case 1: // a delete
        QFile::remove(folder.path(name));
        SearchIndex::refreshFiles(folder.folder(), {name});
        break;
    case 2: { // a rename
        const QString to = folder.newName();
        QFile::rename(folder.path(name), folder.path(to));
        SearchIndex::refreshFiles(folder.folder(), {name, to});
        break;
    }
    case 3: { // rewritten in place, same size, its time put back
        QFile file(folder.path(name));
        const QDateTime time = QFileInfo(file).lastModified();
        if (file.open(QIODevice::ReadWrite)) {
            const QByteArray bytes = file.readAll();
            file.seek(0);
            file.write(QByteArray(bytes).replace('c', 'a').replace('a', 'c'));
            file.setFileTime(time, QFileDevice::FileModificationTime);
        }
        break;
    }
    case 4: // removed or written behind the program's back
        if (random.bounded(2))
            QFile::remove(folder.path(name));
        else
            folder.write(random.bounded(2) ? name : folder.newName(), folder.content(), random.bounded(2));
        break;
    case 5: { // the index damaged: cut short or a byte changed
        QFile file(index);
        if (file.open(QIODevice::ReadWrite) && file.size() > 0) {
            const qint64 at = random.bounded(int(file.size()));
            if (random.bounded(2))
                file.resize(at);
            else if (file.seek(at))
                file.write(QByteArray(1, char(random.bounded(256))));
        }
        break;
    }
    default: // everything older, so that the index can trust it
        for (const QString &name : folder.listed()) {
            QFile file(folder.path(name));
            if (file.open(QIODevice::ReadWrite))
                backdateOpen(file, 2);
        }
    }
}

// The discs the search lists for the text, with the index on or off; every file has an entry.
QStringList discsFound(const Folder &folder, const QString &text, bool indexed)
{
    RecordSet entries(d_cdinfo());
    for (const QString &name : folder.listed())
        entries.ImportString(name + u"\t\t"_s + name + u"\t01"_s);
    LocalFileSystem fs;
    ListBoxModel lister(fs);
    HookContext hooks;
    const QString current = QDir::currentPath(); // the listing makes the data folder current
    SearchIndex::setEnabled(indexed);
    const SearchOutcome outcome = searchCatalogues(hooks, lister, entries, folder.folder(), text);
    SearchIndex::setEnabled(true);
    QDir::setCurrent(current);
    QStringList found;
    for (qint64 row : outcome.indexRows)
        found << entries.GetItemString(row, IndexColumn::file);
    return found;
}

} // namespace

TEST(SearchIndex, AnswersAsTheLineScanDoes)
{
    QRandomGenerator random(19);
    qsizetype ruledOut = 0, found = 0, inParts = 0;
    for (int round = 0; round < 6; ++round) {
        Folder folder(random);
        for (int i = random.bounded(2, 10); i > 0; --i)
            folder.write(folder.newName(), folder.content(), random.bounded(3) > 0);
        for (int step = 0; step < 20; ++step) {
            change(folder, random);
            for (int t = 0; t < 4; ++t) {
                const QString text = folder.someText();
                HookContext hooks;
                const SearchCandidates candidates = SearchIndex::candidateFiles(folder.folder(), text, hooks);
                const CatalogueMatcher matcher(text);
                for (const QString &name : folder.listed()) {
                    const bool holds = matcher.matches(folder.path(name));
                    const FileRanges *parts = candidates.partsOf(name);
                    const bool indexed = candidates.mayHold(name) &&
                                         (parts ? matcher.matchesIn(folder.path(name), *parts) : holds);
                    ASSERT_EQ(indexed, holds)
                        << round << " " << step << " " << qPrintable(name) << " " << qPrintable(text);
                    found += holds;
                    inParts += parts && holds;
                }
                ruledOut += candidates.ruledOut.size();
                ASSERT_EQ(discsFound(folder, text, true), discsFound(folder, text, false))
                    << qPrintable(text);
            }
        }
    }
    EXPECT_GT(found, 200);
    EXPECT_GT(ruledOut, 200) << "the index rules files out";
    EXPECT_GT(inParts, 20) << "files holding the text are found reading only some of their lines";
}

// Files read on several threads make the same index as files read one by one, in the same order.
TEST(SearchIndex, BuildOnThreadsEqualsOneByOne)
{
    QRandomGenerator random(7);
    Folder folder(random);
    for (int i = 0; i < 24; ++i)
        folder.write(folder.newName(), folder.content().repeated(random.bounded(1, 40)), true);
    HookContext hooks;
    (void)SearchIndex::candidateFiles(folder.folder(), u"사진"_s, hooks);
    QFile stored(searchIndexPath(folder.folder()));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QByteArray written = stored.readAll();
    SearchIndexFile index;
    ASSERT_TRUE(index.openBytes(written.constData(), written.size()));
    ASSERT_EQ(index.files().size(), 24u);
    TrigramReader reader;
    SearchIndexBuilder builder;
    for (const IndexedFile &file : index.files()) {
        FileTrigrams found;
        FileStamp stamp;
        ASSERT_TRUE(reader.read(folder.path(file.name), stamp, found));
        builder.addAll(found, builder.addFile({file.name, stamp, found.layout}));
    }
    EXPECT_EQ(builder.bytes(), written);
}

// The index is written only under the data folder's lock: a search while another holds it still
// answers, and a refresh by a caller holding it writes.
TEST(SearchIndex, WritesUnderTheFolderLock)
{
    QTemporaryDir dir;
    for (const auto &[name, line] :
         {std::pair{"cd_a.dat", "E:\\\tphoto.jpg\r\n"}, {"cd_b.dat", "E:\\\tmusic\r\n"}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(line);
        backdateOpen(file, 1);
    }
    HookContext hooks;
    {
        DataFolderLock lock(dir.path());
        ASSERT_TRUE(lock.lock());
        EXPECT_EQ(SearchIndex::candidateFiles(dir.path(), u"photo"_s, hooks).ruledOut,
                  QSet<QString>{"cd_b.dat"});
        EXPECT_FALSE(QFileInfo::exists(searchIndexPath(dir.path())));
    }
    EXPECT_EQ(SearchIndex::candidateFiles(dir.path(), u"photo"_s, hooks).ruledOut, QSet<QString>{"cd_b.dat"});
    ASSERT_TRUE(QFileInfo::exists(searchIndexPath(dir.path())));
    const qint64 before = QFileInfo(searchIndexPath(dir.path())).size();
    DataFolderLock lock(dir.path());
    ASSERT_TRUE(lock.lock());
    QFile::remove(dir.filePath("cd_b.dat"));
    SearchIndex::refreshFiles(dir.path(), {u"cd_b.dat"_s}, SearchIndex::FolderLock::Held);
    EXPECT_LT(QFileInfo(searchIndexPath(dir.path())).size(), before);
}

// A folder without an index, or with one that is no index at all, searches the same.
TEST(SearchIndex, DamagedOrMissingIndexIsRebuilt)
{
    QTemporaryDir dir;
    QFile(dir.filePath("cd_a.dat")).open(QIODevice::WriteOnly);
    QFile file(dir.filePath("cd_b.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("E:\\\t\x8C\x63.jpg\r\n");
    backdateOpen(file, 1);
    file.close();
    QDir().mkpath(ownFolderPath(dir.path()));
    for (const QByteArray &index : {QByteArray(), QByteArray("TarvekSearchIndex 0\n"),
                                    QByteArray("TarvekSearchIndex 1\n"), QByteArray(4096, 'x')}) {
        QFile stored(searchIndexPath(dir.path()));
        ASSERT_TRUE(stored.open(QIODevice::WriteOnly | QIODevice::Truncate));
        stored.write(index);
        stored.close();
        HookContext hooks;
        EXPECT_EQ(SearchIndex::candidateFiles(dir.path(), u"똠.jpg"_s, hooks).ruledOut,
                  QSet<QString>{"cd_a.dat"});
        SearchIndexFile rebuilt;
        ASSERT_TRUE(rebuilt.open(searchIndexPath(dir.path())));
        EXPECT_EQ(rebuilt.files().size(), 2u);
    }
}

// A search of a data folder that is not there leaves it not there.
TEST(SearchIndex, MakesNoDataFolder)
{
    QTemporaryDir dir;
    HookContext hooks;
    EXPECT_TRUE(SearchIndex::candidateFiles(dir.filePath("data"), u"사진"_s, hooks).ruledOut.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("data")));
}
