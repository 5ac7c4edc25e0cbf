#pragma once

#include <QString>

// Shows the help document at its top in the program's help window, or a message
// naming the path when there is no such file. Returns 1 when the help is shown.
int ShowHelp(const QString &helpFile);
