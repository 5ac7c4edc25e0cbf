#pragma once

#include "files/textfile.h"
#include "search/resultstore.h"

#include <QString>
#include <vector>

// The results in the order of `order` (rows of the store), or in the store's order when empty:
// label, description, category, folder path, name, kind, size, date, then what a picture or a
// song is (catalogue/mediacells.h), as a CSV file (catalogue/csv.h). The facts come from the
// side files; unknown ones are empty cells.
[[nodiscard]] FileResult exportResults(const QString &path, const ResultStore &store,
                                       const std::vector<quint32> &order, const QString &dataFolder);
