#include "scanner/mediascan.h"

#include "catalogue/discfacts.h"

#include <unistd.h>

MediaScan::MediaScan(FolderWalk *walk, MediaLimits limits) : m_walk(walk), m_limits(limits)
{
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
    const int fd = m_walk->openFile(folder, name);
    if (fd < 0)
        return;
    const MediaRead read = readMedia(fd, type, m_limits);
    ::close(fd);
    ++m_read;
    if (!read.facts)
        return;
    facts.notes.of(kMediaNotes).set(row, encodeMediaFacts(*read.facts));
    if (!read.thumbnail.isEmpty())
        facts.thumbnails.add(row, read.thumbnail);
}
