#pragma once

#include "files/textfile.h"
#include "records/recordset.h"

#include <QString>
#include <QStringView>

// Appends the lines of a data file (index or catalogue) to `rows`, one row per line, and
// stops at the first line that reads as empty, at the end or on a read error. A file
// that cannot be opened adds nothing (and sets `opened`, when given, to false). Returns the number
// of lines read.
qint64 loadDataFile(RecordSet &rows, const QString &path, bool *opened = nullptr);

// The index: every entry of `dw_cdinfo`, replacing the index file atomically.
[[nodiscard]] FileResult storeIndex(const RecordSet &dw_cdinfo, const QString &path);
// A folder tree, replacing its catalogue file atomically.
[[nodiscard]] FileResult writeCatalogue(const RecordSet &tree, const QString &path);

// The index file's own name in the data folder.
inline constexpr char16_t kIndexFileName[] = u"cdinfo.dat";

// True when `file` is a bare file name that may be opened, searched, renamed or deleted: not
// empty, not "." or ".." as a whole, holding no separator of either platform, no control character
// (C0 or C1), and not the index file (in any case, as a FAT or SMB data folder would take it).
// The save dialog checks labels with it too.
[[nodiscard]] bool isBareFileName(QStringView file);
