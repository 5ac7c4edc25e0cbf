#pragma once

#include "catalogue/mediafacts.h"
#include "catalogue/sidefacts.h"
#include "search/query.h"
#include "search/textforms.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One word of a query, compiled to what each of its characters matches in the compared form of
// a name (textforms.h): itself; for an initial consonant (ㅅ) any syllable it begins, or itself;
// and for the syllable still being composed at the end of the word, any text whose keys begin
// with its keys (사지 finds 사진, 삿 finds 사시, 오 finds 와).
class WordPattern {
  public:
    WordPattern(const QString &word, CaseRule rule, bool composingEnd);

    [[nodiscard]] bool foundIn(std::u32string_view text) const;
    // Adds the search index keys (search/searchtrigrams.h) that every line holding the word holds.
    void addIndexKeys(std::vector<uint32_t> &keys) const;
    // The longest run of characters standing for themselves (textforms.h), or ASCII letters
    // that only their own cases fold to: text lacking its bytes (ASCII letters in either case)
    // cannot hold the word. Empty when there is none.
    [[nodiscard]] const std::u32string &anchor() const { return m_anchor; }
    // Whether the anchor holds ASCII letters that are to be looked for in either case.
    [[nodiscard]] bool anchorFoldsAscii() const { return m_anchorFoldsAscii; }
    // Whether the anchor holds a Hangul syllable, which a line may hold as conjoining jamo.
    [[nodiscard]] bool anchorHasSyllable() const { return m_anchorHasSyllable; }

  private:
    struct Element {
        enum Kind : uint8_t { Char, Initial, Composing } kind = Char;
        char32_t c = 0;
        int initial = -1; // of an initial consonant
        Hangul::Keys keys;
    };
    [[nodiscard]] bool matchesAt(std::u32string_view text, size_t at) const;
    [[nodiscard]] static bool keysBeginAt(std::u32string_view text, size_t at, const Hangul::Keys &keys);

    std::vector<Element> m_elements;
    std::u32string m_anchor;
    bool m_anchorFoldsAscii = false;
    bool m_anchorHasSyllable = false;
};

// A whole query compiled for rows: its words and excluded words against a row's path and name,
// its filters against the row's kind, its disc and its size and date.
class QueryMatcher {
  public:
    explicit QueryMatcher(const ResultQuery &query);

    [[nodiscard]] const ResultQuery &query() const { return m_query; }
    [[nodiscard]] CaseRule caseRule() const { return m_query.caseRule; }
    [[nodiscard]] std::vector<uint32_t> indexKeys() const;
    // The word whose anchor is the longest, null when no word has one.
    [[nodiscard]] const WordPattern *anchorWord() const;
    // Whether the query has words (and excluded words) to look for.
    [[nodiscard]] bool hasWords() const { return !m_words.empty() || !m_excluded.empty(); }

    // Which words and excluded words a path holds, for holds() below.
    [[nodiscard]] std::vector<char> wordsIn(std::u32string_view path) const;
    // Whether a row whose path holds `inPath` (from wordsIn) and whose name is `name` (compared
    // form) holds every word and no excluded word.
    [[nodiscard]] bool holds(const std::vector<char> &inPath, std::u32string_view name) const;
    // Whether the row's kind passes; `foldedName` is the name case folded.
    [[nodiscard]] bool kindPasses(std::u32string_view foldedName, bool folder) const;
    [[nodiscard]] bool discPasses(const QString &label, const QString &category) const;
    enum class Facts { Pass, Fail, Unknown };
    [[nodiscard]] Facts factsPass(const RowFacts &facts) const;
    // Whether what the scan learnt of a picture or a song passes the filters of such facts; a row
    // it learnt nothing of passes only when there are none.
    [[nodiscard]] bool mediaPasses(const std::optional<MediaFacts> &facts) const;

    // A song's title, artist and album as one text in the compared form of `rule`, for the two
    // below: the parts apart, so that no word is found across two of them.
    [[nodiscard]] static std::u32string tagsText(const MediaFacts &facts, CaseRule rule);
    // Whether some word of the query is in tags (tagsText in any case): whether a row with them
    // may be found by them.
    [[nodiscard]] bool someWordIn(std::u32string_view anyCaseTags) const;
    // holds() with a song's tags (tagsText in the query's case rule) as a third place each word
    // may be in; the excluded words are still looked for in the path and the name only.
    [[nodiscard]] bool holdsWithTags(const std::vector<char> &inPath, std::u32string_view name,
                                     std::u32string_view tags) const;

  private:
    ResultQuery m_query;
    std::vector<WordPattern> m_words;
    std::vector<WordPattern> m_excluded;
    std::vector<std::vector<std::u32string>> m_extensions; // per kind filter, ".jpg" as code points
    std::vector<WordPattern> m_anyCaseWords;               // the words in any case
    std::vector<WordPattern> m_cameras, m_artists, m_albums;
};
