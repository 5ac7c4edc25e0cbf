#pragma once

#include "files/hookcontext.h"
#include "files/listbox.h"
#include "records/recordset.h"
#include "search/searchranges.h"

#include <QString>
#include <vector>

// Whether a text occurs in a catalogue file, line by line up to the first empty line, matched by
// character as the file decodes, upper and lower case apart.
//
// The bytes of the text in the file's encoding are looked for first, and only a line holding
// them is decoded and checked: every character the decoder gives back comes from exactly the
// bytes that encode it (CP949's table round-trips, and UTF-8 does), so a line whose bytes lack
// the text's bytes cannot hold the text, while a byte match inside two-byte characters (똠 is
// 8C 63, and 63 is "c") is caught by the decoded check. A text CP949 cannot hold is looked for in
// UTF-8 files only.
// The position of the first empty line in [from, end), a run of whole lines, or -1. A line is
// empty when nothing is left once its LF and the CR before it are taken off; a lone CR counts
// as an empty line only at the very end of the file (`fileEnd`).
[[nodiscard]] qsizetype firstEmptyLine(const char *bytes, qsizetype from, qsizetype end, bool fileEnd);

class CatalogueMatcher {
  public:
    explicit CatalogueMatcher(const QString &text);
    // True when a line of the file holds the text before the first empty line; a file that
    // cannot be read holds nothing. `cancelled` is asked between blocks of a large file.
    [[nodiscard]] bool matches(const QString &path, const std::function<bool()> &cancelled = {}) const;
    // The same, reading only the given lines of the file while it is as the index found it, and
    // the whole file when it is not.
    [[nodiscard]] bool matchesIn(const QString &path, const FileRanges &parts,
                                 const std::function<bool()> &cancelled = {}) const;

  private:
    // Whether one of the whole lines in [bytes, bytes + size) holds the text.
    [[nodiscard]] bool linesHold(const char *bytes, qsizetype size, bool utf8) const;

    QString m_text;
    QByteArray m_cp949; // empty when CP949 cannot hold the text
    QByteArray m_utf8;
};

struct SearchOutcome {
    std::vector<qint64> indexRows; // rows of the index, in the listing order of their files
    bool cancelled = false;
};

// The search across catalogues: lists "cd_*.dat" in the data folder through the list box (which
// makes that folder current) and returns the index rows of the discs to show, in listing order,
// each at most once: for an empty text every disc whose file and entry both exist, otherwise
// those whose catalogue file holds the text. Lets input run and tests for a cancel before each
// file; the progress follows the files.
SearchOutcome searchCatalogues(HookContext &hooks, ListBoxModel &lb_file, const RecordSet &dw_cdinfo,
                               const QString &dataFolder, const QString &text);
