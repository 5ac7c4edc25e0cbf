#include "catalogue/datafiles.h"

qint64 loadDataFile(RecordSet &rows, const QString &path)
{
    TextFileReader reader;
    if (!reader.open(path))
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
    if (file.isEmpty() || file.contains(u"..") || file.contains(u'/') || file.contains(u'\\'))
        return false;
    for (QChar c : file) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}
