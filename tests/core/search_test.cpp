// The search across catalogues: matching by character in CP949 and UTF-8 files up to the first
// empty line, and the list of discs it gives for a data folder written as the Windows version did.

#include "catalogue/layouts.h"
#include "files/cp949table.h"
#include "files/textfile.h"
#include "search/search.h"
#include "search/treefind.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class Search : public ::testing::Test {
  protected:
    QString write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    bool holds(const QByteArray &bytes, const QString &text) const
    {
        return CatalogueMatcher(text).matches(write("f.dat", bytes));
    }
    // What the search must answer for a CP949 file: the file read line by line as the loader
    // reads it; a text CP949 cannot hold (U+FFFD for a broken byte among them) is never found.
    static bool reference(const QString &path, const QString &text)
    {
        TextFileReader reader;
        QString line;
        if (text.isEmpty() || text.contains(QChar::ReplacementCharacter) || !reader.open(path))
            return false;
        while (reader.readLine(line) >= 1) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Search, CharactersNotBytes)
{
    // 똠 is 8C 63 in CP949, and 63 is "c".
    const QByteArray line = "E:\\\t\x8C\x63.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
    EXPECT_FALSE(holds(line, "c"));
    EXPECT_TRUE(holds(line, u"똠"_s));
    EXPECT_TRUE(holds(line, ".jpg"));
    EXPECT_FALSE(holds(line, ".JPG")) << "upper and lower case differ";
    EXPECT_TRUE(holds(line, "bmp\tline")) << "the whole line, tabs and all";
    // A text CP949 cannot hold is looked for in UTF-8 files only.
    EXPECT_FALSE(holds(line + "E:\\\t\xF0\x9F\x98\x80\r\n", u"😀"_s));
    EXPECT_TRUE(holds("\xEF\xBB\xBF"
                      "E:/\t\xF0\x9F\x98\x80 \xE0\xB8\x81\r\n",
                      u"ก"_s));
    // A CP949 file that begins like a byte-order mark is still CP949.
    EXPECT_TRUE(holds("\xEF\xBB\xBF\xA1.txt\r\n", u"癤에"_s));
}

// Canonically equivalent text is equal: a name a Mac wrote decomposed (NFD) is found by its
// composed spelling and the other way round, in whole lines as in the tree's names; case stays.
TEST_F(Search, CanonicallyEquivalentTextMatches)
{
    const auto nfd = [](const QString &text) { return text.normalized(QString::NormalizationForm_D); };
    const QByteArray mark = "\xEF\xBB\xBF";
    const auto line = [&](const QString &name) {
        return mark + (u"/m/D/\t"_s + name + u"\tline.bmp\r\n"_s).toUtf8();
    };
    // A CP949 compatibility ideograph (KS X 1001 keeps duplicates by reading), which composes
    // to its unified ideograph.
    char16_t compatibility = 0;
    QByteArray compatibilityBytes;
    for (int code = 0x8000; code <= 0xFFFF && compatibility == 0; ++code) {
        const char16_t unit = cp949PairTable()[code];
        if (unit >= 0xF900 && unit <= 0xFAFF) {
            compatibility = unit;
            compatibilityBytes = QByteArray(1, char(code >> 8)) + char(code & 0xFF);
        }
    }
    ASSERT_NE(compatibility, 0);
    const QString unified = QString(QChar(compatibility)).normalized(QString::NormalizationForm_C);
    const struct {
        QByteArray file;
        QString text;
        bool found;
    } cases[] = {
        {line(nfd(u"해변.jpg"_s)), u"해변"_s, true},
        {line(u"해변.jpg"_s), nfd(u"해변"_s), true},
        {line(u"해"_s + nfd(u"변.jpg"_s)), u"해변.jpg"_s, true}, // partly decomposed
        {line(nfd(u"바다 사진.JPG"_s)), u"사진.jpg"_s, false},   // case still counts here
        {line(nfd(u"바다 사진.JPG"_s)), u"D/\t바다"_s, true},    // the whole line
        {line(nfd(u"café"_s)), u"café"_s, true},
        {line(nfd(u"café"_s)), u"cafe"_s, false}, // é is not e
        {"D:\\\t" + compatibilityBytes + ".txt\r\n", unified, true},
        {"D:\\\t" + compatibilityBytes + ".txt\r\n", unified + u".txt"_s, true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(holds(c.file, c.text), c.found) << c.text.toStdString();

    RecordSet tree(d_dir_tree());
    for (const QString &name : {u"동영상"_s, nfd(u"맥에서 복사"_s), nfd(u"해변.jpg"_s), u"해변 2.jpg"_s})
        tree.appendLine(u"/m/D/\t"_s + name + u"\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_s);
    EXPECT_EQ(findNameRow(tree, u"해변"_s, 1, 4), 3);
    EXPECT_EQ(findNameRow(tree, nfd(u"해변"_s), 4, 4), 4);
    EXPECT_EQ(findNameRow(tree, u"맥에서"_s, 1, 4), 2);
    EXPECT_EQ(findNameRow(tree, u"해변.JPG"_s, 1, 4), 0);
    EXPECT_EQ(findNameRow(tree, u"해변"_s, 5, 4), 0); // past the end
}

TEST_F(Search, LinesUpToTheFirstEmptyOne)
{
    EXPECT_FALSE(holds("a\r\n\r\nneedle\r\n", "needle"));
    EXPECT_FALSE(holds("a\n\nneedle\n", "needle"));
    EXPECT_FALSE(holds("\r\nneedle\r\n", "needle")) << "an empty first line";
    EXPECT_TRUE(holds("a\r\nneedle", "needle")) << "a last line without CR LF";
    EXPECT_TRUE(holds("a\r\n\rneedle\r\n", "needle")) << "a line that only begins with CR is not empty";
    // Past a read block, and an empty line right at a block's start.
    QByteArray big;
    while (big.size() < (3 << 20))
        big += "D:\\folder\\\tfile name.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n";
    EXPECT_TRUE(holds(big + "D:\\\tneedle\r\n", "needle"));
    EXPECT_FALSE(holds(big + "\r\nD:\\\tneedle\r\n", "needle"));
}

// Random lines of valid and broken CP949 against a reference that decodes every line.
TEST_F(Search, AgreesWithReadingEveryLine)
{
    static const char kBytes[] = "\x81\x8c\xb0\xc7\xc9\xfe\xff\x80\xa1\x63\x41\x7a\x20\x09\r\n.";
    QRandomGenerator random(11);
    int matched = 0;
    for (int file = 0; file < 300; ++file) {
        QByteArray bytes;
        const int size = random.bounded(1, 400);
        for (int i = 0; i < size; ++i)
            bytes += kBytes[random.bounded(int(sizeof kBytes) - 1)];
        const QString path = write(QStringLiteral("r%1.dat").arg(file), bytes);
        // Texts cut from what the file decodes to, and a few that are not in it.
        TextFileReader reader;
        QString line, text = QString::fromLatin1("c");
        reader.open(path);
        for (int n = random.bounded(4); n >= 0 && reader.readLine(line) >= 0;) {
            if (!line.isEmpty() && n-- == 0) {
                const qsizetype at = random.bounded(int(line.size()));
                text = line.mid(at, random.bounded(1, 4));
            }
        }
        const bool expected = reference(path, text);
        matched += expected;
        ASSERT_EQ(CatalogueMatcher(text).matches(path), expected) << file << " " << bytes.toHex().constData();
    }
    EXPECT_GT(matched, 30);
}

TEST_F(Search, TheDiscsOfAWindowsDataFolder)
{
    // The index as the Windows version wrote it: CP949, CR LF, a blank line ending it, an entry
    // whose file is missing (cd_GONE.dat), and a file without an entry (cd_STRAY.dat).
    write("cdinfo.dat",
          "cd_B.dat\t\xBB\xE7\xC1\xF8\tB\t04\r\ncd_A.dat\tdesc\tA\t01\r\ncd_GONE.dat\t\tGONE\t02\r\n"
          "cd_a2.dat\t\ta2\t03\r\n\r\ncd_AFTER.dat\t\tAFTER\t01\r\n");
    write("cd_B.dat", "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\nE:\\\t\x8C\x63\tline.bmp\tline."
                      "bmp\t0\t0\t0\t0\t2\r\n");
    write("cd_A.dat", "D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n");
    write("cd_a2.dat", "F:\\\tF:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n\r\nF:\\\t\x8C\x63\tline."
                       "bmp\tline.bmp\t0\t0\t0\t0\t2\r\n");
    write("cd_STRAY.dat", "G:\\\t\x8C\x63\r\n");
    write("cd_AFTER.dat", "H:\\\t\x8C\x63\r\n");
    write("other.dat", "I:\\\t\x8C\x63\r\n");
    QDir(m_dir.path()).mkdir("cd_dir.dat");
    RecordSet index(d_cdinfo());
    index.ImportString(
        u"cd_B.dat\t사진\tB\t04\ncd_A.dat\tdesc\tA\t01\ncd_GONE.dat\t\tGONE\t02\ncd_a2.dat\t\ta2\t03");
    LocalFileSystem fs;
    ListBoxModel lister(fs);
    HookContext hooks;
    Progress progress;
    hooks.progress = &progress;
    const auto names = [&](const QString &text) {
        QStringList found;
        for (qint64 row : searchCatalogues(hooks, lister, index, m_dir.path(), text).indexRows)
            found << index.GetItemString(row, IndexColumn::name);
        return found;
    };
    EXPECT_EQ(names(""), QStringList({"A", "a2", "B"})) << "file and entry both there, in file-name order";
    EXPECT_EQ(names(u"똠"_s), QStringList({"B"})) << "a2 holds it only after its blank line";
    EXPECT_EQ(names("bmp"), QStringList({"A", "a2", "B"}));
    EXPECT_EQ(names("c"), QStringList()) << "no c but inside 똠";
    EXPECT_EQ(progress.position(), progress.maximum());

    int yields = 0;
    hooks.yieldAndCheckCancel = [&] { return ++yields == 3; }; // the folder is listed first
    const SearchOutcome cancelled = searchCatalogues(hooks, lister, index, m_dir.path(), "bmp");
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.indexRows.size(), 1u);
}
