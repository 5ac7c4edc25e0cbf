#pragma once

#include "files/filesystem.h"
#include "files/hookcontext.h"
#include "scanner/mediaread.h"

#include <QByteArray>

class TreeFacts;

// What a scan learns of the pictures, songs and videos it lists: as each file's row goes into
// the tree, the file is read through the drive's walk (only the bytes its reader needs) and what
// it gives becomes the row's "media" note and its thumbnail in the tree's facts. A file that
// cannot be opened or read keeps its name, size and date only. A member of an archive or an
// image is read from the first bytes its walk kept of it (headBytesFor says how many), so that
// an image scanned as a file tells what a scan of it mounted tells, as far as those bytes go.
//
// One object lives for a whole scan; the hooks are asked for a cancel between files, and after a
// cancel no further file is read.
class MediaScan {
  public:
    explicit MediaScan(FolderWalk *walk, MediaLimits limits = {});

    // The file `name` (its bytes) of the folder `folder` (bytes, ending in '/') is row `row`;
    // `hooks` are the walk's that adds it.
    void fileAdded(const QByteArray &folder, const QByteArray &name, qint64 row, HookContext &hooks,
                   TreeFacts &facts);
    // A file's type by its shown name, so that the walk looks up the bytes of media files only.
    [[nodiscard]] static bool mayRead(const QString &name);
    // How many first bytes of an archive's member named `name` its readers need: a JPEG's EXIF
    // block with its thumbnail, a song's tag and first frame, a header; 0 for other files.
    [[nodiscard]] static qint64 headBytesFor(QByteArrayView name);

    [[nodiscard]] qint64 filesRead() const { return m_read; }

  private:
    FolderWalk *m_walk;
    MediaLimits m_limits;
    qint64 m_read = 0;
    bool m_stopped = false;
};
