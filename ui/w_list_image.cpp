// Images and archives: the drive box's "이미지 파일…", the scan of an image file as a disc
// without mounting it.

#include "ui/w_list.h"

#include "catalogue/archivenote.h"
#include "scanner/imagescan.h"
#include "treeview/treepresenter.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QFileDialog>
#include <QPushButton>

void w_list::createArchiveControls()
{
    m_treePresenter->setArchiveRows([this](qint64 row) {
        const RowNotes *archives = m_treeFacts.notes.find(kArchiveNotes);
        return archives && m_treeFacts.describes(m_tree.RowCount()) && !archives->at(row).isEmpty();
    });
    ddlb_drive->chooseImage = [this] {
        if (chooseImageFile)
            return chooseImageFile();
        return QFileDialog::getOpenFileName(this, QStringLiteral("스캔할 이미지 파일"), QDir::homePath(),
                                            imageFileFilter());
    };
}

ArchiveLimits w_list::archiveLimits() const
{
    ArchiveLimits limits;
    limits.streamed = act_archives && act_archives->isChecked();
    return limits;
}

bool w_list::readsMediaFacts() const
{
    return !act_media || act_media->isChecked();
}

void w_list::scanImageFile(const QString &path)
{
    ImageScan scan;
    runScan(path, [&](HookContext &hooks, const ScanReports &reports) {
        scan = scanImage(path, hooks, archiveLimits(), m_tree, m_treeFacts, reports, readsMediaFacts());
        return scan.rows;
    });
    if (scan.read) {
        if (m_tree.RowCount() >= 1)
            m_treeTitle = QStringLiteral("스캔 ") + m_tree.GetItemString(1, QStringLiteral("name"));
    } else {
        MessageBox(QStringLiteral("오류"), scan.problem, MessageIcon::Exclamation);
    }
}
