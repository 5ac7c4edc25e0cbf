#include "catalogue/csv.h"

#include <QDateTime>

#include <cstdlib>

QString csvRecord(const QStringList &fields)
{
    QString record;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            record += u',';
        const QString &field = fields[i];
        const bool quoted =
            field.contains(u',') || field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n');
        if (!quoted) {
            record += field;
            continue;
        }
        record += u'"';
        record += QString(field).replace(u'"', QStringLiteral("\"\""));
        record += u'"';
    }
    return record;
}

FileResult writeCsvFile(const QString &path, const QStringList &heading,
                        const std::function<void(const CsvRecordSink &)> &produce)
{
    return writeUtf8TextFileAtomically(path, [&](LineSink &sink) {
        if (!sink.writeLine(csvRecord(heading)))
            return;
        produce([&sink](const QStringList &fields) { return sink.writeLine(csvRecord(fields)); });
    });
}

QString csvSize(qint64 bytes)
{
    return bytes < 0 ? QString() : QString::number(bytes);
}

QString csvDate(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    const QDateTime local = date.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    // Written out whole: Qt would write an offset of 0 as "Z".
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}
