#include "catalogue/layouts.h"

const Layout &d_cdinfo()
{
    static const Layout layout(QStringLiteral("d_cdinfo"),
                               {
                                   {QStringLiteral("file"), ColumnType::Text, 100, false},
                                   {QStringLiteral("desc"), ColumnType::Text, 255, false},
                                   {QStringLiteral("name"), ColumnType::Text, 100, false},
                                   {QStringLiteral("gubn"), ColumnType::Text, 2, true},
                               },
                               kIndexRowHeight);
    return layout;
}

const Layout &d_dir_tree()
{
    // Paths repeat on every file row of a folder and there are three picture names, so those
    // columns keep each distinct text once.
    static const Layout layout(QStringLiteral("d_dir_tree"),
                               {
                                   {QStringLiteral("fullname"), ColumnType::Text, 255, true},
                                   {QStringLiteral("name"), ColumnType::Text, 255, false},
                                   {QStringLiteral("bmpname"), ColumnType::Text, 12, true},
                                   {QStringLiteral("selectedbmpname"), ColumnType::Text, 12, true},
                                   {QStringLiteral("selected"), ColumnType::Number, 0, false},
                                   {QStringLiteral("open"), ColumnType::Number, 0, false},
                                   {QStringLiteral("children"), ColumnType::Number, 0, false},
                                   {QStringLiteral("siblings"), ColumnType::Number, 0, false},
                                   {QStringLiteral("level"), ColumnType::Number, 0, false},
                               },
                               kTreeRowHeight);
    return layout;
}

// The column numbers above must match the layouts.
static_assert(IndexColumn::gubn == 4 && TreeColumn::level == 9);

QString categoryText(QStringView code)
{
    for (const Category &category : kCategories) {
        if (code == QStringView(category.code))
            return QString::fromUtf16(category.text);
    }
    return code.toString();
}
