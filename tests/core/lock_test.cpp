// The data folder's lock as crashes, power cuts and other copies of the program leave it: lock
// files that name no one, holders alive and dead, waits the user sees and stops, folders that
// take no lock file, and a data folder two programs make at once.

#include "catalogue/datafolder.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "files/fileops.h"
#include "files/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;

namespace {

QString lockPath(const QString &folder)
{
    return folder + u"/.tarvek.lock"_s;
}

void writeLockFile(const QString &folder, const QByteArray &bytes, int secondsOld)
{
    QFile file(lockPath(folder));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    const struct utimbuf then = {::time(nullptr) - secondsOld, ::time(nullptr) - secondsOld};
    ::utime(QFile::encodeName(lockPath(folder)).constData(), &then);
}

// A wait that counts how often it was told, keeps the last text, and cancels after `cancelAfter`
// calls (never when negative).
struct CountingWait {
    int calls = 0, overs = 0, cancelAfter = -1;
    QString lastText;
    LockWait hooks()
    {
        return {[this](const QString &text, qint64) {
                    lastText = text;
                    return ++calls == cancelAfter;
                },
                [this] { ++overs; }};
    }
};

} // namespace

// What a lock file holds decides whether it is taken over at once, after a few seconds, or
// never while its holder lives.
TEST(FolderLock, LockFilesLeftBehindAndLiveHolders)
{
    const struct {
        const char *what;
        QByteArray bytes;   // the lock file's content; "live" for one this process holds
        int secondsOld;     // its age
        bool taken, waited; // lock(200 ms) succeeds; it had to wait to learn that
    } cases[] = {
        {"empty, as a kill after making it leaves it", "", 10, true, false},
        {"garbled, as a power cut leaves it", "\x01\xff garbage", 10, true, false},
        {"a process that is gone", "999999999\ntarvek\n" + QSysInfo::machineHostName().toUtf8() + "\n", 0,
         true, false},
        {"empty and being written this moment", "", 0, false, true},
        {"held by this process", "live", 0, false, true},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        QLockFile holder(lockPath(dir.path()));
        if (c.bytes == "live")
            ASSERT_TRUE(holder.tryLock(0));
        else
            writeLockFile(dir.path(), c.bytes, c.secondsOld);
        DataFolderLock lock(dir.path());
        CountingWait wait;
        const LockWait hooks = wait.hooks();
        EXPECT_EQ(lock.lock(200, &hooks), c.taken) << c.what;
        EXPECT_EQ(wait.calls > 0, c.waited) << c.what;
        EXPECT_EQ(wait.overs, c.waited ? 1 : 0) << c.what;
        if (c.bytes == "live") {
            EXPECT_TRUE(wait.lastText.contains(QString::number(QCoreApplication::applicationPid())))
                << qPrintable(wait.lastText);
            EXPECT_TRUE(lock.failure().error.contains(QString::number(QCoreApplication::applicationPid())));
        }
    }
}

// A lock file that names no one but is still held by a live process (which takes the file's own
// locks at once, and may not have written its name yet) is never removed, however old.
TEST(FolderLock, AnOwnerlessLockFileStillHeldStays)
{
    QTemporaryDir dir;
    writeLockFile(dir.path(), "", 60);
    const int fd = ::open(QFile::encodeName(lockPath(dir.path())).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    DataFolderLock lock(dir.path());
    EXPECT_FALSE(lock.lock(100));
    EXPECT_TRUE(QFile::exists(lockPath(dir.path())));
    ::close(fd);
}

// A fresh ownerless lock file is taken over once it is a few seconds old: the next save waits
// those seconds, not QLockFile's thirty.
TEST(FolderLock, AFreshOwnerlessLockFileIsTakenOverSoon)
{
    QTemporaryDir dir;
    writeLockFile(dir.path(), "", 0);
    DataFolderLock lock(dir.path());
    CountingWait wait;
    const LockWait hooks = wait.hooks();
    QElapsedTimer waited;
    waited.start();
    ASSERT_TRUE(lock.lock(DataFolderLock::kWaitMs, &hooks));
    EXPECT_LT(waited.elapsed(), 20 * 1000) << "QLockFile's own 30 s were waited";
    EXPECT_GT(wait.calls, 0);
    EXPECT_TRUE(wait.lastText.contains(lockPath(dir.path()))) << qPrintable(wait.lastText);
}

// The user stops a wait: nothing is changed, and the change says it was cancelled, not failed.
TEST(FolderLock, ACancelledWaitChangesNothing)
{
    QTemporaryDir dir;
    const QString data = dir.path();
    RecordSet index(d_cdinfo()), list(d_cdinfo()), tree(d_dir_tree());
    tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1"_s);
    CatalogueEntries entries(index, list, data, u"cdinfo.dat"_s);
    ASSERT_TRUE(entries.add(tree, {u"cd_A.dat"_s, {}, u"A"_s, u"01"_s}).ok);
    QLockFile other(lockPath(data));
    ASSERT_TRUE(other.tryLock(0));
    CountingWait wait;
    wait.cancelAfter = 3;
    entries.lockWait = wait.hooks();
    const std::function<FileResult()> changes[] = {
        [&] {
            return entries.add(tree, {u"cd_B.dat"_s, {}, u"B"_s, u"01"_s});
        },
        [&] {
            return entries.replace(tree, {u"cd_A.dat"_s, u"new"_s, u"A"_s, u"01"_s}, 1);
        },
        [&] {
            return entries.change(u"A"_s, {u"cd_C.dat"_s, {}, u"C"_s, u"01"_s});
        },
        [&] { return entries.remove(1).index; },
    };
    list.Reset();
    index.RowsCopy(1, index.RowCount(), list, 1);
    for (const auto &change : changes) {
        wait.calls = wait.overs = 0;
        const FileResult result = change();
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.cancelled) << qPrintable(result.error);
        EXPECT_EQ(wait.calls, 3);
        EXPECT_EQ(wait.overs, 1);
        EXPECT_EQ(QDir(data).entryList({u"cd_*"_s}, QDir::Files), QStringList{u"cd_A.dat"_s});
        EXPECT_EQ(index.RowCount(), 1);
        EXPECT_EQ(list.RowCount(), 1);
    }
}

// Start-up cleans up only when no other copy holds the lock: it never waits for one.
TEST(FolderLock, StartUpNeverWaits)
{
    QTemporaryDir dir;
    RecordSet index(d_cdinfo()), list(d_cdinfo());
    CatalogueEntries entries(index, list, dir.path(), u"cdinfo.dat"_s);
    QLockFile other(lockPath(dir.path()));
    ASSERT_TRUE(other.tryLock(0));
    CountingWait wait;
    entries.lockWait = wait.hooks();
    QElapsedTimer started;
    started.start();
    entries.removeStaleFiles();
    EXPECT_LT(started.elapsed(), DataFolderLock::kWaitMs / 2) << "start-up waited for the other copy";
    EXPECT_EQ(wait.calls, 0);
}

// Why a folder takes no lock file, as the save's other messages say it: a full disc and a
// read-only disc (on a small disc of its own where this machine lets the tests mount one), a
// read-only folder and one without permission (as a user who is not its owner).
TEST(FolderLock, SaysWhyNoLockFileCanBeMade)
{
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QString data = dir.path() + u"/data"_s;
    ASSERT_TRUE(QDir().mkpath(data));
    const struct {
        const char *what;
        QString reason;
    } cases[] = {
        {"full", u"디스크에 남은 공간이 없습니다"_s},
        {"read-only mount", u"읽기 전용 디스크"_s},
        {"read-only folder", u"데이터 폴더가 읽기 전용"_s},
        {"no permission", u"쓸 권한이 없습니다"_s},
    };
    int tried = 0;
    for (const auto &c : cases) {
        const QByteArray folder = QFile::encodeName(data);
        const std::string what = c.what;
        QString error;
        if (what == "full" || what == "read-only mount") {
            if (::geteuid() != 0 || ::mount("tarvek-test", folder.constData(), "tmpfs", 0, "size=64k") != 0)
                continue;
            QFile filler(data + u"/filler"_s);
            if (what == "full") {
                ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
                while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
                }
                filler.close();
            } else {
                ASSERT_EQ(::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
            }
            DataFolderLock lock(data);
            EXPECT_FALSE(lock.lock(100)) << c.what;
            error = lock.failure().error;
            ::umount2(folder.constData(), MNT_DETACH);
        } else {
            // As a user other than the folder's owner, or as this one when it is not root.
            const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
            if (::geteuid() == 0 && setpriv.isEmpty())
                continue;
            ::chmod(folder.constData(), what == "read-only folder" ? 0555 : 0755);
            if (::geteuid() != 0 && what == "no permission")
                continue; // the folder is this user's own
            QProcess driver;
            const QStringList arguments = {u"save"_s, data, u"P"_s, u"1"_s};
            if (::geteuid() == 0)
                driver.start(setpriv, QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                                  u"--"_s, TARVEK_ENTRIES_DRIVER} +
                                          arguments);
            else
                driver.start(TARVEK_ENTRIES_DRIVER, arguments);
            ASSERT_TRUE(driver.waitForFinished(60000));
            EXPECT_NE(driver.exitCode(), 0) << c.what;
            error = QString::fromUtf8(driver.readAllStandardOutput());
            ::chmod(folder.constData(), 0755);
        }
        ++tried;
        EXPECT_TRUE(error.contains(u"잠그지 못했습니다"_s)) << c.what << ": " << qPrintable(error);
        EXPECT_TRUE(error.contains(c.reason)) << c.what << ": " << qPrintable(error);
    }
    if (tried == 0)
        GTEST_SKIP() << "this machine allows no mount and no other user";
}

// Whoever makes the folder, a folder there is what counts; a file of that name is no folder.
TEST(Folders, MadeOnceWhoeverMakesThem)
{
    QTemporaryDir dir;
    const QString made = dir.filePath(u"made"_s), file = dir.filePath(u"file"_s);
    QFile(file).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir().mkdir(dir.filePath(u"there"_s)));
    const struct {
        QString path;
        bool ok;
        int error;
    } cases[] = {{made, true, 0},
                 {made, true, 0},
                 {dir.filePath(u"there"_s), true, 0},
                 {file, false, EEXIST},
                 {dir.filePath(u"no/such"_s), false, ENOENT}};
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(ensureFolder(c.path), c.ok) << qPrintable(c.path);
        if (!c.ok) {
            EXPECT_EQ(errno, c.error) << qPrintable(c.path);
        }
        EXPECT_EQ(QFileInfo(c.path).isDir(), c.ok);
    }
}
