#include "catalogue/datafiles.h"

qint64 loadDataFile(RecordSet &rows, const QString &path, bool *opened)
{
    TextFileReader reader;
    const bool open = reader.open(path);
    if (opened)
        *opened = open;
    if (!open)
        return 0;
    QString line;
    qint64 lines = 0;
    while (reader.readLine(line) >= 1) {
        rows.appendLine(line);
        ++lines;
    }
    return lines;
}

FileResult storeIndex(const RecordSet &dw_cdinfo, const QString &path)
{
    return dw_cdinfo.SaveAs(path);
}

FileResult writeCatalogue(const RecordSet &tree, const QString &path)
{
    return tree.SaveAs(path);
}

bool isBareFileName(QStringView file)
{
    if (file.isEmpty() || file == u"." || file == u".." ||
        file.compare(QStringView(kIndexFileName), Qt::CaseInsensitive) == 0)
        return false;
    for (QChar c : file) {
        const char16_t u = c.unicode();
        // C0 and C1 controls would be written as spaces, and the index would then name another file.
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u == u'/' || u == u'\\')
            return false;
    }
    return true;
}
