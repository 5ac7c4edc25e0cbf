#include "catalogue/mediacells.h"

QDateTime takenTime(const MediaFacts &facts)
{
    if (facts.taken.isEmpty())
        return {};
    // A text with no zone reads as local time.
    return QDateTime::fromString(facts.taken, Qt::ISODate);
}

QString cameraText(const MediaFacts &facts)
{
    // "Canon" + "Canon EOS 300D", "NIKON CORPORATION" + "NIKON D70": the model says it already.
    const QString make = facts.make.trimmed();
    const QString model = facts.model.trimmed();
    if (model.isEmpty() || make.isEmpty() || model.startsWith(make.section(u' ', 0, 0), Qt::CaseInsensitive))
        return model.isEmpty() ? make : model;
    return make + u' ' + model;
}

QString pixelsText(const MediaFacts &facts)
{
    if (facts.width <= 0 || facts.height <= 0)
        return {};
    return QString::number(facts.width) + QStringLiteral(" × ") + QString::number(facts.height);
}

QString lengthText(qint64 lengthMs)
{
    if (lengthMs < 0)
        return {};
    const qint64 seconds = (lengthMs + 500) / 1000;
    const QChar zero(u'0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

QString byTagText()
{
    return QStringLiteral("태그로 찾음");
}

const QStringList kMediaHeading = {
    QStringLiteral("촬영 날짜"), QStringLiteral("카메라 제조사"), QStringLiteral("카메라 모델"),
    QStringLiteral("너비"),      QStringLiteral("높이"),          QStringLiteral("아티스트"),
    QStringLiteral("앨범"),      QStringLiteral("제목"),          QStringLiteral("트랙"),
    QStringLiteral("연도"),      QStringLiteral("길이"),
};

QStringList mediaCells(const std::optional<MediaFacts> &facts)
{
    if (!facts)
        return QStringList(kMediaHeading.size());
    const auto number = [](qint64 value) { return value < 0 ? QString() : QString::number(value); };
    // The date taken as the camera wrote it, with no zone; a length as h:mm:ss, which a
    // spreadsheet reads as a duration.
    QString length;
    if (facts->lengthMs >= 0) {
        const qint64 seconds = (facts->lengthMs + 500) / 1000;
        length = QStringLiteral("%1:%2:%3")
                     .arg(seconds / 3600)
                     .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
                     .arg(seconds % 60, 2, 10, QChar(u'0'));
    }
    const QDateTime taken = takenTime(*facts);
    return {taken.isValid() ? facts->taken : QString(),
            facts->make,
            facts->model,
            number(facts->width),
            number(facts->height),
            facts->artist,
            facts->album,
            facts->title,
            number(facts->track),
            number(facts->year),
            length};
}
