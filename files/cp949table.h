#pragma once

#include <QtGlobal>

// What the CP949 decoder gives for each two-byte character (lead byte << 8 | trail byte): the one
// UTF-16 unit it decodes to, or 0 where it gives anything else (a broken pair, a replacement
// character). Learnt once from the decoder itself, so that text made of plain characters can be
// converted without it and still come out exactly as the decoder would give it.
[[nodiscard]] const char16_t *cp949PairTable();

// Converts CP949 bytes of ASCII and table pairs to UTF-16 at `out` (room for `size` units);
// returns how many units it wrote, or -1 at the first byte that needs the real decoder.
[[nodiscard]] qsizetype cp949PlainToUtf16(const char *bytes, qsizetype size, char16_t *out);
