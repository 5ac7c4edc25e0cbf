#pragma once

#include "search/textforms.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <limits>
#include <vector>

// A query of the results search as a user types it, in the window's box or on a command line:
//
//   서울 풍경          both words, in any order, each in the row's path or in its name (or in
//                      a song's title, artist or album)
//   "서울 풍경"        the phrase as typed
//   -임시              rows holding the word are left out
//   종류:사진  type:pictures   folders, files, pictures, music, video, documents, archives, or
//                      extensions (종류:jpg,png)
//   크기:>100MB  size:10KB..2MB   bytes, KB, MB, GB, TB (of 1024); >, >=, <, <=, a..b; a bare
//                      size means at least that
//   날짜:2004  date:2004-07  날짜:2004..2006   the modification date, in whole years, months or
//                      days, local time; >, >=, <, <= too
//   촬영:2004  taken:2004-07  촬영:2004..2006   the date a photo was taken, as 날짜: takes it
//   카메라:canon  camera:300d   the camera's make or model holds the text
//   아티스트:이승환  artist:...  앨범:...  album:...   a song's artist or album holds the text
//   구분:사진  구분:01   the disc's category
//   디스크:LABEL  disc:LABEL   one disc, by its label
//
// Several values of a filter (종류:사진,음악) are alternatives; several filters must all hold,
// so the window's controls simply add theirs. A filter whose value is empty is not there yet
// (the user is still typing it); one whose value is not understood is set aside in `ignored`.

struct SizeRange {
    qint64 least = 0;
    qint64 most = std::numeric_limits<qint64>::max();
    bool operator==(const SizeRange &) const = default;
};

// Modification times in [from, until), either end open when null.
struct DateRange {
    QDateTime from;
    QDateTime until;
    bool operator==(const DateRange &) const = default;
};

// A row passes when it is a folder and folders pass, or it is a file and files pass, or its name
// ends in one of the extensions (folded, without the dot).
struct KindFilter {
    bool folders = false;
    bool files = false;
    QStringList extensions;
    bool operator==(const KindFilter &) const = default;
};

struct ResultQuery {
    QStringList words;    // each found in the path or the name; phrases keep their spaces
    QStringList excluded; // none of them found
    std::vector<KindFilter> kinds;
    std::vector<SizeRange> sizes;
    std::vector<DateRange> dates;
    std::vector<DateRange> taken;        // the date taken, in the camera's local time
    QStringList cameras;                 // each found in the camera's make and model
    QStringList artists;                 // each found in the song's artist
    QStringList albums;                  // each found in the song's album
    std::vector<QStringList> categories; // category codes, alternatives
    std::vector<QString> discs;          // labels, compared in any case
    QStringList ignored;                 // filters as typed whose value was not understood
    CaseRule caseRule = CaseRule::Any;
    // The last syllable of the last word is still being composed by the input method: it
    // stands for any text it can still become (사지 for 사진, 삿 for 사시).
    bool composing = false;

    // Whether the query asks for anything: an empty one finds nothing.
    [[nodiscard]] bool asksForAnything() const;
    [[nodiscard]] bool hasFactFilters() const { return !sizes.empty() || !dates.empty(); }
    // Filters only a picture, a song or a video whose facts the scan read can pass.
    [[nodiscard]] bool hasMediaFilters() const
    {
        return !taken.empty() || !cameras.isEmpty() || !artists.isEmpty() || !albums.isEmpty();
    }
    // Adds the words and filters of `other` (the window's controls to the typed text).
    void add(const ResultQuery &other);
};

// Parses a query as typed. `composing`: the text ends in a syllable the input method is still
// composing.
[[nodiscard]] ResultQuery parseQuery(const QString &text, bool composing = false);

// The parts of filter values, for the window's controls and the help.
[[nodiscard]] bool parseSize(const QString &value, SizeRange &range);
[[nodiscard]] bool parseDate(const QString &value, DateRange &range);
[[nodiscard]] bool parseKinds(const QString &value, KindFilter &kinds);
[[nodiscard]] bool parseCategories(const QString &value, QStringList &codes);
