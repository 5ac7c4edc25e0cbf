#pragma once

#include <QFont>
#include <QString>

// Maps the face names the program's layouts use onto faces installed here:
// "굴림체" to a monospaced Hangul face, "궁서" to a serif Hangul face, and the
// Western faces to sans faces that also hold Hangul. Call once after the
// application object exists.
void installFontSubstitutions();

// A font of the given face, point size and weight.
[[nodiscard]] QFont layoutFont(const QString &face, int points, bool bold = false);
// The same font sized in pixels as at 96 DPI, for grid rows: the grid draws in 96-DPI pixels on
// screen and on paper alike, so its text must not be sized by the device's own resolution.
[[nodiscard]] QFont gridFont(const QString &face, int points);
