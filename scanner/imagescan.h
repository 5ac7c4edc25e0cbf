#pragma once

#include "catalogue/discfacts.h"
#include "files/archivereader.h"
#include "files/hookcontext.h"
#include "records/recordset.h"
#include "scanner/discimage.h"
#include "scanner/drivescan.h"

#include <QString>

// What scanning an image file as a disc gave.
struct ImageScan {
    bool read = false;   // false: nothing could be listed, and `problem` says why
    QString problem;     // for a person, in Korean
    QString volumeLabel; // the image's own label; empty when it has none
    qint64 rows = 0;
};

// Scans the disc image (or archive) file at `path` as the disc it stands for, without mounting
// it: its members are read through libarchive, then counted and built into `tree` (emptied first)
// by the same walks as a drive's, with the same hooks (yield and cancel, the item shown, the
// progress), so that every row below the root is the one a scan of the mounted image gives. The
// root row's path is the file's path with the separator after it, its name the volume label (the
// file's name when there is none). `facts` get the rows' sizes and dates, the archives' notes and
// the disc's facts: label, file system, capacity. Archives inside the image are listed as on a
// drive, within `limits`; a compressed tar chosen as the image itself is read whole. With
// `readMedia`, what its pictures and songs are is read from the first bytes of each, kept as the
// image is read (scanner/mediascan.h).
ImageScan scanImage(const QString &path, HookContext &hooks, const ArchiveLimits &limits, RecordSet &tree,
                    TreeFacts &facts, const ScanReports &reports = {}, bool readMedia = false);

// Reads the members of the image file at `path` for a scan (scanDrive over `image.walk`, with
// `image.archives`), `hooks` asked for a cancel while libarchive reads when given. False, with
// `problem` for a person, when nothing can be listed: no image, UDF alone, encrypted, damaged.
bool readDiscImage(const QString &path, HookContext *hooks, const ArchiveLimits &limits, DiscImage &image,
                   QString &problem);

// The file name patterns of the images (and archives) the image scan reads, for a file dialog.
[[nodiscard]] QString imageFileFilter();
