#include "files/paths.h"
#include "files/textfile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

// Readable failure messages for the many string comparisons below.
[[maybe_unused]] static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class TextFileTest : public ::testing::Test {
  protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString writeBytes(const QByteArray &bytes, const QString &name = QStringLiteral("in.dat")) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    static QByteArray readBytes(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }

    // Every line of the file, checking that each returned length is the line's length.
    static QStringList readLines(const QString &file)
    {
        TextFileReader reader;
        EXPECT_TRUE(reader.open(file));
        QStringList lines;
        QString line = QStringLiteral("stale");
        for (qint64 length; (length = reader.readLine(line)) >= 0;) {
            EXPECT_EQ(length, line.size());
            lines.append(line);
        }
        EXPECT_EQ(reader.readLine(line), -1);
        return lines;
    }

    QStringList readBack(const QByteArray &bytes) const { return readLines(writeBytes(bytes)); }

    static FileResult writeLines(const QString &file, const QStringList &lines)
    {
        return writeTextFileAtomically(file, [&](LineSink &sink) {
            for (const QString &line : lines)
                sink.writeLine(line);
        });
    }

    QStringList folderEntries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir m_dir;
};

TEST_F(TextFileTest, SplitsLinesOnCrLfAndBareLf)
{
    EXPECT_EQ(readBack("one\r\ntwo"), QStringList({"one", "two"}));
    EXPECT_EQ(readBack("one\r\n\r\nthree\r\n"), QStringList({"one", "", "three"}));
    EXPECT_EQ(readBack("a\nb\r\nc\n"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(readBack("\r\n"), QStringList({""}));
    EXPECT_EQ(readBack("a\rb\r\r\n"), QStringList({"a\rb\r"}));
    EXPECT_EQ(readBack(""), QStringList());

    TextFileReader reader;
    ASSERT_TRUE(reader.open(writeBytes("x\r\n\r\nyz")));
    QString line;
    EXPECT_EQ(reader.readLine(line), 1);
    EXPECT_EQ(reader.readLine(line), 0);
    EXPECT_TRUE(line.isEmpty());
    EXPECT_EQ(reader.readLine(line), 2);
    EXPECT_EQ(line, "yz");
    EXPECT_EQ(reader.readLine(line), -1);
}

TEST_F(TextFileTest, DecodesCp949AndUtf8WithByteOrderMark)
{
    // 똠 = 8C 63 lies outside KS X 1001 and has an ASCII letter as its second byte.
    EXPECT_EQ(readBack("\xb0\xa1\x8c\x63\tx\r\n\xc7\xd1"), QStringList({u"가똠\tx"_s, u"한"_s}));
    EXPECT_EQ(readBack("\xEF\xBB\xBF\xea\xb0\x80\r\n\xf0\x9f\x98\x80 \xe0\xb8\x81"),
              QStringList({u"가"_s, u"😀 ก"_s}));
    // Only the first mark is the file's; one more is part of the text.
    EXPECT_EQ(readBack("\xEF\xBB\xBF\xEF\xBB\xBFx"), QStringList({u"\uFEFFx"_s}));
}

TEST_F(TextFileTest, BadBytesBecomeReplacementCharacters)
{
    // A lead byte cut off by the line end must not swallow the next line's first byte.
    EXPECT_EQ(readBack("a\xb0\r\nbc\n\xb0"), QStringList({u"a\uFFFD"_s, u"bc"_s, u"\uFFFD"_s}));
    EXPECT_EQ(readBack("\xb0\xa1\xb0 tail\r\nnext"), QStringList({u"가\uFFFD tail"_s, u"next"_s}));
}

// CP949 text can begin with the bytes of a UTF-8 byte-order mark: 癤 is EF BB and 에 is BF A1.
// Such a file must read as CP949, and the writer must never produce one.
TEST_F(TextFileTest, Cp949ThatBeginsLikeAByteOrderMark)
{
    EXPECT_EQ(readBack("\xEF\xBB\xBF\xA1 x\r\n\xB0\xA1"), QStringList({u"癤에 x"_s, u"가"_s}));
    const QStringList lines = {u"癤에\t1"_s, u"가"_s};
    ASSERT_TRUE(writeLines(path("mark.dat"), lines).ok);
    EXPECT_TRUE(readBytes(path("mark.dat")).startsWith("\xEF\xBB\xBF\xE7\x99\xA4")) << "UTF-8 with its mark";
    EXPECT_EQ(readLines(path("mark.dat")), lines);
    // Past the first block the check still reads the whole file.
    const QByteArray longUtf8 = "\xEF\xBB\xBF" + QByteArray("a\n").repeated(3 << 19) + "\xEA\xB0\x80";
    EXPECT_EQ(readBack(longUtf8).last(), u"가"_s);
}

// Random lines of valid and broken CP949 over several read blocks must read as Qt decodes the whole file.
TEST_F(TextFileTest, MatchesWholeFileDecodingAcrossBlocks)
{
    static const char kBytes[] = "\x81\x8c\xb0\xc7\xc9\xfe\xff\x80\xa1\x63\x41\x7a\x20\x09\\.0";
    QRandomGenerator random(7);
    QByteArray bytes;
    while (bytes.size() < 3 * (1 << 20)) {
        const int length = random.bounded(0, 200);
        for (int i = 0; i < length; ++i)
            bytes.append(kBytes[random.bounded(int(sizeof kBytes) - 1)]);
        bytes.append(random.bounded(2) ? "\r\n" : "\n");
    }
    QStringDecoder decoder("windows-949");
    QStringList expected = QString(decoder(bytes)).split(u'\n');
    expected.removeLast();
    for (QString &line : expected) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    EXPECT_EQ(readBack(bytes), expected);
}

// Every two-byte sequence, alone on a line, after a syllable and before ASCII, reads as the
// decoder gives it: plain pairs go through a learnt table, the rest through the decoder.
TEST_F(TextFileTest, EveryPairReadsAsTheDecoderGivesIt)
{
    QByteArray bytes;
    QStringList expected;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0x30; trail <= 0xFF; ++trail) {
            const QByteArray line = QByteArray("\xb0\xa1") + char(lead) + char(trail) + " x";
            QStringDecoder decoder("windows-949", QStringConverter::Flag::Stateless);
            expected << decoder.decode(line);
            bytes += line + "\r\n";
        }
    }
    EXPECT_EQ(readBack(bytes), expected);
}

// Lines up to the limit are read whole across read blocks; a longer one is passed over, and the
// lines after it are still read.
TEST_F(TextFileTest, ReadsLinesLongerThanTheReadBlock)
{
    QByteArray longLine;
    for (int i = 0; i < 524287; ++i)
        longLine.append(i % 3 ? "\xb0\xa1" : "ab");
    const QByteArray tooLong = longLine + "a";
    ASSERT_EQ(longLine.size() + 2, kMaxLineBytes) << "with its CR, one byte under the limit";
    const QStringList lines = readBack("first\r\n" + longLine + "\r\n" + tooLong + "\r\nlast");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(1).count(u'가'), 349524);
    EXPECT_EQ(lines.at(2), "last");
}

TEST_F(TextFileTest, WritesCp949WhenEveryCharacterFits)
{
    const QStringList lines = {u"D:\\사진\\똠방각하.jpg\t똠"_s, u""_s, u"plain"_s};
    const FileResult result = writeLines(path("out.dat"), lines);
    ASSERT_TRUE(result.ok) << qPrintable(result.error);
    EXPECT_TRUE(result.error.isEmpty());
    const QByteArray bytes = readBytes(path("out.dat"));
    EXPECT_EQ(bytes, QStringEncoder("windows-949")(lines.join(u"\r\n") + u"\r\n"_s));
    EXPECT_TRUE(bytes.contains("\x8c\x63"));
    EXPECT_EQ(readLines(path("out.dat")), lines);
}

TEST_F(TextFileTest, FallsBackToUtf8WhenCp949CannotHoldText)
{
    // The emoji comes after more than one write chunk, so CP949 bytes were already written.
    QStringList lines(300000, u"가나다 abc"_s);
    lines.append(u"😀 ภาษาไทย 똠"_s);
    int calls = 0;
    const FileResult result = writeTextFileAtomically(path("out.dat"), [&](LineSink &sink) {
        ++calls;
        for (const QString &line : lines) {
            if (!sink.writeLine(line))
                return;
        }
    });
    ASSERT_TRUE(result.ok) << qPrintable(result.error);
    EXPECT_EQ(calls, 2);
    const QByteArray bytes = readBytes(path("out.dat"));
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.mid(3), (lines.join(u"\r\n") + u"\r\n"_s).toUtf8());
    EXPECT_EQ(readLines(path("out.dat")), lines);
    EXPECT_EQ(folderEntries(), QStringList({"out.dat"}));
}

TEST_F(TextFileTest, FailedWriteKeepsTheOldFile)
{
    const QString old = writeBytes("old\r\n", QStringLiteral("keep.dat"));
    FileResult result = writeLines(path("missing/keep.dat"), {"x"});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(path("missing/keep.dat"))) << qPrintable(result.error);

    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder"));
    result = writeLines(path("folder"), {"x"});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(QFileInfo(path("folder")).isDir());

    // A file size limit makes the writes themselves fail, as a full disc would, even for root.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    result = writeLines(old, QStringList(100000, u"가나다라마바사"_s));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(old)) << qPrintable(result.error);
    EXPECT_EQ(readBytes(old), "old\r\n");
    EXPECT_EQ(folderEntries(), QStringList({"folder", "keep.dat"}));
}

TEST_F(TextFileTest, ScriptFileFunctions)
{
    QString line;
    EXPECT_EQ(FileOpen(path("missing.dat")), -1);
    EXPECT_EQ(FileOpen(m_dir.path()), -1);
    EXPECT_EQ(FileRead(4711, line), -1);
    EXPECT_EQ(FileClose(4711), -1);

    const int first = FileOpen(writeBytes("a\r\n\r\nb", "a.dat"));
    const int second = FileOpen(writeBytes("\xc7\xd1", "b.dat"));
    ASSERT_GE(first, 1);
    ASSERT_GE(second, 1);
    EXPECT_NE(first, second);
    EXPECT_EQ(FileRead(second, line), 1);
    EXPECT_EQ(line, u"한"_s);
    for (int expected : {1, 0, 1, -1})
        EXPECT_EQ(FileRead(first, line), expected);
    EXPECT_EQ(FileClose(first), 1);
    EXPECT_EQ(FileRead(first, line), -1);
    EXPECT_EQ(FileClose(second), 1);

    EXPECT_TRUE(FileDelete(path("a.dat")));
    EXPECT_FALSE(QFile::exists(path("a.dat")));
    EXPECT_FALSE(FileDelete(path("a.dat")));
    EXPECT_EQ(CreateDirectory(path("new")), 1);
    EXPECT_EQ(CreateDirectory(path("new")), -1);
    EXPECT_EQ(CreateDirectory(path("a/b")), -1);
    EXPECT_FALSE(FileDelete(path("new")));
    EXPECT_TRUE(DirectoryExists(path("new")));
    EXPECT_FALSE(DirectoryExists(path("b.dat")));
}

TEST_F(TextFileTest, CurrentDirectory)
{
    const QString saved = QDir::currentPath();
    const QString root = QDir(m_dir.path()).canonicalPath();
    ASSERT_TRUE(QDir(root).mkdir("sub"));
    EXPECT_EQ(ChangeDirectory(root + u"/sub"_s), 1);
    EXPECT_EQ(GetCurrentDirectory(), root + u"/sub"_s);
    EXPECT_EQ(ChangeDirectory(u".."_s), 1);
    EXPECT_EQ(GetCurrentDirectory(), root);
    EXPECT_EQ(ChangeDirectory(path("missing")), -1);
    EXPECT_EQ(ChangeDirectory(u"/"_s), 1);
    EXPECT_EQ(GetCurrentDirectory(), "/");
    QDir::setCurrent(saved);
}

TEST(PathsTest, WithoutTrailingSeparator)
{
    EXPECT_EQ(withoutTrailingSeparator("/media/kim/"), "/media/kim");
    EXPECT_EQ(withoutTrailingSeparator("/media/kim"), "/media/kim");
    EXPECT_EQ(withoutTrailingSeparator("/"), "");
    EXPECT_EQ(withoutTrailingSeparator(""), "");
}

} // namespace
