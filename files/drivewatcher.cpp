#include "files/drivewatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

DriveWatcher::DriveWatcher(std::function<void()> onChange, QObject *parent)
    : QObject(parent), m_onChange(std::move(onChange))
{
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return; // no mount table to watch: the list is still refreshed when it opens
    readTable();
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        readTable();
        if (m_onChange)
            m_onChange();
    });
}

DriveWatcher::~DriveWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

// The condition stays raised until the table is read again from its start.
void DriveWatcher::readTable()
{
    char buffer[16 * 1024];
    ::lseek(m_fd, 0, SEEK_SET);
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
}
