#include "search/querymatch.h"

#include "search/searchtrigrams.h"

#include <algorithm>

WordPattern::WordPattern(const QString &word, CaseRule rule, bool composingEnd)
{
    const std::u32string text = codePoints(comparedForm(word, rule));
    for (size_t i = 0; i < text.size(); ++i) {
        Element element;
        element.c = text[i];
        const Hangul::Keys keys = Hangul::keystrokes(text[i]);
        if (composingEnd && i + 1 == text.size() && keys.size > 0) {
            element.kind = Element::Composing;
            element.keys = keys;
        } else if (Hangul::isInitialConsonant(text[i])) {
            element.kind = Element::Initial;
            element.initial = Hangul::initialOf(text[i]);
        }
        m_elements.push_back(element);
    }
    // The anchor: the longest run of plain characters that only themselves can give.
    std::u32string run;
    const auto keep = [&] {
        if (run.size() > m_anchor.size())
            m_anchor = run;
        run.clear();
    };
    for (const Element &element : m_elements) {
        // U+FFFD is no anchor: in CP949 a broken byte decodes to it, which no bytes look like.
        const bool stands =
            element.kind == Element::Char && element.c != QChar::ReplacementCharacter &&
            (standsForItself(element.c, rule) || (rule == CaseRule::Any && foldsWithinAscii(element.c)));
        if (stands)
            run.push_back(element.c);
        else
            keep();
    }
    keep();
    for (char32_t c : m_anchor) {
        m_anchorFoldsAscii = m_anchorFoldsAscii || (rule == CaseRule::Any && c >= 'a' && c <= 'z');
        m_anchorHasSyllable = m_anchorHasSyllable || Hangul::isSyllable(c);
    }
}

bool WordPattern::keysBeginAt(std::u32string_view text, size_t at, const Hangul::Keys &keys)
{
    int matched = 0;
    for (size_t i = at; i < text.size() && matched < keys.size; ++i) {
        const Hangul::Keys here = Hangul::keystrokes(text[i]);
        if (here.size == 0)
            return false;
        for (int k = 0; k < here.size && matched < keys.size; ++k, ++matched) {
            if (here.keys[size_t(k)] != keys.keys[size_t(matched)])
                return false;
        }
    }
    return matched == keys.size;
}

bool WordPattern::matchesAt(std::u32string_view text, size_t at) const
{
    size_t i = at;
    for (const Element &element : m_elements) {
        if (i >= text.size())
            return false;
        const char32_t t = text[i];
        switch (element.kind) {
        case Element::Char:
            if (t != element.c)
                return false;
            break;
        case Element::Initial:
            if (t != element.c && !(Hangul::isSyllable(t) && Hangul::initialOf(t) == element.initial))
                return false;
            break;
        case Element::Composing:
            return keysBeginAt(text, i, element.keys);
        }
        ++i;
    }
    return true;
}

bool WordPattern::foundIn(std::u32string_view text) const
{
    if (m_elements.empty())
        return true;
    if (m_elements.size() > text.size())
        return false;
    const Element &first = m_elements.front();
    for (size_t at = 0; at + m_elements.size() <= text.size(); ++at) {
        // Most places fail at the first character: it is looked at here alone.
        if (first.kind == Element::Char && text[at] != first.c)
            continue;
        if (matchesAt(text, at))
            return true;
    }
    return false;
}

void WordPattern::addIndexKeys(std::vector<uint32_t> &keys) const
{
    // Trigrams of the UTF-8 of each run of plain characters.
    QByteArray run;
    const auto flush = [&] {
        for (qsizetype i = 0; i + 3 <= run.size(); ++i)
            keys.push_back(uint32_t(uchar(run[i])) << 16 | uint32_t(uchar(run[i + 1])) << 8 |
                           uchar(run[i + 2]));
        run.clear();
    };
    bool hangulRule = false;
    for (const Element &element : m_elements) {
        if (element.kind == Element::Char) {
            // The index holds folded trigrams, whatever case the search asks for.
            run += textOf({&element.c, 1}).toCaseFolded().toUtf8();
        } else {
            flush();
            hangulRule = true;
        }
    }
    flush();
    if (!hangulRule)
        return;
    // The initials of characters in a row, where initial consonants or the syllable being
    // composed stand: each matches only text beginning with the same consonant.
    std::vector<int> initials;
    const auto flushInitials = [&] {
        for (size_t i = 0; i + 2 <= initials.size(); ++i) {
            keys.push_back(initialsKey(initials[i], initials[i + 1]));
            if (i + 3 <= initials.size())
                keys.push_back(initialsKey(initials[i], initials[i + 1], initials[i + 2]));
        }
        initials.clear();
    };
    for (const Element &element : m_elements) {
        const int initial = element.kind == Element::Composing ? Hangul::initialOf(element.keys.keys[0])
                                                               : Hangul::initialOf(element.c);
        if (initial >= 0)
            initials.push_back(initial);
        else
            flushInitials();
    }
    flushInitials();
}

QueryMatcher::QueryMatcher(const ResultQuery &query) : m_query(query)
{
    for (qsizetype i = 0; i < query.words.size(); ++i)
        m_words.emplace_back(query.words[i], query.caseRule, query.composing && i + 1 == query.words.size());
    for (const QString &word : query.excluded)
        m_excluded.emplace_back(word, query.caseRule, false);
    for (const QString &word : query.words)
        m_anyCaseWords.emplace_back(word, CaseRule::Any, false);
    const auto compile = [](const QStringList &values, std::vector<WordPattern> &patterns) {
        for (const QString &value : values)
            patterns.emplace_back(value.trimmed(), CaseRule::Any, false);
    };
    compile(query.cameras, m_cameras);
    compile(query.artists, m_artists);
    compile(query.albums, m_albums);
    for (const KindFilter &kinds : query.kinds) {
        std::vector<std::u32string> extensions;
        for (const QString &extension : kinds.extensions)
            extensions.push_back(codePoints(QString(u'.' + extension.toCaseFolded())));
        m_extensions.push_back(std::move(extensions));
    }
}

std::vector<uint32_t> QueryMatcher::indexKeys() const
{
    std::vector<uint32_t> keys;
    for (const WordPattern &word : m_words)
        word.addIndexKeys(keys);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

const WordPattern *QueryMatcher::anchorWord() const
{
    const WordPattern *best = nullptr;
    for (const WordPattern &word : m_words) {
        if (!word.anchor().empty() && (!best || word.anchor().size() > best->anchor().size()))
            best = &word;
    }
    return best;
}

std::vector<char> QueryMatcher::wordsIn(std::u32string_view path) const
{
    std::vector<char> in(m_words.size() + m_excluded.size());
    for (size_t i = 0; i < m_words.size(); ++i)
        in[i] = m_words[i].foundIn(path);
    for (size_t i = 0; i < m_excluded.size(); ++i)
        in[m_words.size() + i] = m_excluded[i].foundIn(path);
    return in;
}

bool QueryMatcher::holds(const std::vector<char> &inPath, std::u32string_view name) const
{
    for (size_t i = 0; i < m_words.size(); ++i) {
        if (!inPath[i] && !m_words[i].foundIn(name))
            return false;
    }
    for (size_t i = 0; i < m_excluded.size(); ++i) {
        if (inPath[m_words.size() + i] || m_excluded[i].foundIn(name))
            return false;
    }
    return true;
}

bool QueryMatcher::kindPasses(std::u32string_view foldedName, bool folder) const
{
    for (size_t k = 0; k < m_query.kinds.size(); ++k) {
        const KindFilter &kinds = m_query.kinds[k];
        bool passes = folder ? kinds.folders : kinds.files;
        for (const std::u32string &extension : m_extensions[k]) {
            passes = passes ||
                     (!folder && foldedName.size() > extension.size() && foldedName.ends_with(extension));
        }
        if (!passes)
            return false;
    }
    return true;
}

bool QueryMatcher::discPasses(const QString &label, const QString &category) const
{
    for (const QStringList &codes : m_query.categories) {
        if (!codes.contains(category))
            return false;
    }
    for (const QString &disc : m_query.discs) {
        if (comparedForm(disc.trimmed(), CaseRule::Any) != comparedForm(label, CaseRule::Any))
            return false;
    }
    return true;
}

QueryMatcher::Facts QueryMatcher::factsPass(const RowFacts &facts) const
{
    if ((!m_query.sizes.empty() && facts.size < 0) || (!m_query.dates.empty() && facts.modified.isNull()))
        return Facts::Unknown;
    for (const SizeRange &range : m_query.sizes) {
        if (facts.size < range.least || facts.size > range.most)
            return Facts::Fail;
    }
    for (const DateRange &range : m_query.dates) {
        if ((!range.from.isNull() && facts.modified < range.from) ||
            (!range.until.isNull() && facts.modified >= range.until))
            return Facts::Fail;
    }
    return Facts::Pass;
}

bool QueryMatcher::mediaPasses(const std::optional<MediaFacts> &facts) const
{
    if (!m_query.hasMediaFilters())
        return true;
    if (!facts)
        return false;
    if (!m_query.taken.empty()) {
        const QDateTime taken = QDateTime::fromString(facts->taken, Qt::ISODate);
        if (!taken.isValid())
            return false;
        for (const DateRange &range : m_query.taken) {
            if ((!range.from.isNull() && taken < range.from) ||
                (!range.until.isNull() && taken >= range.until))
                return false;
        }
    }
    const auto allIn = [](const std::vector<WordPattern> &patterns, const QString &text) {
        if (patterns.empty())
            return true;
        const std::u32string compared = codePoints(comparedForm(text, CaseRule::Any));
        return std::all_of(patterns.begin(), patterns.end(),
                           [&](const WordPattern &pattern) { return pattern.foundIn(compared); });
    };
    return allIn(m_cameras, facts->make + u'\n' + facts->model) && allIn(m_artists, facts->artist) &&
           allIn(m_albums, facts->album);
}

std::u32string QueryMatcher::tagsText(const MediaFacts &facts, CaseRule rule)
{
    return codePoints(comparedForm(facts.title + u'\n' + facts.artist + u'\n' + facts.album, rule));
}

bool QueryMatcher::someWordIn(std::u32string_view anyCaseTags) const
{
    return std::any_of(m_anyCaseWords.begin(), m_anyCaseWords.end(),
                       [&](const WordPattern &word) { return word.foundIn(anyCaseTags); });
}

bool QueryMatcher::holdsWithTags(const std::vector<char> &inPath, std::u32string_view name,
                                 std::u32string_view tags) const
{
    for (size_t i = 0; i < m_words.size(); ++i) {
        if (!inPath[i] && !m_words[i].foundIn(name) && !m_words[i].foundIn(tags))
            return false;
    }
    for (size_t i = 0; i < m_excluded.size(); ++i) {
        if (inPath[m_words.size() + i] || m_excluded[i].foundIn(name))
            return false;
    }
    return true;
}
