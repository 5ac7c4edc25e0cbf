#pragma once

#include "files/textfile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// CSV files for spreadsheets (RFC 4180): fields separated by commas, a field holding a comma, a
// double quote, a CR or an LF put in double quotes with its quotes doubled, records ending in
// CR LF. Written as UTF-8 with a byte-order mark, which is how a spreadsheet on a Korean Windows
// knows the file is not in its own code page.

// One record: the fields quoted as needed and joined, without the line ending.
[[nodiscard]] QString csvRecord(const QStringList &fields);

// Hands records to the file being written; returns false once writing has failed.
using CsvRecordSink = std::function<bool(const QStringList &fields)>;

// Writes the heading and then the records `produce` hands over to `path`, replacing any file
// there atomically. `produce` may be called more than once and must give the same records.
[[nodiscard]] FileResult writeCsvFile(const QString &path, const QStringList &heading,
                                      const std::function<void(const CsvRecordSink &)> &produce);

// Cell texts shared by the exports: an unknown size (-1) or a null date is an empty cell, a date
// is ISO 8601 in local time with its offset from UTC ("2024-01-01T21:00:00+09:00"), so that a
// spreadsheet shows the time the program's own windows show.
[[nodiscard]] QString csvSize(qint64 bytes);
[[nodiscard]] QString csvDate(const QDateTime &date);
