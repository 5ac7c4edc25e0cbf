#include "catalogue/mediatext.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace {

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

QString mediaFactsText(const MediaFacts &facts)
{
    QStringList parts;
    switch (facts.kind) {
    case MediaFacts::Kind::Picture: {
        const QString taken = takenText(facts.taken);
        addKnown(parts, taken.isEmpty() ? QString() : QStringLiteral("촬영 ") + taken);
        addKnown(parts, cameraText(facts));
        addKnown(parts, pixelsText(facts));
        break;
    }
    case MediaFacts::Kind::Audio:
        addKnown(parts, facts.artist);
        addKnown(parts, facts.album);
        addKnown(parts, lengthText(facts.lengthMs));
        break;
    case MediaFacts::Kind::Video:
        addKnown(parts, lengthText(facts.lengthMs));
        addKnown(parts, pixelsText(facts));
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
