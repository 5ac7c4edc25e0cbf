#include "files/drivewatcher.h"
#include "files/filesystem.h"
#include "files/listbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

using namespace Qt::StringLiterals;

// Readable failure messages for the many string comparisons below.
[[maybe_unused]] static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// 85 Hangul syllables: 255 bytes in UTF-8, the longest name most file systems take.
const QString kLongName = QString(85, u'한');

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// A folder with every kind of entry the listings must keep or leave out.
class ListingTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_savedCwd = QDir::currentPath();
        m_root = QDir(m_dir.path()).canonicalPath();
        QDir root(m_root);
        for (const QString &folder : {u"[x]"_s, u"한글 폴더"_s, u"B"_s, u".hidden folder"_s, u"locked"_s})
            ASSERT_TRUE(root.mkdir(folder));
        for (const QString &file : {u"a]b"_s, u"b[1"_s, u"with space.txt"_s, u"사진.jpg"_s, kLongName, u"a"_s,
                                    u"A"_s, u"cd_A.dat"_s, u"cd_B.DAT"_s, u"cdinfo.dat"_s, u"xcd_A.dat"_s,
                                    u".hidden"_s, u"readonly.txt"_s, u"[x]/inner.dat"_s})
            ASSERT_TRUE(touch(root.filePath(file))) << qPrintable(file);
        ASSERT_EQ(::chmod(QFile::encodeName(root.filePath("readonly.txt")), 0444), 0);
        ASSERT_EQ(::symlink("..", QFile::encodeName(root.filePath("loop")).constData()), 0);
        ASSERT_EQ(::symlink("nowhere", QFile::encodeName(root.filePath("dangling")).constData()), 0);
        ASSERT_EQ(::mkfifo(QFile::encodeName(root.filePath("pipe")).constData(), 0600), 0);
    }

    void TearDown() override
    {
        ::chmod(QFile::encodeName(m_root + u"/locked"_s), 0755);
        QDir::setCurrent(m_savedCwd);
    }

    static bool runsAsRoot() { return ::geteuid() == 0; }

    // Runs `check` (which returns a count of faults) as this user or, under root, in a child
    // process that has given up root for the user "nobody"; returns the faults it found.
    int runAsUnprivileged(const std::function<int()> &check)
    {
        if (!runsAsRoot())
            return check();
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0711); // let "nobody" pass through
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped ? std::min(check(), 100) : 101);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 102;
    }

    // A folder that can be entered but not read lists nothing without an error; one that cannot
    // even be entered lists nothing and reports it. Returns the number of checks that failed.
    static int lockedFolderFaults(const QString &locked, bool canEnter)
    {
        LocalFileSystem fs;
        ListBoxModel list(fs);
        std::vector<DirEntry> entries(1, {u"stale"_s, DirEntry::Kind::File, {}, {}});
        int faults = fs.listFolder(locked, entries) || !entries.empty();
        faults += list.DirList(locked + u"/*.*"_s, DirListFolders) != (canEnter ? 0 : -1);
        faults += list.TotalItems() != 0;
        return faults;
    }

    QTemporaryDir m_dir;
    QString m_root;
    QString m_savedCwd;
    LocalFileSystem m_fs;
};

TEST_F(ListingTest, ListFolderKeepsFoldersAndRegularFilesOnly)
{
    // A name that is not UTF-8 must still list, with U+FFFD for the bad byte.
    const QByteArray badName = QFile::encodeName(m_root) + "/bad\xff.txt";
    const int fd = ::open(badName.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);

    std::vector<DirEntry> entries(1, {u"stale"_s, DirEntry::Kind::File, {}, {}});
    ASSERT_TRUE(m_fs.listFolder(m_root + u'/', entries));
    QStringList folders, files;
    for (const DirEntry &entry : entries)
        (entry.kind == DirEntry::Kind::Folder ? folders : files).append(entry.name);
    folders.sort();
    files.sort();
    EXPECT_EQ(folders, QStringList({"B", "[x]", "locked", u"한글 폴더"_s}));
    EXPECT_EQ(files,
              QStringList({"A", "a", "a]b", "b[1", u"bad\uFFFD.txt"_s, "cd_A.dat", "cd_B.DAT", "cdinfo.dat",
                           "readonly.txt", "with space.txt", "xcd_A.dat", u"사진.jpg"_s, kLongName}));
    // QTemporaryDir could not remove it: the decoded name no longer encodes to the same bytes.
    ::unlink(badName.constData());
}

TEST_F(ListingTest, UnreadableOrMissingFolderListsNothing)
{
    std::vector<DirEntry> entries(1, {u"stale"_s, DirEntry::Kind::File, {}, {}});
    EXPECT_FALSE(m_fs.listFolder(m_root + u"/missing"_s, entries));
    EXPECT_TRUE(entries.empty());

    ListBoxModel list(m_fs);
    list.AddItem(u"stale"_s);
    EXPECT_EQ(list.DirList(m_root + u"/missing/*.*"_s, DirListFolders), -1);
    EXPECT_EQ(list.TotalItems(), 0);
    EXPECT_EQ(QDir::currentPath(), m_savedCwd);

    const QString locked = m_root + u"/locked"_s;
    ASSERT_TRUE(touch(locked + u"/inside"_s));
    // Root reads any folder, so as root the checks run in a child that has become "nobody".
    ASSERT_EQ(::chmod(QFile::encodeName(locked), 0311), 0); // can be entered, not read
    EXPECT_EQ(runAsUnprivileged([&] { return lockedFolderFaults(locked, true); }), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(locked), 0), 0); // cannot even be entered
    EXPECT_EQ(runAsUnprivileged([&] { return lockedFolderFaults(locked, false); }), 0);
}

TEST_F(ListingTest, DirListSortsFoldersAndFilesAndMakesTheFolderCurrent)
{
    ListBoxModel list(m_fs);
    QString status;
    const int added = list.DirList(m_root + u"/*.*"_s, DirListFolders, &status);
    // Brackets are part of the text: "[..]" goes before "[.]" ('.' < ']'), and with case folding
    // '[' (5B) goes before every letter. "A" and "a" tie and go in exact order.
    const QStringList expected = {
        "[..]",           "[.]",         "[[x]]",      "[B]",          "[locked]",
        u"[한글 폴더]"_s, "A",           "a",          "a]b",          "b[1",
        "cd_A.dat",       "cd_B.DAT",    "cdinfo.dat", "readonly.txt", "with space.txt",
        "xcd_A.dat",      u"사진.jpg"_s, kLongName};
    EXPECT_EQ(list.items(), expected);
    EXPECT_EQ(added, expected.size());
    EXPECT_EQ(status, m_root);
    EXPECT_EQ(QDir::currentPath(), m_root);

    // A relative folder is taken from the current one; no folder keeps the current one.
    EXPECT_EQ(list.DirList(u"[x]/*"_s, DirListFiles, &status), 1);
    EXPECT_EQ(list.items(), QStringList({"inner.dat"}));
    EXPECT_EQ(status, m_root + u"/[x]"_s);
    EXPECT_EQ(list.DirList(u"*.*"_s, DirListFolders | DirListExclusive, &status), 2);
    EXPECT_EQ(list.items(), QStringList({"[..]", "[.]"}));
    EXPECT_EQ(status, m_root + u"/[x]"_s);

    EXPECT_EQ(list.DirList(u"/*.*"_s, DirListFiles | DirListExclusive, &status), 0);
    EXPECT_EQ(status, "/");
}

TEST_F(ListingTest, DirListFiltersFoldersAndFilesByPattern)
{
    ListBoxModel list(m_fs);
    EXPECT_EQ(list.DirList(m_root + u"/cd_*.dat"_s, DirListFolders), 1);
    EXPECT_EQ(list.items(), QStringList({"cd_A.dat"}));
    EXPECT_EQ(list.DirList(m_root + u"/?"_s, DirListFolders), 4);
    EXPECT_EQ(list.items(), QStringList({"[.]", "[B]", "A", "a"}));
}

// Hands out a fixed tree and records what the listing asked for.
class FakeFileSystem final : public FileSystem {
  public:
    bool listFolder(const QString &folder, std::vector<DirEntry> &out) override
    {
        listed.append(folder);
        out = {{u"sub"_s, DirEntry::Kind::Folder, "sub", {}},
               {u"cd_1.dat"_s, DirEntry::Kind::File, "cd_1.dat", {}}};
        return true;
    }
    QStringList driveRoots() override { return {u"/"_s, u"/media/kim/DISC_01/"_s}; }
    bool setCurrentDirectory(const QString &folder) override
    {
        current = folder.startsWith(u'/') ? folder : current + u'/' + folder;
        return !folder.contains(u"missing"_s);
    }
    QString currentDirectory() override { return current; }

    QString current = u"/data"_s;
    QStringList listed;
};

TEST(ListBoxModelTest, DirListKinds)
{
    FakeFileSystem fs;
    ListBoxModel list(fs);
    EXPECT_EQ(list.DirList(u"*.*"_s, DirListDrives | DirListExclusive), 2);
    EXPECT_EQ(list.items(), QStringList({"[-/-]", "[-/media/kim/DISC_01/-]"}));
    EXPECT_TRUE(fs.listed.isEmpty());

    EXPECT_EQ(list.DirList(u"*.*"_s, DirListFiles), 1);
    EXPECT_EQ(list.items(), QStringList({"cd_1.dat"}));
    EXPECT_EQ(list.DirList(u"/disc/*.*"_s, DirListFolders), 4);
    EXPECT_EQ(list.items(), QStringList({"[..]", "[.]", "[sub]", "cd_1.dat"}));
    EXPECT_EQ(fs.listed, QStringList({"/data", "/disc"}));
    EXPECT_EQ(list.DirList(u"*.*"_s, DirListDrives + DirListFolders), 6);
    EXPECT_EQ(list.DirList(u"missing/*.*"_s, DirListFolders), -1);
    EXPECT_EQ(list.TotalItems(), 0);
}

TEST(ListBoxModelTest, ItemsAndSelection)
{
    FakeFileSystem fs;
    ListBoxModel sorted(fs);
    EXPECT_EQ(sorted.AddItem(u"b"_s), 1);
    EXPECT_EQ(sorted.SelectItem(1), 1);
    EXPECT_EQ(sorted.AddItem(u"a"_s), 1);
    EXPECT_EQ(sorted.selectedIndex(), 2); // still on "b"
    EXPECT_EQ(sorted.AddItem(u"B"_s), 2);
    EXPECT_EQ(sorted.AddItem(u"[z]"_s), 1);
    // Folding compares code points, not a locale's collation: Ä goes after every ASCII letter.
    EXPECT_EQ(sorted.AddItem(u"Ä"_s), 5);
    EXPECT_EQ(sorted.items(), QStringList({"[z]", "a", "B", "b", u"Ä"_s}));
    EXPECT_EQ(sorted.Text(5), u"Ä"_s);
    EXPECT_EQ(sorted.Text(0), "");
    EXPECT_EQ(sorted.Text(6), "");
    EXPECT_EQ(sorted.SelectItem(6), 0);
    EXPECT_EQ(sorted.SelectItem(0), 0);
    EXPECT_EQ(sorted.selectedIndex(), 4);
    sorted.Reset();
    EXPECT_EQ(sorted.TotalItems(), 0);
    EXPECT_EQ(sorted.selectedIndex(), 0);

    ListBoxModel unsorted(fs, false);
    EXPECT_EQ(unsorted.AddItem(u"b"_s), 1);
    EXPECT_EQ(unsorted.AddItem(u"a"_s), 2);
    EXPECT_EQ(unsorted.DirList(u"*.*"_s, DirListFolders), 4);
    EXPECT_EQ(unsorted.items(), QStringList({"[.]", "[..]", "[sub]", "cd_1.dat"}));
}

// A name a Mac wrote decomposed sorts where its composed spelling does, as a reader expects.
TEST(ListBoxModelTest, DecomposedNamesSortAsComposed)
{
    const QString mac = QStringLiteral("맥에서 복사").normalized(QString::NormalizationForm_D);
    EXPECT_TRUE(listsBefore(QStringLiteral("동영상"), mac));
    EXPECT_FALSE(listsBefore(mac, QStringLiteral("동영상")));
    EXPECT_TRUE(listsBefore(mac, QStringLiteral("사진")));
    // Equal when composed: the exact text decides, so the order stays fixed.
    EXPECT_NE(listsBefore(mac, QStringLiteral("맥에서 복사")),
              listsBefore(QStringLiteral("맥에서 복사"), mac));
}

TEST(ListingPatternTest, Matching)
{
    for (const char *pattern : {"*", "*.*", ""}) {
        for (const char *name : {".", "..", "noext", "a.b.c"})
            EXPECT_TRUE(matchesListingPattern(name, pattern)) << pattern << " " << name;
    }
    EXPECT_TRUE(matchesListingPattern(u"cd_A.dat"_s, u"cd_*.dat"_s));
    EXPECT_TRUE(matchesListingPattern(u"cd_.dat"_s, u"cd_*.dat"_s));
    EXPECT_FALSE(matchesListingPattern(u"cd_A.DAT"_s, u"cd_*.dat"_s));
    EXPECT_FALSE(matchesListingPattern(u"cdinfo.dat"_s, u"cd_*.dat"_s));
    EXPECT_FALSE(matchesListingPattern(u"cd_A.dat.bak"_s, u"cd_*.dat"_s));
    EXPECT_TRUE(matchesListingPattern(u"abxbc"_s, u"a*b*c"_s));
    EXPECT_FALSE(matchesListingPattern(u"abxbcx"_s, u"a*b*c"_s));
    EXPECT_TRUE(matchesListingPattern(u"사진1.jpg"_s, u"사진?.*"_s));
    EXPECT_TRUE(matchesListingPattern(u"😀.txt"_s, u"?.txt"_s));
    EXPECT_FALSE(matchesListingPattern(u"😀.txt"_s, u"??.txt"_s));
    EXPECT_FALSE(matchesListingPattern(u"😀"_s, u"*??"_s));
}

TEST(ListingPatternTest, DriveRootFromListing)
{
    EXPECT_EQ(driveRootFromListing(u"[-/media/kim/DISC/-]"_s), "/media/kim/DISC/");
    EXPECT_EQ(driveRootFromListing(u"[-/-]"_s), "/");
    for (const char *text : {"[x]", "[-x-]", "[-]", "[--]", "cd_1.dat", "", "[-/media-]"})
        EXPECT_EQ(driveRootFromListing(text), "") << text;
}

TEST(DriveRootsTest, RealFileSystemsOnly)
{
    const std::vector<MountedVolume> volumes = {
        {"/", "overlay"},
        {"/proc", "proc"},
        {"/sys", "sysfs"},
        {"/sys/fs/cgroup", "cgroup2"},
        {"/dev", "devtmpfs"},
        {"/dev/shm", "tmpfs"},
        {"/run", "tmpfs"},
        {"/home", "ext4"},
        {"/home", "ext4"},
        {"/media/kim/DISC_01", "iso9660"},
        {u"/media/kim/MY DISC"_s, "vfat"},
        {"/run/media/lee/USB", "exfat"},
        {"/run/user/1000/gvfs", "fuse.gvfsd-fuse"},
        {"/snap/core/123", "squashfs"},
        {u"/mnt/back\\slash\ttab"_s, "ext4"},
        {"/var/lib/docker/overlay2/x/merged", "overlay"},
        {"/tmp", "tmpfs"},
        {"/devices", "ext4"},
        {"/proc/sys/fs/binfmt_misc", "binfmt_misc"},
        {"/media/kim/CD", "fuse.fuseiso"},
    };
    EXPECT_EQ(driveRootsOf(volumes),
              QStringList({"/", "/devices/", "/home/", "/media/kim/CD/", "/media/kim/DISC_01/",
                           "/media/kim/MY DISC/", u"/mnt/back\\slash\ttab/"_s, "/run/media/lee/USB/"}));
    EXPECT_EQ(driveRootsOf({}), QStringList({"/"}));
}

TEST(DriveRootsTest, LocalDrivesStartWithTheRoot)
{
    LocalFileSystem fs;
    const QStringList roots = fs.driveRoots();
    ASSERT_FALSE(roots.isEmpty());
    EXPECT_EQ(roots.first(), "/");
    for (const QString &root : roots)
        EXPECT_TRUE(root.endsWith(u'/') && QFileInfo(root).isDir()) << qPrintable(root);
}

} // namespace

TEST(FileNameForDisplay, Utf8ThenCp949ThenReplacementMarks)
{
    // One after the other, as a listing decodes them: a bad name must not spoil the next one.
    EXPECT_EQ(fileNameForDisplay("\xBB\xE7\xC1\xF8"), u"사진"_s);
    EXPECT_EQ(fileNameForDisplay("bad\xFF"), u"bad\uFFFD"_s) << "0xFF is no CP949";
    EXPECT_EQ(fileNameForDisplay("\x8C\x63.jpg"), u"똠.jpg"_s);
    EXPECT_EQ(fileNameForDisplay("\xB0"), u"\uFFFD"_s) << "a lead byte alone";
    EXPECT_EQ(fileNameForDisplay("\xC6\xC4\xC0\xCF"), u"파일"_s);
    EXPECT_EQ(fileNameForDisplay("\xEC\x82\xAC\xEC\xA7\x84"), u"사진"_s) << "UTF-8 as it is";
    EXPECT_EQ(fileNameForDisplay("\xC9\xFE"), u"\uFFFD\uFFFD"_s) << "a private-use pair is no Korean";
}

TEST(DriveWatcherTest, HearsOfAMountAndAnUnmount)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system needs root";
    QTemporaryDir dir;
    int changes = 0;
    DriveWatcher watcher([&] { ++changes; });
    const QByteArray point = QFile::encodeName(dir.path());
    if (::mount("tarvek-test", point.constData(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "this machine allows no mount";
    QElapsedTimer timer;
    timer.start();
    while (changes == 0 && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_GE(changes, 1);
    const int afterMount = changes;
    ::umount(point.constData());
    timer.restart();
    while (changes == afterMount && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_GT(changes, afterMount);
}
