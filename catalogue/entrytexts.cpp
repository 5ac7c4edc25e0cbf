#include "catalogue/entrytexts.h"

#include <algorithm>

namespace EntryTexts {

QString missingLabel()
{
    return QStringLiteral("CD 라벨을 입력하여 주세요");
}

QString labelInUse(const QString &label)
{
    return QStringLiteral("'%1' 라벨로 저장된 디스크가 이미 있습니다.").arg(label);
}

QString replaceQuestion(const QString &label)
{
    return labelInUse(label) + QStringLiteral("\n그 디스크를 지금 스캔한 내용으로 바꾸시겠습니까?");
}

QString deleteQuestion(const QString &label)
{
    return QStringLiteral("해당 폴더 정보를 삭제하시겠습니까?\n\n") + label;
}

QString fileDeleteError(const QString &file)
{
    return QStringLiteral("화일 삭제 오류!\n\n") + file;
}

QString labelOfFile(const QString &file)
{
    return file.mid(3, std::max<qsizetype>(0, file.size() - 7));
}

QString noSuchLabel(const QString &label)
{
    return QStringLiteral("'%1' 라벨로 저장된 디스크가 없습니다.").arg(label);
}

} // namespace EntryTexts
