#pragma once

#include "files/archivereader.h"
#include "files/archivetree.h"
#include "files/filesystem.h"
#include "files/hookcontext.h"

#include <QByteArray>
#include <QHash>
#include <memory>

struct ListedFolder;
class TreeFacts;

// The archives a scan meets, listed as folders of the tree: a zip, 7z, rar, cab, lha, iso or tar
// file (and with `limits.streamed` a compressed tar) that libarchive recognises lists as a folder,
// and its folder lists the archive's members, read when the walk comes to it and let go when the
// walk goes on elsewhere. So the same walks, listing order and size and date rules make the rows
// of archives as of folders; the rows of an archive get a note in the tree's facts (its own size
// and date, how its reading went) and its branch ends with a row saying so when it was cut short.
// Nothing of an archive is written anywhere; its members' paths never leave its branch.
//
// With `limits.headBytes`, the first bytes of the members it names are kept as an archive is read,
// and the walk's openFileHead gives them to the readers of pictures and songs, once each.
//
// One object lives for a whole scan, across its count and build walks.
class ArchiveScan {
  public:
    explicit ArchiveScan(ArchiveLimits limits);
    ~ArchiveScan();
    ArchiveScan(const ArchiveScan &) = delete;
    ArchiveScan &operator=(const ArchiveScan &) = delete;

    // A walk of the drive that `drive` walks, with the archives it meets as folders; `hooks`, when
    // given, are asked for a cancel while an archive is read.
    [[nodiscard]] std::unique_ptr<FolderWalk> wrap(std::unique_ptr<FolderWalk> drive, HookContext *hooks);
    // A walk over the members of an image read before, its root at `root` (bytes, ending in '/').
    // The archives inside it were read with it.
    [[nodiscard]] std::unique_ptr<FolderWalk> walkImage(const QByteArray &root, ArchiveTree members,
                                                        FileStat rootStat);
    // How the image at `root` was read: its root stands for the disc, so it gets no note, but
    // its listing ends with the cut-short row when it was cut short.
    void noteImage(const QByteArray &root, const ArchiveRead &result);

    // The walks' hooks. After a folder's listing is sorted: the row of an archive cut short goes
    // at the end of its root folder's files.
    void listed(const QByteArray &folder, ListedFolder &listing) const;
    // A folder's rows are all in, the branch of `row` holding `branchRows` rows below it, its
    // members' bytes `total`: for an archive, its note goes into `facts`, and `total` becomes the
    // archive's own size, which is what the folders above it hold on the disc.
    void folderFinished(const QByteArray &folder, qint64 row, qint64 branchRows, qint64 &total,
                        TreeFacts *facts) const;

    [[nodiscard]] const ArchiveLimits &limits() const { return m_limits; }
    // Archives met so far.
    [[nodiscard]] qint64 archives() const { return m_found.size(); }

  private:
    class Walk;
    struct Found {
        FileStat own;      // the archive's own size and date
        bool read = false; // its members have been read
        ArchiveRead result;
        bool disc = false; // the image being scanned as a disc
    };

    // The first bytes kept of the members read (ArchiveLimits::headBytes), by the member's whole
    // path, until a reader takes them; all of them together within the limits' budget.
    struct Head {
        QByteArray bytes;
        qint64 size = 0; // the member's
    };
    // Takes the heads over from `members`.
    void keepHeads(const QByteArray &root, ArchiveTree &members);
    [[nodiscard]] int takeHead(const QByteArray &path, qint64 &heldBytes);

    ArchiveLimits m_limits;
    QHash<QByteArray, Found> m_found; // by the path of the archive's folder, ending in '/'
    QHash<QByteArray, Head> m_heads;
    qint64 m_headBytes = 0; // kept in m_heads
};
