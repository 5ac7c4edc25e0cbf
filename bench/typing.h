#pragma once

#include "bench/search_index.h"

class w_list;

// Figures of the results window as a user types into it, with the search index built: the time
// from the last key of a word to the first screen of rows and to the full count, the echo of a
// key while a search runs, and the bytes the window holds per row.
void typingFigures(w_list &window, const QString &rareWord, const Figure &figure);
