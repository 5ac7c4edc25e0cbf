#include "catalogue/archivenote.h"

#include <QLocale>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::pair<ArchiveOutcome, const char *>, 8> kOutcomeWords = {{
    {ArchiveOutcome::Listed, "listed"},
    {ArchiveOutcome::TooManyMembers, "too-many"},
    {ArchiveOutcome::OutOfTime, "out-of-time"},
    {ArchiveOutcome::Cancelled, "cancelled"},
    {ArchiveOutcome::Encrypted, "encrypted"},
    {ArchiveOutcome::Damaged, "damaged"},
    {ArchiveOutcome::TooLarge, "too-large"},
    {ArchiveOutcome::Truncated, "truncated"},
}};

QByteArray number(qint64 value)
{
    return value == FileStat::kUnknown ? QByteArray("-") : QByteArray::number(value);
}

// A number field: "-" is unknown; anything else that is not a whole number makes the note none.
bool parseNumber(QByteArrayView field, qint64 &value)
{
    if (field == "-") {
        value = FileStat::kUnknown;
        return true;
    }
    bool ok = false;
    value = field.toLongLong(&ok);
    return ok && value != FileStat::kUnknown;
}

// Tabs separate the fields and a line break would end the note.
QByteArray oneField(const QString &text)
{
    QString flat = text;
    for (QChar &c : flat) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return flat.toUtf8();
}

} // namespace

QByteArray encodeArchiveNote(const ArchiveNote &note)
{
    const char *word = "damaged";
    for (const auto &[outcome, text] : kOutcomeWords) {
        if (outcome == note.outcome)
            word = text;
    }
    QByteArrayList fields = {number(note.size),
                             number(note.mtime),
                             number(note.unpacked),
                             number(note.rows),
                             oneField(note.format),
                             word,
                             note.encryptedMembers ? "e" : "-",
                             oneField(note.reason)};
    return fields.join('\t');
}

std::optional<ArchiveNote> decodeArchiveNote(QByteArrayView text)
{
    // The first seven fields; the reason is the rest of the line, whatever it holds.
    std::vector<QByteArrayView> fields;
    qsizetype start = 0;
    qsizetype reasonAt = -1;
    while (fields.size() < 7) {
        const qsizetype tab = text.indexOf('\t', start);
        fields.push_back(text.sliced(start, (tab < 0 ? text.size() : tab) - start));
        if (tab < 0)
            break;
        start = tab + 1;
        if (fields.size() == 7)
            reasonAt = start;
    }
    if (fields.size() < 7)
        return std::nullopt;
    ArchiveNote note;
    if (!parseNumber(fields[0], note.size) || !parseNumber(fields[1], note.mtime) ||
        !parseNumber(fields[2], note.unpacked) || !parseNumber(fields[3], note.rows) || note.rows < 0)
        return std::nullopt;
    note.format = QString::fromUtf8(fields[4]);
    note.outcome = ArchiveOutcome::Damaged;
    for (const auto &[outcome, word] : kOutcomeWords) {
        if (fields[5] == word)
            note.outcome = outcome;
    }
    note.encryptedMembers = fields[6] == "e";
    if (reasonAt >= 0)
        note.reason = QString::fromUtf8(text.sliced(reasonAt));
    return note;
}

ArchiveRows::ArchiveRows(const TreeNotes &notes) : m_notes(notes.find(kArchiveNotes))
{
    if (!m_notes)
        return;
    for (const auto &[row, text] : m_notes->all()) {
        const std::optional<ArchiveNote> note = decodeArchiveNote(text);
        if (!note || note->rows <= 0)
            continue;
        const qint64 last = row + std::min<qint64>(note->rows, std::numeric_limits<qint64>::max() - row);
        // The notes come in row order: one inside the span before it is an archive in an archive.
        if (!m_spans.empty() && row <= m_spans.back().second)
            m_spans.back().second = std::max(m_spans.back().second, last);
        else
            m_spans.emplace_back(row + 1, last);
    }
}

bool ArchiveRows::isArchive(qint64 row) const
{
    return m_notes && !m_notes->at(row).isEmpty();
}

bool ArchiveRows::isInside(qint64 row) const
{
    const auto after =
        std::upper_bound(m_spans.begin(), m_spans.end(), row,
                         [](qint64 r, const std::pair<qint64, qint64> &span) { return r < span.first; });
    return after != m_spans.begin() && row <= std::prev(after)->second;
}

std::optional<ArchiveNote> ArchiveRows::note(qint64 row) const
{
    if (!m_notes)
        return std::nullopt;
    const QByteArrayView text = m_notes->at(row);
    return text.isEmpty() ? std::nullopt : decodeArchiveNote(text);
}

QString insideArchiveText()
{
    return QStringLiteral("압축 파일 안");
}

QString archiveOutcomeText(const ArchiveNote &note)
{
    const QString because = note.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(note.reason);
    switch (note.outcome) {
    case ArchiveOutcome::Listed:
        return note.encryptedMembers ? QStringLiteral("내용에 암호가 걸려 있음 (이름만 읽음)") : QString();
    case ArchiveOutcome::TooManyMembers:
        return QStringLiteral("항목이 너무 많아 목록을 끝까지 읽지 않음");
    case ArchiveOutcome::OutOfTime:
        return QStringLiteral("시간이 너무 걸려 목록을 끝까지 읽지 않음");
    case ArchiveOutcome::Cancelled:
        return QStringLiteral("스캔을 취소해서 목록을 끝까지 읽지 않음");
    case ArchiveOutcome::Encrypted:
        return QStringLiteral("암호가 걸려 있어 목록을 읽을 수 없음") + because;
    case ArchiveOutcome::Damaged:
        return QStringLiteral("손상되어 목록을 읽을 수 없음") + because;
    case ArchiveOutcome::TooLarge:
        return QStringLiteral("압축 파일 안에서 너무 커서 읽지 않음");
    case ArchiveOutcome::Truncated:
        return QStringLiteral("파일이 잘려 있어 목록을 읽을 수 없음") + because;
    }
    return {};
}

QString cutShortRowName(ArchiveOutcome outcome, const ArchiveLimits &limits)
{
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    switch (outcome) {
    case ArchiveOutcome::TooManyMembers:
        return QStringLiteral("… 목록이 여기서 잘림 (항목 %1개까지)").arg(korean.toString(limits.maxMembers));
    case ArchiveOutcome::OutOfTime:
        return QStringLiteral("… 목록이 여기서 잘림 (시간이 너무 걸림)");
    default:
        return QStringLiteral("… 목록이 여기서 잘림 (스캔 취소)");
    }
}
