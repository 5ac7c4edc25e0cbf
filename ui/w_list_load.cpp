// Loading a file in the catalogue form into the tree: a saved disc opened from the list, or a
// backup file chosen by the hidden Restore button.

#include "ui/w_list.h"

#include "catalogue/datafiles.h"
#include "catalogue/datafolder.h"
#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "catalogue/treeloader.h"

#include "widgets/messagebox.h"

#include <QFileDialog>
#include <QPushButton>
#include <future>

int w_list::wf_restore(int ai_gubn, QString as_filename)
{
    if (ai_gubn == 1) {
        ChangeDirectory(gs_pgm_dir); // the dialog opens in the program folder
        as_filename = chooseBackupFile ? chooseBackupFile()
                                       : QFileDialog::getOpenFileName(
                                             this, QStringLiteral("복구할 백업화일을 선택하세요"), gs_pgm_dir,
                                             QStringLiteral("Data Files (*.DAT *.dat);;"
                                                            "Text Files (*.TXT *.txt);;All Files (*)"));
        if (as_filename.isEmpty())
            return 0;
    }
    dw_1->SetRedraw(false);
    m_selectedTreeRow = 0;
    m_factsRow = 0;
    HookContext hooks = longOperationHooks();
    m_treeFacts.clear();
    // The side file is read on a second thread while the tree loads.
    std::future<SideFiles::Contents> sideFile =
        std::async(std::launch::async,
                   [path = SideFiles::pathFor(as_filename)] { return SideFiles::readContents(path); });
    SideFiles::Fingerprint fingerprint;
    const TreeLoad load = loadTree(hooks, m_tree, as_filename, &fingerprint);
    il_file_cnt = load.lines;
    // Sizes and dates only from a side file that describes exactly the tree just read.
    SideFiles::Contents contents = sideFile.get();
    if (!load.cancelled && load.opened)
        SideFiles::accept(std::move(contents), m_tree, m_treeFacts, &fingerprint);
    m_treeCommandsOn = true;
    wf_collapse_rows(*dw_1, 1);
    wf_expand_row(*dw_1, 1);
    dw_1->SetRedraw(true);
    return 1;
}

void w_list::cb_restore_clicked()
{
    if (busy())
        return;
    LongOperation operation(*this);
    m_treeFile.clear();
    wf_restore(1, QString());
}

void w_list::openCatalogue(const QString &file, const QString &label)
{
    {
        LongOperation operation(*this);
        cb_expand->setText(QStringLiteral("확장"));
        m_treeTitle = label;
        m_treeFile = file;
        // An entry whose file is not a bare name is listed but never opened: its tree is empty.
        wf_restore(2, isBareFileName(file) ? dataFilePath(file) : QString());
    }
    showFindBox(true);
    const QString problem = irregularFileProblem(dataFilePath(file));
    if (!problem.isEmpty())
        MessageBox(QStringLiteral("오류"), problem, MessageIcon::StopSign);
}
