// The Scan and Close commands, and the two walks of a scan.

#include "ui/w_list.h"

#include "ui/w_save.h"

#include "catalogue/factstext.h"
#include "files/paths.h"
#include "scanner/archivescan.h"
#include "scanner/drivescan.h"
#include "scanner/foldercount.h"
#include "scanner/mediascan.h"
#include "scanner/treebuilder.h"
#include "widgets/messagebox.h"
#include "widgets/yield.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {
const QString kCancelCaption = QStringLiteral("취소");
} // namespace

HookContext w_list::longOperationHooks()
{
    HookContext hooks;
    hooks.yieldAndCheckCancel = [this] {
        while (Yield()) {
        }
        return ib_cancel;
    };
    // The hidden folder field lays its text out on every change; a hundred times a second
    // is as often as anybody could read it.
    hooks.showItem = [this](const QString &folder) {
        if (m_folderShown.isValid() && m_folderShown.elapsed() < 10)
            return;
        m_folderShown.start();
        sle_dir->setText(folder);
    };
    hooks.showStatus = [this](const QString &text) { st_progress->setText(text); };
    hooks.progress = &m_progress;
    return hooks;
}

int w_list::wf_file_cnt(const QString &as_path, qint64)
{
    HookContext hooks = longOperationHooks();
    const std::unique_ptr<FolderWalk> walk = m_fs.walkDrive(as_path);
    ScanContext context{hooks, walk.get()};
    return ::wf_file_cnt(context, as_path, il_file_cnt);
}

qint64 w_list::of_recurse_dir_list(const QString &as_path, qint64 al_parent)
{
    HookContext hooks = longOperationHooks();
    const std::unique_ptr<FolderWalk> walk = m_fs.walkDrive(as_path);
    ScanContext context{hooks, walk.get(), nullptr, &m_treeFacts};
    TreeBuilder builder(context, m_tree);
    return builder.of_recurse_dir_list(as_path, al_parent);
}

qint64 w_list::of_add_item(const QString &as_path, const QString &as_filename, qint64 al_parent,
                           qint64 al_type)
{
    HookContext hooks = longOperationHooks();
    ScanContext context{hooks};
    TreeBuilder builder(context, m_tree);
    return builder.of_add_item(as_path, as_filename, al_parent, al_type);
}

void w_list::cb_scan_clicked()
{
    if (cb_scan->text() == kCancelCaption) {
        ib_cancel = true;
        return;
    }
    if (busy())
        return; // a scan never starts under a load or a search
    const QString root = ddlb_drive->currentText();
    if (ddlb_drive->imageChosen()) {
        scanImageFile(root);
        return;
    }
    if (root.isEmpty() || root == DriveBox::imageItemText())
        return; // no drive chosen
    scanRoot(root);
}

void w_list::scanRoot(const QString &root)
{
    m_scanRoot = root;
    m_scanDriveLost = false;
    runScan(root, [this, &root](HookContext &hooks, const ScanReports &reports) {
        m_treeFacts.disc = volumeFactsOf(root);
        ArchiveLimits limits = archiveLimits();
        if (readsMediaFacts())
            limits.headBytes = &MediaScan::headBytesFor; // the pictures and songs in archives
        ArchiveScan archives(limits);
        const std::unique_ptr<FolderWalk> walk = archives.wrap(m_fs.walkDrive(root), &hooks);
        MediaScan media(walk.get());
        return scanDrive(hooks, walk.get(), root, m_tree, m_treeFacts, reports, &archives,
                         readsMediaFacts() ? &media : nullptr, act_hashes && act_hashes->isChecked());
    });
    m_scanRoot.clear();
    if (m_scanDriveLost)
        MessageBox(QStringLiteral("오류"),
                   QStringLiteral("스캔하던 드라이브가 없어져서 스캔을 멈췄습니다.\n\n") + root,
                   MessageIcon::Exclamation);
}

void w_list::runScan(const QString &root,
                     const std::function<qint64(HookContext &, const ScanReports &)> &scan)
{
    {
        LongOperation operation(*this);
        showFindBox(false);
        ddlb_drive->setEnabled(false); // the drive must not change under a running scan
        m_tree.Reset();
        m_treeFacts.clear();
        m_treeTitle = QStringLiteral("스캔 ") + root;
        m_treeFile.clear();
        m_selectedTreeRow = 0;
        m_factsRow = 0;
        dw_1->SetRedraw(false);
        m_progress.setMaximum(0);
        m_progress.setPosition(0);
        st_progress->setText(QStringLiteral("준비중"));
        il_file_cnt = 0;

        HookContext hooks = longOperationHooks();
        // The count does the reading: the bar tells what it has found, a hundred times a second.
        QElapsedTimer shown;
        const auto showFound = [this, &shown](qint64 folders, qint64 files) {
            if (shown.isValid() && shown.elapsed() < 10)
                return;
            shown.start();
            hpb_1->setFormat(foundText(folders, files));
        };
        hpb_1->setFormat(foundText(1, 0));
        hpb_1->setTextVisible(true);
        const auto counted = [this] { hpb_1->setTextVisible(false); }; // the percentage follows
        il_file_cnt = scan(hooks, {showFound, counted});
        hpb_1->setTextVisible(false);
        wf_collapse_rows(*dw_1, 1);
        wf_expand_row(*dw_1, 1);
        ddlb_drive->setEnabled(true);
        m_treeCommandsOn = true;
        sle_dir->clear();
        st_progress->clear();
    }
    // The start-up folder is listed again, as it always was after a scan.
    lb_file->model().DirList(st_curr_path->text() + kPathSeparator + QStringLiteral("*.*"), DirListFiles);
    dw_1->SetRedraw(true);
    m_progress.setPosition(0);
}

void w_list::cb_save_clicked()
{
    if (m_tree.RowCount() <= 0)
        return; // nothing scanned or opened: there is no disc to save
    w_save::openNew(this)->offerLabel(offeredLabel());
}

void w_list::cb_close_clicked()
{
    close();
}
