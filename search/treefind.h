#pragma once

#include "records/recordset.h"

#include <QString>

// The find in an open tree: the first row in [first, last] whose name holds `text`, upper and
// lower case apart as typed, canonically equivalent text being equal (a name a Mac wrote
// decomposed is found by its composed spelling); 0 when there is none, also when `first` lies
// past `last`.
[[nodiscard]] qint64 findNameRow(const RecordSet &tree, const QString &text, qint64 first, qint64 last);
