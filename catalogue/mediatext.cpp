#include "catalogue/mediatext.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace {

QString sizeOf(const MediaFacts &facts)
{
    if (facts.width <= 0 || facts.height <= 0)
        return {};
    return QStringLiteral("%1 × %2").arg(facts.width).arg(facts.height);
}

void addKnown(QStringList &parts, const QString &part)
{
    if (!part.isEmpty())
        parts << part;
}

} // namespace

QString takenText(const QString &taken)
{
    const QDateTime when = QDateTime::fromString(taken, Qt::ISODate);
    if (!when.isValid())
        return {};
    static const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    return korean.toString(when, QStringLiteral("yyyy. M. d. AP h:mm"));
}

QString lengthText(qint64 milliseconds)
{
    if (milliseconds < 0)
        return {};
    const qint64 seconds = (milliseconds + 500) / 1000;
    const auto twoDigits = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0')); };
    if (seconds < 3600)
        return QString::number(seconds / 60) + u':' + twoDigits(seconds % 60);
    return QString::number(seconds / 3600) + u':' + twoDigits(seconds / 60 % 60) + u':' +
           twoDigits(seconds % 60);
}

QString cameraText(const MediaFacts &facts)
{
    // "Canon" + "Canon EOS 300D", "NIKON CORPORATION" + "NIKON D70": the model says it already.
    const QString brand = facts.make.section(u' ', 0, 0);
    if (facts.model.isEmpty() || facts.make.isEmpty() || facts.model.startsWith(brand, Qt::CaseInsensitive))
        return facts.model.isEmpty() ? facts.make : facts.model;
    return facts.make + u' ' + facts.model;
}

QString mediaFactsText(const MediaFacts &facts)
{
    QStringList parts;
    switch (facts.kind) {
    case MediaFacts::Kind::Picture: {
        const QString taken = takenText(facts.taken);
        addKnown(parts, taken.isEmpty() ? QString() : QStringLiteral("촬영 ") + taken);
        addKnown(parts, cameraText(facts));
        addKnown(parts, sizeOf(facts));
        break;
    }
    case MediaFacts::Kind::Audio:
        addKnown(parts, facts.artist);
        addKnown(parts, facts.album);
        addKnown(parts, lengthText(facts.lengthMs));
        break;
    case MediaFacts::Kind::Video:
        addKnown(parts, lengthText(facts.lengthMs));
        addKnown(parts, sizeOf(facts));
        break;
    }
    return parts.join(QStringLiteral(" · "));
}

std::optional<MediaFacts> mediaFactsAt(const TreeFacts &facts, qint64 treeRows, qint64 row)
{
    const RowNotes *notes = facts.notes.find(kMediaNotes);
    if (!notes || !facts.describes(treeRows))
        return std::nullopt;
    const QByteArrayView note = notes->at(row);
    return note.isEmpty() ? std::nullopt : decodeMediaFacts(note);
}
