#include "catalogue/mediafacts.h"

#include <QByteArrayList>

#include <array>

namespace {

constexpr std::array<std::pair<MediaFacts::Kind, const char *>, 3> kKindWords = {{
    {MediaFacts::Kind::Picture, "picture"},
    {MediaFacts::Kind::Audio, "audio"},
    {MediaFacts::Kind::Video, "video"},
}};

constexpr qsizetype kFields = 12;

QByteArray number(qint64 value)
{
    return value < 0 ? QByteArray("-") : QByteArray::number(value);
}

bool parseNumber(QByteArrayView field, qint64 &value)
{
    if (field == "-") {
        value = MediaFacts::kUnknown;
        return true;
    }
    bool ok = false;
    value = field.toLongLong(&ok);
    return ok && value >= 0;
}

// Tabs separate the fields and a line break would end the note; other control characters are
// no part of a name or a tag either.
QByteArray oneField(const QString &text)
{
    QString flat = text;
    for (QChar &c : flat) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    }
    return flat.toUtf8();
}

} // namespace

QByteArray encodeMediaFacts(const MediaFacts &facts)
{
    const char *word = "picture";
    for (const auto &[kind, text] : kKindWords) {
        if (kind == facts.kind)
            word = text;
    }
    const QByteArrayList fields = {word,
                                   oneField(facts.taken),
                                   oneField(facts.make),
                                   oneField(facts.model),
                                   number(facts.width),
                                   number(facts.height),
                                   oneField(facts.artist),
                                   oneField(facts.album),
                                   oneField(facts.title),
                                   number(facts.track),
                                   number(facts.year),
                                   number(facts.lengthMs)};
    return fields.join('\t');
}

std::optional<MediaFacts> decodeMediaFacts(QByteArrayView text)
{
    std::array<QByteArrayView, kFields> fields;
    qsizetype start = 0;
    for (qsizetype i = 0; i < kFields; ++i) {
        if (start > text.size())
            return std::nullopt;
        const qsizetype tab = text.indexOf('\t', start);
        const qsizetype end = tab < 0 ? text.size() : tab;
        fields[i] = text.sliced(start, end - start);
        start = tab < 0 ? text.size() + 1 : tab + 1;
    }
    MediaFacts facts;
    bool known = false;
    for (const auto &[kind, word] : kKindWords) {
        if (fields[0] == word) {
            facts.kind = kind;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    const auto textOf = [](QByteArrayView field) { return QString::fromUtf8(field); };
    facts.taken = textOf(fields[1]);
    facts.make = textOf(fields[2]);
    facts.model = textOf(fields[3]);
    facts.artist = textOf(fields[6]);
    facts.album = textOf(fields[7]);
    facts.title = textOf(fields[8]);
    if (!parseNumber(fields[4], facts.width) || !parseNumber(fields[5], facts.height) ||
        !parseNumber(fields[9], facts.track) || !parseNumber(fields[10], facts.year) ||
        !parseNumber(fields[11], facts.lengthMs))
        return std::nullopt;
    return facts;
}
