#include "search/textforms.h"

#include <QChar>

#include <algorithm>
#include <vector>

namespace {

// The characters that some other character composes, normalizes or folds to, learnt once from
// Qt's own normalization and case folding: under CaseRule::Exact those NFC gives for another
// character, under CaseRule::Any those NFC and folding together give.
struct OtherSources {
    std::vector<char32_t> exact;
    std::vector<char32_t> any;
    std::array<bool, 128> nonAsciiToAscii{}; // an ASCII letter some non-ASCII character folds to

    OtherSources()
    {
        const auto learn = [this](char32_t from, char32_t to) {
            for (char32_t c = from; c <= to; ++c) {
                if (c >= 0xD800 && c <= 0xDFFF)
                    continue;
                const QString self = textOf({&c, 1});
                const QString nfc = self.normalized(QString::NormalizationForm_C);
                const QString folded = nfc.toCaseFolded();
                if (nfc != self)
                    for (char32_t d : codePoints(nfc))
                        exact.push_back(d);
                if (folded != self)
                    for (char32_t d : codePoints(folded)) {
                        any.push_back(d);
                        if (d < 128 && c >= 128)
                            nonAsciiToAscii[d] = true;
                    }
            }
        };
        // Every character that Unicode normalizes or folds to another lies in these planes.
        learn(0x80, 0x1FFFF);
        learn(0x2F800, 0x2FA1F);
        for (std::vector<char32_t> *set : {&exact, &any}) {
            std::sort(set->begin(), set->end());
            set->erase(std::unique(set->begin(), set->end()), set->end());
        }
    }
};

const OtherSources &otherSources()
{
    static const OtherSources sources;
    return sources;
}

// Two-set keyboard keys, by the index of the jamo in a syllable (U+AC00 + (initial × 21 + vowel)
// × 28 + final).
constexpr char16_t kInitialKeys[] = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
constexpr const char16_t *kVowelKeys[] = {u"ㅏ",   u"ㅐ",   u"ㅑ",   u"ㅒ",   u"ㅓ",   u"ㅔ",   u"ㅕ",
                                          u"ㅖ",   u"ㅗ",   u"ㅗㅏ", u"ㅗㅐ", u"ㅗㅣ", u"ㅛ",   u"ㅜ",
                                          u"ㅜㅓ", u"ㅜㅔ", u"ㅜㅣ", u"ㅠ",   u"ㅡ",   u"ㅡㅣ", u"ㅣ"};
constexpr const char16_t *kFinalKeys[] = {u"",     u"ㄱ",   u"ㄲ",   u"ㄱㅅ", u"ㄴ",   u"ㄴㅈ", u"ㄴㅎ",
                                          u"ㄷ",   u"ㄹ",   u"ㄹㄱ", u"ㄹㅁ", u"ㄹㅂ", u"ㄹㅅ", u"ㄹㅌ",
                                          u"ㄹㅍ", u"ㄹㅎ", u"ㅁ",   u"ㅂ",   u"ㅂㅅ", u"ㅅ",   u"ㅆ",
                                          u"ㅇ",   u"ㅈ",   u"ㅊ",   u"ㅋ",   u"ㅌ",   u"ㅍ",   u"ㅎ"};
constexpr int kVowels = 21;
constexpr int kFinals = 28;
constexpr char32_t kCompatFirst = 0x3131; // ㄱ
constexpr char32_t kCompatVowel = 0x314F; // ㅏ, the first of the vowels, in vowel order
constexpr char32_t kCompatLast = 0x3163;  // ㅣ
constexpr char32_t kLeadJamo = 0x1100;    // conjoining initials, in initial order
constexpr char32_t kVowelJamo = 0x1161;   // conjoining vowels
constexpr char32_t kTrailJamo = 0x11A7;   // one before the first conjoining final
constexpr char32_t kLastTrailJamo = 0x11C2;

void addKeys(Hangul::Keys &keys, const char16_t *text)
{
    for (; *text; ++text)
        keys.keys[size_t(keys.size++)] = *text;
}

int initialIndexOfKey(char32_t key)
{
    for (int i = 0; i < Hangul::kInitials; ++i) {
        if (kInitialKeys[i] == key)
            return i;
    }
    return -1;
}

// The final a compatibility consonant cluster stands for (ㄳ is the final ᆪ), through Qt's
// compatibility decomposition; -1 for one that is no cluster.
int finalOfCluster(char32_t c)
{
    const QString decomposed = textOf({&c, 1}).normalized(QString::NormalizationForm_KD);
    if (decomposed.size() != 1)
        return -1;
    const char32_t jamo = decomposed[0].unicode();
    return jamo > kTrailJamo && jamo <= kLastTrailJamo ? int(jamo - kTrailJamo) : -1;
}

} // namespace

QString composed(const QString &text)
{
    return text.normalized(QString::NormalizationForm_C);
}

QString comparedForm(const QString &text, CaseRule rule)
{
    QString form = composed(text);
    return rule == CaseRule::Any ? form.toCaseFolded() : form;
}

std::u32string codePoints(QStringView text)
{
    std::u32string points;
    points.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            points.push_back(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            points.push_back(c.unicode());
        }
    }
    return points;
}

QString textOf(std::u32string_view points)
{
    QString text;
    text.reserve(qsizetype(points.size()));
    for (const char32_t c : points)
        text += QStringView(QChar::fromUcs4(c));
    return text;
}

bool standsForItself(char32_t c, CaseRule rule)
{
    if (QChar::combiningClass(c) != 0 || QChar::isMark(c))
        return false;
    // A character with a canonical decomposition may stand in a text as its parts; a Hangul
    // syllable's parts are conjoining jamo, which the callers look out for.
    if (!Hangul::isSyllable(c) &&
        textOf({&c, 1}).normalized(QString::NormalizationForm_D).size() != (c > 0xFFFF ? 2 : 1))
        return false;
    if (rule == CaseRule::Any && QChar::toCaseFolded(c) != c)
        return false;
    const std::vector<char32_t> &others = rule == CaseRule::Any ? otherSources().any : otherSources().exact;
    return !std::binary_search(others.begin(), others.end(), c);
}

bool foldsWithinAscii(char32_t c)
{
    return c >= 'a' && c <= 'z' && !otherSources().nonAsciiToAscii[c];
}

namespace Hangul {

bool isInitialConsonant(char32_t c)
{
    return initialIndexOfKey(c) >= 0;
}

int initialOf(char32_t c)
{
    if (isSyllable(c))
        return int(c - kFirstSyllable) / (kVowels * kFinals);
    const Keys keys = keystrokes(c);
    return keys.size > 0 ? initialIndexOfKey(keys.keys[0]) : -1;
}

Keys keystrokes(char32_t c)
{
    Keys keys;
    if (isSyllable(c)) {
        const int index = int(c - kFirstSyllable);
        keys.keys[size_t(keys.size++)] = kInitialKeys[index / (kVowels * kFinals)];
        addKeys(keys, kVowelKeys[index / kFinals % kVowels]);
        addKeys(keys, kFinalKeys[index % kFinals]);
    } else if (c >= kCompatVowel && c <= kCompatLast) {
        addKeys(keys, kVowelKeys[c - kCompatVowel]);
    } else if (c >= kCompatFirst && c < kCompatVowel) {
        const int final = initialIndexOfKey(c) >= 0 ? -1 : finalOfCluster(c);
        if (final > 0)
            addKeys(keys, kFinalKeys[final]);
        else if (initialIndexOfKey(c) >= 0)
            keys.keys[size_t(keys.size++)] = c;
    } else if (c >= kLeadJamo && c < kLeadJamo + kInitials) {
        keys.keys[size_t(keys.size++)] = kInitialKeys[c - kLeadJamo];
    } else if (c >= kVowelJamo && c < kVowelJamo + kVowels) {
        addKeys(keys, kVowelKeys[c - kVowelJamo]);
    } else if (c > kTrailJamo && c <= kLastTrailJamo) {
        addKeys(keys, kFinalKeys[c - kTrailJamo]);
    }
    return keys;
}

} // namespace Hangul
