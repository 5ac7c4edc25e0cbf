// scan-images with an image reader of the tests' own: each image stands for a folder beside it,
// as a reader of the image files would give its contents. The volume labels are the images' own.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "cli/cli.h"
#include "cli/exitstatus.h"
#include "cli/scanimages.h"
#include "scanner/discimage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ScanImages : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(images()));
        setImageReader([](const QString &path, DiscImage &image, QString &error) {
            static LocalFileSystem fs;
            image.root = path + ".d/";
            if (!QFileInfo(image.root).isDir()) {
                error = "broken: " + path;
                return false;
            }
            image.walk = fs.walkDrive(image.root);
            image.facts.volumeLabel = imageVolumeLabel(path);
            return true;
        });
    }
    void TearDown() override { setImageReader({}); }

    QString images(const QString &name = {}) const { return m_dir.path() + "/images/" + name; }
    QString data() const { return m_dir.path() + "/data"; }

    // An ISO image with this volume label, whose contents the reader finds in "<image>.d/", holding
    // `files` empty files.
    void image(const QString &name, const QString &volume, int files)
    {
        const QString contents = images(name + ".d");
        ASSERT_TRUE(QDir().mkpath(contents + "/폴더"));
        for (int i = 0; i < files; ++i) {
            QFile file(contents + QStringLiteral("/폴더/%1.txt").arg(i));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        ASSERT_EQ(QProcess::execute("genisoimage", {"-quiet", "-V", volume, "-o", images(name), contents}),
                  0);
    }
    int run(const QStringList &args)
    {
        return runCommandLine(QStringList{"--data", data()} + args, "/nowhere/tarvek-cli");
    }

    // Each entry as "label:rows".
    QString catalogue() const
    {
        RecordSet index(d_cdinfo());
        loadDataFile(index, data() + "/cdinfo.dat");
        QStringList out;
        for (qint64 row = 1; row <= index.RowCount(); ++row) {
            RecordSet tree(d_dir_tree());
            out << index.GetItemString(row, IndexColumn::name) + ':' +
                       QString::number(
                           loadDataFile(tree, data() + '/' + index.GetItemString(row, IndexColumn::file)));
        }
        return out.join(u',');
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ScanImages, LabelsComeFromTheVolumeUnlessImagesShareIt)
{
    image("a.iso", "PHOTOS", 1);
    image("b.iso", "CDROM", 1);
    image("c.iso", "cdrom", 1);  // the same label as b's but for case
    image("d.iso", "DOCS 1", 1); // spaces are fine
    QFile(images("note.txt")).open(QIODevice::WriteOnly);
    const QStringList found = imagesIn(images());
    ASSERT_EQ(found, (QStringList{images("a.iso"), images("b.iso"), images("c.iso"), images("d.iso")}));
    EXPECT_EQ(labelsForImages(found, false).join(u','), "PHOTOS,b,c,DOCS 1");
    EXPECT_EQ(labelsForImages(found, true).join(u','), "a,b,c,d");
}

TEST_F(ScanImages, EachImageIsSavedOnceAndABadOneNeverStopsTheBatch)
{
    image("a.iso", "PHOTOS", 2);
    image("b.iso", "CDROM", 3);
    image("c.iso", "CDROM", 4);
    QFile bad(images("bad.iso"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(40000, 'x'));
    bad.close();
    // A disc saved under a's volume label already: a is not catalogued twice.
    image("old.iso", "PHOTOS", 5);
    ASSERT_EQ(run({"scan", images("old.iso.d"), "--label", "photos"}), kExitOk);
    QFile::remove(images("old.iso"));

    EXPECT_EQ(run({"scan-images", images(), "--category", "04"}), kExitDataProblem); // bad.iso failed
    // Rows: the root, its folder and the files.
    EXPECT_EQ(catalogue(), "photos:7,b:5,c:6");
    // Run again, the batch finds every disc saved and catalogues nothing twice.
    EXPECT_EQ(run({"scan-images", images()}), kExitDataProblem);
    EXPECT_EQ(catalogue(), "photos:7,b:5,c:6");
    QFile::remove(images("bad.iso"));
    EXPECT_EQ(run({"scan-images", images()}), kExitOk);
    RecordSet index(d_cdinfo());
    loadDataFile(index, data() + "/cdinfo.dat");
    EXPECT_EQ(index.GetItemString(2, IndexColumn::gubn), "04");
    EXPECT_EQ(index.GetItemString(2, IndexColumn::desc), "b.iso"); // where the disc came from
}
