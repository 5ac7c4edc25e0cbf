#include "scanner/discimage.h"

#include "files/isovolume.h"
#include "scanner/archivescan.h"
#include "scanner/imagescan.h"
#include "scanner/mediascan.h"

#include <QFileInfo>

namespace {

ImageReader &installedReader()
{
    static ImageReader reader = [](const QString &path, DiscImage &image, QString &error) {
        // With the first bytes of its pictures and songs kept, for a scan that reads them.
        ArchiveLimits limits;
        limits.headBytes = &MediaScan::headBytesFor;
        return readDiscImage(path, nullptr, limits, image, error);
    };
    return reader;
}

} // namespace

void setImageReader(ImageReader reader)
{
    installedReader() = std::move(reader);
}

bool openDiscImage(const QString &path, DiscImage &image, QString &error)
{
    image = DiscImage{};
    if (!installedReader()) {
        error = QStringLiteral("이미지 파일을 읽을 수 없습니다: '%1' (이미지를 읽는 기능이 없습니다. "
                               "이미지를 마운트해서 그 폴더를 스캔하세요)")
                    .arg(path);
        return false;
    }
    return installedReader()(path, image, error);
}

bool isDiscImageName(QStringView name)
{
    return name.endsWith(u".iso", Qt::CaseInsensitive) && name.size() > 4;
}

QString imageVolumeLabel(const QString &path)
{
    IsoVolume volume;
    return readIsoVolume(path, volume) ? volume.label.trimmed() : QString();
}

QString imageBaseName(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}
