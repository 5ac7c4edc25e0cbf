#include "scanner/mediaread.h"

#include "support/mediafiles.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

using namespace MediaFiles;

namespace {

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// A big photo whose picture data is noise, so that it is as large as a camera's.
QByteArray bigPhoto(bool thumbnail)
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate());
    QByteArray plain;
    QBuffer buffer(&plain);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return withExif(plain, {"2010:01:02 03:04:05", "", "", "", 0, 0, thumbnail});
}

bool mostlyRed(const QImage &image)
{
    const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
    return centre.red() > 200 && centre.green() < 60 && centre.blue() < 60;
}

} // namespace

TEST(MediaRead, PicturesGiveTheirFactsAndAThumbnail)
{
    struct Case {
        const char *what;
        QByteArray bytes;
        MediaType type;
        bool facts;
        QString taken, make, model;
        qint64 width, height;
        QSize thumbnail; // empty: none
        bool embedded;   // the thumbnail is the red one the EXIF block carries
    };
    const QByteArray photo = jpegWithExif(
        320, 213, {"2004:07:11 15:05:00", "2020:01:01 00:00:00", "Canon", "Canon EOS 300D", 3072, 2048});
    const Case cases[] = {
        {"EXIF date, camera, size and thumbnail",
         photo,
         MediaType::Jpeg,
         true,
         "2004-07-11T15:05:00",
         "Canon",
         "Canon EOS 300D",
         3072,
         2048,
         {120, 80},
         true},
        {"only the image's date, no thumbnail: decoded small",
         jpegWithExif(640, 480, {"", "2003:12:31 23:59", "", "", 0, 0, false}),
         MediaType::Jpeg,
         true,
         "2003-12-31T23:59:00",
         "",
         "",
         640,
         480,
         {160, 120},
         false},
        {"a clock never set",
         jpegWithExif(200, 100, {"0000:00:00 00:00:00", "", "NIKON", "", 0, 0, false}),
         MediaType::Jpeg,
         true,
         "",
         "NIKON",
         "",
         200,
         100,
         {160, 80},
         false},
        {"a PNG without EXIF",
         encodedImage(300, 100, "PNG"),
         MediaType::Picture,
         true,
         "",
         "",
         "",
         300,
         100,
         {160, 53},
         false},
        {"noise named .jpg", noise(5000, 1), MediaType::Jpeg, false, "", "", "", -1, -1, {}, false},
        {"a JPEG cut short in its EXIF block",
         photo.first(300),
         MediaType::Jpeg,
         false,
         "",
         "",
         "",
         -1,
         -1,
         {},
         false},
        {"an empty file", QByteArray(), MediaType::Jpeg, false, "", "", "", -1, -1, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const MediaRead read = readMediaBytes(c.bytes, c.type);
        ASSERT_EQ(bool(read.facts), c.facts);
        if (!c.facts) {
            EXPECT_TRUE(read.thumbnail.isEmpty());
            continue;
        }
        EXPECT_EQ(read.facts->kind, MediaFacts::Kind::Picture);
        EXPECT_EQ(read.facts->taken, c.taken);
        EXPECT_EQ(read.facts->make, c.make);
        EXPECT_EQ(read.facts->model, c.model);
        EXPECT_EQ(read.facts->width, c.width);
        EXPECT_EQ(read.facts->height, c.height);
        const QImage thumbnail = QImage::fromData(read.thumbnail, "JPEG");
        EXPECT_EQ(thumbnail.size(), c.thumbnail);
        if (!thumbnail.isNull()) {
            EXPECT_EQ(mostlyRed(thumbnail), c.embedded);
        }
        EXPECT_LE(read.thumbnail.size(), 8 * 1024);
    }
}

// A camera's own thumbnail that is upright and small is kept byte for byte; one turned on its
// side or larger than a thumbnail is made anew, upright and 160 pixels at most.
TEST(MediaRead, TheCamerasThumbnailIsKeptAsItIsWhenItWillDo)
{
    struct Case {
        const char *what;
        int orientation;
        QSize embedded;
        bool keptAsIs;
        QSize thumbnail;
        QPointF yellow; // where the picture's yellow quarter shows, in fractions of its sides
    };
    const Case cases[] = {
        {"upright, 120 × 80", 1, {120, 80}, true, {120, 80}, {0.25, 0.25}},
        {"no orientation said, 160 × 120", 0, {160, 120}, true, {160, 120}, {0.25, 0.25}},
        {"turned a quarter right", 6, {120, 80}, false, {80, 120}, {0.75, 0.25}},
        {"turned upside down", 3, {120, 80}, false, {120, 80}, {0.75, 0.75}},
        {"larger than a thumbnail", 1, {320, 240}, false, {160, 120}, {0.25, 0.25}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Exif exif{"2010:01:02 03:04:05", "", "Canon", "Canon EOS 300D", 640, 480, true};
        exif.orientation = c.orientation;
        exif.thumbnailSize = c.embedded;
        const QByteArray photo = jpegWithExif(640, 480, exif);
        const MediaRead read = readMediaBytes(photo, MediaType::Jpeg);
        ASSERT_TRUE(read.facts);
        const QByteArray embedded = encodedImage(c.embedded.width(), c.embedded.height(), "JPEG", Qt::red);
        EXPECT_EQ(read.thumbnail == embedded, c.keptAsIs);
        const QImage thumbnail = QImage::fromData(read.thumbnail, "JPEG");
        ASSERT_EQ(thumbnail.size(), c.thumbnail);
        const auto at = [&](QPointF where) {
            return thumbnail.pixelColor(int(where.x() * thumbnail.width()),
                                        int(where.y() * thumbnail.height()));
        };
        EXPECT_GT(at(c.yellow).green(), 200);                // yellow there
        EXPECT_LT(at(QPointF(1, 1) - c.yellow).green(), 60); // red across
        EXPECT_GT(at(QPointF(1, 1) - c.yellow).red(), 200);
    }
}

// A photo on a disc is read no further than its EXIF block when it carries a thumbnail: with the
// reader allowed its first 64 KiB only, the facts and the thumbnail still come.
TEST(MediaRead, APhotoWithAThumbnailIsReadFromItsFirstBytesOnly)
{
    for (const bool thumbnail : {true, false}) {
        SCOPED_TRACE(thumbnail ? "with a thumbnail" : "without");
        const QByteArray photo = bigPhoto(thumbnail);
        ASSERT_GT(photo.size(), 1024 * 1024);
        QTemporaryFile file;
        ASSERT_TRUE(file.open());
        file.write(photo);
        file.flush();
        MediaLimits limits;
        limits.mostJpegHeadBytes = limits.firstBytes;
        limits.mostPictureBytes = limits.firstBytes;
        const MediaRead read = readMedia(file.handle(), MediaType::Jpeg, limits);
        ASSERT_TRUE(read.facts);
        EXPECT_EQ(read.facts->taken, "2010-01-02T03:04:05");
        EXPECT_EQ(read.facts->width, 1600);
        EXPECT_EQ(mostlyRed(QImage::fromData(read.thumbnail, "JPEG")), thumbnail);
        // Without one it is decoded small, which takes the whole file: not within those limits.
        EXPECT_EQ(read.thumbnail.isEmpty(), !thumbnail);
        const MediaRead whole = readMedia(file.handle(), MediaType::Jpeg);
        EXPECT_EQ(QImage::fromData(whole.thumbnail, "JPEG").size(),
                  thumbnail ? QSize(120, 80) : QSize(160, 120));
    }
}

namespace {

// The bytes of the open file `fd` of `size` bytes that the page cache holds.
qint64 bytesCached(int fd, qint64 size)
{
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    void *map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return -1;
    std::vector<unsigned char> pages(size_t((size + page - 1) / page));
    qint64 cached = ::mincore(map, size_t(size), pages.data()) == 0 ? 0 : -1;
    for (const unsigned char resident : pages)
        cached += cached >= 0 && (resident & 1) ? page : 0;
    ::munmap(map, size_t(size));
    return cached;
}

} // namespace

// On a CD every byte fetched costs time: the disc gives the page cache what the reader reads
// (its first 64 KiB) and no read-ahead beyond.
TEST(MediaRead, APhotoIsFetchedFromTheDiscNoFurtherThanItIsRead)
{
    const QByteArray photo = bigPhoto(true);
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(photo);
    file.flush();
    ASSERT_EQ(::fsync(file.handle()), 0);
    ::posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
    if (bytesCached(file.handle(), photo.size()) != 0)
        GTEST_SKIP() << "this file system keeps its files in memory: nothing to fetch";
    const MediaRead read = readMedia(file.handle(), MediaType::Jpeg);
    ASSERT_TRUE(read.facts);
    EXPECT_FALSE(read.thumbnail.isEmpty());
    EXPECT_LE(bytesCached(file.handle(), photo.size()), MediaLimits{}.firstBytes);
}

TEST(MediaRead, SongsGiveTheirTagsInUtf16AndInCp949AndTheirLength)
{
    struct Case {
        const char *what;
        QByteArray bytes;
        bool facts;
        QString artist, album, title;
        qint64 track, year;
    };
    const auto tags = [](int encoding, const auto &text) {
        return id3Frame("TPE1", encoding, text(QStringLiteral("김광석"))) +
               id3Frame("TALB", encoding, text(QStringLiteral("다시 부르기"))) +
               id3Frame("TIT2", encoding, text(QStringLiteral("이등병의 편지"))) +
               id3Frame("TRCK", 0, "3/12") + id3Frame("TYER", 0, "1993");
    };
    const QByteArray korean16 = mp3(tags(1, utf16), 100);
    const QByteArray korean949 = mp3(tags(0, cp949), 100);
    const QByteArray latin1 = mp3(id3Frame("TPE1", 0, "Beyonc\xe9") + id3Frame("TALB", 0, "Caf\xe9 del Mar") +
                                      id3Frame("TIT2", 0, "Plain"),
                                  100);
    const Case cases[] = {
        {"UTF-16 frames", korean16, true, "김광석", "다시 부르기", "이등병의 편지", 3, 1993},
        {"CP949 bytes in Latin-1 frames", korean949, true, "김광석", "다시 부르기", "이등병의 편지", 3, 1993},
        {"real Latin-1 stays Latin-1", latin1, true, "Beyoncé", "Café del Mar", "Plain", -1, -1},
        {"cut short in its audio", korean949.first(korean949.size() / 3), true, "김광석", "다시 부르기",
         "이등병의 편지", 3, 1993},
        {"cut short in its tag", korean16.first(15), false, "", "", "", -1, -1},
        {"noise named .mp3", noise(20000, 2), false, "", "", "", -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const MediaRead read = readMediaBytes(c.bytes, MediaType::Mp3);
        EXPECT_TRUE(read.thumbnail.isEmpty());
        if (!c.facts) {
            // What a damaged file gives is no song: no tags and no length.
            if (read.facts) {
                MediaFacts nothing;
                nothing.kind = MediaFacts::Kind::Audio;
                EXPECT_EQ(encodeMediaFacts(*read.facts), encodeMediaFacts(nothing));
            }
            continue;
        }
        ASSERT_TRUE(read.facts);
        EXPECT_EQ(read.facts->kind, MediaFacts::Kind::Audio);
        EXPECT_EQ(read.facts->artist, c.artist);
        EXPECT_EQ(read.facts->album, c.album);
        EXPECT_EQ(read.facts->title, c.title);
        EXPECT_EQ(read.facts->track, c.track);
        EXPECT_EQ(read.facts->year, c.year);
        // 128 kbit/s over the audio's bytes: 100 frames of 26.1 ms, fewer when cut short.
        const qint64 frames = (c.bytes.size() - 200) / 417;
        EXPECT_NEAR(double(read.facts->lengthMs), frames * 1152 * 1000.0 / 44100, 60.0);
    }
}

TEST(MediaRead, TheNameSaysWhichReaderReads)
{
    const std::pair<const char *, MediaType> cases[] = {
        {"IMG_0001.JPG", MediaType::Jpeg}, {"a.b.jpeg", MediaType::Jpeg},
        {"scan.png", MediaType::Picture},  {"raw.CR2", MediaType::Picture},
        {"01 곡.mp3", MediaType::Mp3},     {"x.flac", MediaType::Flac},
        {"clip.mp4", MediaType::Mp4Video}, {"song.m4a", MediaType::Mp4Audio},
        {"jpg", MediaType::None},          {"notes.txt", MediaType::None},
        {"a.jpgx", MediaType::None},       {"archive.mp3.zip", MediaType::None},
    };
    for (const auto &[name, type] : cases)
        EXPECT_EQ(mediaTypeOf(name), type) << name;
}
