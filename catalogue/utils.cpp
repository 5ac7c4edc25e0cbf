#include "catalogue/utils.h"

QString gf_isnull(const QString &arg_data)
{
    if (arg_data.isNull())
        return QStringLiteral("");
    return arg_data;
}

QString f_get_token(QString &source, const QString &separator)
{
    const qsizetype p = separator.isEmpty() ? -1 : source.indexOf(separator);
    if (p < 0) {
        QString token = source;
        source.clear();
        return gf_isnull(token);
    }
    // Only the separator's first character is dropped, so "a^^b" cut at "^^" leaves "^b".
    QString token = source.left(p);
    source = source.mid(p + 1);
    return token;
}
