// The search index never changes an answer: for random data folders (CP949 and UTF-8 files, blank
// lines, CR LF and LF, 똠 whose second byte is "c"), random texts, and random saves, deletes,
// renames, edits behind the program's back and damaged indexes, the files it leaves to be read
// hold exactly the files the line scan finds.

#include "catalogue/search.h"
#include "catalogue/searchindex.h"
#include "catalogue/searchindexfile.h"
#include "catalogue/settings.h"
#include "files/textfile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList kWords = {u"똠"_s, u"c"_s, u"가나"_s,     u"bmp"_s,    u"D:\\"_s, u"\t"_s, u"사진 2001"_s,
                            u"😀"_s,  u"ก"_s, u"line.bmp"_s, u"\uFEFF"_s, u"a"_s,    u"다"_s};

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
        file.close();
        if (backdate)
            file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
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
        for (const QString &file : folder.listed())
            QFile(folder.path(file))
                .setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime);
    }
}

} // namespace

TEST(SearchIndex, AnswersAsTheLineScanDoes)
{
    QRandomGenerator random(19);
    qsizetype ruledOut = 0, found = 0;
    for (int round = 0; round < 6; ++round) {
        Folder folder(random);
        for (int i = random.bounded(2, 10); i > 0; --i)
            folder.write(folder.newName(), folder.content(), random.bounded(3) > 0);
        for (int step = 0; step < 20; ++step) {
            change(folder, random);
            for (int t = 0; t < 4; ++t) {
                const QString words =
                    kWords[random.bounded(int(kWords.size()))] + kWords[random.bounded(int(kWords.size()))];
                const QString text = words.mid(random.bounded(int(words.size())), random.bounded(1, 5));
                HookContext hooks;
                const SearchCandidates candidates = SearchIndex::candidateFiles(folder.folder(), text, hooks);
                const CatalogueMatcher matcher(text);
                for (const QString &name : folder.listed()) {
                    const bool holds = matcher.matches(folder.path(name));
                    ASSERT_FALSE(holds && !candidates.mayHold(name))
                        << round << " " << step << " " << qPrintable(name) << " " << qPrintable(text);
                    found += holds;
                }
                ruledOut += candidates.ruledOut.size();
            }
        }
    }
    EXPECT_GT(found, 200);
    EXPECT_GT(ruledOut, 200) << "the index rules files out";
}

// A folder without an index, or with one that is no index at all, searches the same.
TEST(SearchIndex, DamagedOrMissingIndexIsRebuilt)
{
    QTemporaryDir dir;
    QFile(dir.filePath("cd_a.dat")).open(QIODevice::WriteOnly);
    QFile file(dir.filePath("cd_b.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("E:\\\t\x8C\x63.jpg\r\n");
    file.close();
    file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
    QDir().mkpath(ownFolderPath(dir.path()));
    for (const QByteArray &index :
         {QByteArray(), QByteArray("TarvekSearchIndex 0\n"), QByteArray(4096, 'x')}) {
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
