// The results search: every row whose path below its disc's root or whose name the query finds,
// with its line, against a plain scan of the files read line by line as the loader reads them,
// with the same rules; names a Mac wrote (NFD), initial consonants, any case, words and filters.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "files/textcodec.h"
#include "files/textfile.h"
#include "search/querymatch.h"
#include "search/resultsearch.h"
#include "search/searchindex.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString nfd(const QString &text)
{
    return text.normalized(QString::NormalizationForm_D);
}

// Sets an open file's modification time some days back, so that the index trusts it.
void backdate(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime);
}

QString belowRoot(const QString &path, const QString &root)
{
    if (root.isEmpty() || !path.startsWith(root))
        return path;
    return path.mid(root.size() - (root.endsWith(u'/') || root.endsWith(u'\\') ? 1 : 0));
}

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
    [[nodiscard]] std::vector<ResultDisc> discsOf(const QStringList &files) const
    {
        std::vector<ResultDisc> discs;
        for (const QString &file : files)
            discs.push_back({file, file, {}, u"01"_s});
        return discs;
    }
    // "disc:line:path|name" for each row found.
    static QStringList rowsOf(const ResultStore &store)
    {
        QStringList rows;
        for (qsizetype row = 0; row < store.rowCount(); ++row)
            rows << u"%1:%2:%3|%4%5"_s.arg(store.discOf(row))
                        .arg(store.lineOf(row))
                        .arg(store.pathOf(row), store.nameOf(row), store.isFolder(row) ? u"/"_s : QString());
        return rows;
    }
    QStringList found(const std::vector<ResultDisc> &discs, const ResultQuery &query) const
    {
        ResultStore store;
        store.reset(discs);
        HookContext hooks;
        searchResults(hooks, store, m_dir.path(), query);
        return rowsOf(store);
    }
    QStringList found(const QStringList &files, const QString &text) const
    {
        return found(discsOf(files), parseQuery(text));
    }
    // The rows a plain scan with the same rules gives: the loader's reader, the decoded fields
    // composed and folded whole, the same patterns; sizes and dates are left to the table.
    QStringList reference(const std::vector<ResultDisc> &discs, const ResultQuery &query) const
    {
        QStringList rows;
        const QueryMatcher matcher(query);
        for (size_t disc = 0; disc < discs.size(); ++disc) {
            TextFileReader reader;
            QString line, root;
            if (!matcher.discPasses(discs[disc].label, discs[disc].category) ||
                !reader.open(m_dir.filePath(discs[disc].file)))
                continue;
            for (qint64 number = 1; reader.readLine(line) >= 1; ++number) {
                const QStringList fields = line.split(u'\t');
                root = number == 1 ? fields[0] : root;
                const QString path = belowRoot(fields[0], root);
                const QString name = fields.value(1);
                const bool folder = fields.value(2) == u"folder.bmp";
                if (matcher.holds(matcher.wordsIn(codePoints(comparedForm(path, query.caseRule))),
                                  codePoints(comparedForm(name, query.caseRule))) &&
                    matcher.kindPasses(codePoints(comparedForm(name, CaseRule::Any)), folder))
                    rows << u"%1:%2:%3|%4%5"_s.arg(disc).arg(number).arg(composed(path), composed(name),
                                                                         folder ? u"/"_s : QString());
            }
        }
        return rows;
    }
    QTemporaryDir m_dir;
};

// One disc written as the program writes it, with its sizes and dates in a side file.
struct DiscRow {
    DiscRow(QString folder, QString name, bool isFolder = false, qint64 size = FileStat::kUnknown,
            QString date = {})
        : folder(std::move(folder)), name(std::move(name)), isFolder(isFolder), size(size),
          date(std::move(date))
    {
    }
    QString folder; // below the root, "" for the root's own files
    QString name;
    bool isFolder;
    qint64 size;
    QString date; // yyyy-MM-dd, local time
};

void writeDisc(const QString &dataFolder, const QString &file, const QString &root,
               const std::vector<DiscRow> &rows, bool withFacts)
{
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    const auto add = [&](const QString &path, const QString &name, bool folder, int level,
                         const DiscRow *row) {
        const qint64 r = tree.InsertRow(0);
        tree.SetItem(r, TreeColumn::fullname, path);
        tree.SetItem(r, TreeColumn::name, name);
        tree.SetItem(r, TreeColumn::bmpname, folder ? u"folder.bmp"_s : u"line.bmp"_s);
        tree.SetItem(r, TreeColumn::selectedbmpname, folder ? u"foldopen.bmp"_s : u"line.bmp"_s);
        for (int column :
             {TreeColumn::selected, TreeColumn::open, TreeColumn::children, TreeColumn::siblings})
            tree.SetItem(r, column, qint64(0));
        tree.SetItem(r, TreeColumn::level, qint64(level));
        FileStat stat;
        if (row) {
            stat.size = row->size;
            if (!row->date.isEmpty())
                stat.mtime =
                    QDate::fromString(row->date, u"yyyy-MM-dd"_s).startOfDay().toSecsSinceEpoch() + 3600;
        }
        facts.append(stat);
    };
    add(root, root.section(u'/', -2, -2), true, 1, nullptr);
    for (const DiscRow &row : rows) {
        const int level = 2 + int(row.folder.count(u'/'));
        if (row.isFolder)
            add(root + row.folder + row.name + u'/', row.name, true, level, &row);
        else
            add(root + row.folder, row.name, false, level, &row);
    }
    const QString path = dataFolder + u'/' + file;
    ASSERT_TRUE(writeCatalogue(tree, path).ok);
    if (withFacts) {
        ASSERT_TRUE(SideFiles::write(SideFiles::pathFor(path), tree, facts).ok);
    }
    backdate(path);
}

} // namespace

TEST_F(ResultSearch, PathsBelowTheRootAndNamesOnly)
{
    for (const bool old : {false, true}) {
        // 똠 is 8C 63 in CP949, and 63 is "c"; the disc search would also match "bmp" in every line.
        write("cd_a.dat",
              "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
              "E:\\Memo\\\tMemo\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
              "E:\\Memo\\\t\x8C\x63.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n"
              "E:\\\tmemo.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n"
              // A word's bytes in the picture columns only.
              "E:\\\tnote.txt\tMEMO.bmp\tfolder.bmp\t0\t0\t0\t0\t2\r\n"
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
        const QStringList memo = {u"0:1:\\|Memo 😀"_s, u"2:2:\\Memo\\|Memo/"_s, u"2:3:\\Memo\\|똠.txt"_s,
                                  u"2:4:\\|memo.txt"_s};
        const struct {
            QString text;
            QStringList rows;
        } cases[] = {
            {u"Memo"_s, memo},
            {u"memo"_s, memo}, // any case
            {u"c"_s, {}},
            {u"똠"_s, {u"2:3:\\Memo\\|똠.txt"_s}},
            {u"😀"_s, {u"0:1:\\|Memo 😀"_s}},
            {u"bmp"_s, {}},
            {u"folder"_s, {}},            // only in the picture columns of the folders
            {u"e:\\"_s, {}},              // the disc's own path is no part of its rows' paths
            {u"E:"_s, {u"2:1:\\|E:/"_s}}, // the disc's own row, by its name
            {u"\\Memo\\\tMemo"_s, {u"2:2:\\Memo\\|Memo/"_s, u"2:3:\\Memo\\|똠.txt"_s}}, // two words
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
    const QStringList words = {u"사진"_s, u"문서 19"_s, u"a"_s, u"B"_s, u"똠"_s, u"ab"_s};
    QByteArray bytes = "D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n";
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
    const std::vector<ResultDisc> discs = discsOf({u"cd_big.dat"_s});
    for (const QString &text :
         {u"사진"_s, u"문서 19"_s, u"b7"_s, u"똠1"_s, u"\\a\\"_s, u"ㅅㅈ 7"_s, u"-ab 똠"_s}) {
        const QStringList expected = reference(discs, parseQuery(text));
        EXPECT_FALSE(expected.isEmpty());
        EXPECT_EQ(found(discs, parseQuery(text)), expected) << text.toStdString();
    }
}

// What a Korean user types finds what the tree shows: names a Mac wrote (NFD), initial
// consonants, any case, words in any order, phrases, exclusions and filters; with the index's
// partial reads (the files are old) and without the index, the same rows as the plain scan.
TEST_F(ResultSearch, QueriesFindWhatAUserExpects)
{
    writeDisc(m_dir.path(), u"cd_A.dat"_s, u"/media/kim/DISC_A/"_s,
              {{"", nfd(u"맥에서 복사"_s), true},
               {nfd(u"맥에서 복사/"_s), nfd(u"해변.jpg"_s), false, 2 << 20, "2019-07-01"},
               {nfd(u"맥에서 복사/"_s), nfd(u"바다 사진.JPG"_s), false, 150 << 20, "2019-08-02"},
               {"", u"풍경"_s, true},
               {u"풍경/"_s, u"서울 1.jpg"_s, false, 3 << 10, "2004-07-15"},
               {u"풍경/"_s, u"ReadMe.md"_s, false, 2 << 10, "2005-03-01"},
               {"", u"README.TXT"_s, false, 1 << 10, "2004-01-01"},
               {"", u"제주도 2004.jpg"_s, false, 5 << 20, "2004-06-30"},
               {"", u"social media.doc"_s, false, 100, "2006-12-31"},
               {"", u"임시 사진.tmp"_s, false, 10, "2019-01-01"}},
              true);
    writeDisc(m_dir.path(), u"cd_B.dat"_s, u"/media/kim/DISC_B/"_s,
              {{"", u"사진"_s, true},
               {u"사진/"_s, u"사지.txt"_s, false},
               {"", u"사시미.hwp"_s, false},
               {"", u"삿갓.TXT"_s, false},
               {"", u"동영상"_s, true}},
              false);
    const std::vector<ResultDisc> discs = {{u"cd_A.dat"_s, u"DISC_A"_s, {}, u"04"_s},
                                           {u"cd_B.dat"_s, u"DISC_B"_s, {}, u"02"_s}};
    const struct {
        QString text;
        QStringList names; // disc label's last letter and name, in order
        qint64 unknown = 0;
        bool composing = false;
        CaseRule rule = CaseRule::Any;
    } cases[] = {
        {u"해변"_s, {u"A 해변.jpg"_s}},
        {u"바다"_s, {u"A 바다 사진.JPG"_s}},
        {u"사진"_s, {u"A 바다 사진.JPG"_s, u"A 임시 사진.tmp"_s, u"B 사진"_s, u"B 사지.txt"_s}},
        {u"ㅅㅈ"_s, {u"A 바다 사진.JPG"_s, u"A 임시 사진.tmp"_s, u"B 사진"_s, u"B 사지.txt"_s}},
        {u"ㅁㅇㅅ"_s, {u"A 맥에서 복사"_s, u"A 해변.jpg"_s, u"A 바다 사진.JPG"_s}},
        {u"제주ㄷ"_s, {u"A 제주도 2004.jpg"_s}},
        {u"ㅈㅈ 2004"_s, {u"A 제주도 2004.jpg"_s}},
        {u"readme"_s, {u"A ReadMe.md"_s, u"A README.TXT"_s}},
        {u"README"_s, {u"A README.TXT"_s}, 0, false, CaseRule::Exact},
        {u"서울 풍경"_s, {u"A 서울 1.jpg"_s}},
        {u"\"서울 풍경\""_s, {}},
        {u"사진 -임시"_s, {u"A 바다 사진.JPG"_s, u"B 사진"_s, u"B 사지.txt"_s}},
        {u"media"_s, {u"A social media.doc"_s}},
        {u"종류:사진 날짜:2019"_s, {u"A 해변.jpg"_s, u"A 바다 사진.JPG"_s}},
        {u"type:pictures date:2004..2006"_s, {u"A 서울 1.jpg"_s, u"A 제주도 2004.jpg"_s}},
        // Left out and counted: the rows of the disc without sizes, and A's folders.
        {u"크기:>100MB"_s, {u"A 바다 사진.JPG"_s}, 9},
        {u"size:1KB..2KB"_s, {u"A ReadMe.md"_s, u"A README.TXT"_s}, 9},
        {u"날짜:2004-07 종류:jpg"_s, {u"A 서울 1.jpg"_s}},
        {u"종류:폴더"_s,
         {u"A DISC_A"_s, u"A 맥에서 복사"_s, u"A 풍경"_s, u"B DISC_B"_s, u"B 사진"_s, u"B 동영상"_s}},
        {u"종류:문서 사"_s, {u"B 사지.txt"_s, u"B 사시미.hwp"_s}},
        {u"구분:데이타 사진"_s, {u"B 사진"_s, u"B 사지.txt"_s}},
        {u"disc:disc_a 사진"_s, {u"A 바다 사진.JPG"_s, u"A 임시 사진.tmp"_s}},
        // The syllable being composed stands for what it can become.
        {u"사지"_s, {u"A 바다 사진.JPG"_s, u"A 임시 사진.tmp"_s, u"B 사진"_s, u"B 사지.txt"_s}, 0, true},
        {u"사지"_s, {u"B 사지.txt"_s}},
        {u"삿"_s, {u"B 사시미.hwp"_s, u"B 삿갓.TXT"_s}, 0, true},
        {u"도"_s, {u"A 제주도 2004.jpg"_s, u"B 동영상"_s}, 0, true},
        {u"도"_s, {u"A 제주도 2004.jpg"_s}},
    };
    for (const bool indexed : {true, false}) {
        SearchIndex::setEnabled(indexed);
        for (const auto &c : cases) {
            ResultQuery query = parseQuery(c.text, c.composing);
            query.caseRule = c.rule;
            ResultStore store;
            store.reset(discs);
            HookContext hooks;
            const ResultsOutcome outcome = searchResults(hooks, store, m_dir.path(), query);
            QStringList names;
            for (qsizetype row = 0; row < store.rowCount(); ++row)
                names << store.discs()[size_t(store.discOf(row))].label.right(1) + u' ' + store.nameOf(row);
            EXPECT_EQ(names.join(u'\n').toStdString(), c.names.join(u'\n').toStdString())
                << c.text.toStdString() << " indexed " << indexed;
            EXPECT_EQ(outcome.unknownFacts, c.unknown) << c.text.toStdString();
            if (!query.hasFactFilters()) {
                EXPECT_EQ(rowsOf(store).join(u'\n').toStdString(),
                          reference(discs, query).join(u'\n').toStdString())
                    << c.text.toStdString();
            }
        }
    }
    SearchIndex::setEnabled(true);
}

// Random catalogues of a few thousand rows (CP949 and UTF-8, names composed or decomposed, in
// random case), old enough for the index to let the search read them in parts, and random
// queries of every kind: the rows are those of the plain scan.
TEST_F(ResultSearch, RandomQueriesAnswerAsThePlainScan)
{
    QRandomGenerator random(25);
    const QStringList words = {u"사진"_s,    u"해변"_s, u"바다"_s,   u"제주도"_s, u"README"_s, u"photo"_s,
                               u"문서 19"_s, u"똠방"_s, u"Ελλάδα"_s, u"café"_s,   u"삿갓"_s,   u"와인"_s,
                               u"2004"_s,    u"닭"_s,   u"달걀"_s,   u"ß"_s,      u"K"_s};
    const auto variant = [&](QString text) {
        switch (random.bounded(4)) {
        case 0:
            return nfd(text);
        case 1:
            return text.toUpper();
        case 2:
            return text.toLower();
        default:
            return text;
        }
    };
    std::vector<ResultDisc> discs;
    QStringList names;
    for (int d = 0; d < 4; ++d) {
        const bool utf8 = d % 2 == 0;
        QByteArray bytes = utf8 ? "\xEF\xBB\xBF" : "";
        const QString root = u"/media/u/D%1/"_s.arg(d);
        QStringList lines = {root + u"\tD%1\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1"_s.arg(d)};
        QString folder = root;
        for (int i = 0; i < 3000; ++i) {
            QString name = variant(words[random.bounded(int(words.size()))]);
            if (random.bounded(3) == 0)
                name += u' ' + variant(words[random.bounded(int(words.size()))]);
            name += random.bounded(2) ? u".jpg"_s : u".TXT"_s;
            names << name;
            if (i % 9 == 0)
                folder = root + variant(words[random.bounded(int(words.size()))]) + u'/';
            lines << folder + u'\t' + name + u"\tline.bmp\tline.bmp\t0\t0\t0\t0\t3"_s;
        }
        QStringEncoder encoder = utf8 ? QStringEncoder(QStringEncoder::Utf8) : QStringEncoder(kCp949Name);
        for (const QString &line : lines) {
            QByteArray encoded = encoder.encode(line);
            if (encoder.hasError()) {
                encoder.resetState();
                continue; // a name CP949 cannot hold
            }
            bytes += encoded + "\r\n";
        }
        const QString file = u"cd_%1.dat"_s.arg(d);
        write(file, bytes);
        backdate(m_dir.filePath(file));
        discs.push_back({file, u"D%1"_s.arg(d), {}, u"0%1"_s.arg(d % 4 + 1)});
    }
    const auto piece = [&] {
        const QString name = composed(names[random.bounded(int(names.size()))]);
        const int from = random.bounded(int(name.size()));
        return variant(name.mid(from, random.bounded(1, 6)));
    };
    const auto initials = [&] {
        QString text;
        for (const QChar c : composed(names[random.bounded(int(names.size()))]).left(3)) {
            const int initial = Hangul::initialOf(c.unicode());
            text += initial >= 0 ? QString(QStringLiteral("ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ")[initial])
                                 : QString(c);
        }
        return text;
    };
    qsizetype rows = 0;
    for (int round = 0; round < 150; ++round) {
        QStringList parts;
        for (int p = random.bounded(1, 4); p > 0; --p) {
            switch (random.bounded(7)) {
            case 0:
                parts << u'-' + piece();
                break;
            case 1:
                parts << u'"' + piece() + u'"';
                break;
            case 2:
                parts << initials();
                break;
            case 3:
                parts << (random.bounded(2) ? u"종류:사진"_s : u"type:txt,폴더"_s);
                break;
            case 4:
                parts << (random.bounded(2) ? u"구분:0%1"_s.arg(random.bounded(1, 5))
                                            : u"disc:d%1"_s.arg(random.bounded(4)));
                break;
            default:
                parts << piece();
            }
        }
        const QString text = parts.join(u' ');
        ResultQuery query = parseQuery(text, random.bounded(3) == 0);
        query.caseRule = random.bounded(4) == 0 ? CaseRule::Exact : CaseRule::Any;
        const QStringList expected = reference(discs, query);
        rows += expected.size();
        ASSERT_EQ(found(discs, query).join(u'\n').toStdString(), expected.join(u'\n').toStdString())
            << text.toStdString() << " composing " << query.composing << " exact "
            << (query.caseRule == CaseRule::Exact);
    }
    EXPECT_GT(rows, 2000); // the queries find rows, not only misses
}

// Rows taken from a search in batches, as the window takes them, are the rows of one search.
TEST_F(ResultSearch, RowsTakenInBatchesAreTheSameRows)
{
    writeDisc(
        m_dir.path(), u"cd_A.dat"_s, u"/media/kim/A/"_s,
        {{"", u"사진"_s, true}, {u"사진/"_s, u"a.jpg"_s}, {u"사진/"_s, u"b.jpg"_s}, {"", u"사진 c.jpg"_s}},
        false);
    writeDisc(m_dir.path(), u"cd_B.dat"_s, u"D:\\"_s, {{"", u"사진.txt"_s}}, false);
    // A folder whose rows lie in several read blocks, so in several batches.
    std::vector<DiscRow> many = {{"", u"큰 사진"_s, true}};
    for (int i = 0; i < 40000; ++i)
        many.push_back({u"큰 사진/"_s, u"사진 %1 a long name for a long line.jpg"_s.arg(i)});
    many.push_back({"", u"마지막 사진.jpg"_s});
    writeDisc(m_dir.path(), u"cd_C.dat"_s, u"/media/kim/C/"_s, many, false);
    // The large disc first: this thread takes it, in batches (a helper takes discs whole).
    const std::vector<ResultDisc> discs = discsOf({u"cd_C.dat"_s, u"cd_A.dat"_s, u"cd_B.dat"_s});
    ResultStore whole;
    whole.reset(discs);
    HookContext hooks;
    searchResults(hooks, whole, m_dir.path(), u"사진"_s);
    ResultStore source, shown;
    int batches = 0;
    source.reset(discs);
    shown.reset(discs);
    searchResults(hooks, source, m_dir.path(), u"사진"_s, [&](qsizetype, qsizetype) {
        shown.appendRows(source.takeRows()); // after every block, as the runner hands them on
        ++batches;
    });
    shown.appendRows(source.takeRows());
    EXPECT_EQ(rowsOf(shown).join(u'\n').toStdString(), rowsOf(whole).join(u'\n').toStdString());
    EXPECT_EQ(shown.discsWithRows(), 3);
    EXPECT_EQ(rowsOf(whole).size(), 5 + 40002);
    // The folder is kept once however many batches its rows came in.
    shown.squeeze();
    whole.squeeze();
    EXPECT_LE(shown.bytesUsed(), whole.bytesUsed()) << batches;
    EXPECT_EQ(whole.storedPathOf(40002 + 1), u"/media/kim/A/사진/"_s);
}
