#include "catalogue/discfacts.h"

#include "files/isovolume.h"

#include <QStorageInfo>

namespace {

// A disc image mounted through FUSE (fuseiso) shows no name and no capacity: both are read from
// the image's own volume descriptors. An image that cannot be read leaves them unknown.
void takeFromImage(const QStorageInfo &storage, DiscFacts &facts)
{
    IsoVolume volume;
    const QString image = mountedImageOf(storage.rootPath(), storage.device(), storage.fileSystemType());
    if (image.isEmpty() || !readIsoVolume(image, volume))
        return;
    facts.volumeLabel = volume.label;
    if (facts.capacity <= 0 && volume.capacity > 0) {
        facts.capacity = volume.capacity;
        facts.freeSpace = 0; // an image is written whole
    }
    if (facts.fileSystemType.startsWith(QStringLiteral("fuse")))
        facts.fileSystemType = QStringLiteral("iso9660");
}

} // namespace

DiscFacts volumeFactsOf(const QString &root)
{
    const QStorageInfo storage(root);
    DiscFacts facts;
    facts.scanned = QDateTime::currentDateTimeUtc();
    if (!storage.isValid())
        return facts;
    facts.volumeLabel = storage.name();
    facts.fileSystemType = QString::fromUtf8(storage.fileSystemType());
    facts.capacity = storage.bytesTotal();
    facts.freeSpace = storage.bytesAvailable();
    if (facts.volumeLabel.isEmpty())
        takeFromImage(storage, facts);
    return facts;
}

void TreeFacts::clear()
{
    disc = {};
    notes.clear();
    thumbnails = {};
    // Let go of the memory, not only of the rows: the next tree may be far smaller.
    std::vector<qint64>().swap(m_sizes);
    std::vector<qint64>().swap(m_mtimes);
}

void TreeFacts::reserve(qint64 rows)
{
    m_sizes.reserve(size_t(rows));
    m_mtimes.reserve(size_t(rows));
}

void TreeFacts::setSize(qint64 row, qint64 size)
{
    if (row >= 1 && row <= rows())
        m_sizes[size_t(row - 1)] = size;
}

FileStat TreeFacts::at(qint64 row) const
{
    if (row < 1 || row > rows())
        return {};
    return {m_sizes[size_t(row - 1)], m_mtimes[size_t(row - 1)]};
}
