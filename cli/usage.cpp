#include "cli/usage.h"

#include <QStringList>

#ifndef TARVEK_VERSION
#define TARVEK_VERSION "0"
#endif

namespace {

struct Help {
    const char *command;
    const char16_t *synopsis;
    const char16_t *text;
};

constexpr Help kHelp[] = {
    {"scan", u"scan PATH|IMAGE --label L [--desc D] [--category C] [--replace]",
     u"폴더(마운트한 디스크)나 이미지 파일을 스캔해서 라벨 L로 저장합니다. 이미 쓰는 라벨은\n"
     u"--replace가 있어야 바꿉니다. 구분 C는 01~04 또는 프로그램, 데이타, 음악, 사진."},
    {"scan-images", u"scan-images DIR [--category C] [--desc D] [--file-names]",
     u"DIR 안의 이미지 파일(.iso)을 하나씩 디스크로 저장합니다. 라벨은 볼륨 이름(없거나 겹치면\n"
     u"파일 이름), --file-names면 늘 파일 이름. 이미 저장된 라벨은 건너뜁니다."},
    {"search", u"search TEXT [--files] [--type T] [--size S] [--date D] [--category C]",
     u"TEXT가 든 디스크를 찾습니다. --files면 TEXT가 경로나 이름에 든 모든 폴더와 파일을\n"
     u"찾습니다 (검색 결과 창의 검색). --type 등은 검색어 종류:T 크기:S 날짜:D 구분:C를 덧붙입니다."},
    {"list", u"list [--sort label|desc|category]", u"저장된 디스크를 모두 보여 줍니다."},
    {"show", u"show LABEL [--tree]", u"디스크 하나의 정보를, --tree면 모든 폴더와 파일을 보여 줍니다."},
    {"rm", u"rm LABEL", u"디스크를 목록과 데이터 폴더에서 지웁니다."},
    {"rename", u"rename OLD NEW [--desc D] [--category C]", u"디스크의 라벨(과 설명, 구분)을 바꿉니다."},
    {"export", u"export LABEL|--results TEXT|--list --csv FILE",
     u"디스크의 트리, 검색 결과 또는 디스크 목록을 CSV 파일로 내보냅니다."},
};

constexpr char16_t kCommon[] =
    u"\n공통 옵션 (options):\n"
    u"  --data DIR      데이터 폴더 (기본: 설치된 경우 ${XDG_DATA_HOME:-~/.local/share}/tarvek/data,\n"
    u"                  아니면 현재 폴더의 data/)\n"
    u"  --json          한 줄에 JSON 객체 하나로 출력\n"
    u"  --null          이름(라벨, 경로)만 NUL로 끝맺어 출력 (xargs -0)\n"
    u"  --interactive   라벨을 바꾸거나 지우기 전에 묻습니다\n"
    u"  --help, --version\n"
    u"\n종료 상태 (exit status): 0 성공, 1 찾은 것 없음, 2 잘못 쓴 명령, 3 데이터 문제, 4 거부된 변경,\n"
    u"130 Ctrl+C. 자세한 것은 man tarvek-cli.\n";

} // namespace

QString usageText(const QString &command)
{
    QString text;
    for (const Help &help : kHelp) {
        if (command.isEmpty())
            text += QStringLiteral("  tarvek-cli ") + QString::fromUtf16(help.synopsis) + u'\n';
        else if (command == QLatin1StringView(help.command))
            text = QStringLiteral("Usage: tarvek-cli ") + QString::fromUtf16(help.synopsis) +
                   QStringLiteral("\n\n") + QString::fromUtf16(help.text) + u'\n';
    }
    if (command.isEmpty())
        text = QStringLiteral(
                   "Tarvek 디스크 목록의 명령줄 (command line of the Tarvek disc catalogue)\n\nUsage:\n") +
               text;
    return text + QString::fromUtf16(kCommon);
}

QString versionText()
{
    return QStringLiteral("tarvek-cli " TARVEK_VERSION "\n");
}
