// The results search: every row whose path or name holds the text, with its line, against the
// files read line by line as the loader reads them.

#include "catalogue/layouts.h"
#include "files/textcodec.h"
#include "files/textfile.h"
#include "search/resultsearch.h"
#include "support/searchedresults.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class ResultSearch : public ::testing::Test {
  protected:
    // Old files are those every saved disc soon is: the index trusts them and reads them in parts.
    void write(const QString &file, const QByteArray &bytes, bool old = false) const
    {
        QFile out(m_dir.filePath(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        out.flush();
        if (old)
            out.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
    }
    // "disc:line:path|name" for each row found.
    QStringList found(const QStringList &files, const QString &text) const
    {
        const ResultStore store = searchedResults(m_dir.path(), files, text);
        QStringList rows;
        for (qsizetype row = 0; row < store.rowCount(); ++row)
            rows << u"%1:%2:%3|%4%5"_s.arg(store.discOf(row))
                        .arg(store.lineOf(row))
                        .arg(store.pathOf(row), store.nameOf(row), store.isFolder(row) ? u"/"_s : QString());
        return rows;
    }
    // The rows the loader's reader gives, matched by decoded path and name.
    QStringList reference(const QString &file, const QString &text) const
    {
        TextFileReader reader;
        QString line;
        QStringList rows;
        if (!reader.open(m_dir.filePath(file)))
            return rows;
        for (qint64 number = 1; reader.readLine(line) >= 1; ++number) {
            const QStringList fields = line.split(u'\t');
            const QString name = fields.value(1);
            if (fields[0].contains(text) || name.contains(text))
                rows << u"0:%1:%2|%3%4"_s.arg(number).arg(
                    fields[0], name, fields.value(2) == u"folder.bmp" ? u"/"_s : QString());
        }
        return rows;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ResultSearch, PathsAndNamesOnly)
{
    for (const bool old : {false, true}) {
        // 똠 is 8C 63 in CP949, and 63 is "c"; the disc search would also match "bmp" in every line.
        write("cd_a.dat",
              "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
              "E:\\Memo\\\tMemo\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
              "E:\\Memo\\\t\x8C\x63.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n"
              "E:\\\tmemo.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n"
              // The text's bytes in a picture column, in another case in the name.
              "E:\\\tmemo2.txt\tMEMO.bmp\tfolder.bmp\t0\t0\t0\t0\t2\r\n"
              "\r\n"
              "E:\\\tMemo after the end\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n",
              old);
        write("cd_b.dat",
              "\xEF\xBB\xBF"
              "F:\\\tMemo 😀\tline.bmp\tline.bmp\t0\t0\t0\t0\t1\n",
              old);
        write("cd_c.dat", "", old);
        const QStringList files = {u"cd_b.dat"_s, u"missing.dat"_s, u"cd_a.dat"_s, u"../cd_a.dat"_s,
                                   u"cd_c.dat"_s};
        const struct {
            QString text;
            QStringList rows;
        } cases[] = {
            {u"Memo"_s, {u"0:1:F:\\|Memo 😀"_s, u"2:2:E:\\Memo\\|Memo/"_s, u"2:3:E:\\Memo\\|똠.txt"_s}},
            {u"memo"_s, {u"2:4:E:\\|memo.txt"_s, u"2:5:E:\\|memo2.txt"_s}},
            {u"c"_s, {}},
            {u"똠"_s, {u"2:3:E:\\Memo\\|똠.txt"_s}},
            {u"😀"_s, {u"0:1:F:\\|Memo 😀"_s}},
            {u"bmp"_s, {}},
            {u"folder"_s, {}}, // only in the picture columns of the folders
            {u"MEMO"_s, {}},   // only in other cases
            {u"mEmo"_s, {}},
            {u"\\Memo\\\tMemo"_s, {}},
            {u""_s, {}},
        };
        for (const auto &c : cases)
            EXPECT_EQ(found(files, c.text), c.rows) << c.text.toStdString() << (old ? " (old files)" : "");
    }
}

TEST_F(ResultSearch, SameRowsAsTheReaderAcrossBlocks)
{
    // Some megabytes of CP949 rows, so that lines and folders straddle the read blocks.
    QRandomGenerator random(7);
    const QStringList words = {u"사진"_s, u"문서 19"_s, u"a"_s, u"b"_s, u"똠"_s, u"ab"_s};
    QByteArray bytes;
    QString folder;
    for (int i = 0; i < 60000; ++i) {
        if (i % 7 == 0)
            folder = u"D:\\%1\\%2\\"_s.arg(words[random.bounded(6)]).arg(i);
        const QString name = words[random.bounded(6)] + QString::number(random.bounded(1000));
        QStringEncoder encoder(kCp949Name);
        bytes += QByteArray(encoder.encode(folder + u'\t' + name));
        bytes += "\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
    }
    write("cd_big.dat", bytes);
    for (const QString &text : {u"사진"_s, u"문서 19"_s, u"b7"_s, u"똠1"_s, u"\\a\\"_s}) {
        const QStringList expected = reference(u"cd_big.dat"_s, text);
        EXPECT_FALSE(expected.isEmpty());
        EXPECT_EQ(found({u"cd_big.dat"_s}, text), expected) << text.toStdString();
    }
}
