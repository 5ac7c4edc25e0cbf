#pragma once

#include "catalogue/entries.h"
#include "cli/output.h"

#include <QString>

struct RowFacts;

// The records the subcommands print, the same in every one.

// A disc: label, category code, description, catalogue file.
[[nodiscard]] Record discRecord(const CatalogueEntry &entry);

// A folder or file row of a disc's tree: the disc's label, the row's whole path (a folder's own
// path, a file's folder path and name), its folder path and name as the catalogue holds them,
// "folder" or "file", its size and date when known, and its row (the catalogue file's line).
struct TreeRow {
    QString folderPath;
    QString name;
    bool folder = false;
    qint64 line = 0;
};
[[nodiscard]] Record rowRecord(const QString &label, const TreeRow &row, const RowFacts &facts);
