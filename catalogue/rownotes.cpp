#include "catalogue/rownotes.h"

#include <algorithm>

void RowNotes::set(qint64 row, QByteArray text)
{
    const auto byRow = [](const Note &note, qint64 r) { return note.first < r; };
    auto at = m_notes.empty() || m_notes.back().first < row
                  ? m_notes.end()
                  : std::lower_bound(m_notes.begin(), m_notes.end(), row, byRow);
    const bool found = at != m_notes.end() && at->first == row;
    if (text.isEmpty()) {
        if (found)
            m_notes.erase(at);
    } else if (found) {
        at->second = std::move(text);
    } else {
        m_notes.insert(at, {row, std::move(text)});
    }
}

QByteArrayView RowNotes::at(qint64 row) const
{
    const auto found = std::lower_bound(m_notes.begin(), m_notes.end(), row,
                                        [](const Note &note, qint64 r) { return note.first < r; });
    return found != m_notes.end() && found->first == row ? QByteArrayView(found->second) : QByteArrayView();
}

const RowNotes *TreeNotes::find(QByteArrayView kind) const
{
    const auto found = m_kinds.find(kind.toByteArray());
    return found == m_kinds.end() || found->second.isEmpty() ? nullptr : &found->second;
}

bool TreeNotes::isKindName(QByteArrayView kind)
{
    return !kind.isEmpty() && kind.size() <= 64 && std::all_of(kind.begin(), kind.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    });
}
