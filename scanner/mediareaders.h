#pragma once

// The readers behind readMedia, one per library.

#include "scanner/mediaread.h"
#include "scanner/mediasource.h"

#include <QImage>

// exiv2 for the facts and the embedded thumbnail, Qt's image reader for the rest.
[[nodiscard]] MediaRead readPicture(MediaSource &source, MediaType type, const MediaLimits &limits);
// TagLib for tags and lengths.
[[nodiscard]] MediaRead readSound(MediaSource &source, MediaType type);
// `image` made a thumbnail: at most kThumbnailSide pixels on its long side, as JPEG.
[[nodiscard]] QByteArray thumbnailJpeg(const QImage &image);
