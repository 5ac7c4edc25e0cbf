#include "scanner/imagescan.h"

#include "catalogue/layouts.h"
#include "files/archivesource.h"
#include "files/isovolume.h"
#include "files/paths.h"
#include "scanner/archivescan.h"
#include "scanner/foldercount.h"
#include "scanner/keptlistings.h"
#include "scanner/treebuilder.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString readProblem(const ArchiveRead &result, const IsoVolume &volume)
{
    if (volume.udf && result.format.isEmpty())
        return QStringLiteral("UDF로만 된 이미지입니다. libarchive가 UDF를 읽지 못해 이 이미지는 마운트해서 "
                              "스캔해야 합니다.");
    if (result.format.isEmpty())
        return QStringLiteral("이 파일은 읽을 수 있는 디스크 이미지나 압축 파일이 아닙니다.");
    switch (result.outcome) {
    case ArchiveOutcome::Encrypted:
        return QStringLiteral("이미지에 암호가 걸려 있어 읽을 수 없습니다.");
    case ArchiveOutcome::Truncated:
        return QStringLiteral("이미지 파일이 잘려 있어 읽을 수 없습니다.\n\n%1").arg(result.reason);
    default:
        return QStringLiteral("이미지가 손상되어 읽을 수 없습니다.\n\n%1").arg(result.reason);
    }
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

ImageScan scanImage(const QString &path, HookContext &hooks, const ArchiveLimits &limits, RecordSet &tree,
                    TreeFacts &facts)
{
    ImageScan scan;
    tree.Reset();
    facts.clear();
    qint64 fileSize = 0;
    const QByteArray file = QFile::encodeName(path);
    const int fd = openArchiveFile(AT_FDCWD, file.constData(), &fileSize);
    if (fd < 0) {
        scan.problem = QStringLiteral("이미지 파일을 열 수 없습니다.\n\n%1").arg(path);
        return scan;
    }
    IsoVolume volume;
    // A DVD or Blu-ray image of UDF alone begins with zeros, which libarchive would take for an
    // empty tar file: it is said what it is instead.
    if (!readIsoVolume(path, volume) && volume.udf) {
        ::close(fd);
        scan.problem = readProblem({}, volume);
        return scan;
    }
    if (hooks.showItem)
        hooks.showItem(path);
    // The image was chosen as a whole: even a compressed tar is read through.
    ArchiveLimits imageLimits = limits;
    imageLimits.streamed = true;
    ArchiveTree members;
    const ArchiveRead result = readArchive(
        fd, imageLimits, [&hooks] { return hooks.cancelled(); }, members);
    if (result.format.isEmpty() || isLeaf(result.outcome)) {
        scan.problem = readProblem(result, volume);
        return scan;
    }
    facts.disc = imageFacts(volume, result, fileSize);
    scan.volumeLabel = volume.label;

    const QString rootText = path + kPathSeparator;
    const QByteArray rootBytes = file + '/';
    ArchiveScan archives(limits);
    archives.noteImage(rootBytes, result);
    const FileStat rootStat = members.node(ArchiveTree::kRoot).stat;
    const std::unique_ptr<FolderWalk> walk = archives.walkImage(rootBytes, std::move(members), rootStat);
    // Counted first, for the progress; the build takes the count's listings back.
    KeptListings kept;
    ScanContext count{hooks, walk.get(), &kept, nullptr, &archives};
    qint64 rows = 0;
    wf_file_cnt(count, rootText, rows);
    hooks.setMaximum(rows);
    tree.reserve(rows);
    facts.reserve(rows);
    ScanContext build{hooks, nullptr, &kept, &facts, &archives};
    TreeBuilder(build, tree).of_recurse_dir_list(rootText, 1);
    if (tree.RowCount() >= 1)
        tree.SetItem(1, TreeColumn::name, volume.label.isEmpty() ? QFileInfo(path).fileName() : volume.label);
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
