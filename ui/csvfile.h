#pragma once

#include "files/textfile.h"

#include <QString>
#include <functional>

class QWidget;

// Asks where to export (Qt's file dialog, in Korean, offering `suggestedName` in the user's
// documents folder), writes the file there with `write` and shows a failure in a message box. Nothing
// happens when the user cancels the dialog.
void exportCsv(QWidget *parent, const QString &suggestedName,
               const std::function<FileResult(const QString &path)> &write);

// The dialog goes through this while it is set, so tests choose the path without one: it gets the
// path the dialog would offer, and an empty path cancels.
using CsvPathChooser = std::function<QString(const QString &suggestedPath)>;
void setCsvPathChooser(CsvPathChooser chooser);
