#include "files/direntries.h"

#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

DirEntry::Kind kindOfMode(mode_t mode, bool &kept)
{
    kept = S_ISDIR(mode) || S_ISREG(mode);
    return S_ISDIR(mode) ? DirEntry::Kind::Folder : DirEntry::Kind::File;
}

// Looks at one entry relative to its open folder, never following a link: its kind, size and
// modification time. False when the system would not say.
bool statEntry(int folderFd, const char *name, mode_t &mode, FileStat &stat)
{
    struct statx st;
    constexpr unsigned kMask = STATX_TYPE | STATX_SIZE | STATX_MTIME;
    // AT_NO_AUTOMOUNT: looking at a folder must not mount a network share on it.
    if (::statx(folderFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, kMask, &st) != 0)
        return false;
    mode = st.stx_mode;
    if (st.stx_mask & STATX_SIZE)
        stat.size = qint64(st.stx_size);
    if (st.stx_mask & STATX_MTIME)
        stat.mtime = st.stx_mtime.tv_sec;
    return (st.stx_mask & STATX_TYPE) != 0;
}

// Sorts a directory entry into the kinds the listings keep, and with `withStat` looks at its
// size and date. Most file systems fill in d_type; when one does not, the entry is looked at
// even without `withStat`. An entry whose kind is known but that cannot be looked at is kept,
// its size and date unknown.
bool entryKind(int folderFd, const struct dirent64 *entry, bool withStat, DirEntry::Kind &kind,
               FileStat &stat)
{
    const unsigned char type = entry->d_type;
    bool kept = type == DT_DIR || type == DT_REG;
    kind = type == DT_DIR ? DirEntry::Kind::Folder : DirEntry::Kind::File;
    if (type != DT_UNKNOWN && !kept)
        return false; // a link, a device, a pipe: never looked at
    mode_t mode = 0;
    if ((withStat || type == DT_UNKNOWN) && statEntry(folderFd, entry->d_name, mode, stat))
        kind = kindOfMode(mode, kept);
    return kept;
}

// Adds the entries of one getdents64 block to `out`.
void collectEntries(int folderFd, const char *block, long size, bool withStat, std::vector<DirEntry> &out)
{
    for (long at = 0; at < size;) {
        const auto *entry = reinterpret_cast<const struct dirent64 *>(block + at);
        at += entry->d_reclen;
        DirEntry::Kind kind;
        FileStat stat;
        // Hidden names start with a dot, and so do "." and "..".
        if (entry->d_name[0] == '.' || !entryKind(folderFd, entry, withStat, kind, stat))
            continue;
        const QByteArray bytes(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        out.push_back({fileNameForDisplay(bytes), kind, bytes, stat});
    }
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

// Windows' own table gives private-use characters to byte pairs it leaves unassigned (and C1
// controls to 0x80): text with those is not Korean that CP949 could have written.
bool looksLikeCp949Text(QStringView text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x80 && u < 0xA0) || (u >= 0xE000 && u < 0xF900))
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> cp949TextOf(QByteArrayView bytes)
{
    // ICU knows IBM's table under "CP949"; Windows' is the one Korean discs were written with.
    // Qt's ICU decoders keep reporting an error once they had one, even after resetState(), so
    // a decoder that met bad bytes is replaced.
    thread_local QStringDecoder cp949;
    if (!cp949.isValid() || cp949.hasError())
        cp949 = QStringDecoder("windows-949", QStringConverter::Flag::Stateless);
    QString text = cp949.decode(bytes);
    if (!cp949.hasError() && looksLikeCp949Text(text) && !text.contains(QChar::ReplacementCharacter))
        return text;
    return std::nullopt;
}

QString fileNameForDisplay(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    if (std::optional<QString> text = cp949TextOf(bytes))
        return *std::move(text);
    return QString::fromUtf8(bytes);
}

bool readFolderEntries(int fd, std::vector<char> &block, std::vector<DirEntry> &out, bool withStat)
{
    out.clear();
    if (block.empty())
        block.resize(64 * 1024);
    // A walk may list a folder it holds open a second time.
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    for (;;) {
        const ssize_t got = ::getdents64(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0)
            return true;
        if (got < 0) {
            out.clear();
            return false;
        }
        collectEntries(fd, block.data(), long(got), withStat, out);
    }
}
