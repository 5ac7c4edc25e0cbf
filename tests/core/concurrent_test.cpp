// Two copies of the program saving into one data folder at the same time: each takes the folder's
// lock and reads the index anew, so no save drops the other's.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"

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
