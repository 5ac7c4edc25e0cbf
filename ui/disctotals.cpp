#include "ui/disctotals.h"

#include "catalogue/factstext.h"

#include <QLocale>

const DiscSummary &DiscTotals::of(const QString &file)
{
    // Names are compared without case, as the data folder's files are.
    const QString key = file.toCaseFolded();
    auto found = m_kept.constFind(key);
    if (found == m_kept.constEnd())
        found = m_kept.insert(key, readSideFacts(m_dataFolder, file).disc());
    return *found;
}

void DiscTotals::forget(const QStringList &files)
{
    for (const QString &file : files)
        m_kept.remove(file.toCaseFolded());
}

QStringList totalsTexts(const DiscSummary &disc)
{
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    return {disc.bytes >= 0 ? sizeText(disc.bytes) : QString(),
            disc.files >= 0 ? korean.toString(disc.files) : QString(),
            disc.scanned.isValid() ? dateText(disc.scanned) : QString()};
}
