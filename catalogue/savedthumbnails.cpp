#include "catalogue/savedthumbnails.h"

#include "catalogue/datafiles.h"

SavedThumbnails::SavedThumbnails(QString dataFolder) : m_dataFolder(std::move(dataFolder))
{
}

QImage SavedThumbnails::imageOf(const QString &file, qint64 row)
{
    if (!isBareFileName(file))
        return {};
    auto found = m_open.find(file);
    if (found == m_open.end())
        found = m_open.emplace(file, Thumbnails::openUnchanged(m_dataFolder + u'/' + file)).first;
    return found->second.imageOf(row);
}

void SavedThumbnails::forget()
{
    m_open.clear();
}
