// Images and archives: the drive box's "이미지 파일…", the scan of an image file as a disc
// without mounting it, and the scan's check boxes: compressed tar files read whole, and what the
// pictures and songs are.

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
    cbx_media = new QCheckBox(QStringLiteral("사진·음악 정보"), this);
    cbx_media->setFont(layoutFont(QStringLiteral("MS Sans Serif"), 8));
    cbx_media->setGeometry(unitsToPixels(3080, 12, 620, 116));
    cbx_media->setToolTip(
        QStringLiteral("사진의 촬영 날짜·카메라·크기와 미리 보기, 음악의 아티스트·앨범·제목·"
                       "길이를 함께 기록합니다.\n파일의 앞부분만 읽습니다. 끄면 이름·크기·날짜만 "
                       "기록합니다."));
    const ScanOptions options = readScanOptions(m_entries.dataFolder());
    cbx_archives->setChecked(options.streamedArchives);
    cbx_media->setChecked(options.mediaFacts);
    setTabOrder(ddlb_drive, cbx_archives);
    setTabOrder(cbx_archives, cbx_media);
    setTabOrder(cbx_media, cb_scan);
    connect(cbx_archives, &QCheckBox::toggled, this, &w_list::keepScanOptions);
    connect(cbx_media, &QCheckBox::toggled, this, &w_list::keepScanOptions);
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

bool w_list::readsMediaFacts() const
{
    return !cbx_media || cbx_media->isChecked();
}

void w_list::keepScanOptions()
{
    ScanOptions options;
    options.streamedArchives = cbx_archives->isChecked();
    options.mediaFacts = cbx_media->isChecked();
    const FileResult written = writeScanOptions(m_entries.dataFolder(), options);
    if (!written.ok)
        MessageBox(QStringLiteral("오류"), written.error, MessageIcon::Exclamation);
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
