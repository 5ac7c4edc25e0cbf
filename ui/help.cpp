#include "ui/help.h"

#include "catalogue/settings.h"
#include "widgets/helpviewer.h"

#include <QKeyEvent>
#include <QWidget>

void gf_help(const QString &)
{
    ShowHelp(helpFilePath());
}

bool closeOrHelpKey(QWidget &window, const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        window.close();
    else if (event->key() == Qt::Key_F1)
        gf_help(QString());
    else
        return false;
    return true;
}
