#include "ui/csvfile.h"

#include "files/paths.h"
#include "widgets/messagebox.h"

#include <QFileDialog>

namespace {
CsvPathChooser &chooser()
{
    static CsvPathChooser hook;
    return hook;
}
} // namespace

void setCsvPathChooser(CsvPathChooser hook)
{
    chooser() = std::move(hook);
}

void exportCsv(QWidget *parent, const QString &suggestedName,
               const std::function<FileResult(const QString &path)> &write)
{
    // Where the user keeps documents, not the program folder, which a user never opens.
    const QString suggested = documentsFilePath(suggestedName);
    const QString path =
        chooser() ? chooser()(suggested)
                  : QFileDialog::getSaveFileName(parent, QStringLiteral("내보내기"), suggested,
                                                 QStringLiteral("CSV 파일 (*.csv);;모든 파일 (*)"));
    if (path.isEmpty())
        return;
    const FileResult result = write(path);
    if (!result.ok)
        MessageBox(QStringLiteral("오류"), result.error, MessageIcon::StopSign);
}
