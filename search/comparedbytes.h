#pragma once

#include "search/textforms.h"

#include <QByteArrayView>
#include <QString>

#include <string>

// A field of a catalogue line (folder path or name: a tab never lies inside a character) as the
// loader decodes it: CP949, or UTF-8 in a file that begins with a byte-order mark; a lead byte
// left open at the field's end is U+FFFD, as the reader makes it.
[[nodiscard]] QString decodedField(QByteArrayView bytes, bool utf8);

// The compared form (textforms.h) of such a field, as code points. CP949 converts through a
// table learnt once from the decoder, Qt's normalization and Qt's folding, one character at a
// time: no character CP949 holds joins with a neighbour, and one that would, or a byte the table
// does not take, sends the field through the decoder and the whole normalization instead.
void comparedFromBytes(QByteArrayView bytes, bool utf8, CaseRule rule, std::u32string &out);

// A block of bytes with the ASCII letters lower-cased, for looking for ASCII text in any case
// (bytes of two-byte characters may change: only a check of the decoded line decides).
void foldAscii(const char *bytes, qsizetype size, char *out);

// A folder path below its disc's root path (the first line's), the root's own separator kept
// ("/photos/" for "/media/kim/DISC/photos/"); the whole path when it does not begin with the root.
[[nodiscard]] QString belowRoot(const QString &path, const QString &root);
// The same on the bytes, where that is the same: when the root ends in a separator that also
// ends its decoded text `rootText` (a broken lead byte before it would take it), so the cut lies
// between characters. False otherwise.
[[nodiscard]] bool belowRootBytes(QByteArrayView path, QByteArrayView root, const QString &rootText,
                                  QByteArrayView &below);
