#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// The one place that spells the platform's path separator.
inline constexpr QChar kPathSeparator = u'/';

// `path` without one trailing separator; the root "/" becomes "" so that
// appending kPathSeparator + name to it always builds a valid path.
[[nodiscard]] QString withoutTrailingSeparator(const QString &path);

// The file `name` in the user's documents folder, where exports and printed PDFs are offered; the
// folder is made when it is missing, since a file dialog refuses a folder that is not there.
[[nodiscard]] QString documentsFilePath(const QString &name);
