#pragma once

#include "files/hookcontext.h"
#include "files/listbox.h"
#include "records/recordset.h"
#include "search/searchranges.h"

#include <QString>
#include <vector>

// Whether a text occurs in a catalogue file, line by line up to the first empty line, matched by
// character as the file decodes, upper and lower case apart, canonically equivalent text being
// equal (both composed, search/textforms.h: a name a Mac wrote decomposed is found by its
// composed spelling).
//
// The bytes of the longest run of the text's characters that only themselves can give
// (standsForItself) are looked for first, in the file's encoding, and only a line holding them
// (or, in UTF-8, conjoining jamo that may compose to them) is decoded and checked: every
// character the decoder gives back comes from exactly the bytes that encode it (CP949's table
// round-trips, and UTF-8 does), so a line whose bytes lack them cannot hold the text, while a
// byte match inside two-byte characters (똠 is 8C 63, and 63 is "c") is caught by the decoded
// check. A text with no such character is checked on every line.
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

    QString m_text;     // composed
    QByteArray m_cp949; // the needle in each encoding; empty: every line is checked
    QByteArray m_utf8;
    bool m_cp949Holds = true; // false when no line of a CP949 file can hold the text
    bool m_jamo = false;      // UTF-8 lines with conjoining jamo are checked too
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
