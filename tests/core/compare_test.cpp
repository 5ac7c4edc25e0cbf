// The comparisons: a rescan's change list and the compare of two trees, the duplicate groups
// across saved discs, and a folder checked against the catalogue.

#include "catalogue/contenthash.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "compare/duplicates.h"
#include "compare/filekeys.h"
#include "compare/foldercheck.h"
#include "compare/treediff.h"
#include "files/fileops.h"
#include "scanner/drivescan.h"
#include "support/plannedtree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const std::vector<PlannedRow> kSaved = {
    {1, u"R/"_s},
    {2, u"a/"_s},
    {3, u"같음.txt"_s, 10, 1000},
    {3, u"old.txt"_s, 20, 1000},
    {3, u"grows.txt"_s, 30, 1000},
    {3, u"touched.txt"_s, 40, 1000},
    {2, u"gone/"_s},
    {3, u"in gone.txt"_s, 5, 1000},
    {2, u"top.txt"_s, 50, 1000},
};

QString describe(const TreeDiff &diff)
{
    QStringList out;
    for (size_t i = 0; i < diff.rows.size(); ++i) {
        const DiffRow &row = diff.rows[i];
        const QString kind = row.kind == DiffKind::OnlyFirst    ? u"-"_s
                             : row.kind == DiffKind::OnlySecond ? u"+"_s
                                                                : u"~"_s;
        QString what;
        if (row.changes & DiffChange::Size)
            what += u's';
        if (row.changes & DiffChange::Date)
            what += u'd';
        if (row.changes & DiffChange::Content)
            what += u'c';
        out << kind + diff.paths[i] + what;
    }
    return out.join(u' ');
}

// Sets row `row`'s content hash from a small number, for cases that tell contents apart.
void hashRow(TreeFacts &facts, qint64 row, quint64 content)
{
    setContentHash(facts, row, {content, ~content});
}

} // namespace

// The change list of a rescan: the saved tree against the tree scanned now.
TEST(ChangeList, AddedRemovedChangedAndRenamed)
{
    struct Case {
        const char *what;
        std::function<void(std::vector<PlannedRow> &)> edit;
        std::function<void(TreeFacts &saved, TreeFacts &now)> hashes;
        const char16_t *expected;
    };
    const Case cases[] = {
        {"nothing changed", [](auto &) {}, {}, u""},
        {"a file added",
         [](auto &t) {
             t.insert(t.begin() + 3, {3, u"new.txt"_s, 7, 2000});
         },
         {},
         u"+a/new.txt"},
        {"a file removed", [](auto &t) { t.erase(t.begin() + 3); }, {}, u"-a/old.txt"},
        {"a size changed", [](auto &t) { t[4].size = 31; }, {}, u"~a/grows.txts"},
        {"a date changed", [](auto &t) { t[5].mtime = 5000; }, {}, u"~a/touched.txtd"},
        {"a date two seconds off, as FAT keeps it", [](auto &t) { t[5].mtime = 1002; }, {}, u""},
        {"a rename is a removal and an addition",
         [](auto &t) { t[3].name = u"renamed.txt"_s; },
         {},
         u"-a/old.txt +a/renamed.txt"},
        {"a folder removed with what it held",
         [](auto &t) { t.erase(t.begin() + 6, t.begin() + 8); },
         {},
         u"-gone/ -gone/in gone.txt"},
        {"a file becomes a folder of its name",
         [](auto &t) { t[8].name = u"top.txt/"_s; },
         {},
         u"-top.txt +top.txt/"},
        {"a name decomposed is the same name",
         [](auto &t) { t[2].name = t[2].name.normalized(QString::NormalizationForm_D); },
         {},
         u""},
        {"another root name matches", [](auto &t) { t[0].name = u"STICK2/"_s; }, {}, u""},
        {"content changed keeping size and date", [](auto &) {},
         [](TreeFacts &saved, TreeFacts &now) {
             hashRow(saved, 4, 1);
             hashRow(now, 4, 2);
             hashRow(saved, 5, 5);
             hashRow(now, 5, 5);
         },
         u"~a/old.txtc"},
        {"a hash on one side only tells nothing", [](auto &) {},
         [](TreeFacts &saved, TreeFacts &) { hashRow(saved, 4, 1); }, u""},
    };
    for (const Case &c : cases) {
        std::vector<PlannedRow> now = kSaved;
        c.edit(now);
        RecordSet savedTree(d_dir_tree()), nowTree(d_dir_tree());
        TreeFacts savedFacts, nowFacts;
        buildTree(kSaved, savedTree, savedFacts);
        buildTree(now, nowTree, nowFacts);
        if (c.hashes)
            c.hashes(savedFacts, nowFacts);
        const TreeDiff diff = diffTrees({&savedTree, &savedFacts}, {&nowTree, &nowFacts});
        EXPECT_EQ(describe(diff).toStdString(), QString::fromUtf16(c.expected).toStdString()) << c.what;
        EXPECT_EQ(diff.onlyFirst + diff.onlySecond + diff.changed, qint64(diff.rows.size())) << c.what;
    }
}

TEST(ChangeList, WithoutSizesOnlyPresenceCounts)
{
    std::vector<PlannedRow> now = kSaved;
    now[4].size = 99;
    RecordSet savedTree(d_dir_tree()), nowTree(d_dir_tree());
    TreeFacts savedFacts, nowFacts;
    buildTree(kSaved, savedTree, savedFacts);
    buildTree(now, nowTree, nowFacts);
    const TreeDiff diff = diffTrees({&savedTree, nullptr}, {&nowTree, &nowFacts});
    EXPECT_FALSE(diff.factsCompared);
    EXPECT_TRUE(diff.rows.empty());
}

TEST(ChangeList, ThousandsOfRowsPairOffInOrder)
{
    // Two folders of 3,000 files each, one file moved between them and one added at the end.
    std::vector<PlannedRow> saved = {{1, u"R/"_s}};
    for (const char16_t *folder : {u"a/", u"b/"}) {
        saved.push_back({2, QString::fromUtf16(folder)});
        for (int i = 0; i < 3000; ++i)
            saved.push_back({3, u"f%1.jpg"_s.arg(i), 100 + i, 1000});
    }
    std::vector<PlannedRow> now = saved;
    now.erase(now.begin() + 2 + 1500);
    now.push_back({3, u"f1500.jpg"_s, 1600, 1000});
    now.push_back({3, u"f9999.jpg"_s, 1, 1000});
    RecordSet a(d_dir_tree()), b(d_dir_tree());
    TreeFacts fa, fb;
    buildTree(saved, a, fa);
    buildTree(now, b, fb);
    const TreeDiff diff = diffTrees({&a, &fa}, {&b, &fb});
    EXPECT_EQ(describe(diff).toStdString(),
              QString(u"-a/f1500.jpg +b/f1500.jpg +b/f9999.jpg"_s).toStdString());
}

// Discs saved in a temporary data folder, through the entries as the window saves them.
class SavedDiscs : public ::testing::Test {
  protected:
    QString data() const { return m_dir.path() + u"/data"_s; }
    void save(const QString &label, const std::vector<PlannedRow> &rows,
              const std::function<void(TreeFacts &)> &hashes = {})
    {
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        buildTree(rows, tree, facts);
        if (hashes)
            hashes(facts);
        ASSERT_TRUE(
            m_entries.add(tree, {CatalogueEntries::fileForLabel(label), {}, label, u"02"_s}, &facts).ok);
        m_discs.push_back({CatalogueEntries::fileForLabel(label), label});
    }
    // Dates the disc's files an hour back, as a catalogue saved long ago is: its key table is then
    // stored and trusted.
    void age(const QString &label) const
    {
        const QString catalogue = data() + u"/cd_"_s + label + u".dat"_s;
        for (const QString &path : {catalogue, SideFiles::pathFor(catalogue)}) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
            struct timespec times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
            ::futimens(fd, times);
            ::close(fd);
        }
    }
    QString groups(const DuplicateQuery &query) const
    {
        HookContext hooks;
        const Duplicates found = findDuplicates(hooks, data(), query);
        QStringList out;
        for (const DuplicateGroup &g : found.groups) {
            QStringList files;
            for (const DuplicateFile &f : g.files)
                files << m_discs[size_t(f.disc)].label + u':' + f.folder.mid(9) + f.name;
            out << QString::number(g.size) + (g.confirmed ? u"="_s : u""_s) + u'[' + files.join(u' ') + u']';
        }
        return out.join(u' ');
    }

    QTemporaryDir m_dir;
    RecordSet m_index{d_cdinfo()}, m_list{d_cdinfo()};
    CatalogueEntries m_entries{m_index, m_list, data(), u"cdinfo.dat"_s};
    std::vector<DuplicateDisc> m_discs;
};

constexpr qint64 MiB = qint64(1) << 20;

TEST_F(SavedDiscs, DuplicateGroups)
{
    save(u"A"_s,
         {{1, u"A/"_s},
          {2, u"shared.iso"_s, 700 * MiB, 1},
          {2, u"movie.mkv"_s, 3 * MiB, 1},
          {2, u"size only.bin"_s, 4 * MiB, 1},
          {2, u"empty.txt"_s, 0, 1},
          {2, u"small.txt"_s, 1000, 1},
          {2, u"twice.dat"_s, 2 * MiB, 1},
          {2, u"d/"_s},
          {3, u"twice.dat"_s, 2 * MiB, 1},
          {2, u"hashed.raw"_s, 5 * MiB, 1},
          {2, u"split.raw"_s, 6 * MiB, 1},
          {2, u"Case.jpg"_s, 2 * MiB, 1}},
         [](TreeFacts &f) {
             hashRow(f, 10, 7);
             hashRow(f, 11, 8);
         });
    save(u"B"_s,
         {{1, u"B/"_s},
          {2, u"x/"_s},
          {3, u"shared.iso"_s, 700 * MiB, 2},
          {2, u"movie.mkv"_s, 3 * MiB + 1, 1},
          {2, u"other name.bin"_s, 4 * MiB, 1},
          {2, u"empty.txt"_s, 0, 1},
          {2, u"small.txt"_s, 1000, 1},
          {2, u"hashed.raw"_s, 5 * MiB, 1},
          {2, u"split.raw"_s, 6 * MiB, 1},
          {2, u"case.jpg"_s, 2 * MiB, 1}},
         [](TreeFacts &f) {
             hashRow(f, 8, 7);
             hashRow(f, 9, 9);
         });
    save(u"C"_s, {{1, u"C/"_s}, {2, u"split.raw"_s, 6 * MiB, 1}, {2, u"shared.iso"_s, 700 * MiB, 3}});
    age(u"A"_s);

    struct Case {
        const char *what;
        qint64 minimum;
        int against;
        const char16_t *expected;
    };
    const Case cases[] = {
        // Same name other size (movie), other name same size, size 0, twice on one disc only, a
        // case apart: none is a group. Equal hashes confirm; different ones split, the file
        // without a hash going with each part.
        {"the default minimum", MiB, -1,
         u"734003200[A:shared.iso B:x/shared.iso C:shared.iso] 6291456[A:split.raw C:split.raw] "
         u"6291456[B:split.raw C:split.raw] 5242880=[A:hashed.raw B:hashed.raw]"},
        {"small files too", 1, -1,
         u"734003200[A:shared.iso B:x/shared.iso C:shared.iso] 6291456[A:split.raw C:split.raw] "
         u"6291456[B:split.raw C:split.raw] 5242880=[A:hashed.raw B:hashed.raw] 1000[A:small.txt "
         u"B:small.txt]"},
        {"only the largest", 100 * MiB, -1, u"734003200[A:shared.iso B:x/shared.iso C:shared.iso]"},
        {"one disc against all", MiB, 2,
         u"734003200[A:shared.iso B:x/shared.iso C:shared.iso] 6291456[A:split.raw C:split.raw] "
         u"6291456[B:split.raw C:split.raw]"},
    };
    for (const Case &c : cases) {
        for (int pass = 0; pass < 2; ++pass) { // the tables made, then read back as stored
            DuplicateQuery query{m_discs, c.minimum, c.against};
            EXPECT_EQ(groups(query).toStdString(), QString(QString::fromUtf16(c.expected)).toStdString())
                << c.what << " pass " << pass;
        }
    }
    EXPECT_TRUE(QFile::exists(FileKeyTables::pathFor(data() + u"/cd_A.dat"_s)))
        << "an old disc's table is kept";
    EXPECT_FALSE(QFile::exists(FileKeyTables::pathFor(data() + u"/cd_B.dat"_s))) << "a new disc's is not yet";
}

TEST_F(SavedDiscs, DecomposedNamesAreDuplicates)
{
    save(u"A"_s, {{1, u"A/"_s}, {2, u"사진.jpg"_s, 2 * MiB, 1}});
    save(u"B"_s,
         {{1, u"B/"_s}, {2, QString(u"사진.jpg"_s).normalized(QString::NormalizationForm_D), 2 * MiB, 1}});
    EXPECT_EQ(groups({m_discs, MiB, -1}).toStdString(),
              QString(u"2097152[A:사진.jpg B:사진.jpg]"_s).toStdString());
}

TEST_F(SavedDiscs, TablesFollowTheDiscs)
{
    // Thousands of rows, the tables stored and then the discs changed: by a save of the program,
    // and behind its back keeping size and time.
    std::vector<PlannedRow> rows = {{1, u"A/"_s}};
    for (int i = 0; i < 4000; ++i)
        rows.push_back({2, u"file %1.dat"_s.arg(i), 2 * MiB + i, 1});
    save(u"A"_s, rows);
    save(u"B"_s, {{1, u"B/"_s}, {2, u"file 17.dat"_s, 2 * MiB + 17, 1}});
    age(u"A"_s);
    age(u"B"_s);
    EXPECT_EQ(groups({m_discs, MiB, -1}).toStdString(),
              QString(u"2097169[A:file 17.dat B:file 17.dat]"_s).toStdString());
    ASSERT_TRUE(QFile::exists(FileKeyTables::pathFor(data() + u"/cd_B.dat"_s)));

    // Saved again with another size: the change takes the table away.
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    buildTree({{1, u"B/"_s}, {2, u"file 18.dat"_s, 2 * MiB + 18, 1}}, tree, facts);
    ASSERT_TRUE(m_entries.replaceTree(u"cd_B.dat"_s, tree, &facts).ok);
    followFileKeys(m_entries); // as the window has it from the start
    EXPECT_EQ(groups({m_discs, MiB, -1}).toStdString(),
              QString(u"2097170[A:file 18.dat B:file 18.dat]"_s).toStdString());

    // Another program writes the catalogue anew, same size and date: the stamp still tells.
    age(u"B"_s);
    groups({m_discs, MiB, -1});
    const QString catalogue = data() + u"/cd_B.dat"_s;
    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes.replace("file 18.dat", "file 19.dat");
    struct stat before;
    ::stat(QFile::encodeName(catalogue).constData(), &before);
    file.seek(0);
    file.write(bytes);
    file.close();
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, QFile::encodeName(catalogue).constData(), times, 0);
    EXPECT_EQ(groups({m_discs, MiB, -1}).toStdString(), QString(u""_s).toStdString())
        << "the side file no longer fits: no sizes, no group";
}

TEST_F(SavedDiscs, DamagedTableIsNotUsed)
{
    save(u"A"_s, {{1, u"A/"_s}, {2, u"a.bin"_s, 3 * MiB, 1}});
    save(u"B"_s, {{1, u"B/"_s}, {2, u"a.bin"_s, 3 * MiB, 1}});
    age(u"A"_s);
    groups({m_discs, MiB, -1});
    const QString table = FileKeyTables::pathFor(data() + u"/cd_A.dat"_s);
    QFile file(table);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(file.size() - 32); // the size of the one key
    file.write(QByteArray(8, '\x01'));
    file.close();
    EXPECT_EQ(groups({m_discs, MiB, -1}).toStdString(), QString(u"3145728[A:a.bin B:a.bin]"_s).toStdString());
}

// A folder of this computer against the discs, scanned as the window scans it.
TEST_F(SavedDiscs, FolderAgainstTheCatalogue)
{
    const QString folder = m_dir.path() + u"/folder"_s;
    QDir().mkpath(folder + u"/sub"_s);
    const auto put = [&](const QString &name, const QByteArray &bytes) {
        QFile f(folder + u'/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put(u"kept.txt"_s, "on disc A");
    put(u"sub/also kept.txt"_s, "on disc B too");
    put(u"new.txt"_s, "nowhere");
    put(u"changed.txt"_s, "same size, other bytes");
    LocalFileSystem fs;
    const auto scan = [&](const QString &root, RecordSet &tree, TreeFacts &facts, bool hash) {
        HookContext hooks;
        const auto walk = fs.walkDrive(root);
        scanDrive(hooks, walk.get(), root, tree, facts, {}, nullptr, nullptr, hash);
    };
    RecordSet disc(d_dir_tree());
    TreeFacts discFacts;
    scan(folder, disc, discFacts, true);
    ASSERT_TRUE(m_entries.add(disc, {u"cd_A.dat"_s, {}, u"A"_s, u"02"_s}, &discFacts).ok);
    m_discs.push_back({u"cd_A.dat"_s, u"A"_s});
    QFile::remove(folder + u"/new.txt"_s);
    put(u"changed.txt"_s, "SAME SIZE, OTHER BYTES");
    put(u"new.txt"_s, "nowhere");
    put(u"newer.txt"_s, "not saved");

    struct Case {
        bool hashed;
        const char16_t *expected; // file names, those on no disc first
        FolderVerdict verdict;
    };
    const Case cases[] = {
        {false, u"newer.txt|also kept.txt changed.txt kept.txt new.txt", FolderVerdict::Some},
        {true, u"changed.txt newer.txt|also kept.txt kept.txt new.txt", FolderVerdict::Some},
    };
    for (const Case &c : cases) {
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        scan(folder, tree, facts, c.hashed);
        HookContext hooks;
        const FolderCheck check = checkFolder(hooks, data(), m_discs, tree, facts);
        QStringList missing, found;
        for (const CheckedFile &f : check.files)
            (f.discs == 0 ? missing : found) << tree.GetItemString(f.row, TreeColumn::name);
        EXPECT_EQ((missing.join(u' ') + u'|' + found.join(u' ')).toStdString(),
                  QString::fromUtf16(c.expected).toStdString())
            << c.hashed;
        EXPECT_EQ(check.verdict(), c.verdict);

        // The same folder compared with the disc: the content apart only when both are hashed.
        const TreeDiff diff = diffTrees({&disc, &discFacts}, {&tree, &facts});
        EXPECT_EQ(describe(diff).toStdString(),
                  QString(c.hashed ? u"~changed.txtc +newer.txt"_s : u"+newer.txt"_s).toStdString());
    }
}

TEST(ContentHashNotes, ReadOnlyWhatTheyWrite)
{
    const ContentHash hash{0x0123456789abcdefull, 0xfedcba9876543210ull};
    EXPECT_EQ(encodeContentHash(hash), QByteArray("0123456789abcdeffedcba9876543210"));
    EXPECT_EQ(decodeContentHash(encodeContentHash(hash)), hash);
    for (const char *bad : {"", "0123", "0123456789abcdeffedcba98765432100",
                            "0123456789abcdeffedcba987654321g", " 123456789abcdeffedcba9876543210"})
        EXPECT_FALSE(decodeContentHash(bad)) << bad;
}
