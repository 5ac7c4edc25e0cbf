#include "files/hookcontext.h"

void HookContext::setMaximum(qint64 maximum)
{
    if (progress)
        progress->setMaximum(maximum);
    m_shownPercent = -1;
}

void HookContext::advance()
{
    if (!progress)
        return;
    progress->advance();
    const int percent = progress->shownPercent();
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    if (showStatus)
        showStatus(progress->percentText());
}
