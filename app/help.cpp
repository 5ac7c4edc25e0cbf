#include "app/help.h"

#include "app/globals.h"
#include "runtime/help.h"

void gf_help(const QString &)
{
    ShowHelp(helpFilePath());
}
