// The query of the results search: how typed text parses into words and filters, and what a
// word finds in a name (composed and decomposed Hangul, initial consonants, the syllable being
// composed, case).

#include "search/querymatch.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The query as one line: words, "-" excluded words, each filter, the ones set aside.
std::string shown(const ResultQuery &query)
{
    QStringList parts;
    for (const QString &word : query.words)
        parts << u'[' + word + u']';
    for (const QString &word : query.excluded)
        parts << u"-["_s + word + u"]"_s;
    for (const KindFilter &kinds : query.kinds)
        parts << u"kind:%1%2%3"_s.arg(kinds.folders ? u"D"_s : QString(), kinds.files ? u"F"_s : QString(),
                                      kinds.extensions.mid(0, 3).join(u','));
    for (const SizeRange &size : query.sizes)
        parts << u"size:%1..%2"_s.arg(size.least)
                     .arg(size.most == std::numeric_limits<qint64>::max() ? u"max"_s
                                                                          : QString::number(size.most));
    for (const DateRange &date : query.dates)
        parts << u"date:%1..%2"_s.arg(date.from.toString(u"yyyy-MM-dd"_s),
                                      date.until.toString(u"yyyy-MM-dd"_s));
    for (const QStringList &codes : query.categories)
        parts << u"cat:"_s + codes.join(u',');
    for (const QString &disc : query.discs)
        parts << u"disc:"_s + disc;
    for (const QString &ignored : query.ignored)
        parts << u"?"_s + ignored;
    if (query.composing)
        parts << u"composing"_s;
    return parts.join(u' ').toStdString();
}

} // namespace

TEST(Query, ParsesWordsPhrasesExclusionsAndFilters)
{
    const struct {
        QString text;
        bool composing;
        std::string parsed;
    } cases[] = {
        {u"서울 풍경"_s, false, "[서울] [풍경]"},
        {u"  서울\t 풍경  "_s, false, "[서울] [풍경]"},
        {u"\"서울 풍경\" 바다"_s, false, "[서울 풍경] [바다]"},
        {u"\"서울 풍"_s, true, "[서울 풍] composing"}, // an unclosed quote, still being typed
        {u"사진 -임시 -\"새 폴더\""_s, false, "[사진] -[임시] -[새 폴더]"},
        {u"- \"-x\""_s, false, "[-x]"},
        {u"사지"_s, true, "[사지] composing"},
        {u"사지 "_s, true, "[사지]"}, // a space ends the syllable
        {u"사지 -삿"_s, true, "[사지] -[삿]"},
        {u"종류:사진 type:jpg,PNG"_s, false, "kind:jpg,jpeg,png kind:jpg,png"},
        {u"종류:폴더,파일 type:.hwp"_s, false, "kind:DF kind:hwp"},
        {u"종류:사"_s, false, "?종류:사"},
        {u"크기:>100MB size:10KB..2MB 크기:<=1k 크기:5"_s, false,
         "size:104857601..max size:10240..2097152 size:0..1024 size:5..max"},
        {u"크기:1.5GB 크기:..1MB 크기:2MB..1MB 크기:abc"_s, false,
         "size:1610612736..max size:0..1048576 ?크기:2MB..1MB ?크기:abc"},
        {u"날짜:2004 date:2004-07 날짜:2004-02-29"_s, false,
         "date:2004-01-01..2005-01-01 date:2004-07-01..2004-08-01 date:2004-02-29..2004-03-01"},
        {u"날짜:2004..2006 date:>2004 날짜:<2004-07 날짜:2005-02-29"_s, false,
         "date:2004-01-01..2007-01-01 date:2005-01-01.. date:..2004-07-01 ?날짜:2005-02-29"},
        {u"구분:사진 구분:01,데이터 구분:책"_s, false, "cat:04 cat:01,02 ?구분:책"},
        {u"디스크:DISC_01 disc:\"My Disc\""_s, false, "disc:DISC_01 disc:My Disc"},
        {u"크기: 날짜: 사진"_s, false, "[사진]"}, // filters still being typed
        {u"C:\\Windows http://x \"종류:사진\""_s, false, "[C:\\Windows] [http://x] [종류:사진]"},
        {u"TYPE:music Size：>1GB"_s, false, "kind:mp3,wav,flac size:1073741825..max"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(shown(parseQuery(c.text, c.composing)), c.parsed) << c.text.toStdString();
    EXPECT_FALSE(parseQuery(u"  "_s).asksForAnything());
    EXPECT_FALSE(parseQuery(u"크기:"_s).asksForAnything());
    EXPECT_TRUE(parseQuery(u"종류:폴더"_s).asksForAnything());
}

TEST(Query, WordsFindNames)
{
    const auto nfd = [](const QString &text) { return text.normalized(QString::NormalizationForm_D); };
    const struct {
        QString word;
        QString name;
        bool composing;
        CaseRule rule;
        bool found;
    } cases[] = {
        {u"해변"_s, nfd(u"여름 해변.jpg"_s), false, CaseRule::Any, true},
        {nfd(u"해변"_s), u"여름 해변.jpg"_s, false, CaseRule::Any, true},
        {u"해"_s, nfd(u"해변"_s), false, CaseRule::Exact, true},
        {u"café"_s, nfd(u"CAFÉ"_s), false, CaseRule::Any, true},
        {u"cafe"_s, nfd(u"café"_s), false, CaseRule::Any, false}, // é is not e
        {u"readme"_s, u"ReadMe.md"_s, false, CaseRule::Any, true},
        {u"readme"_s, u"ReadMe.md"_s, false, CaseRule::Exact, false},
        {u"ΣΟΦΙΑ"_s, u"σοφια"_s, false, CaseRule::Any, true},
        {u"ㅅㅈ"_s, u"바다 사진"_s, false, CaseRule::Any, true},
        {u"ㅅㅈ"_s, nfd(u"바다 사진"_s), false, CaseRule::Any, true},
        {u"ㅅㅈ"_s, u"사 진"_s, false, CaseRule::Any, false},
        {u"ㅆㅈ"_s, u"사진"_s, false, CaseRule::Any, false}, // a double consonant is its own
        {u"ㄲㅊ"_s, u"꽃초"_s, false, CaseRule::Any, true},
        {u"ㅅㅈ"_s, u"ㅅㅈ 메모"_s, false, CaseRule::Any, true},
        {u"제주ㄷ"_s, u"제주도 여행"_s, false, CaseRule::Any, true},
        {u"제주ㄷ"_s, u"제주시"_s, false, CaseRule::Any, false},
        {u"ㅈㅈ2004"_s, u"제주2004"_s, false, CaseRule::Any, true},
        // The syllable being composed: what its keys can still become.
        {u"사지"_s, u"사진"_s, true, CaseRule::Any, true},
        {u"사지"_s, u"사진"_s, false, CaseRule::Any, false},
        {u"삿"_s, u"사시미"_s, true, CaseRule::Any, true},
        {u"삿"_s, u"삿갓"_s, true, CaseRule::Any, true},
        {u"삿"_s, u"사진"_s, true, CaseRule::Any, false},
        {u"삿"_s, u"사"_s, true, CaseRule::Any, false},
        {u"닭"_s, u"달걀"_s, true, CaseRule::Any, true},
        {u"닭"_s, u"달라"_s, true, CaseRule::Any, false},
        {u"오"_s, u"와인"_s, true, CaseRule::Any, true},
        {u"가"_s, u"과일"_s, true, CaseRule::Any, false},
        {u"ㅅ"_s, u"사과"_s, true, CaseRule::Any, true},
        {u"가ㄴ"_s, u"가나"_s, true, CaseRule::Any, true},
        {u"사진"_s, nfd(u"사지나"_s), true, CaseRule::Any, true},
        {u"a사"_s, u"A사진"_s, true, CaseRule::Any, true},
    };
    for (const auto &c : cases) {
        const WordPattern pattern(c.word, c.rule, c.composing);
        EXPECT_EQ(pattern.foundIn(codePoints(comparedForm(c.name, c.rule))), c.found)
            << c.word.toStdString() << " in " << c.name.toStdString() << " composing " << c.composing;
    }
}

// The anchor looked for in a file's bytes: only characters that nothing else gives.
TEST(Query, AnchorsAreCharactersOnlyThemselvesGive)
{
    const struct {
        QString word;
        CaseRule rule;
        QString anchor;
    } cases[] = {
        {u"문서 19"_s, CaseRule::Any, u"문서 19"_s},
        {u"readme"_s, CaseRule::Any, u"readme"_s}, // looked for in either case
        {u"kiss"_s, CaseRule::Any, u"i"_s},        // the Kelvin sign folds to k, the long s to s
        {u"Kiss"_s, CaseRule::Exact, u"iss"_s},    // the Kelvin sign composes to K
        {u"café 1"_s, CaseRule::Any, u"caf"_s},
        {u"ㅅㅈ"_s, CaseRule::Any, u""_s},
        {u"漢"_s, CaseRule::Any, u""_s}, // a compatibility ideograph composes to it
    };
    for (const auto &c : cases) {
        const WordPattern pattern(c.word, c.rule, false);
        EXPECT_EQ(textOf(pattern.anchor()), c.anchor) << c.word.toStdString();
    }
}
