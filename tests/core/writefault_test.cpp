// Writes that fail: the user is told why in words, the previous file stays byte for byte, and
// no temporary file is left behind.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "files/fileops.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class WriteFault : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_folder = m_dir.path() + "/data";
        ASSERT_TRUE(QDir().mkpath(m_folder));
        m_index.ImportString(u"cd_A.dat\t사진\tA\t04\ncd_B.dat\t\tB\t01");
    }
    void TearDown() override
    {
        resetFileOps();
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
        ::chmod(QFile::encodeName(m_folder).constData(), 0755);
    }

    QString file() const { return m_folder + "/cdinfo.dat"; }
    static QByteArray bytesOf(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }
    QStringList entries() const
    {
        return QDir(m_folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    // Writes the index over an older one and checks what every failure must leave behind.
    void expectFailureSaying(const QString &reason)
    {
        const QByteArray old = "cd_OLD.dat\told\tOLD\t02\r\n";
        {
            QFile previous(file());
            ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
            previous.write(old);
        }
        const QStringList before = entries();
        const FileResult result = storeIndex(m_index, file());
        resetFileOps();
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.error.contains(file())) << qPrintable(result.error);
        EXPECT_TRUE(result.error.contains(reason)) << qPrintable(result.error);
        EXPECT_EQ(bytesOf(file()), old) << "the previous file stays as it was";
        EXPECT_EQ(entries(), before) << "no temporary file is left";
    }
    bool mountTmpfs(const char *options)
    {
        m_mounted = ::geteuid() == 0 &&
                    ::mount("tarvek-test", QFile::encodeName(m_folder).constData(), "tmpfs", 0, options) == 0;
        return m_mounted;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    RecordSet m_index{d_cdinfo()};
    bool m_mounted = false;
};

} // namespace

TEST_F(WriteFault, AFullDisc)
{
    const QString full = QStringLiteral("디스크에 남은 공간이 없습니다");
    // A real small disc when the tests may mount one; the old file fills most of it.
    if (mountTmpfs("size=64k")) {
        for (int i = 0; i < 3000; ++i)
            m_index.ImportString(QStringLiteral("cd_%1.dat\t긴 설명이 들어 있는 디스크\t%1\t02").arg(i));
        expectFailureSaying(full);
        return;
    }
    fileOps().write = [](int, const void *, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    expectFailureSaying(full);
}

TEST_F(WriteFault, AReadOnlyFolder)
{
    if (mountTmpfs("size=64k")) {
        QFile previous(file());
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write("cd_OLD.dat\told\tOLD\t02\r\n");
        previous.close();
        ASSERT_EQ(::mount(nullptr, QFile::encodeName(m_folder).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                          nullptr),
                  0);
        const FileResult result = storeIndex(m_index, file());
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.error.contains(QStringLiteral("읽기 전용 디스크"))) << qPrintable(result.error);
        EXPECT_EQ(bytesOf(file()), "cd_OLD.dat\told\tOLD\t02\r\n");
        return;
    }
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder and this machine allows no mount";
    ::chmod(QFile::encodeName(m_folder).constData(), 0555);
    expectFailureSaying(QStringLiteral("쓸 권한이 없습니다"));
}

TEST_F(WriteFault, AFailingFlushOrRename)
{
    fileOps().sync = [](int) {
        errno = EIO;
        return -1;
    };
    expectFailureSaying(QStringLiteral("입출력 오류"));
    fileOps().rename = [](const char *, const char *) {
        errno = EACCES;
        return -1;
    };
    expectFailureSaying(QStringLiteral("쓸 권한이 없습니다"));
    // A disc that takes a few bytes and then no more.
    fileOps().write = [](int fd, const void *data, size_t size) -> ssize_t {
        if (::lseek(fd, 0, SEEK_CUR) >= 10) {
            errno = EDQUOT;
            return -1;
        }
        return ::write(fd, data, std::min<size_t>(size, 4));
    };
    expectFailureSaying(QStringLiteral("디스크에 남은 공간이 없습니다"));
}
