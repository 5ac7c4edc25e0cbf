#include "catalogue/factstext.h"

#include "catalogue/archivenote.h"
#include "catalogue/layouts.h"

#include <QLocale>

namespace {

const QLocale &korean()
{
    static const QLocale locale(QLocale::Korean, QLocale::SouthKorea);
    return locale;
}

QString countText(qint64 n, const char16_t *unit)
{
    return korean().toString(n) + QString::fromUtf16(unit);
}

// The disc row: the disc's facts, with the root folder's own date where a folder shows its date.
QString discText(const DiscFacts &disc, qint64 rootMtime)
{
    QStringList parts;
    if (!disc.volumeLabel.isEmpty())
        parts << QStringLiteral("볼륨 %1").arg(disc.volumeLabel);
    if (!disc.fileSystemType.isEmpty())
        parts << disc.fileSystemType;
    // Some file systems (an image mounted through FUSE) tell no capacity: 0 then.
    if (disc.capacity > 0)
        parts
            << QStringLiteral("용량 %1, 남은 공간 %2").arg(sizeText(disc.capacity), sizeText(disc.freeSpace));
    parts << QStringLiteral("폴더 %1, 파일 %2, 크기 %3")
                 .arg(countText(disc.folders, u"개"), countText(disc.files, u"개"), sizeText(disc.totalSize));
    if (rootMtime != FileStat::kUnknown)
        parts << dateText(rootMtime);
    if (disc.scanned.isValid())
        parts << QStringLiteral("스캔 %1").arg(dateText(disc.scanned.toSecsSinceEpoch()));
    return parts.join(QStringLiteral(" · "));
}

} // namespace

QString sizeText(qint64 bytes)
{
    if (bytes == FileStat::kUnknown)
        return QStringLiteral("크기 모름");
    return korean().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString exactBytesText(qint64 bytes)
{
    return korean().toString(bytes) + QStringLiteral("바이트");
}

QString dateText(const QDateTime &when)
{
    if (!when.isValid())
        return QStringLiteral("날짜 모름");
    return korean().toString(when.toLocalTime(), QLocale::ShortFormat);
}

QString dateText(qint64 secondsSinceEpoch)
{
    return dateText(secondsSinceEpoch == FileStat::kUnknown
                        ? QDateTime()
                        : QDateTime::fromSecsSinceEpoch(secondsSinceEpoch));
}

QString foundText(qint64 folders, qint64 files)
{
    return QStringLiteral("폴더 %1, 파일 %2 찾음").arg(countText(folders, u"개"), countText(files, u"개"));
}

QString widestDateText()
{
    return dateText(QDateTime(QDate(2088, 12, 28), QTime(12, 58)));
}

FolderCounts folderCountsAt(const RecordSet &tree, qint64 row)
{
    FolderCounts counts;
    const qint64 level = tree.GetItemNumber(row, TreeColumn::level);
    const QString folderPicture = QString::fromUtf16(kFolderPicture);
    for (qint64 below = row + 1; below <= tree.RowCount(); ++below) {
        if (tree.GetItemNumber(below, TreeColumn::level) <= level)
            break;
        if (tree.GetItemString(below, TreeColumn::bmpname) == folderPicture)
            ++counts.folders;
        else
            ++counts.files;
    }
    return counts;
}

namespace {

// An archive's row: its format, its own size, its members' and how its reading went.
QString archiveText(const QString &path, const ArchiveNote &note, const FolderCounts &counts)
{
    QStringList parts;
    parts << QStringLiteral("압축 파일") + (note.format.isEmpty() ? QString() : u' ' + note.format);
    QString size = sizeText(note.size);
    if (note.size != FileStat::kUnknown)
        size += QStringLiteral(" (%1)").arg(exactBytesText(note.size));
    parts << size;
    if (note.rows > 0) {
        parts << QStringLiteral("풀면 %1").arg(sizeText(note.unpacked));
        parts << QStringLiteral("폴더 %1, 파일 %2")
                     .arg(countText(counts.folders, u"개"), countText(counts.files, u"개"));
    }
    parts << dateText(note.mtime);
    const QString outcome = archiveOutcomeText(note);
    if (!outcome.isEmpty())
        parts << outcome;
    return path + QStringLiteral(" — ") + parts.join(QStringLiteral(" · "));
}

QString plainRowFactsText(const RecordSet &tree, const TreeFacts &facts, qint64 row, bool known)
{
    const FileStat stat = known ? facts.at(row) : FileStat();
    // Composed, as drawn: a Mac writes Hangul decomposed.
    const QString path =
        tree.GetItemString(row, TreeColumn::fullname).normalized(QString::NormalizationForm_C);
    if (tree.GetItemString(row, TreeColumn::bmpname) != QString::fromUtf16(kFolderPicture)) {
        QString size = sizeText(stat.size);
        if (stat.size != FileStat::kUnknown)
            size += QStringLiteral(" (%1)").arg(exactBytesText(stat.size));
        return QStringLiteral("%1%2 — %3 · %4")
            .arg(path, tree.GetItemString(row, TreeColumn::name).normalized(QString::NormalizationForm_C),
                 size, dateText(stat.mtime));
    }
    if (row == 1 && known)
        return path + QStringLiteral(" — ") + discText(facts.disc, stat.mtime);
    const FolderCounts counts = folderCountsAt(tree, row);
    QString text =
        QStringLiteral("%1 — %2 · 폴더 %3, 파일 %4")
            .arg(path, sizeText(stat.size), countText(counts.folders, u"개"), countText(counts.files, u"개"));
    if (stat.mtime != FileStat::kUnknown)
        text += QStringLiteral(" · ") + dateText(stat.mtime);
    return text;
}

} // namespace

QString rowFactsText(const RecordSet &tree, const TreeFacts &facts, qint64 row)
{
    if (row < 1 || row > tree.RowCount())
        return {};
    const bool known = facts.describes(tree.RowCount());
    const ArchiveRows archives = known ? ArchiveRows(facts.notes) : ArchiveRows();
    const std::optional<ArchiveNote> note = archives.note(row);
    QString text =
        note ? archiveText(tree.GetItemString(row, TreeColumn::fullname), *note, folderCountsAt(tree, row))
             : plainRowFactsText(tree, facts, row, known);
    // Said first, where the status line shows it whatever its width.
    const QString dash = QStringLiteral(" — ");
    const qsizetype at = text.indexOf(dash);
    if (archives.isInside(row) && at >= 0)
        text.insert(at + dash.size(), insideArchiveText() + QStringLiteral(" · "));
    return text;
}

QString discTooltip(const DiscFacts &disc)
{
    QString text =
        QStringLiteral("전체 크기 %1 (%2)\n파일 %3")
            .arg(sizeText(disc.totalSize), exactBytesText(disc.totalSize), countText(disc.files, u"개"));
    if (disc.scanned.isValid())
        text += QStringLiteral("\n스캔 ") + dateText(disc.scanned.toSecsSinceEpoch());
    return text;
}
