#pragma once

#include "records/layout.h"

#include <QString>
#include <QStringView>

// The catalogue index: one row per saved disc.
[[nodiscard]] const Layout &d_cdinfo();
// A folder tree: one row per folder and file of a scanned disc, in tree order.
[[nodiscard]] const Layout &d_dir_tree();

// Height of a tree row in pixels, and of an index row in font units (one line of 10-point text).
inline constexpr int kTreeRowHeight = 19;
inline constexpr int kIndexRowHeight = 68;

// Column numbers of the two layouts, 1-based as the record set's items take them.
namespace IndexColumn {
enum : int { file = 1, desc, name, gubn };
}
namespace TreeColumn {
enum : int { fullname = 1, name, bmpname, selectedbmpname, selected, open, children, siblings, level };
}

// Display text of a category code ("01" gives "프로그램"); a code outside the table
// is shown as it is, so an entry written by hand still shows what it holds.
[[nodiscard]] QString categoryText(QStringView code);

struct Category {
    const char16_t *code;
    const char16_t *text;
};
inline constexpr Category kCategories[] = {
    {u"01", u"프로그램"},
    {u"02", u"데이타"},
    {u"03", u"음악"},
    {u"04", u"사진"},
};

// Picture names written into tree rows.
inline constexpr char16_t kFolderPicture[] = u"folder.bmp";
inline constexpr char16_t kOpenFolderPicture[] = u"foldopen.bmp";
inline constexpr char16_t kFilePicture[] = u"line.bmp";
