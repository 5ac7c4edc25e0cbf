#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Names as the comparisons match them: canonically equivalent text is equal (a name a Mac wrote
// decomposed matches the same name composed), case is exact, as on the disc.

// The name composed (NFC); the text itself when nothing in it can compose, which is most names.
[[nodiscard]] QString composedName(QStringView name);
// A 64-bit hash of the composed name, equal for equivalent names.
[[nodiscard]] quint64 nameKey(QStringView name);
// The same hash of bytes already composed, chained to `seed`: a path's key is its folder's key
// seeding its own name's.
[[nodiscard]] quint64 chainedKey(quint64 seed, QStringView composed, quint8 kind);
