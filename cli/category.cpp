#include "cli/category.h"

#include "catalogue/layouts.h"
#include "cli/terminal.h"

#include <QStringList>

bool parseCategory(const QString &given, QString &code)
{
    const QString value = given.trimmed();
    if (value.isEmpty()) {
        code.clear();
        return true;
    }
    QStringList choices;
    for (const Category &category : kCategories) {
        const QString known = QString::fromUtf16(category.code);
        const QString name = QString::fromUtf16(category.text);
        if (value == known || value == known.mid(1) || value == name) {
            code = known;
            return true;
        }
        choices << known + u'.' + name;
    }
    tellUser(
        QStringLiteral("구분은 %1 중 하나로 쓰세요: '%2'").arg(choices.join(QStringLiteral(", ")), given));
    return false;
}
