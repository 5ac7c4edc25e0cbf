// Archives read through libarchive into a tree of members: formats, names, bounds, failures, the
// archives inside archives, and the notes the side file keeps of archive rows.

#include "catalogue/archivenote.h"
#include "files/archivereader.h"
#include "files/archivesource.h"
#include "files/archivetree.h"
#include "support/archives.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Every member below `folder` as "path size mtime" ("path/" for a folder, "?" unknown), in the
// tree's own order, the members a listing leaves out (hidden ones) left out.
void dump(const ArchiveTree &tree, ArchiveTree::Id folder, const QString &prefix, QStringList &out)
{
    std::vector<DirEntry> entries;
    std::vector<ArchiveTree::Id> ids;
    tree.list(folder, entries, &ids);
    const auto number = [](qint64 n) { return n == FileStat::kUnknown ? u"?"_s : QString::number(n); };
    for (size_t i = 0; i < entries.size(); ++i) {
        const DirEntry &entry = entries[i];
        const bool isFolder = entry.kind == DirEntry::Kind::Folder;
        const QString path = prefix + entry.name + (isFolder ? u"/"_s : QString());
        out << (isFolder ? path : path + u' ' + number(entry.stat.size) + u' ' + number(entry.stat.mtime));
        if (isFolder)
            dump(tree, ids[i], path, out);
    }
}

QStringList members(const ArchiveTree &tree)
{
    QStringList out;
    dump(tree, ArchiveTree::kRoot, {}, out);
    out.sort();
    return out;
}

ArchiveRead readFile(const QString &path, ArchiveTree &tree, const ArchiveLimits &limits = {},
                     const std::function<bool()> &cancelled = {})
{
    const int fd = openArchiveFile(AT_FDCWD, QFile::encodeName(path).constData());
    if (fd < 0)
        return {ArchiveOutcome::Damaged, {}, u"cannot open"_s};
    return readArchive(fd, limits, cancelled, tree);
}

// A folder of two files dated as make_archives.py dates its members, for bsdtar and genisoimage.
QString sourceFolder(const QTemporaryDir &dir)
{
    const QString src = dir.filePath(u"src"_s);
    archives::write(src + u"/보고서.hwp"_s, "hello", archives::dosDate());
    archives::write(src + u"/사진/여행.jpg"_s, "abc", archives::dosDate());
    return src;
}

} // namespace

TEST(ArchiveTree, PathsStayInsideTheTree)
{
    ArchiveTree tree;
    const struct {
        const char *path;
        DirEntry::Kind kind;
        qint64 size;
    } added[] = {
        {"../../etc/passwd", DirEntry::Kind::File, 1},
        {"/abs/x.txt", DirEntry::Kind::File, 2},
        {"a/./b//c.txt", DirEntry::Kind::File, 3},
        {"a/../../up.txt", DirEntry::Kind::File, 4},
        {"..", DirEntry::Kind::File, 5},
        {".", DirEntry::Kind::File, 6},
        {"", DirEntry::Kind::File, 7},
        {"dir/", DirEntry::Kind::Folder, 8},
        {".hidden/x", DirEntry::Kind::File, 9},
        {"a/.git", DirEntry::Kind::File, 10},
        {"dup.txt", DirEntry::Kind::File, 11},
        {"dup.txt", DirEntry::Kind::File, 12},
        {"same", DirEntry::Kind::File, 13},
        {"same/in.txt", DirEntry::Kind::File, 14},
    };
    for (const auto &member : added)
        tree.add(member.path, member.kind, {member.size, 100});
    EXPECT_EQ(members(tree), QStringList({"a/", "a/b/", "a/b/c.txt 3 100", "abs/", "abs/x.txt 2 100", "dir/",
                                          "dup.txt 12 100", "etc/", "etc/passwd 1 100", "same 13 100",
                                          "same/", "same/in.txt 14 100", "up.txt 4 100"}));
    EXPECT_EQ(tree.folderAt("a/b/"), tree.folderAt("a/b"));
    EXPECT_EQ(tree.folderAt("a/../a/b"), tree.folderAt("a/b"));
    EXPECT_EQ(tree.folderAt("nowhere/"), ArchiveTree::kNone);
    EXPECT_EQ(tree.pathOf(tree.folderAt("a/b")), "a/b/");
}

TEST(ArchiveTree, RelocatedFilesGoBackToTheirFolder)
{
    const QByteArray deep = "1/2/3/4/5/6/7/";
    struct Case {
        const char *name;
        QList<QByteArray> paths; // folders end in '/'
        QStringList expected;
    };
    const Case cases[] = {
        {"one folder fits",
         {deep + "h/", deep + "h/x.txt", "rr_moved/h/y.txt", "rr_moved/h/sub/z.txt"},
         {"1/2/3/4/5/6/7/h/sub/z.txt", "1/2/3/4/5/6/7/h/x.txt", "1/2/3/4/5/6/7/h/y.txt"}},
        {"two folders of the name fit: it stays",
         {deep + "k/", "9/8/7/6/5/4/3/k/", "rr_moved/k/y.txt"},
         {"9/8/7/6/5/4/3/k/", "1/2/3/4/5/6/7/k/", "rr_moved/k/y.txt"}},
        {"a file of the name is there already: not that folder",
         {deep + "h/", deep + "h/y.txt", "9/8/7/6/5/4/3/h/", "rr_moved/h/y.txt"},
         {"1/2/3/4/5/6/7/h/y.txt", "9/8/7/6/5/4/3/h/y.txt"}},
        {"a folder not deep enough is no relocated one",
         {"1/h/", "rr_moved/h/y.txt"},
         {"1/h/", "rr_moved/h/y.txt"}},
    };
    for (const Case &c : cases) {
        ArchiveTree tree;
        for (const QByteArray &path : c.paths) {
            const bool folder = path.endsWith('/');
            tree.add(path, folder ? DirEntry::Kind::Folder : DirEntry::Kind::File, {1, folder ? 5 : 7});
        }
        tree.rehomeRelocated("rr_moved");
        QStringList leaves;
        for (const QString &line : members(tree)) {
            const QString path = line.section(u' ', 0, 0);
            if (!path.endsWith(u'/') ||
                std::none_of(c.expected.begin(), c.expected.end(),
                             [&](const QString &e) { return e.startsWith(path) && e != path; }))
                leaves << path;
        }
        QStringList expected = c.expected;
        expected.sort();
        EXPECT_EQ(leaves, expected) << c.name;
    }
}

TEST(ArchiveReader, EachFormatListsItsMembers)
{
    QTemporaryDir dir;
    const QString src = sourceFolder(dir);
    const bool bsdtar = archives::have(u"bsdtar"_s);
    const QStringList pair = {u"보고서.hwp=hello"_s, u"사진/여행.jpg=abc"_s};
    const struct {
        const char *format;
        std::function<bool(const QString &)> make;
        bool needsBsdtar;
    } cases[] = {
        {"zip", [&](const QString &out) { return archives::make(u"zip-cp949"_s, out, pair); }, false},
        {"rar", [&](const QString &out) { return archives::make(u"rar"_s, out, pair); }, false},
        {"cab", [&](const QString &out) { return archives::make(u"cab"_s, out, pair); }, false},
        {"lha",
         [&](const QString &out) {
             return archives::make(u"lha"_s, out, {u"보고서.hwp=hello"_s, u"사진/여행.jpg=abc"_s});
         },
         false},
        {"7z",
         [&](const QString &out) {
             return archives::bsdtar(out, src, {u"."_s}, {u"--format"_s, u"7zip"_s});
         },
         true},
        {"tar", [&](const QString &out) { return archives::bsdtar(out, src, {u"."_s}); }, true},
        {"tar.xz", [&](const QString &out) { return archives::bsdtar(out, src, {u"."_s}, {u"-J"_s}); }, true},
        {"tar.zst", [&](const QString &out) { return archives::bsdtar(out, src, {u"."_s}, {u"--zstd"_s}); },
         true},
    };
    for (const auto &c : cases) {
        if (c.needsBsdtar && !bsdtar) {
            ADD_FAILURE() << "bsdtar (libarchive-tools) is not installed";
            continue;
        }
        const QString out = dir.filePath(u"x."_s + QString::fromLatin1(c.format));
        ASSERT_TRUE(c.make(out)) << c.format;
        ArchiveTree tree;
        ArchiveLimits limits;
        limits.streamed = true;
        const ArchiveRead read = readFile(out, tree, limits);
        EXPECT_EQ(read.outcome, ArchiveOutcome::Listed) << c.format << ' ' << read.reason.toStdString();
        EXPECT_EQ(read.format, QString::fromLatin1(c.format));
        const QString date = QString::number(archives::dosDate());
        QStringList found = members(tree);
        found.removeIf([](const QString &line) { return line.endsWith(u'/'); });
        EXPECT_EQ(found, QStringList({u"보고서.hwp 5 "_s + date, u"사진/여행.jpg 3 "_s + date})) << c.format;
    }
}

TEST(ArchiveReader, ZipNamesAreReadAsWindowsWroteThem)
{
    QTemporaryDir dir;
    const struct {
        const char *name;
        QString kind;
        QString member;
        QString shown;
        QByteArray bytes;
    } cases[] = {
        {"CP949 without the UTF-8 flag", u"zip-cp949"_s, u"보고서.hwp=x"_s, u"보고서.hwp"_s,
         QByteArray::fromHex("bab8b0edbcad2e687770")},
        {"UTF-8 with the flag", u"zip-utf8"_s, u"보고서.hwp=x"_s, u"보고서.hwp"_s, "보고서.hwp"},
        {"UTF-8 without the flag", u"zip-raw"_s, u"ebb3b4eab3a0ec849c2e687770=x"_s, u"보고서.hwp"_s,
         "보고서.hwp"},
        {"neither: kept as its bytes", u"zip-raw"_s, u"ff41fe2e747874=x"_s, u"\uFFFDA\uFFFD.txt"_s,
         QByteArray::fromHex("ff41fe2e747874")},
    };
    for (const auto &c : cases) {
        const QString out = dir.filePath(u"names.zip"_s);
        QFile::remove(out);
        ASSERT_TRUE(archives::make(c.kind, out, {c.member})) << c.name;
        ArchiveTree tree;
        readFile(out, tree);
        std::vector<DirEntry> entries;
        tree.list(ArchiveTree::kRoot, entries);
        ASSERT_EQ(entries.size(), 1u) << c.name;
        EXPECT_EQ(entries[0].name, c.shown) << c.name;
        EXPECT_EQ(entries[0].bytes, c.bytes) << c.name;
    }
}

TEST(ArchiveReader, BoundsAndFailures)
{
    QTemporaryDir dir;
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QStringLiteral("f%1.txt=%1").arg(i);
    const QString many = dir.filePath(u"many.zip"_s);
    ASSERT_TRUE(archives::make(u"zip-utf8"_s, many, ten));
    // A member that does not compress much, so that half the file ends inside it.
    QString letters;
    for (int i = 0; i < 20000; ++i)
        letters += QChar(u'a' + (i * 7919 + i / 13) % 26);
    const QString big = dir.filePath(u"big.zip"_s);
    ASSERT_TRUE(archives::make(u"zip-utf8"_s, big, {u"big.txt="_s + letters, u"after.txt=x"_s}));
    QFile whole(big);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    archives::write(dir.filePath(u"half.zip"_s), bytes.first(bytes.size() / 2));
    archives::write(dir.filePath(u"noise.zip"_s), QByteArray(5000, 'x'));
    const bool bsdtar = archives::have(u"bsdtar"_s);
    if (bsdtar) {
        archives::write(dir.filePath(u"plain/secret.txt"_s), "top secret");
        ASSERT_TRUE(archives::bsdtar(dir.filePath(u"locked.zip"_s), dir.filePath(u"plain"_s),
                                     {u"secret.txt"_s},
                                     {u"--format"_s, u"zip"_s, u"--options"_s, u"zip:encryption=zipcrypt"_s,
                                      u"--passphrase"_s, u"pw"_s}));
    }
    ArchiveLimits three;
    three.maxMembers = 3;
    ArchiveLimits noTime;
    noTime.milliseconds = -1;
    const struct {
        const char *name;
        QString file;
        ArchiveLimits limits;
        bool cancel;
        ArchiveOutcome outcome;
        qint64 members; // -1: any
    } cases[] = {
        {"whole", many, {}, false, ArchiveOutcome::Listed, 10},
        {"members bound", many, three, false, ArchiveOutcome::TooManyMembers, 3},
        {"time bound", many, noTime, false, ArchiveOutcome::OutOfTime, 0},
        {"cancelled", many, {}, true, ArchiveOutcome::Cancelled, 0},
        {"cut in half", dir.filePath(u"half.zip"_s), {}, false, ArchiveOutcome::Truncated, 0},
        {"no archive", dir.filePath(u"noise.zip"_s), {}, false, ArchiveOutcome::Damaged, 0},
        {"encrypted contents", dir.filePath(u"locked.zip"_s), {}, false, ArchiveOutcome::Listed, 1},
    };
    for (const auto &c : cases) {
        if (!QFile::exists(c.file)) {
            ADD_FAILURE() << c.name << ": bsdtar (libarchive-tools) is not installed";
            continue;
        }
        ArchiveTree tree;
        const ArchiveRead read = readFile(c.file, tree, c.limits, [&c] { return c.cancel; });
        EXPECT_EQ(read.outcome, c.outcome) << c.name << ": " << read.reason.toStdString();
        EXPECT_EQ(tree.members(), c.members) << c.name;
        EXPECT_EQ(read.members, tree.members()) << c.name;
        if (isLeaf(c.outcome)) {
            EXPECT_FALSE(read.reason.isEmpty()) << c.name;
        }
        EXPECT_EQ(read.encryptedMembers, QByteArrayView(c.name) == "encrypted contents") << c.name;
    }
}

TEST(ArchiveReader, ArchivesInsideAreListedOneLevelDown)
{
    if (!archives::have(u"bsdtar"_s))
        GTEST_SKIP() << "bsdtar (libarchive-tools) is not installed";
    QTemporaryDir dir;
    // deepest.zip inside inner.7z inside outer.zip: the 7z is listed, the zip in it stays a file.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(u"in7z"_s)) && QDir().mkpath(dir.filePath(u"outer"_s)));
    ASSERT_TRUE(archives::make(u"zip-utf8"_s, dir.filePath(u"in7z/deepest.zip"_s), {u"z.txt=z"_s}));
    archives::write(dir.filePath(u"in7z/a.txt"_s), "aaaa");
    ASSERT_TRUE(archives::bsdtar(dir.filePath(u"outer/inner.7z"_s), dir.filePath(u"in7z"_s), {u"."_s},
                                 {u"--format"_s, u"7zip"_s}));
    ASSERT_TRUE(archives::bsdtar(dir.filePath(u"outer/logs.tar.gz"_s), dir.filePath(u"in7z"_s), {u"a.txt"_s},
                                 {u"-z"_s}));
    archives::write(dir.filePath(u"outer/fake.zip"_s), "not a zip at all");
    const QString outer = dir.filePath(u"outer.zip"_s);
    ASSERT_TRUE(archives::bsdtar(outer, dir.filePath(u"outer"_s), {u"."_s}, {u"--format"_s, u"zip"_s}));

    const auto folders = [](const ArchiveTree &tree) {
        QStringList out = members(tree);
        for (QString &line : out)
            line = line.section(u' ', 0, 0);
        return out;
    };
    ArchiveTree tree;
    EXPECT_EQ(readFile(outer, tree).outcome, ArchiveOutcome::Listed);
    EXPECT_EQ(folders(tree), QStringList({"fake.zip", "inner.7z/", "inner.7z/a.txt", "inner.7z/deepest.zip",
                                          "logs.tar.gz"}));
    const ArchiveTree::Node &inner = tree.node(tree.folderAt("inner.7z"));
    ASSERT_GE(inner.archive, 0);
    EXPECT_EQ(tree.nested()[size_t(inner.archive)].format, u"7z"_s);
    EXPECT_EQ(tree.nested()[size_t(inner.archive)].members, 2);

    ArchiveLimits streamed;
    streamed.streamed = true;
    EXPECT_EQ(readFile(outer, tree, streamed).outcome, ArchiveOutcome::Listed);
    EXPECT_TRUE(folders(tree).contains(u"logs.tar.gz/a.txt"_s)) << folders(tree).join(u' ').toStdString();

    ArchiveLimits small;
    small.nestedBytes = 10;
    EXPECT_EQ(readFile(outer, tree, small).outcome, ArchiveOutcome::Listed);
    const ArchiveTree::Node &tooLarge = tree.node(tree.folderAt("inner.7z"));
    ASSERT_GE(tooLarge.archive, 0) << "a leaf, not a file";
    EXPECT_EQ(ArchiveOutcome(tree.nested()[size_t(tooLarge.archive)].outcome), ArchiveOutcome::TooLarge);
    EXPECT_EQ(tooLarge.firstChild, ArchiveTree::kNone);
}

TEST(ArchiveReader, OnlyRegularFilesAreOpened)
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(u"pipe.zip"_s));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    // Opening a FIFO for reading would wait for a writer: it must come back at once.
    EXPECT_EQ(openArchiveFile(AT_FDCWD, fifo.constData()), -1);
    ::symlink("pipe.zip", QFile::encodeName(dir.filePath(u"link.zip"_s)).constData());
    EXPECT_EQ(openArchiveFile(AT_FDCWD, QFile::encodeName(dir.filePath(u"link.zip"_s)).constData()), -1);
    EXPECT_EQ(openArchiveFile(AT_FDCWD, QFile::encodeName(dir.path()).constData()), -1);
}

TEST(ArchiveNote, EveryOutcomeComesBack)
{
    for (int outcome = 0; outcome <= int(ArchiveOutcome::Truncated); ++outcome) {
        ArchiveNote note;
        note.size = 1234 + outcome;
        note.mtime = outcome == 2 ? FileStat::kUnknown : -86400;
        note.unpacked = 99999;
        note.rows = outcome;
        note.format = u"tar.gz"_s;
        note.outcome = ArchiveOutcome(outcome);
        note.encryptedMembers = outcome % 2;
        note.reason = u"Truncated\tinput\nfile"_s;
        const QByteArray text = encodeArchiveNote(note);
        EXPECT_FALSE(text.contains('\n'));
        const std::optional<ArchiveNote> back = decodeArchiveNote(text);
        ASSERT_TRUE(back) << text.toStdString();
        note.reason = u"Truncated input file"_s; // its tabs and line breaks are spaces
        EXPECT_EQ(*back, note) << text.toStdString();
    }
    for (const char *bad : {"", "1\t2\t3", "x\t2\t3\t4\tzip\tlisted\t-", "1\t2\t3\t-4\tzip\tlisted\t-"})
        EXPECT_FALSE(decodeArchiveNote(bad)) << bad;
    const std::optional<ArchiveNote> unknownWord = decodeArchiveNote("1\t2\t3\t4\tzip\tmelted\t-");
    ASSERT_TRUE(unknownWord);
    EXPECT_EQ(unknownWord->outcome, ArchiveOutcome::Damaged);
}

TEST(ArchiveRows, MembersLieWithinTheirArchivesBranch)
{
    TreeNotes notes;
    const auto note = [](qint64 rows) {
        ArchiveNote n;
        n.rows = rows;
        return encodeArchiveNote(n);
    };
    // An archive at row 3 with 5 rows below it, one inside it at row 5 with 2, a leaf at row 20.
    notes.of(kArchiveNotes).set(3, note(5));
    notes.of(kArchiveNotes).set(5, note(2));
    notes.of(kArchiveNotes).set(20, note(0));
    const ArchiveRows rows(notes);
    QString inside, archive;
    for (qint64 row = 1; row <= 22; ++row) {
        inside += rows.isInside(row) ? u'i' : u'.';
        archive += rows.isArchive(row) ? u'a' : u'.';
    }
    EXPECT_EQ(inside, u"...iiiii.............."_s);
    EXPECT_EQ(archive, u"..a.a..............a.."_s);
    EXPECT_EQ(rows.note(5)->rows, 2);
    EXPECT_FALSE(ArchiveRows(TreeNotes()).isInside(4));
}

TEST(ArchiveNames, TheExtensionSaysWhatMayBeAnArchive)
{
    const struct {
        const char *name;
        bool archive;
        bool streamed;
    } cases[] = {
        {"photos.zip", true, false}, {"PHOTOS.ZIP", true, false},   {"a.7z", true, false},
        {"disc.iso", true, false},   {"x.rar", true, false},        {"old.lzh", true, false},
        {"plain.tar", true, false},  {"logs.tar.gz", true, true},   {"logs.TAR.BZ2", true, true},
        {"a.tar.xz", true, true},    {"a.tar.zst", true, true},     {"a.tgz", true, true},
        {"a.tar.Z", true, true},     {"notes.gz", false, false},    {"zip", false, false},
        {".zip", false, false},      {"report.zipx", false, false}, {"archive.zip.txt", false, false},
        {"tar.gz", false, false},    {"a.b.tar.lz4", true, true},   {"readme", false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(mayBeArchiveName(c.name), c.archive) << c.name;
        EXPECT_EQ(isStreamedName(c.name), c.streamed) << c.name;
    }
}
