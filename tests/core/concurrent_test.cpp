// Two copies of the program saving into one data folder at the same time, the window's core or the
// command line: each takes the folder's lock and reads the index anew, so no change drops the other's.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ConcurrentSaves, TwoProgramsSavingAtOnceKeepEveryEntry)
{
    QTemporaryDir dir;
    const QString data = dir.path() + "/data";
    QProcess first, second;
    first.start(TARVEK_ENTRIES_DRIVER, {"save", data, "P", "200"});
    second.start(TARVEK_ENTRIES_DRIVER, {"save", data, "Q", "200"});
    for (QProcess *driver : {&first, &second}) {
        ASSERT_TRUE(driver->waitForFinished(120000));
        EXPECT_EQ(driver->exitCode(), 0) << driver->readAllStandardOutput().constData();
    }
    RecordSet index(d_cdinfo());
    EXPECT_EQ(loadDataFile(index, data + "/cdinfo.dat"), 400);
    EXPECT_EQ(index.Find("file = 'cd_P199.dat'", 1, 400) > 0 &&
                  index.Find("file = 'cd_Q199.dat'", 1, 400) > 0,
              true);
}

TEST(ConcurrentSaves, TheWindowsCoreAndTheCommandLineAtOnceKeepEveryChange)
{
    QTemporaryDir dir;
    const QString data = dir.path() + "/data", disc = dir.path() + "/disc";
    ASSERT_TRUE(QDir().mkpath(disc + "/사진"));
    QFile file(disc + "/사진/a.jpg");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // The window's entry changes in one program, tarvek-cli saving, renaming and deleting in the other.
    QProcess window, shell;
    window.start(TARVEK_ENTRIES_DRIVER, {"save", data, "P", "150"});
    shell.start(
        "sh",
        {"-c",
         "for i in $(seq 0 29); do \"$0\" --data \"$1\" scan \"$2\" --label Q$i >/dev/null || exit 1; done; "
         "\"$0\" --data \"$1\" rename Q0 R0 >/dev/null && \"$0\" --data \"$1\" rm Q1",
         TARVEK_CLI, data, disc});
    for (QProcess *program : {&window, &shell}) {
        ASSERT_TRUE(program->waitForFinished(120000));
        EXPECT_EQ(program->exitCode(), 0)
            << program->readAllStandardOutput().constData() << program->readAllStandardError().constData();
    }
    RecordSet index(d_cdinfo());
    ASSERT_EQ(loadDataFile(index, data + "/cdinfo.dat"), 150 + 28 + 1);
    QStringList labels;
    for (qint64 row = 1; row <= index.RowCount(); ++row) {
        labels << index.GetItemString(row, IndexColumn::name);
        RecordSet tree(d_dir_tree());
        EXPECT_GT(loadDataFile(tree, data + "/" + index.GetItemString(row, IndexColumn::file)), 0)
            << qPrintable(labels.last());
    }
    for (const char *label : {"P0", "P149", "Q2", "Q29", "R0"})
        EXPECT_TRUE(labels.contains(label)) << label;
    EXPECT_FALSE(labels.contains("Q0") || labels.contains("Q1"));
    EXPECT_FALSE(QFile::exists(data + "/cd_Q1.dat") || QFile::exists(data + "/cd_Q0.dat"));
}
