// What the pictures and songs inside an image file or an archive are: read from the first bytes
// kept of each as the image or archive is read, and the same as a scan of the files themselves
// gives, as far as those bytes go.

#include "catalogue/contenthash.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "scanner/archivescan.h"
#include "scanner/drivescan.h"
#include "scanner/imagescan.h"
#include "scanner/mediascan.h"
#include "support/archives.h"
#include "support/mediafiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

using namespace Qt::StringLiterals;
using namespace MediaFiles;

namespace {

struct Seen {
    QString note; // the media note, a song's length left out (it needs the end of the file)
    QByteArray thumbnail;
};

// Each file's media note and thumbnail by its name, for the rows that have either.
std::map<QString, Seen> mediaOf(const RecordSet &tree, const TreeFacts &facts)
{
    std::map<QString, Seen> seen;
    const RowNotes *notes = facts.notes.find(kMediaNotes);
    for (qint64 row = 2; row <= tree.RowCount(); ++row) {
        QString note = notes ? QString::fromUtf8(notes->at(row)) : QString();
        if (note.startsWith(u"audio"_s))
            note = note.section(u'\t', 0, -2);
        if (!note.isEmpty() || facts.thumbnails.has(row))
            seen[tree.GetItemString(row, TreeColumn::name)] = {note, facts.thumbnails.jpegOf(row)};
    }
    return seen;
}

// A photo and music folder: a JPEG with its EXIF thumbnail and one without, each longer than the
// bytes kept of a member (trailing bytes a decoder passes over), a small PNG, a song, a text.
void writeMediaFolder(const QString &folder)
{
    const QByteArray tail(400 * 1024, 'z');
    const Exif exif{"2004:07:11 15:05:00", "", "Canon", "Canon EOS 300D", 3072, 2048, true};
    Exif bare = exif;
    bare.thumbnail = false;
    ASSERT_TRUE(archives::write(folder + u"/사진/IMG_0001.JPG"_s, jpegWithExif(640, 480, exif) + tail));
    ASSERT_TRUE(archives::write(folder + u"/사진/IMG_0002.JPG"_s, jpegWithExif(640, 480, bare) + tail));
    ASSERT_TRUE(archives::write(folder + u"/사진/map.png"_s, encodedImage(300, 100, "PNG")));
    ASSERT_TRUE(archives::write(
        folder + u"/음악/01.mp3"_s,
        mp3(id3Frame("TPE1", 1, utf16(u"김광석"_s)) + id3Frame("TALB", 0, cp949(u"다시 부르기"_s)), 400)));
    ASSERT_TRUE(archives::write(folder + u"/readme.txt"_s, "IMG_0001.JPG"));
}

void scanFolder(const QString &root, RecordSet &tree, TreeFacts &facts, const ArchiveLimits &limits,
                bool media, bool hashes = false)
{
    HookContext hooks;
    LocalFileSystem fs;
    ArchiveScan archives(limits);
    const auto walk = archives.wrap(fs.walkDrive(root), &hooks);
    MediaScan reader(walk.get());
    scanDrive(hooks, walk.get(), root, tree, facts, {}, &archives, media ? &reader : nullptr, hashes);
}

} // namespace

TEST(MediaInArchives, MembersTellWhatTheSameFilesOnADiscTell)
{
    if (!archives::have(u"genisoimage"_s) || !archives::have(u"bsdtar"_s))
        GTEST_SKIP() << "genisoimage or bsdtar (libarchive-tools) is not installed";
    QTemporaryDir dir;
    const QString src = dir.filePath(u"src"_s), drive = dir.filePath(u"drive"_s) + u'/';
    writeMediaFolder(src);
    ASSERT_TRUE(archives::run(u"genisoimage"_s, {u"-quiet"_s, u"-J"_s, u"-R"_s, u"-input-charset"_s,
                                                 u"utf-8"_s, u"-o"_s, dir.filePath(u"disc.iso"_s), src}));
    ASSERT_TRUE(archives::bsdtar(drive + u"photos.zip"_s, src, {u"사진"_s, u"음악"_s, u"readme.txt"_s},
                                 {u"--format"_s, u"zip"_s}));
    ArchiveLimits withHeads;
    withHeads.headBytes = &MediaScan::headBytesFor;

    RecordSet folderTree(d_dir_tree());
    TreeFacts folderFacts;
    scanFolder(src + u'/', folderTree, folderFacts, {}, true);
    std::map<QString, Seen> expected = mediaOf(folderTree, folderFacts);
    ASSERT_EQ(expected.size(), 4u);
    ASSERT_FALSE(expected[u"IMG_0002.JPG"_s].thumbnail.isEmpty()); // decoded from the whole file
    // Of a member only its first bytes are kept: a picture without a thumbnail of its own is not
    // decoded from part of it, which would show a picture cut off.
    expected[u"IMG_0002.JPG"_s].thumbnail.clear();

    struct Case {
        const char *what;
        bool image; // the ISO scanned as a disc, else the drive with the zip on it
        bool media;
        qint64 budget;
        bool found; // the facts as expected; else none at all
    };
    const Case cases[] = {
        {"an image file", true, true, withHeads.headBudget, true},
        {"a zip on a drive", false, true, withHeads.headBudget, true},
        {"an image file, the option off", true, false, withHeads.headBudget, false},
        {"a zip, the option off", false, false, withHeads.headBudget, false},
        {"a zip, no room for any bytes kept", false, true, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        ArchiveLimits limits = withHeads;
        limits.headBudget = c.budget;
        if (c.image) {
            HookContext hooks;
            ASSERT_TRUE(scanImage(dir.filePath(u"disc.iso"_s), hooks, limits, tree, facts, {}, c.media).read);
        } else {
            scanFolder(drive, tree, facts, c.media ? limits : ArchiveLimits{}, c.media);
        }
        const std::map<QString, Seen> seen = mediaOf(tree, facts);
        if (!c.found) {
            EXPECT_TRUE(seen.empty());
            continue;
        }
        ASSERT_EQ(seen.size(), expected.size());
        for (const auto &[name, facts] : expected) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_TRUE(seen.count(name));
            EXPECT_EQ(seen.at(name).note, facts.note);
            EXPECT_EQ(seen.at(name).thumbnail, facts.thumbnail);
        }
    }
}

TEST(MediaInArchives, AMemberKeepsNoContentHashFromTheBytesKeptOfIt)
{
    if (!archives::have(u"bsdtar"_s))
        GTEST_SKIP() << "bsdtar (libarchive-tools) is not installed";
    QTemporaryDir dir;
    const QString src = dir.filePath(u"src"_s), drive = dir.filePath(u"drive"_s) + u'/';
    writeMediaFolder(src);
    ASSERT_TRUE(archives::bsdtar(drive + u"photos.zip"_s, src, {u"사진"_s}, {u"--format"_s, u"zip"_s}));
    ASSERT_TRUE(QFile::copy(src + u"/사진/map.png"_s, drive + u"map.png"_s));
    ArchiveLimits limits;
    limits.headBytes = &MediaScan::headBytesFor;
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    // Bytes kept but no reader to take them: the hashes must not be taken of them either.
    scanFolder(drive, tree, facts, limits, false, true);
    qint64 hashed = 0, members = 0;
    for (qint64 row = 2; row <= tree.RowCount(); ++row) {
        const QString path = tree.GetItemString(row, TreeColumn::fullname);
        const bool member = path.contains(u"photos.zip/"_s);
        if (member && tree.GetItemString(row, TreeColumn::name).endsWith(u"JPG"_s))
            ++members;
        if (contentHashOf(facts, row))
            ++hashed;
        EXPECT_FALSE(member && contentHashOf(facts, row)) << qPrintable(path);
    }
    EXPECT_EQ(members, 2);
    EXPECT_EQ(hashed, 1); // the picture beside the zip (an archive lists as a folder)
}
