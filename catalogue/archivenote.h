#pragma once

#include "catalogue/rownotes.h"
#include "files/archivereader.h"
#include "files/filesystem.h"

#include <QString>
#include <optional>
#include <utility>
#include <vector>

// What the side file keeps of a tree row that is an archive (notes of the kind "archive"). In
// cd_*.dat such a row is a folder row, so the earlier Windows version shows the archive as a
// folder holding its members; only this note tells it from a folder.
struct ArchiveNote {
    qint64 size = FileStat::kUnknown;     // the archive's own bytes, as it lies on the disc
    qint64 mtime = FileStat::kUnknown;    // its own date
    qint64 unpacked = FileStat::kUnknown; // the bytes of its members
    qint64 rows = 0;                      // rows below it: its members, a cut-short row included
    QString format;                       // "zip", "7z", "tar.gz", "iso9660", ...
    ArchiveOutcome outcome = ArchiveOutcome::Listed;
    bool encryptedMembers = false; // names read, contents encrypted
    QString reason;                // libarchive's words, when it failed

    bool operator==(const ArchiveNote &) const = default;
};

inline constexpr QByteArrayView kArchiveNotes = "archive";

// One line of text: "size<TAB>mtime<TAB>unpacked<TAB>rows<TAB>format<TAB>outcome<TAB>flags<TAB>
// reason", numbers in decimal ("-" unknown), the outcome as a word ("listed", "too-many", ...),
// flags "e" for encrypted members or "-".
[[nodiscard]] QByteArray encodeArchiveNote(const ArchiveNote &note);
// None for a text that is no such line; a word this version does not know reads as damaged.
[[nodiscard]] std::optional<ArchiveNote> decodeArchiveNote(QByteArrayView text);

// Which rows of a tree are archives and which lie inside one, from a tree's notes. The branches
// of archives inside archives lie within their outer one's, so the outermost ones are enough to
// tell a member.
class ArchiveRows {
  public:
    ArchiveRows() = default;
    explicit ArchiveRows(const TreeNotes &notes);

    [[nodiscard]] bool isArchive(qint64 row) const;
    // True for a row below an archive's row, within its branch.
    [[nodiscard]] bool isInside(qint64 row) const;
    [[nodiscard]] std::optional<ArchiveNote> note(qint64 row) const;
    [[nodiscard]] bool isEmpty() const { return m_spans.empty(); }

  private:
    const RowNotes *m_notes = nullptr;
    std::vector<std::pair<qint64, qint64>> m_spans; // first and last member rows, ascending
};

// What the status line and the results window say of a member: "압축 파일 안".
[[nodiscard]] QString insideArchiveText();
// The words for how an archive's reading ended, for the status line: empty when it was listed
// whole.
[[nodiscard]] QString archiveOutcomeText(const ArchiveNote &note);
// The name of the row that ends an archive's branch cut short.
[[nodiscard]] QString cutShortRowName(ArchiveOutcome outcome, const ArchiveLimits &limits);
