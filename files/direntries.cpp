#include "files/direntries.h"

#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sorts a directory entry into the kinds the listings keep. Most file systems fill in d_type;
// only when one does not is the entry looked at, and even then links are not followed.
bool entryKind(int folderFd, const struct dirent64 *entry, DirEntry::Kind &kind)
{
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
        struct stat st;
        if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR)
        kind = DirEntry::Kind::Folder;
    else if (type == DT_REG)
        kind = DirEntry::Kind::File;
    else
        return false;
    return true;
}

// Adds the entries of one getdents64 block to `out`.
void collectEntries(int folderFd, const char *block, long size, std::vector<DirEntry> &out)
{
    for (long at = 0; at < size;) {
        const auto *entry = reinterpret_cast<const struct dirent64 *>(block + at);
        at += entry->d_reclen;
        DirEntry::Kind kind;
        // Hidden names start with a dot, and so do "." and "..".
        if (entry->d_name[0] == '.' || !entryKind(folderFd, entry, kind))
            continue;
        const QByteArray bytes(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        out.push_back({fileNameForDisplay(bytes), kind, bytes});
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

QString fileNameForDisplay(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    // ICU knows IBM's table under "CP949"; Windows' is the one Korean discs were written with.
    // Qt's ICU decoders keep reporting an error once they had one, even after resetState(), so
    // a decoder that met a bad name is replaced.
    thread_local QStringDecoder cp949;
    if (!cp949.isValid() || cp949.hasError())
        cp949 = QStringDecoder("windows-949", QStringConverter::Flag::Stateless);
    QString text = cp949.decode(bytes);
    if (!cp949.hasError() && looksLikeCp949Text(text))
        return text;
    return QString::fromUtf8(bytes);
}

bool readFolderEntries(int fd, std::vector<char> &block, std::vector<DirEntry> &out)
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
        collectEntries(fd, block.data(), long(got), out);
    }
}
