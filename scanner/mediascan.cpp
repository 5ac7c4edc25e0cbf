#include "scanner/mediascan.h"

#include "catalogue/discfacts.h"

#include <algorithm>

#include <unistd.h>

MediaScan::MediaScan(FolderWalk *walk, MediaLimits limits) : m_walk(walk), m_limits(limits)
{
}

qint64 MediaScan::headBytesFor(QByteArrayView name)
{
    switch (mediaTypeOf(name)) {
    case MediaType::None:
        return 0;
    case MediaType::Jpeg:
        return 128 * 1024; // the EXIF block is at most 64 KiB, after a few small ones
    default:
        return 256 * 1024;
    }
}

bool MediaScan::mayRead(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.size() - dot <= 5 && mediaTypeOf(name.sliced(dot).toLatin1()) != MediaType::None;
}

void MediaScan::fileAdded(const QByteArray &folder, const QByteArray &name, qint64 row, HookContext &hooks,
                          TreeFacts &facts)
{
    const MediaType type = mediaTypeOf(name);
    if (type == MediaType::None || !m_walk || m_stopped)
        return;
    // Reading a folder of photos takes a while: the window may cancel between any two.
    if (hooks.cancelled()) {
        m_stopped = true;
        return;
    }
    qint64 held = -1;
    const int fd = m_walk->openFileHead(folder, name, held);
    if (fd < 0)
        return;
    // Of an archive's member only its first bytes are there: none is read past them, and a
    // picture is not decoded from them.
    MediaLimits limits = m_limits;
    if (held >= 0) {
        limits.firstBytes = std::min(limits.firstBytes, held);
        limits.mostJpegHeadBytes = std::min(limits.mostJpegHeadBytes, held);
        limits.mostPictureBytes = std::min(limits.mostPictureBytes, held);
        limits.mostTagBytes = std::min(limits.mostTagBytes, held);
    }
    const MediaRead read = readMedia(fd, type, limits);
    ::close(fd);
    ++m_read;
    if (!read.facts)
        return;
    facts.notes.of(kMediaNotes).set(row, encodeMediaFacts(*read.facts));
    if (!read.thumbnail.isEmpty())
        facts.thumbnails.add(row, read.thumbnail);
}
