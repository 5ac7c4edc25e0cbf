#pragma once

#include "bench/search_index.h"

// The grid of thumbnails of the results window over 2,000 results of two discs written in
// `folder`: the time from switching to it to its first screen drawn, with a provider that decodes
// a 160 × 120 JPEG from memory for each row it is asked for.
int thumbviewFigures(const QString &folder, const Figure &figure);
