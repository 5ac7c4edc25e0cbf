// Images and archives: the drive box's "이미지 파일…", the scan of an image file as a disc
// without mounting it, and the check box that has a scan read compressed tar files whole.

#include "ui/w_list.h"

#include "catalogue/archivenote.h"
#include "catalogue/scanoptions.h"
#include "scanner/imagescan.h"
#include "treeview/treepresenter.h"
#include "widgets/fonts.h"
#include "widgets/messagebox.h"
#include "widgets/units.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>

void w_list::createArchiveControls()
{
    // In the top row after the command buttons, where the window has room for it on two lines.
    cbx_archives = new QCheckBox(QStringLiteral("압축 파일 내용까지\n(느림)"), this);
    cbx_archives->setFont(layoutFont(QStringLiteral("MS Sans Serif"), 8));
    cbx_archives->setGeometry(unitsToPixels(2440, 12, 620, 116));
    cbx_archives->setToolTip(QStringLiteral("tar.gz, tar.xz 같은 압축 파일은 목록이 따로 없어 파일 전체를 "
                                            "읽어야 합니다. DVD의 큰 파일이면 몇 분이 걸립니다.\n"
                                            "zip, 7z, rar, iso, cab, lha, tar 파일의 내용은 늘 읽습니다."));
    cbx_archives->setChecked(readScanOptions(m_entries.dataFolder()).streamedArchives);
    setTabOrder(ddlb_drive, cbx_archives);
    setTabOrder(cbx_archives, cb_scan);
    connect(cbx_archives, &QCheckBox::toggled, this, [this](bool on) {
        ScanOptions options = readScanOptions(m_entries.dataFolder());
        options.streamedArchives = on;
        const FileResult written = writeScanOptions(m_entries.dataFolder(), options);
        if (!written.ok)
            MessageBox(QStringLiteral("오류"), written.error, MessageIcon::Exclamation);
    });
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
    limits.streamed = cbx_archives && cbx_archives->isChecked();
    return limits;
}

void w_list::scanImageFile(const QString &path)
{
    ImageScan scan;
    runScan(path, [&](HookContext &hooks, const ScanReports &reports) {
        scan = scanImage(path, hooks, archiveLimits(), m_tree, m_treeFacts, reports);
        return scan.rows;
    });
    if (scan.read) {
        if (m_tree.RowCount() >= 1)
            m_treeTitle = QStringLiteral("스캔 ") + m_tree.GetItemString(1, QStringLiteral("name"));
    } else {
        MessageBox(QStringLiteral("오류"), scan.problem, MessageIcon::Exclamation);
    }
}
