#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// The one place that spells the platform's path separator.
inline constexpr QChar kPathSeparator = u'/';

// `path` without one trailing separator; the root "/" becomes "" so that
// appending kPathSeparator + name to it always builds a valid path.
[[nodiscard]] QString withoutTrailingSeparator(const QString &path);
