#pragma once

#include "catalogue/mediafacts.h"

#include <QString>
#include <map>

// A photo and music CD for the media figures, made the same way from the same seed: JPEGs of
// 1600 × 1200 pixels in a camera's folders and in folders of trips, their EXIF facts and
// thumbnail written by the exiv2 tool, and MP3s of silent MPEG audio frames with ID3v2 tags (some
// in UTF-16, some in CP949 as Korean players wrote them) under 음악/artist/album. Every file is
// dated years after the date its picture was taken.
struct MediaSet {
    int pictures = 2000;
    int songs = 500;
    quint32 seed = 1;
};

// What a file of the set holds: a song's lengthMs is what its frames last.
struct WrittenMedia {
    MediaFacts facts;
    bool onItsSide = false; // a picture whose EXIF orientation turns it a quarter (6)
};
// Every file of the set by its path below the set's folder ("DCIM/100CANON/IMG_0001.JPG").
using MediaManifest = std::map<QString, WrittenMedia>;

// The manifest of `set`, without writing a file.
[[nodiscard]] MediaManifest mediaManifest(const MediaSet &set);
// Writes `set` into the empty or missing `folder`. False, with the reason on stderr, when a file
// cannot be written or a tool is missing or fails.
bool writeMediaSet(const QString &folder, const MediaSet &set);
