#include "scanner/imagescan.h"

#include "catalogue/layouts.h"
#include "files/archivesource.h"
#include "files/isovolume.h"
#include "files/paths.h"
#include "scanner/archivescan.h"
#include "scanner/mediascan.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString readProblem(const QString &path, const ArchiveRead &result, const IsoVolume &volume)
{
    QString why;
    if (volume.udf && result.format.isEmpty())
        why = QStringLiteral("UDF로만 된 이미지입니다. libarchive가 UDF를 읽지 못해 이 이미지는 마운트해서 "
                             "스캔해야 합니다.");
    else if (result.format.isEmpty())
        why = QStringLiteral("읽을 수 있는 디스크 이미지나 압축 파일이 아닙니다.");
    else if (result.outcome == ArchiveOutcome::Encrypted)
        why = QStringLiteral("암호가 걸려 있습니다.");
    else if (result.outcome == ArchiveOutcome::Truncated)
        why = QStringLiteral("파일이 잘려 있습니다. (%1)").arg(result.reason);
    else
        why = QStringLiteral("손상되었습니다. (%1)").arg(result.reason);
    return QStringLiteral("이미지 파일을 읽을 수 없습니다: '%1'\n\n%2").arg(path, why);
}

// A file of zeros is an empty tar file to libarchive: an image with no entry at all, not even its
// root folder, read as a tar file, is none.
bool isNothing(const ArchiveRead &result, const ArchiveTree &members)
{
    return result.format.startsWith(QStringLiteral("tar")) && members.members() == 0 &&
           members.node(ArchiveTree::kRoot).stat.mtime == FileStat::kUnknown;
}

// The disc's facts from the image: its label and capacity from the ISO 9660 volume descriptors
// (files/isovolume.h), its file system as libarchive read it.
DiscFacts imageFacts(const IsoVolume &volume, const ArchiveRead &result, qint64 fileSize)
{
    DiscFacts disc;
    disc.scanned = QDateTime::currentDateTimeUtc();
    disc.volumeLabel = volume.label;
    disc.fileSystemType = result.format;
    disc.capacity = volume.capacity > 0 ? volume.capacity : fileSize;
    disc.freeSpace = 0; // an image is written whole
    return disc;
}

} // namespace

bool readDiscImage(const QString &path, HookContext *hooks, const ArchiveLimits &limits, DiscImage &image,
                   QString &problem)
{
    image = DiscImage{};
    qint64 fileSize = 0;
    const QByteArray file = QFile::encodeName(path);
    const int fd = openArchiveFile(AT_FDCWD, file.constData(), &fileSize);
    if (fd < 0) {
        problem = QStringLiteral("이미지 파일을 열 수 없습니다.\n\n%1").arg(path);
        return false;
    }
    IsoVolume volume;
    // A DVD or Blu-ray image of UDF alone begins with zeros, which libarchive would take for an
    // empty tar file: it is said what it is instead.
    if (!readIsoVolume(path, volume) && volume.udf) {
        ::close(fd);
        problem = readProblem(path, {}, volume);
        return false;
    }
    if (hooks && hooks->showItem)
        hooks->showItem(path);
    // The image was chosen as a whole: even a compressed tar is read through. The archives it
    // holds are read as on a disc, so that its rows are those of the same image mounted.
    ArchiveLimits imageLimits = limits;
    imageLimits.streamedSelf = true;
    ArchiveTree members;
    const ArchiveRead result = readArchive(
        fd, imageLimits, [hooks] { return hooks && hooks->cancelled(); }, members);
    if (result.format.isEmpty() || isLeaf(result.outcome) || isNothing(result, members)) {
        problem = readProblem(path, isNothing(result, members) ? ArchiveRead{} : result, volume);
        return false;
    }
    image.root = path + kPathSeparator;
    image.facts = imageFacts(volume, result, fileSize);
    image.rootName = volume.label.isEmpty() ? QFileInfo(path).fileName() : volume.label;
    const QByteArray rootBytes = file + '/';
    image.archives = std::make_shared<ArchiveScan>(limits);
    image.archives->noteImage(rootBytes, result);
    const FileStat rootStat = members.node(ArchiveTree::kRoot).stat;
    image.walk = image.archives->walkImage(rootBytes, std::move(members), rootStat);
    return true;
}

ImageScan scanImage(const QString &path, HookContext &hooks, const ArchiveLimits &limits, RecordSet &tree,
                    TreeFacts &facts, const ScanReports &reports, bool readMedia)
{
    ImageScan scan;
    tree.Reset();
    facts.clear();
    DiscImage image;
    ArchiveLimits reading = limits;
    if (readMedia)
        reading.headBytes = &MediaScan::headBytesFor;
    if (!readDiscImage(path, &hooks, reading, image, scan.problem))
        return scan;
    facts.disc = image.facts;
    scan.volumeLabel = image.facts.volumeLabel;
    MediaScan media(image.walk.get());
    scanDrive(hooks, image.walk.get(), image.root, tree, facts, reports, image.archives.get(),
              readMedia ? &media : nullptr);
    if (tree.RowCount() >= 1)
        tree.SetItem(1, TreeColumn::name, image.rootName);
    scan.read = true;
    scan.rows = tree.RowCount();
    return scan;
}

QString imageFileFilter()
{
    return QStringLiteral(
        "디스크 이미지 (*.iso *.img *.nrg *.bin *.ISO *.IMG *.NRG *.BIN);;"
        "압축 파일 (*.zip *.7z *.rar *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.tar.zst *.cab "
        "*.lha *.lzh);;모든 파일 (*)");
}
