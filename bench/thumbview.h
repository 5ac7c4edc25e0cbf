#pragma once

#include "bench/search_index.h"
#include "ui/thumbnailview.h"

class ResultsModel;

// The grid of thumbnails of the results window over 2,000 results of two discs written in
// `folder`: the time from switching to it to its first screen drawn, with a provider that decodes
// a 160 × 120 JPEG from memory for each row it is asked for.
int thumbviewFigures(const QString &folder, const Figure &figure);

// The fewest milliseconds of five from switching to the grid over `model`, in a window of
// 1000 × 700, to its first screen drawn: the grid made, the thumbnails on screen asked of a
// provider that `provider` makes afresh for each run, decoded, scaled and drawn.
double gridFirstScreenMs(ResultsModel &model, const std::function<ThumbnailProvider()> &provider);
