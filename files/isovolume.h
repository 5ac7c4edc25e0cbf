#pragma once

#include <QByteArray>
#include <QString>

// What the volume descriptors of an ISO 9660 image say of the disc: the facts a FUSE mount of
// the image does not pass on.
struct IsoVolume {
    QString label;       // Joliet's when the image has it, otherwise the primary descriptor's
    qint64 capacity = 0; // volume space size times logical block size; 0 when they disagree
    bool udf = false;    // its volume recognition sequence names UDF (a DVD or Blu-ray file system)
};

// Reads the volume descriptors of the ISO 9660 image in the regular file or block device at
// `path` (2048-byte sectors from sector 16 on). False when it cannot be read or holds no ISO 9660
// primary descriptor; `udf` is set all the same for an image of UDF alone.
bool readIsoVolume(const QString &path, IsoVolume &volume);

// The same over descriptors already in memory, `bytes` starting at sector 16.
bool parseIsoVolume(QByteArrayView bytes, IsoVolume &volume);

// The image file behind the volume mounted at `mountPoint` from the mount's source `device`
// (as /proc/self/mountinfo gives it): the source itself when it is a path, or for a fuseiso
// mount, whose source names only the program, the image its own table (~/.mtab.fuseiso) records
// for the mount point. Empty when there is none.
[[nodiscard]] QString mountedImageOf(const QString &mountPoint, const QByteArray &device,
                                     const QByteArray &fileSystemType);
// The source of the last entry for `mountPoint` in the mount table (fstab form) at `table`.
[[nodiscard]] QString sourceInMountTable(const QString &table, const QString &mountPoint);
