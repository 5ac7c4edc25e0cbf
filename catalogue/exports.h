#pragma once

#include "files/textfile.h"
#include "records/recordset.h"

#include <QString>
#include <QStringList>
#include <vector>

// The CSV exports of an open disc's tree and of the disc list (catalogue/csv.h), and the cells
// they share with the results' export. Sizes and dates come from the side facts
// (catalogue/sidefacts.h); unknown ones are empty cells.

class TreeFacts;
struct RowFacts;

// The headings of a row's cells (folder path, name, kind, size, date) and of a disc's (label,
// description, category).
extern const QStringList kRowHeading;
extern const QStringList kDiscHeading;
// "폴더" or "파일".
[[nodiscard]] QString kindText(bool folder);
// A row's size and date as cells.
[[nodiscard]] QStringList factCells(const RowFacts &facts);

// Every row of a tree (hidden ones too): folder path, name, kind, and the size and date its
// `facts` hold for the row (empty cells where they hold none), then what they hold of a picture
// or a song (catalogue/mediacells.h).
[[nodiscard]] FileResult exportTree(const QString &path, const RecordSet &tree, const TreeFacts &facts);
// Every entry of a list of the index layout: label, description, category, file count, total
// size, scan date.
[[nodiscard]] FileResult exportDiscList(const QString &path, const RecordSet &list,
                                        const QString &dataFolder);
