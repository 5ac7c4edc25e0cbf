#include "files/isovolume.h"

#include "files/filesystem.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <mntent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kSector = 2048;
constexpr qsizetype kFirstDescriptor = 16;
// A disc has a primary, perhaps a boot record and a supplementary or two, then the terminator:
// a few sectors past that are not looked at.
constexpr qsizetype kMostDescriptors = 16;

quint32 le32(const uchar *at)
{
    return quint32(at[0]) | quint32(at[1]) << 8 | quint32(at[2]) << 16 | quint32(at[3]) << 24;
}

quint32 be32(const uchar *at)
{
    return quint32(at[3]) | quint32(at[2]) << 8 | quint32(at[1]) << 16 | quint32(at[0]) << 24;
}

// The volume identifier at offset 40: 32 bytes of d-characters, or 16 UCS-2 big-endian characters
// in a Joliet descriptor, padded with spaces. Writers put other bytes in the primary's too (UTF-8,
// or CP949 on Korean Windows): those are read as a file name's bytes are.
QString volumeIdentifier(const uchar *descriptor, bool joliet)
{
    const uchar *field = descriptor + 40;
    QString text;
    if (joliet) {
        for (int i = 0; i < 32; i += 2)
            text.append(QChar(char16_t(field[i] << 8 | field[i + 1])));
    } else {
        text = fileNameForDisplay(QByteArrayView(reinterpret_cast<const char *>(field), 32));
    }
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == u' ' || text.at(end - 1) == u'\0'))
        --end;
    return text.first(end);
}

// A supplementary descriptor is Joliet's when its escape sequences name one of the UCS-2 levels.
bool isJoliet(const uchar *descriptor)
{
    const QByteArrayView escapes(reinterpret_cast<const char *>(descriptor + 88), 3);
    return escapes == "%/@" || escapes == "%/C" || escapes == "%/E";
}

// Both halves of a both-endian number, equal when the descriptor is sound; 0 otherwise.
quint32 bothEndian32(const uchar *at)
{
    return le32(at) == be32(at + 4) ? le32(at) : 0;
}

quint32 bothEndian16(const uchar *at)
{
    const quint32 little = quint32(at[0]) | quint32(at[1]) << 8;
    const quint32 big = quint32(at[3]) | quint32(at[2]) << 8;
    return little == big ? little : 0;
}

// UDF's volume recognition sequence follows the ISO 9660 descriptors, or stands alone: its
// NSR descriptor says the disc holds UDF.
bool namesUdf(QByteArrayView bytes)
{
    for (qsizetype at = 0; at + kSector <= bytes.size(); at += kSector) {
        const QByteArrayView identifier(bytes.data() + at + 1, 5);
        if (identifier == "NSR02" || identifier == "NSR03")
            return true;
    }
    return false;
}

} // namespace

bool parseIsoVolume(QByteArrayView bytes, IsoVolume &volume)
{
    volume = {};
    volume.udf = namesUdf(bytes);
    bool primary = false;
    QString joliet;
    for (qsizetype at = 0; at + kSector <= bytes.size(); at += kSector) {
        const auto *descriptor = reinterpret_cast<const uchar *>(bytes.data() + at);
        if (QByteArrayView(bytes.data() + at + 1, 5) != "CD001" || descriptor[0] == 255)
            break;
        if (descriptor[0] == 1 && !primary) {
            primary = true;
            volume.label = volumeIdentifier(descriptor, false);
            volume.capacity = qint64(bothEndian32(descriptor + 80)) * bothEndian16(descriptor + 128);
        } else if (descriptor[0] == 2 && joliet.isEmpty() && isJoliet(descriptor)) {
            joliet = volumeIdentifier(descriptor, true);
        }
    }
    if (primary && !joliet.isEmpty())
        volume.label = joliet;
    if (!primary) {
        const bool udf = volume.udf;
        volume = {};
        volume.udf = udf;
    }
    return primary;
}

bool readIsoVolume(const QString &path, IsoVolume &volume)
{
    volume = {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    QByteArray bytes;
    if (::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        bytes.resize(kSector * kMostDescriptors);
        const ssize_t got = ::pread(fd, bytes.data(), size_t(bytes.size()), kSector * kFirstDescriptor);
        bytes.resize(got > 0 ? qsizetype(got) : 0);
    }
    ::close(fd);
    return parseIsoVolume(bytes, volume);
}

QString sourceInMountTable(const QString &table, const QString &mountPoint)
{
    FILE *file = ::setmntent(QFile::encodeName(table).constData(), "r");
    if (!file)
        return {};
    const QString wanted = QDir::cleanPath(mountPoint);
    QString source;
    struct mntent entry;
    char buffer[4096];
    // The last entry wins: a mount made later over the same folder is the one in place.
    while (::getmntent_r(file, &entry, buffer, sizeof buffer)) {
        if (QDir::cleanPath(QFile::decodeName(entry.mnt_dir)) == wanted)
            source = QFile::decodeName(entry.mnt_fsname);
    }
    ::endmntent(file);
    return source;
}

QString mountedImageOf(const QString &mountPoint, const QByteArray &device, const QByteArray &fileSystemType)
{
    if (device.startsWith('/'))
        return QFile::decodeName(device);
    // fuseiso mounts with the source "fuseiso" and keeps a table of its own mounts.
    if (fileSystemType != "fuse.fuseiso")
        return {};
    const QString image = sourceInMountTable(QDir::homePath() + QStringLiteral("/.mtab.fuseiso"), mountPoint);
    return QDir::isAbsolutePath(image) ? image : QString();
}
