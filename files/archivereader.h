#pragma once

#include "files/archivetree.h"

#include <QString>
#include <functional>

// How an archive's reading ended. Listed and the three cut-short outcomes keep the members read;
// the others leave the archive a leaf, its reason said.
enum class ArchiveOutcome : int {
    Listed = 0,
    TooManyMembers = 1, // cut short at the bound on members
    OutOfTime = 2,      // cut short at the time bound
    Cancelled = 3,      // cut short by the user's cancel
    Encrypted = 4,      // its list of members is encrypted
    Damaged = 5,        // libarchive could not read it through
    TooLarge = 6,       // inside an archive, too large to read into memory
    Truncated = 7,      // it ends before its members do
};
[[nodiscard]] constexpr bool isCutShort(ArchiveOutcome outcome)
{
    return outcome == ArchiveOutcome::TooManyMembers || outcome == ArchiveOutcome::OutOfTime ||
           outcome == ArchiveOutcome::Cancelled;
}
[[nodiscard]] constexpr bool isLeaf(ArchiveOutcome outcome)
{
    return outcome == ArchiveOutcome::Encrypted || outcome == ArchiveOutcome::Damaged ||
           outcome == ArchiveOutcome::TooLarge || outcome == ArchiveOutcome::Truncated;
}

// The bounds of one archive's reading.
struct ArchiveLimits {
    qint64 maxMembers = 1'000'000;
    qint64 milliseconds = 120'000;
    // A compressed tar file is read whole, which for a large one on a DVD takes minutes.
    qint64 streamedMilliseconds = 600'000;
    // An archive inside an archive is read from memory, one level down, up to this size.
    qint64 nestedBytes = qint64(256) << 20;
    bool nested = true;
    // Compressed tar files and the like have no list of members: they are read whole, which on a
    // DVD takes minutes, only when asked for.
    bool streamed = false;
    // The archive itself is read through even when it is compressed as a whole (an image file
    // the user chose as a disc); the archives inside it still follow `streamed`.
    bool streamedSelf = false;
    // When set, how many of a member file's first bytes to keep, by its name (0: none), for the
    // readers of what a picture or a song is: they read a member from these, since the archive is
    // not read again. At most `headBudget` bytes are kept over one reading; archives inside
    // archives keep none.
    std::function<qint64(QByteArrayView name)> headBytes = {};
    qint64 headBudget = qint64(128) << 20;
};

struct ArchiveRead {
    ArchiveOutcome outcome = ArchiveOutcome::Listed;
    QString format;                // "zip", "7z", "rar", "tar.gz", "iso9660", ...
    QString reason;                // libarchive's words for what went wrong
    qint64 members = 0;            // read into the tree, those of archives inside included
    bool encryptedMembers = false; // their names were read, their contents are encrypted
};

// Fewer bytes than the smallest archive with a member in it (a zip's or a RAR's headers) are no
// archive: an empty file named .zip is never opened.
inline constexpr qint64 kSmallestArchiveBytes = 20;

// Whether a file's name says it may be an archive this program lists, and whether it is of the
// compressed kinds that are read whole.
[[nodiscard]] bool mayBeArchiveName(QByteArrayView name);
[[nodiscard]] bool isStreamedName(QByteArrayView name);

// What libarchive makes of a file from its first bytes (a zip's from its end too), without
// reading its members. Takes the descriptor over.
struct ArchiveProbe {
    bool recognised = false;
    bool streamed = false; // compressed as a whole: it has no list of members to read alone
};
[[nodiscard]] ArchiveProbe probeArchive(int fd);

// Reads the members of the archive open at `fd` (taken over) into `tree`, within `limits`;
// `cancelled` is asked every few milliseconds. A leaf outcome leaves `tree` empty. Members that
// are archives themselves are listed below their own rows when `limits.nested`, from memory.
// Nothing is ever written to the file system.
ArchiveRead readArchive(int fd, const ArchiveLimits &limits, const std::function<bool()> &cancelled,
                        ArchiveTree &tree);
// The same over bytes in memory.
ArchiveRead readArchiveBytes(QByteArray bytes, const ArchiveLimits &limits,
                             const std::function<bool()> &cancelled, ArchiveTree &tree);
