// The Print command: the tree as shown, page by page, under the long-operation guard.

#include "ui/w_list.h"

#include "catalogue/factstext.h"
#include "files/paths.h"
#include "widgets/messagebox.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <filesystem>

namespace {
// A PDF is written beside its place under a name of its own and put in place only when whole,
// so that a cancelled print leaves no half file and keeps a file of the same name untouched.
QString partName(const QString &pdf)
{
    return pdf + QStringLiteral(".part");
}

// Beside each row of a tree whose sizes are known, its size (a folder's is the total below it)
// and date; what is unknown stays blank. Nothing for a tree without them.
DataGrid::RowNotes sizeNotes(const RecordSet &tree, const TreeFacts &facts)
{
    if (!facts.describes(tree.RowCount()))
        return {};
    return [&facts](qint64 row) {
        const FileStat stat = facts.at(row);
        return QStringList{stat.size == FileStat::kUnknown ? QString() : sizeText(stat.size),
                           stat.mtime == FileStat::kUnknown ? QString() : dateText(stat.mtime)};
    };
}
} // namespace

QString w_list::defaultPdfPath() const
{
    QString name = m_treeTitle.isEmpty() ? QStringLiteral("Tarvek") : m_treeTitle;
    name.replace(u'/', u'_'); // a scan's title holds the drive's path
    return documentsFilePath(name + QStringLiteral(".pdf"));
}

void w_list::cb_print_clicked()
{
    if (m_tree.RowCount() <= 0 || busy())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_treeTitle);
    printer.setOutputFileName(defaultPdfPath());
    const bool confirmed =
        printSetup ? printSetup(printer) : QPrintDialog(&printer, this).exec() == QDialog::Accepted;
    if (!confirmed)
        return; // a cancelled set-up prints nothing
    const QString pdf = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    if (!pdf.isEmpty())
        printer.setOutputFileName(partName(pdf));
    DataGrid::PrintResult result;
    {
        LongOperation operation(*this);
        HookContext hooks = longOperationHooks();
        const QString date =
            QLocale(QLocale::Korean).toString(QDate::currentDate(), QStringLiteral("yyyy년 M월 d일"));
        result = dw_1->printRows(printer, m_treeTitle.isEmpty() ? QStringLiteral("Tarvek") : m_treeTitle,
                                 date, hooks, sizeNotes(m_tree, m_treeFacts));
        m_progress.setPosition(0);
        st_progress->clear();
    }
    if (!pdf.isEmpty() && result != DataGrid::PrintResult::Printed)
        QFile::remove(partName(pdf));
    std::error_code error;
    if (!pdf.isEmpty() && result == DataGrid::PrintResult::Printed)
        std::filesystem::rename(QFile::encodeName(partName(pdf)).constData(),
                                QFile::encodeName(pdf).constData(), error);
    // On paper the pages done stay printed; a PDF is whole or not there.
    if (result == DataGrid::PrintResult::Failed || error)
        MessageBox(QStringLiteral("오류"), QStringLiteral("출력하지 못했습니다.\n\n") + pdf,
                   MessageIcon::StopSign);
}
