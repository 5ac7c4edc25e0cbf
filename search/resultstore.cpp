#include "search/resultstore.h"

void ResultStore::reset(std::vector<ResultDisc> discs)
{
    m_discs = std::move(discs);
    m_rows.clear();
    m_paths.clear();
    m_names.clear();
    m_discsWithRows = 0;
}

quint32 ResultStore::addPath(const QString &path)
{
    m_paths.push_back(path);
    return quint32(m_paths.size() - 1);
}

void ResultStore::append(int disc, qint64 line, quint32 path, QStringView name, bool folder)
{
    if (m_rows.empty() || m_rows.back().disc != quint32(disc))
        ++m_discsWithRows; // rows come disc by disc
    m_rows.push_back({quint32(disc), quint32(line), path, quint32(m_names.size()),
                      quint32(name.size()) & 0x7FFFFFFF, folder ? 1u : 0u});
    m_names.append(name);
}
