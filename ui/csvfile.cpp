#include "ui/csvfile.h"

#include "catalogue/settings.h"
#include "widgets/messagebox.h"

#include <QDir>
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
    const QString path =
        chooser() ? chooser()(suggestedName)
                  : QFileDialog::getSaveFileName(parent, QStringLiteral("내보내기"),
                                                 QDir(gs_pgm_dir).filePath(suggestedName),
                                                 QStringLiteral("CSV 파일 (*.csv);;모든 파일 (*)"));
    if (path.isEmpty())
        return;
    const FileResult result = write(path);
    if (!result.ok)
        MessageBox(QStringLiteral("오류"), result.error, MessageIcon::StopSign);
}
