#pragma once

#include <QString>

// The figures of the comparisons over a copy of the 1,000-disc set with side files written for
// it (`work`, made once from `discs`): the duplicates against the groups planted, the compare of
// two 200,000-row discs, the folder check of `folder` (200,000 entries) and the content hash
// against xxhsum -H2 over the same files, cold and warm.
int duplicatesFigures(const QString &discs, const QString &work, const QString &folder);
