#pragma once

// Small pictures and songs made in the tests: JPEGs with EXIF written by exiv2, PNGs by Qt, and
// MP3s of silent frames behind ID3v2 tags whose bytes are laid out here, so that a test can give
// a frame text in UTF-16 or in CP949 bytes marked as Latin-1, as Korean players wrote them.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringEncoder>

#include <exiv2/exiv2.hpp>

namespace MediaFiles {

inline QByteArray encodedImage(int width, int height, const char *format, QColor colour = Qt::darkCyan)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QPainter(&image).fillRect(0, 0, width / 2, height / 2, Qt::yellow);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 80);
    return bytes;
}

struct Exif {
    QString taken;     // "2004:07:11 15:05:00"; empty: none
    QString imageDate; // Exif.Image.DateTime
    QString make, model;
    int pixelWidth = 0; // Exif.Photo.PixelXDimension; 0: none
    int pixelHeight = 0;
    bool thumbnail = true;
    int orientation = 0;          // Exif.Image.Orientation; 0: none
    QSize thumbnailSize{120, 80}; // the embedded thumbnail's
};

// The JPEG `plain` with the EXIF block `exif`, its thumbnail red (120 × 80 unless said).
inline QByteArray withExif(const QByteArray &plain, const Exif &exif)
{
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(plain.constData()),
                                           long(plain.size()));
    image->readMetadata();
    Exiv2::ExifData data;
    if (!exif.taken.isEmpty())
        data["Exif.Photo.DateTimeOriginal"] = exif.taken.toStdString();
    if (!exif.imageDate.isEmpty())
        data["Exif.Image.DateTime"] = exif.imageDate.toStdString();
    if (!exif.make.isEmpty())
        data["Exif.Image.Make"] = exif.make.toStdString();
    if (!exif.model.isEmpty())
        data["Exif.Image.Model"] = exif.model.toStdString();
    if (exif.pixelWidth > 0) {
        data["Exif.Photo.PixelXDimension"] = uint32_t(exif.pixelWidth);
        data["Exif.Photo.PixelYDimension"] = uint32_t(exif.pixelHeight);
    }
    if (exif.orientation > 0)
        data["Exif.Image.Orientation"] = uint16_t(exif.orientation);
    if (exif.thumbnail) {
        const QByteArray thumb =
            encodedImage(exif.thumbnailSize.width(), exif.thumbnailSize.height(), "JPEG", Qt::red);
        Exiv2::ExifThumb(data).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(thumb.constData()),
                                                long(thumb.size()));
    }
    image->setExifData(data);
    image->writeMetadata();
    Exiv2::BasicIo &io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf written = io.read(long(io.size()));
    return QByteArray(reinterpret_cast<const char *>(written.pData_), qsizetype(written.size_));
}

inline QByteArray jpegWithExif(int width, int height, const Exif &exif)
{
    return withExif(encodedImage(width, height, "JPEG"), exif);
}

// One ID3v2.3 text frame: encoding 0 takes `bytes` as they are (Latin-1, or CP949 that claims
// to be), encoding 1 UTF-16 with a byte-order mark.
inline QByteArray id3Frame(const char id[4], int encoding, const QByteArray &bytes)
{
    const QByteArray body = char(encoding) + bytes;
    QByteArray frame(id, 4);
    for (int shift : {24, 16, 8, 0})
        frame += char((body.size() >> shift) & 0xff);
    return frame + QByteArray(2, '\0') + body;
}

inline QByteArray utf16(const QString &text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return QByteArray("\xff\xfe", 2) + QByteArray(encoder(text));
}

inline QByteArray cp949(const QString &text)
{
    QStringEncoder encoder("windows-949");
    return encoder(text);
}

// An MP3: the ID3v2.3 tag of `frames`, then `count` silent MPEG-1 Layer III frames of
// 128 kbit/s at 44.1 kHz (26.1 ms each).
inline QByteArray mp3(const QByteArray &frames, int count)
{
    QByteArray tag("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        tag += char((frames.size() >> shift) & 0x7f); // a synchsafe size
    QByteArray frame("\xff\xfb\x90\x00", 4);
    frame.append(417 - 4, '\0');
    QByteArray audio;
    for (int i = 0; i < count; ++i)
        audio += frame;
    return tag + frames + audio;
}

} // namespace MediaFiles
