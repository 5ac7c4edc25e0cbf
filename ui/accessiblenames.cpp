#include "ui/accessiblenames.h"

#include "ui/w_list.h"
#include "ui/w_save.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace {
struct Description {
    QWidget *control;
    const char16_t *name;
    const char16_t *description;
};

void describe(std::initializer_list<Description> descriptions)
{
    for (const Description &d : descriptions) {
        d.control->setAccessibleName(QString::fromUtf16(d.name));
        d.control->setAccessibleDescription(QString::fromUtf16(d.description));
    }
}
} // namespace

void describeControls(w_list &w)
{
    describe({
        {w.st_curr_path, u"현재 폴더", u"프로그램을 시작한 폴더"},
        {w.cb_next, u"다음 찾기", u"찾기 상자의 글자가 든 다음 이름으로 갑니다"},
        {w.dw_cdinfo, u"카탈로그 색인", u"저장된 모든 디스크"},
        {w.dw_list, u"디스크 목록",
         u"검색된 디스크. Enter 키는 디스크를 열고, 메뉴 키나 Shift+F10은 명령 메뉴를, Delete 키는 삭제를 "
         u"합니다"},
        {w.st_progress, u"진행률", u"진행 중인 작업의 백분율"},
        {w.cb_search, u"검색", u"검색 상자의 글자로 디스크를 찾습니다"},
        {w.hpb_1, u"진행 막대", u"스캔, 열기, 검색, 출력의 진행"},
        {w.cb_print, u"출력", u"폴더 트리를 인쇄하거나 PDF로 저장합니다"},
        {w.cb_restore, u"복구", u"백업 파일에서 트리를 읽습니다"},
        {w.cb_expand, u"확장", u"트리를 모두 펼치거나 다시 접습니다"},
        {w.cb_close, u"종료", u"프로그램을 닫습니다"},
        {w.cb_scan, u"스캔", u"고른 드라이브를 읽어 폴더 트리를 만듭니다. 작업 중에는 취소 단추입니다"},
        {w.ddlb_drive, u"드라이브", u"스캔할 드라이브"},
        {w.cb_save, u"저장", u"스캔한 트리를 라벨, 설명, 구분과 함께 저장합니다"},
        {w.dw_1, u"폴더 트리",
         u"디스크의 폴더와 파일. 오른쪽 화살표나 +는 폴더를 열고, 왼쪽 화살표나 -는 닫거나 상위 폴더로 "
         u"갑니다. Enter 키는 열고 닫습니다"},
        {w.sle_dir, u"읽는 폴더", u"스캔 중에 읽고 있는 폴더"},
        {w.lb_file, u"파일 목록", u"시작 폴더의 파일"},
        {w.sle_search, u"검색어", u"글자를 넣고 Enter 키를 누르면 그 글자가 든 디스크를 찾습니다"},
        {w.sle_find, u"찾을 이름", u"글자를 넣고 Enter 키를 누르면 트리에서 그 글자가 든 이름을 찾습니다"},
        {w.pb_scanoptions, u"스캔 옵션",
         u"스캔이 읽을 것을 고릅니다: tar.gz 같은 압축 파일의 내용(느림), 파일마다 내용 해시(느림), "
         u"사진·음악 정보"},
    });
}

void describeControls(w_save &d)
{
    describe({
        {d.ddlb_gubn, u"구분", u"디스크의 구분: 프로그램, 데이타, 음악, 사진"},
        {d.st_3, u"구분", u"구분 상자의 이름"},
        {d.cb_cancel, u"취소", u"저장하지 않고 닫습니다"},
        {d.cb_save, u"저장 또는 변경", u"라벨, 설명, 구분을 저장합니다"},
        {d.sle_memo, u"설명", u"디스크의 설명"},
        {d.st_2, u"설명", u"설명 상자의 이름"},
        {d.st_1, u"라벨", u"라벨 상자의 이름"},
        {d.sle_label, u"라벨", u"디스크의 라벨. 파일 이름이 됩니다"},
        {d.gb_1, u"디스크 정보", u"라벨, 설명, 구분"},
    });
}
