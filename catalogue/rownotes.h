#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <map>
#include <utility>
#include <vector>

// Facts a scan learns of some rows of a tree only (which rows are archives, a file's content
// hash, what a picture or a song is): for each row that has one, one line of UTF-8 text whose
// form belongs to the kind of fact. The side file keeps each kind in a section of its own, so
// that a kind this program does not know is carried over unread and never breaks the rest.
class RowNotes {
  public:
    using Note = std::pair<qint64, QByteArray>; // 1-based row, the note's text

    // Sets the note of `row`; an empty text removes it. Rows set in ascending order are appended.
    void set(qint64 row, QByteArray text);
    // The note of `row`; empty when it has none.
    [[nodiscard]] QByteArrayView at(qint64 row) const;
    [[nodiscard]] const std::vector<Note> &all() const { return m_notes; }
    [[nodiscard]] bool isEmpty() const { return m_notes.empty(); }
    void clear() { std::vector<Note>().swap(m_notes); }

  private:
    std::vector<Note> m_notes; // ascending rows
};

// The kinds of notes of one tree, each under its name (letters, digits and '-' only).
class TreeNotes {
  public:
    // The notes of a kind, made empty when there are none yet.
    RowNotes &of(QByteArrayView kind) { return m_kinds[kind.toByteArray()]; }
    // The notes of a kind; null when there are none.
    [[nodiscard]] const RowNotes *find(QByteArrayView kind) const;
    [[nodiscard]] const std::map<QByteArray, RowNotes> &kinds() const { return m_kinds; }
    void clear() { m_kinds.clear(); }
    // True for a name that can head a section of the side file.
    [[nodiscard]] static bool isKindName(QByteArrayView kind);

  private:
    std::map<QByteArray, RowNotes> m_kinds;
};
