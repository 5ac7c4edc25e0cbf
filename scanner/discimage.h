#pragma once

#include "catalogue/discfacts.h"
#include "files/filesystem.h"

#include <QString>
#include <QStringView>
#include <functional>
#include <memory>

// A disc image file (an ISO 9660 image) as a disc to scan: its rows are those the same image
// mounted gives, its root row named by the volume label (the file's name when it has none).
//
// Reading what an image holds is the work of an image reader: the program's own reads images and
// archives through libarchive (scanner/imagescan.h); setImageReader puts another in its place, and
// while none is there no image can be scanned and openDiscImage says so in words for the user.
class ArchiveScan;
struct DiscImage {
    QString root; // the drive path its rows are stored under, ending in the separator
    // The archives the walk lists as folders, for scanDrive (scanner/drivescan.h); the walk uses it,
    // so it goes after the walk.
    std::shared_ptr<ArchiveScan> archives;
    std::unique_ptr<FolderWalk> walk; // lists the image's folders, named as FolderWalk names them
    DiscFacts facts;                  // what the image says of its disc
    QString rootName;                 // the root row's name, when not the last part of `root`
};

// Opens the image at `path` into `image`; false, with `error` for a person, when it cannot.
using ImageReader = std::function<bool(const QString &path, DiscImage &image, QString &error)>;
void setImageReader(ImageReader reader);

// Opens the image file at `path` with the installed reader.
[[nodiscard]] bool openDiscImage(const QString &path, DiscImage &image, QString &error);

// True when a file's name says it holds a disc image (".iso" in any case).
[[nodiscard]] bool isDiscImageName(QStringView name);
// The volume label the image's own descriptors give; empty when they give none or it cannot be read.
[[nodiscard]] QString imageVolumeLabel(const QString &path);
// The image's file name without its extension.
[[nodiscard]] QString imageBaseName(const QString &path);
