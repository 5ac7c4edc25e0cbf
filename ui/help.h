#pragma once

#include <QString>

// Opens the help file at its top. The topic plays no part: every caller gets the index.
void gf_help(const QString &as_item);
