// Following the index when another window of the program, on this machine or another, changes it.

#include "ui/w_list.h"

#include "catalogue/settings.h"
#include "ui/disctotals.h"

#include <QFileSystemWatcher>

void w_list::watchIndex()
{
    m_indexWatcher = std::make_unique<QFileSystemWatcher>();
    // The index is replaced by a rename, which a watch on the file itself would not survive: the
    // folder is watched instead, and catching up compares the index with the version last read.
    connect(m_indexWatcher.get(), &QFileSystemWatcher::directoryChanged, this, &w_list::catchUpWithIndex);
    catchUpWithIndex();
}

void w_list::catchUpWithIndex()
{
    // The folder may be made by the first save, after start-up.
    const QString folder = dataFolderPath();
    if (m_indexWatcher && m_indexWatcher->directories().isEmpty() && DirectoryExists(folder))
        m_indexWatcher->addPath(folder);
    // A search or a load is reading the rows; the next command catches up. Discs changed
    // elsewhere show their totals as their side files hold them now.
    if (!busy() && m_entries.catchUp()) {
        m_discTotals->clear();
        followIndex();
    }
}
