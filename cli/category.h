#pragma once

#include <QString>

// A category as the command line names it: its code ("01" to "04", or "1" to "4"), its name
// ("프로그램", "데이타", "음악", "사진") or empty for none. False, having told the user the choices,
// for anything else.
bool parseCategory(const QString &given, QString &code);
