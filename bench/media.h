#pragma once

#include "bench/search_index.h"

// Writes the photo and music CD of bench/mediagen.h into the empty `folder`.
int makeMediaFigures(const QString &folder);

// The scan of the photo and music CD in `folder` as the window runs it and saves it, warm and
// cold, against exiv2 -pt and id3v2 -l over the same files; the bytes it reads of each picture,
// the size of the thumbnails it keeps and the results window's grid over them; and a check that
// every file's facts came out as they were written.
int mediaFigures(const QString &folder, const Figure &figure);
