// The data folder and Tarvek's own folder, which two programs may make at once.

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
