#pragma once

#include "catalogue/mediafacts.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// What a file's name says it holds, for the readers of pictures, songs and videos. Only the
// formats a library here reads are named: exiv2 and Qt for pictures, TagLib for sound and for the
// length of a video.
enum class MediaType : unsigned char {
    None,
    Jpeg,    // facts and thumbnail from the first bytes
    Picture, // PNG, TIFF, HEIC, raw formats: exiv2 may need more of the file
    Mp3,
    Flac,
    OggVorbis,
    Opus,
    Mp4Audio,
    Wma,
    Wav,
    Aiff,
    Mp4Video,
    Wmv,
};

[[nodiscard]] MediaType mediaTypeOf(QByteArrayView fileName);

// How much a reader may take of one file. A file that needs more gives no facts, or no thumbnail,
// rather than slowing the scan: a damaged file can make a reader ask for anything.
struct MediaLimits {
    // A picture is read from its first bytes, twice as many each time exiv2 finds them too few,
    // up to the most a JPEG's metadata can take, or the whole file for other formats.
    qint64 firstBytes = 64 * 1024;
    qint64 mostJpegHeadBytes = 1024 * 1024;
    qint64 mostPictureBytes = 48 * 1024 * 1024; // read whole to decode or for a format that needs it
    qint64 mostTagBytes = 8 * 1024 * 1024;      // what TagLib may read of a song or a video
    bool thumbnails = true;
};

struct MediaRead {
    std::optional<MediaFacts> facts; // none: the file gave nothing readable
    QByteArray thumbnail;            // JPEG, 160 pixels on the long side; empty when none
};

// The longest side of a thumbnail, in pixels.
inline constexpr int kThumbnailSide = 160;

// Reads the open regular file `fd` (with pread: its position does not matter; it is not closed).
// Never throws; a file that is not what its name says yields nothing.
[[nodiscard]] MediaRead readMedia(int fd, MediaType type, const MediaLimits &limits = {});
// The same over a file's bytes held in memory.
[[nodiscard]] MediaRead readMediaBytes(QByteArrayView bytes, MediaType type, const MediaLimits &limits = {});
