#include "bench/mediagen.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct PictureFolder {
    const char *path;
    const char *name; // printf form of the file's name, given the picture's number
    const char *make;
    const char *model;
    const char *firstTaken; // ISO date of the folder's first picture
};

constexpr std::array<PictureFolder, 6> kPictureFolders = {{
    {"DCIM/100CANON", "IMG_%04d.JPG", "Canon", "Canon EOS 300D DIGITAL", "2004-07-11T09:05:00"},
    {"DCIM/101CANON", "IMG_%04d.JPG", "Canon", "Canon EOS 300D DIGITAL", "2004-08-02T14:30:12"},
    {"사진/2019 제주도 여행", "제주 %04d.jpg", "SAMSUNG", "SM-G930K", "2019-05-03T10:00:00"},
    {"사진/2020 [가족] 모임", "DSC%05d.JPG", "NIKON CORPORATION", "NIKON D70", "2020-01-25T18:20:40"},
    {"사진/2021 설악산/단풍", "설악산_%04d.jpg", "OLYMPUS IMAGING CORP.", "E-M10", "2021-10-16T07:45:00"},
    {"사진/2022 졸업식", "P%07d.JPG", "Panasonic", "DMC-GX7", "2022-02-18T11:11:11"},
}};

constexpr std::array<const char *, 10> kArtists = {"김광석",      "아이유",  "서태지와 아이들", "조용필",
                                                   "Radiohead",   "이문세",  "The Beatles",     "넬",
                                                   "Miles Davis", "검정치마"};

constexpr std::array<const char *, 10> kAlbums = {
    "다시 부르기",     "꽃갈피",     "Live 1996",       "바람의 노래",  "OK Computer",
    "가을 [리마스터]", "Abbey Road", "Healing Process", "Kind of Blue", "Team Baby"};

constexpr std::array<const char *, 20> kTitles = {
    "서른 즈음에",   "너의 의미",         "난 알아요", "여행을 떠나요", "Airbag",        "광화문 연가",
    "Something",     "기억을 걷는 시간",  "So What",   "Antifreeze",    "이등병의 편지", "밤편지",
    "하여가",        "킬리만자로의 표범", "Let Down",  "옛사랑",        "Come Together", "Stay",
    "Blue in Green", "좋아해줘"};

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;
constexpr int kSongsPerAlbum = 10;
constexpr qint64 kSampleRate = 44100;
constexpr qint64 kSamplesPerFrame = 1152;
constexpr qint64 kBitRate = 128000;

// The files are dated when they were copied to the disc, long after the pictures were taken.
const QDateTime kCopied = QDateTime(QDate(2023, 5, 1), QTime(21, 0), Qt::UTC);

int folderOfPicture(int picture, int pictures)
{
    return int(qint64(picture) * qint64(kPictureFolders.size()) / std::max(pictures, 1));
}

QString pictureName(int picture, int pictures)
{
    const PictureFolder &folder = kPictureFolders[size_t(folderOfPicture(picture, pictures))];
    return QString::fromUtf8(folder.path) + u'/' + QString::asprintf(folder.name, picture + 1);
}

MediaFacts pictureFacts(int picture, int pictures)
{
    const int folderIndex = folderOfPicture(picture, pictures);
    const PictureFolder &folder = kPictureFolders[size_t(folderIndex)];
    int first = 0;
    while (folderOfPicture(first, pictures) != folderIndex)
        ++first;
    MediaFacts facts;
    // In UTC, which has no summer time: the camera's clock is a plain local time.
    QDateTime taken = QDateTime::fromString(QString::fromLatin1(folder.firstTaken), Qt::ISODate);
    taken.setTimeSpec(Qt::UTC);
    facts.taken = taken.addSecs(qint64(picture - first) * 47 + (picture % 7) * 3)
                      .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    facts.make = QString::fromUtf8(folder.make);
    facts.model = QString::fromUtf8(folder.model);
    facts.width = kWidth;
    facts.height = kHeight;
    return facts;
}

// One picture in nine was taken with the camera held upright.
bool onItsSide(int picture)
{
    return picture % 9 == 4;
}

// The frames of song `song`: three to six seconds of 128 kbit/s at 44.1 kHz.
qint64 framesOfSong(int song)
{
    return (3 + song % 4) * kSampleRate / kSamplesPerFrame;
}

MediaFacts songFacts(int song)
{
    const int album = song / kSongsPerAlbum, track = song % kSongsPerAlbum;
    MediaFacts facts;
    facts.kind = MediaFacts::Kind::Audio;
    facts.artist = QString::fromUtf8(kArtists[size_t(album % int(kArtists.size()))]);
    facts.album =
        QString::fromUtf8(kAlbums[size_t(album / int(kArtists.size()) * 3 + album) % kAlbums.size()]);
    facts.title = QString::fromUtf8(kTitles[size_t(album * 3 + track) % kTitles.size()]);
    facts.track = track + 1;
    facts.year = 1990 + album % 30;
    facts.lengthMs = framesOfSong(song) * kSamplesPerFrame * 1000 / kSampleRate;
    return facts;
}

QString songName(const MediaFacts &facts)
{
    return QStringLiteral("음악/%1/%2 %3/%4 %5.mp3")
        .arg(facts.artist)
        .arg(facts.year)
        .arg(facts.album)
        .arg(facts.track, 2, 10, QChar(u'0'))
        .arg(facts.title);
}

// A picture that costs what a photograph costs to decode: a gradient, shapes and grain.
QImage paintPicture(std::mt19937 &random)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, kWidth, kHeight);
    sky.setColorAt(0, QColor::fromRgb(random() & 0xffffff));
    sky.setColorAt(1, QColor::fromRgb(random() & 0xffffff));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int shape = 0; shape < 40; ++shape) {
        painter.setBrush(QColor::fromRgba((random() & 0xffffff) | 0x80000000));
        const int x = int(random() % kWidth), y = int(random() % kHeight);
        painter.drawEllipse(x - 150, y - 100, int(random() % 300) + 20, int(random() % 200) + 20);
    }
    painter.end();
    quint32 grain = random();
    for (int y = 0; y < kHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            grain = grain * 1664525u + 1013904223u;
            const int d = int(grain >> 28) - 8;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + d, 255), qBound(0, qGreen(p) + d, 255),
                           qBound(0, qBlue(p) + d, 255));
        }
    }
    return image;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "mediagen: %s %s failed\n", qPrintable(program),
                     qPrintable(arguments.join(u' ')));
        return false;
    }
    return true;
}

bool dateFile(const QString &path, const QDateTime &when)
{
    const timespec times[2] = {{time_t(when.toSecsSinceEpoch()), 0}, {time_t(when.toSecsSinceEpoch()), 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QString exifDate(const QString &isoDate)
{
    return QString(isoDate).replace(u'-', u':').replace(u'T', u' ');
}

// The JPEG, then its EXIF facts and its thumbnail through the exiv2 tool, as a camera leaves them.
bool writePicture(const QString &path, const MediaFacts &facts, int picture, std::mt19937 &random)
{
    const QImage image = paintPicture(random);
    if (!image.save(path, "JPEG", 88))
        return false;
    const QString thumb = path.first(path.lastIndexOf(u'.')) + QStringLiteral("-thumb.jpg");
    if (!image.scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(thumb, "JPEG", 75))
        return false;
    const QString orientation = onItsSide(picture) ? QStringLiteral("6") : QStringLiteral("1");
    const QStringList set = {
        QStringLiteral("set Exif.Image.Make ") + facts.make,
        QStringLiteral("set Exif.Image.Model ") + facts.model,
        QStringLiteral("set Exif.Image.Orientation ") + orientation,
        QStringLiteral("set Exif.Image.DateTime ") + exifDate(facts.taken),
        QStringLiteral("set Exif.Photo.DateTimeOriginal ") + exifDate(facts.taken),
        QStringLiteral("set Exif.Photo.PixelXDimension ") + QString::number(facts.width),
        QStringLiteral("set Exif.Photo.PixelYDimension ") + QString::number(facts.height),
    };
    QStringList modify;
    for (const QString &command : set)
        modify << QStringLiteral("-M") << command;
    const bool tagged = run(QStringLiteral("exiv2"), modify << QStringLiteral("mo") << path) &&
                        run(QStringLiteral("exiv2"), {QStringLiteral("-it"), QStringLiteral("in"), path});
    QFile::remove(thumb);
    return tagged && dateFile(path, kCopied.addSecs(qint64(picture) * 60));
}

void appendBigEndian(QByteArray &bytes, quint32 value, bool syncSafe)
{
    const int shift = syncSafe ? 7 : 8;
    for (int i = 3; i >= 0; --i)
        bytes += char((value >> (i * shift)) & (syncSafe ? 0x7f : 0xff));
}

// One ID3v2.3 text frame: ASCII as it is; other text in UTF-16 with a byte-order mark, or its
// CP949 bytes in a frame marked Latin-1, the way Korean players wrote them.
QByteArray textFrame(const char *id, const QString &text, bool utf16)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    QByteArray body;
    if (!ascii && utf16) {
        body = QByteArray("\x01\xff\xfe", 3);
        for (const QChar c : text)
            body += char(c.unicode() & 0xff), body += char(c.unicode() >> 8);
    } else {
        body = QByteArray(1, '\0') + (ascii ? text.toLatin1() : QStringEncoder("windows-949").encode(text));
    }
    QByteArray frame(id, 4);
    appendBigEndian(frame, quint32(body.size()), false);
    return frame + QByteArray(2, '\0') + body;
}

QByteArray id3Tag(const MediaFacts &facts, bool utf16)
{
    QByteArray frames =
        textFrame("TPE1", facts.artist, utf16) + textFrame("TALB", facts.album, utf16) +
        textFrame("TIT2", facts.title, utf16) +
        textFrame("TRCK", QStringLiteral("%1/%2").arg(facts.track).arg(kSongsPerAlbum), utf16) +
        textFrame("TYER", QString::number(facts.year), utf16);
    frames += QByteArray(256, '\0'); // padding, as taggers leave room to grow
    QByteArray tag("ID3\x03\x00\x00", 6);
    appendBigEndian(tag, quint32(frames.size()), true);
    return tag + frames;
}

// MPEG-1 Layer III frames of silence: a frame header, then side information and main data all
// zero, which decoders play as silence. The padding slot comes as often as 44.1 kHz needs.
QByteArray silentFrames(qint64 frames)
{
    constexpr qint64 frameBytes = 144 * kBitRate; // over the sample rate
    QByteArray audio;
    audio.reserve(qsizetype(frames * (frameBytes / kSampleRate + 1)));
    qint64 rest = 0;
    for (qint64 i = 0; i < frames; ++i) {
        rest += frameBytes % kSampleRate;
        const bool padded = rest >= kSampleRate;
        if (padded)
            rest -= kSampleRate;
        QByteArray frame(qsizetype(frameBytes / kSampleRate + (padded ? 1 : 0)), '\0');
        frame[0] = char(0xff);
        frame[1] = char(0xfb);                       // MPEG-1, Layer III, no CRC
        frame[2] = char(0x90 | (padded ? 0x02 : 0)); // 128 kbit/s, 44.1 kHz
        frame[3] = char(0x40);                       // joint stereo
        audio += frame;
    }
    return audio;
}

bool writeSong(const QString &path, const MediaFacts &facts, int song)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = id3Tag(facts, song / kSongsPerAlbum % 2 == 0) + silentFrames(framesOfSong(song));
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && dateFile(path, kCopied.addDays(1).addSecs(qint64(song) * 60));
}

bool makeFolderOf(const QString &file)
{
    return QDir().mkpath(file.first(file.lastIndexOf(u'/')));
}

} // namespace

MediaManifest mediaManifest(const MediaSet &set)
{
    MediaManifest manifest;
    for (int picture = 0; picture < set.pictures; ++picture)
        manifest.emplace(pictureName(picture, set.pictures),
                         WrittenMedia{pictureFacts(picture, set.pictures), onItsSide(picture)});
    for (int song = 0; song < set.songs; ++song) {
        const MediaFacts facts = songFacts(song);
        manifest.emplace(songName(facts), WrittenMedia{facts});
    }
    return manifest;
}

bool writeMediaSet(const QString &folder, const MediaSet &set)
{
    std::mt19937 random(set.seed);
    for (int picture = 0; picture < set.pictures; ++picture) {
        const QString path = folder + u'/' + pictureName(picture, set.pictures);
        if (!makeFolderOf(path) ||
            !writePicture(path, pictureFacts(picture, set.pictures), picture, random)) {
            std::fprintf(stderr, "mediagen: cannot write %s\n", qPrintable(path));
            return false;
        }
    }
    for (int song = 0; song < set.songs; ++song) {
        const MediaFacts facts = songFacts(song);
        const QString path = folder + u'/' + songName(facts);
        if (!makeFolderOf(path) || !writeSong(path, facts, song)) {
            std::fprintf(stderr, "mediagen: cannot write %s\n", qPrintable(path));
            return false;
        }
    }
    ::sync(); // written back, so that an eviction from the page cache can drop every page
    return true;
}
