#pragma once

#include <QString>

// A missing (null) text becomes the empty text; any other text is returned as it is.
[[nodiscard]] QString gf_isnull(const QString &arg_data);

// Cuts the text before the first `separator` off `source` and returns it; `source` keeps
// what follows the separator's first character. Without a separator the whole source is
// returned and `source` becomes empty.
QString f_get_token(QString &source, const QString &separator);
