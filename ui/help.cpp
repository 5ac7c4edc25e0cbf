#include "ui/help.h"

#include "catalogue/settings.h"
#include "widgets/helpviewer.h"

void gf_help(const QString &)
{
    ShowHelp(helpFilePath());
}
