#include "scanner/mediareaders.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>
#include <QTransform>

#include <exiv2/exiv2.hpp>

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace {

// A thumbnail of 160 pixels at this quality takes 4 to 8 KiB.
constexpr int kThumbnailQuality = 75;
// An embedded thumbnail no larger than this is kept as the camera wrote it.
constexpr qsizetype kMostKeptThumbnailBytes = 8 * 1024;
// A picture larger than this is not decoded for its thumbnail: what it would take in memory
// is more than a scan should spend on one file.
constexpr int kMostDecodedPixels = 100'000'000;

void quietExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::enableBMFF(true); // HEIC and AVIF
    });
}

// A key made once: making one looks its tag up by name, which a scan of a photo CD would do
// thousands of times over.
const Exiv2::ExifKey &keyOf(const char *key)
{
    static std::mutex guard;
    static std::map<std::string, Exiv2::ExifKey> made;
    const std::lock_guard lock(guard);
    auto found = made.find(key);
    if (found == made.end())
        found = made.emplace(key, Exiv2::ExifKey(key)).first;
    return found->second;
}

QString exifText(const Exiv2::ExifData &exif, const char *key)
{
    const auto found = exif.findKey(keyOf(key));
    if (found == exif.end())
        return {};
    return QString::fromStdString(found->toString()).simplified();
}

qint64 exifNumber(const Exiv2::ExifData &exif, const char *key)
{
    const auto found = exif.findKey(keyOf(key));
    if (found == exif.end() || found->count() == 0)
        return MediaFacts::kUnknown;
    const long value = found->toLong();
    return value > 0 ? qint64(value) : MediaFacts::kUnknown;
}

// EXIF dates read "2004:07:11 15:05:00"; kept as "2004-07-11T15:05:00". A camera whose clock was
// never set writes zeros or blanks: no date.
QString takenOf(const QString &exifDate)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^(\d{4})[:\-](\d\d)[:\-](\d\d)[ T](\d\d):(\d\d)(?::(\d\d))?)"));
    const QRegularExpressionMatch match = form.match(exifDate);
    if (!match.hasMatch())
        return {};
    const int year = match.captured(1).toInt(), month = match.captured(2).toInt(),
              day = match.captured(3).toInt();
    const int hour = match.captured(4).toInt(), minute = match.captured(5).toInt();
    const int second = match.captured(6).isEmpty() ? 0 : match.captured(6).toInt();
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return {};
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(year, 4, 10, QChar(u'0'))
        .arg(month, 2, 10, QChar(u'0'))
        .arg(day, 2, 10, QChar(u'0'))
        .arg(hour, 2, 10, QChar(u'0'))
        .arg(minute, 2, 10, QChar(u'0'))
        .arg(second, 2, 10, QChar(u'0'));
}

// The EXIF orientation turned into the rotation a viewer applies (mirrored ones are left as
// they are).
QImage upright(const QImage &image, qint64 orientation)
{
    const int degrees = orientation == 3 ? 180 : orientation == 6 ? 90 : orientation == 8 ? 270 : 0;
    return degrees == 0 ? image : image.transformed(QTransform().rotate(degrees));
}

QImage decodeScaled(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kMostDecodedPixels)
        return {};
    // The JPEG reader decodes at an eighth, a quarter or half its size when asked for less.
    if (std::max(size.width(), size.height()) > kThumbnailSide)
        reader.setScaledSize(size.scaled(kThumbnailSide * 2, kThumbnailSide * 2, Qt::KeepAspectRatio));
    return reader.read();
}

QSize sizeOf(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).size();
}

// Whether `bytes` are a JPEG of at most a thumbnail's size that decodes: decoded at an eighth of
// its size, which reads all of its data for a fraction of a full decode's work, so that bytes
// that only begin as a JPEG are never kept as one.
bool decodesAsSmallJpeg(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "JPEG");
    const QSize size = reader.size();
    if (!size.isValid() || std::max(size.width(), size.height()) > kThumbnailSide)
        return false;
    reader.setScaledSize(QSize(std::max(1, size.width() / 8), std::max(1, size.height() / 8)));
    return !reader.read().isNull();
}

// exiv2's numbers for the videos it reads (riffvideo.hpp, matroskavideo.hpp, quicktimevideo.hpp
// and asfvideo.hpp, which exiv2.hpp leaves out and which do not compile alone).
bool isVideoType(int type)
{
    constexpr int kRiff = 20, kMatroska = 21, kQuickTime = 22, kAsf = 24;
    return type == kRiff || type == kMatroska || type == kQuickTime || type == kAsf;
}

struct Exif {
    bool read = false;
    MediaFacts facts;
    QByteArray preview; // the smallest embedded preview that is a JPEG
    qint64 orientation = 1;
};

Exif readExif(const QByteArray &bytes)
{
    quietExiv2();
    Exif exif;
    try {
        const auto *start = reinterpret_cast<const Exiv2::byte *>(bytes.constData());
        // Pictures only: exiv2's readers of videos can loop without end over damaged bytes, and a
        // file named as a picture may hold anything.
        if (isVideoType(Exiv2::ImageFactory::getType(start, long(bytes.size()))))
            return exif;
        auto image = Exiv2::ImageFactory::open(start, long(bytes.size()));
        if (!image.get())
            return exif;
        image->readMetadata();
        const Exiv2::ExifData &data = image->exifData();
        MediaFacts &facts = exif.facts;
        facts.taken = takenOf(exifText(data, "Exif.Photo.DateTimeOriginal"));
        if (facts.taken.isEmpty())
            facts.taken = takenOf(exifText(data, "Exif.Image.DateTime"));
        facts.make = exifText(data, "Exif.Image.Make");
        facts.model = exifText(data, "Exif.Image.Model");
        facts.width = exifNumber(data, "Exif.Photo.PixelXDimension");
        facts.height = exifNumber(data, "Exif.Photo.PixelYDimension");
        if (facts.width < 0 || facts.height < 0) {
            facts.width = image->pixelWidth() > 0 ? qint64(image->pixelWidth()) : MediaFacts::kUnknown;
            facts.height = image->pixelHeight() > 0 ? qint64(image->pixelHeight()) : MediaFacts::kUnknown;
        }
        const qint64 orientation = exifNumber(data, "Exif.Image.Orientation");
        exif.orientation = orientation > 0 ? orientation : 1;
        exif.read = true;
        // The thumbnail of the EXIF block itself, where nearly every camera puts it; else the
        // previews exiv2 finds elsewhere (a raw file's, a maker's note).
        const Exiv2::ExifThumbC thumb(data);
        if (std::string_view(thumb.mimeType()) == "image/jpeg") {
            const Exiv2::DataBuf jpeg = thumb.copy();
            exif.preview = QByteArray(reinterpret_cast<const char *>(jpeg.pData_), qsizetype(jpeg.size_));
        }
        if (!exif.preview.isEmpty())
            return exif;
        Exiv2::PreviewManager previews(*image);
        for (const Exiv2::PreviewProperties &properties : previews.getPreviewProperties()) {
            if (properties.mimeType_ != "image/jpeg")
                continue;
            const Exiv2::PreviewImage preview = previews.getPreviewImage(properties);
            exif.preview =
                QByteArray(reinterpret_cast<const char *>(preview.pData()), qsizetype(preview.size()));
            break; // they come smallest first
        }
    } catch (const std::exception &) {
        // Damaged or foreign bytes: whatever was read before the fault stands only if whole.
    }
    return exif;
}

} // namespace

QByteArray thumbnailJpeg(const QImage &image)
{
    if (image.isNull())
        return {};
    const QImage small =
        std::max(image.width(), image.height()) > kThumbnailSide
            ? image.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : image;
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!small.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", kThumbnailQuality))
        return {};
    return jpeg;
}

MediaRead readPicture(MediaSource &source, MediaType type, const MediaLimits &limits)
{
    const qint64 size = source.size();
    source.setBudget(limits.mostPictureBytes);
    // A JPEG's EXIF block, with its thumbnail, lies in its first 64 KiB, before the picture's
    // data; other formats may put their metadata anywhere.
    const qint64 mostHead = type == MediaType::Jpeg ? limits.mostJpegHeadBytes : limits.mostPictureBytes;
    QByteArray bytes = source.read(0, std::min(size, limits.firstBytes));
    Exif exif = readExif(bytes);
    while (!exif.read && bytes.size() < size && bytes.size() < mostHead) {
        bytes += source.read(bytes.size(), std::min(bytes.size(), mostHead - bytes.size()));
        exif = readExif(bytes);
    }
    const auto readWhole = [&] {
        if (bytes.size() < size && size <= limits.mostPictureBytes)
            bytes += source.read(bytes.size(), size - bytes.size());
        return !bytes.isEmpty() && bytes.size() >= size;
    };
    MediaRead result;
    if (exif.read) {
        result.facts = exif.facts;
    } else if (readWhole()) {
        // Nothing exiv2 could read: the picture's own header may still give its size.
        const QSize header = sizeOf(bytes);
        if (header.isValid()) {
            result.facts = MediaFacts{};
            result.facts->width = header.width();
            result.facts->height = header.height();
        }
    }
    if (!result.facts || !limits.thumbnails)
        return result;
    // Most cameras' own thumbnail is already 160 × 120 and small: kept as it is, it costs neither
    // a full decode nor a second, lossier encode.
    if (exif.orientation == 1 && !exif.preview.isEmpty() && exif.preview.size() <= kMostKeptThumbnailBytes &&
        decodesAsSmallJpeg(exif.preview)) {
        result.thumbnail = exif.preview;
        return result;
    }
    QImage image;
    if (!exif.preview.isEmpty())
        image = QImage::fromData(exif.preview, "JPEG");
    if (image.isNull() && readWhole())
        image = decodeScaled(bytes);
    result.thumbnail = thumbnailJpeg(upright(image, exif.orientation));
    return result;
}
