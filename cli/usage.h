#pragma once

#include <QString>

// What --help prints: the whole synopsis, or one subcommand's.
[[nodiscard]] QString usageText(const QString &command);
// What --version prints.
[[nodiscard]] QString versionText();
