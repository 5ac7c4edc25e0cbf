#include "files/progress.h"

#include <algorithm>

void Progress::setMaximum(qint64 maximum)
{
    m_maximum = std::max<qint64>(maximum, 0);
    m_position = std::min(m_position, m_maximum);
    notifyIfShownChanged();
}

void Progress::setPosition(qint64 position)
{
    m_position = std::clamp<qint64>(position, 0, m_maximum);
    notifyIfShownChanged();
}

int Progress::percent() const
{
    if (m_maximum <= 0)
        return 0;
    // Floating point, fraction dropped, as the percentage has always been shown.
    return int(double(m_position) * 100.0 / double(m_maximum));
}

int Progress::permille() const
{
    return m_maximum <= 0 ? 0 : int(double(m_position) * 1000.0 / double(m_maximum));
}

void Progress::notifyIfShownChanged()
{
    m_nextCheck = std::min(m_maximum, m_position + std::max<qint64>(1, m_maximum / 4000));
    const int nowPermille = permille(), nowPercent = percent();
    if (nowPermille == m_shownPermille && nowPercent == m_shownPercent)
        return;
    m_shownPermille = nowPermille;
    m_shownPercent = nowPercent;
    if (onChange)
        onChange();
}
