// The volume label and capacity of an ISO 9660 image, read from its own volume descriptors.

#include "files/isovolume.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(IsoVolume, LabelAndCapacityFromTheImage)
{
    if (QStandardPaths::findExecutable(u"genisoimage"_s).isEmpty())
        GTEST_SKIP() << "genisoimage is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(u"src/sub"_s)));
    QFile file(dir.filePath(u"src/sub/a.txt"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("hello") == 5);
    file.close();
    const struct {
        QStringList options;
        QString label;
    } cases[] = {
        {{u"-J"_s, u"-R"_s, u"-V"_s, u"TRAVEL_2004"_s}, u"TRAVEL_2004"_s},
        {{u"-R"_s, u"-V"_s, u"NO_JOLIET"_s}, u"NO_JOLIET"_s},
        // Joliet's UCS-2 label is taken over the primary's bytes.
        {{u"-J"_s, u"-input-charset"_s, u"utf-8"_s, u"-V"_s, u"여행 2004"_s}, u"여행 2004"_s},
        {{u"-J"_s}, u"CDROM"_s}, // the writer's own default
    };
    for (const auto &c : cases) {
        const QString image = dir.filePath(u"x.iso"_s);
        QProcess make;
        make.start(u"genisoimage"_s, QStringList{u"-quiet"_s, u"-o"_s, image} + c.options +
                                         QStringList{dir.filePath(u"src"_s)});
        ASSERT_TRUE(make.waitForFinished() && make.exitCode() == 0) << c.label.toStdString();
        IsoVolume volume;
        ASSERT_TRUE(readIsoVolume(image, volume)) << c.label.toStdString();
        EXPECT_EQ(volume.label, c.label);
        EXPECT_EQ(volume.capacity, QFileInfo(image).size()) << c.label.toStdString();
    }
    // Anything else is no image: a text file, a folder, nothing at all, descriptors cut short.
    IsoVolume volume;
    for (const QString &path :
         {dir.filePath(u"src/sub/a.txt"_s), dir.filePath(u"src"_s), dir.filePath(u"none"_s)})
        EXPECT_FALSE(readIsoVolume(path, volume)) << path.toStdString();
    QByteArray torn(2047, '\0');
    torn.replace(1, 5, "CD001");
    torn[0] = 1;
    EXPECT_FALSE(parseIsoVolume(torn, volume));
}

TEST(IsoVolume, MountTableGivesTheLastSourceOfTheMountPoint)
{
    QTemporaryDir dir;
    const QString table = dir.filePath(u"mtab"_s);
    QFile file(table);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("/tmp/old.iso /media/iso-1 fuseiso defaults 0 0\n"
               "/tmp/other.iso /media/iso-10 fuseiso defaults 0 0\n"
               "/tmp/my\\040disc.iso /media/iso-1 fuseiso defaults 0 0\n");
    file.close();
    EXPECT_EQ(sourceInMountTable(table, u"/media/iso-1/"_s), u"/tmp/my disc.iso"_s);
    EXPECT_EQ(sourceInMountTable(table, u"/media/iso-2"_s), QString());
    EXPECT_EQ(sourceInMountTable(dir.filePath(u"none"_s), u"/media/iso-1"_s), QString());
}
