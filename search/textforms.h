#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <string>

// How a user's text and a stored name meet. Canonically equivalent text is equal: a name a Mac
// wrote decomposed (NFD, conjoining jamo) equals the same name typed composed (NFC), so both
// sides are composed with Qt's normalization before they are compared. Under CaseRule::Any both
// are also case folded with Qt's Unicode case folding, so README, ReadMe and readme are one.
enum class CaseRule { Any, Exact };

// The text composed (NFC): what is drawn, printed, sorted and exported.
[[nodiscard]] QString composed(const QString &text);
// The text as it is compared: composed and, under CaseRule::Any, case folded. Folding keeps one
// character for one, so a text found in a line's compared form is found in any part of it.
[[nodiscard]] QString comparedForm(const QString &text, CaseRule rule);
// The code points of a text, a lone surrogate as itself.
[[nodiscard]] std::u32string codePoints(QStringView text);
// The text of code points, each as itself: unlike QString::fromUcs4, a leading U+FEFF is kept as
// the character it is in a name, not taken for a byte-order mark.
[[nodiscard]] QString textOf(std::u32string_view points);

// Whether `c`, wherever it is in the compared form of a text, comes from `c` itself in the text,
// or for a Hangul syllable also from its conjoining jamo (U+1100…U+11FF): no other character
// composes, normalizes or (under CaseRule::Any) folds to it, and it joins with no neighbour. So a
// line whose bytes lack a run of such characters, and any conjoining jamo, cannot hold the run.
[[nodiscard]] bool standsForItself(char32_t c, CaseRule rule);
// Whether `c` is a lower-case ASCII letter that only its own two ASCII cases fold to ("k" is
// not: the Kelvin sign folds to it).
[[nodiscard]] bool foldsWithinAscii(char32_t c);

namespace Hangul {

inline constexpr char32_t kFirstSyllable = 0xAC00;
inline constexpr char32_t kLastSyllable = 0xD7A3;
inline constexpr int kInitials = 19;

[[nodiscard]] constexpr bool isSyllable(char32_t c)
{
    return c >= kFirstSyllable && c <= kLastSyllable;
}
// A compatibility jamo consonant that begins syllables (ㄱ…ㅎ, the double ones included): what a
// user types for an initial-consonant search.
[[nodiscard]] bool isInitialConsonant(char32_t c);
// The consonant a character begins with as 0…18 (ㄱ ㄲ ㄴ … ㅎ): a syllable's initial, a
// compatibility or conjoining consonant's first key; -1 for anything else.
[[nodiscard]] int initialOf(char32_t c);

// The keys a Korean two-set keyboard types for a character: a syllable is its initial, its vowel
// and its final, a compound vowel (ㅘ) or a final cluster (ㄺ) being two keys and a double
// consonant (ㄲ) one. Keys are compatibility jamo; a character that is not Hangul has none.
struct Keys {
    std::array<char32_t, 6> keys{};
    int size = 0;
};
[[nodiscard]] Keys keystrokes(char32_t c);

} // namespace Hangul
