// The scan's options: one button in the top row, after the command buttons, whose menu holds a
// check for each option. The window has room there for one control only, and each option is
// remembered in the data folder's own folder the moment it is toggled.

#include "ui/w_list.h"

#include "catalogue/scanoptions.h"
#include "widgets/fonts.h"
#include "widgets/messagebox.h"
#include "widgets/units.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

QAction *w_list::addScanOption(const QString &caption, const QString &tip, bool ScanOptions::*option,
                               const ScanOptions &remembered)
{
    QAction *action = pb_scanoptions->menu()->addAction(caption);
    action->setCheckable(true);
    action->setToolTip(tip);
    action->setChecked(remembered.*option);
    connect(action, &QAction::toggled, this, [this, option](bool on) {
        ScanOptions options = readScanOptions(m_entries.dataFolder());
        options.*option = on;
        const FileResult written = writeScanOptions(m_entries.dataFolder(), options);
        if (!written.ok)
            MessageBox(QStringLiteral("오류"), written.error, MessageIcon::Exclamation);
    });
    return action;
}

void w_list::createScanOptions()
{
    pb_scanoptions = new QToolButton(this);
    pb_scanoptions->setText(QStringLiteral("스캔 옵션"));
    pb_scanoptions->setFont(layoutFont(QStringLiteral("굴림체"), 10));
    pb_scanoptions->setGeometry(unitsToPixels(2440, 20, 560, 100));
    pb_scanoptions->setPopupMode(QToolButton::InstantPopup);
    pb_scanoptions->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *menu = new QMenu(pb_scanoptions);
    menu->setToolTipsVisible(true);
    pb_scanoptions->setMenu(menu);
    const ScanOptions remembered = readScanOptions(m_entries.dataFolder());
    act_archives =
        addScanOption(QStringLiteral("압축 파일 내용까지 (느림)"),
                      QStringLiteral("tar.gz, tar.xz 같은 압축 파일은 목록이 따로 없어 파일 전체를 "
                                     "읽어야 합니다. DVD의 큰 파일이면 몇 분이 걸립니다.\n"
                                     "zip, 7z, rar, iso, cab, lha, tar 파일의 내용은 늘 읽습니다."),
                      &ScanOptions::streamedArchives, remembered);
    act_hashes =
        addScanOption(QStringLiteral("내용 해시 (느림)"),
                      QStringLiteral("스캔할 때 파일마다 내용을 끝까지 읽어 해시(XXH3-128)를 남깁니다.\n"
                                     "디스크를 복사하는 만큼 걸리지만, 중복 찾기와 비교가 이름과 크기뿐 "
                                     "아니라 내용으로도 파일을 가립니다."),
                      &ScanOptions::contentHashes, remembered);
    act_media = addScanOption(QStringLiteral("사진·음악 정보"),
                              QStringLiteral("사진의 촬영 날짜·카메라·크기와 미리 보기, 음악의 아티스트·앨범·"
                                             "제목·길이를 함께 기록합니다.\n파일의 앞부분만 읽습니다. 끄면 "
                                             "이름·크기·날짜만 기록합니다."),
                              &ScanOptions::mediaFacts, remembered);
    setTabOrder(ddlb_drive, pb_scanoptions);
    setTabOrder(pb_scanoptions, cb_scan);
}
