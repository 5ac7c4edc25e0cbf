#include "files/listbox.h"

#include "files/paths.h"

#include <QDir>

#include <algorithm>

namespace {

const QString kDrivePrefix = QStringLiteral("[-");
const QString kDriveSuffix = QStringLiteral("-]");

qsizetype codePointLength(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text.at(at).isHighSurrogate() && text.at(at + 1).isLowSurrogate() ? 2 : 1;
}

// Glob match with '*' for any run and '?' for one character. A '*' is retried one character
// further each time the rest fails, which is enough since a later '*' can take over any
// remainder; it never splits a surrogate pair.
bool globMatch(QStringView name, QStringView pattern)
{
    qsizetype n = 0, p = 0;
    qsizetype starPattern = -1, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern.at(p) == u'*') {
            starPattern = ++p;
            starName = n;
        } else if (p < pattern.size() && pattern.at(p) == u'?') {
            n += codePointLength(name, n);
            ++p;
        } else if (p < pattern.size() && pattern.at(p) == name.at(n)) {
            ++n;
            ++p;
        } else if (starPattern >= 0) {
            starName += codePointLength(name, starName);
            n = starName;
            p = starPattern;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == u'*')
        ++p;
    return p == pattern.size();
}

struct Item {
    QString text;
    bool folder;
};

// The folder's entries as listing items. An unreadable folder simply lists nothing: it exists,
// so that is no error.
void appendFolderItems(std::vector<Item> &items, FileSystem &fs, const QString &folder,
                       const QString &filePattern, bool folders, bool files)
{
    std::vector<DirEntry> entries;
    if (!fs.listFolder(folder, entries))
        return;
    if (folders) {
        for (const QString &dots : {QStringLiteral("."), QStringLiteral("..")}) {
            if (matchesListingPattern(dots, filePattern))
                items.push_back({u'[' + dots + u']', true});
        }
    }
    for (const DirEntry &entry : entries) {
        const bool isFolder = entry.kind == DirEntry::Kind::Folder;
        if ((isFolder ? folders : files) && matchesListingPattern(entry.name, filePattern))
            items.push_back({isFolder ? u'[' + entry.name + u']' : entry.name, isFolder});
    }
}

// An absolute folder without a trailing separator ("/" for the root), "." and ".." resolved.
QString absoluteFolder(const QString &folder)
{
    return QDir::cleanPath(folder.isEmpty() ? QString(kPathSeparator) : folder);
}

// Whether composing (NFC) may change a text: characters below U+0300 and Hangul syllables never
// change.
bool mayDecompose(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x300 && !(c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3))
            return true;
    }
    return false;
}

} // namespace

bool listsBefore(QStringView a, QStringView b)
{
    // Composed first, so that a name a Mac wrote decomposed sorts where its reader expects it;
    // case-insensitive, then the exact text, so that "A" and "a" keep a fixed order whatever
    // order they were added in.
    if (mayDecompose(a) || mayDecompose(b)) {
        const QString ca = a.toString().normalized(QString::NormalizationForm_C);
        const QString cb = b.toString().normalized(QString::NormalizationForm_C);
        if (const int folded = ca.compare(cb, Qt::CaseInsensitive); folded != 0)
            return folded < 0;
    }
    const int folded = a.compare(b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return a < b;
}

bool matchesListingPattern(const QString &name, const QString &filePattern)
{
    // "*.*" is the old way of saying every name, dotless folder names included.
    if (filePattern.isEmpty() || filePattern == u"*" || filePattern == u"*.*")
        return true;
    return globMatch(name, filePattern);
}

QString driveRootFromListing(const QString &entry)
{
    // A folder named "-x-" lists as "[-x-]"; a root always starts and ends with the separator.
    if (entry.size() < kDrivePrefix.size() + kDriveSuffix.size() || !entry.startsWith(kDrivePrefix) ||
        !entry.endsWith(kDriveSuffix))
        return {};
    const QString root =
        entry.mid(kDrivePrefix.size(), entry.size() - kDrivePrefix.size() - kDriveSuffix.size());
    if (!root.startsWith(kPathSeparator) || !root.endsWith(kPathSeparator))
        return {};
    return root;
}

ListBoxModel::ListBoxModel(FileSystem &fs, bool sorted) : m_fs(fs), m_sorted(sorted)
{
}

void ListBoxModel::Reset()
{
    m_items.clear();
    m_folderItems.clear();
    m_selected = 0;
}

bool ListBoxModel::isFolderEntry(int index) const
{
    return index >= 1 && index <= m_items.size() && m_folderItems[size_t(index - 1)];
}

QString ListBoxModel::Text(int index) const
{
    if (index < 1 || index > m_items.size())
        return {};
    return m_items.at(index - 1);
}

int ListBoxModel::AddItem(const QString &text)
{
    if (!m_sorted) {
        m_items.append(text);
        m_folderItems.push_back(false);
        return int(m_items.size());
    }
    const auto at = std::upper_bound(m_items.begin(), m_items.end(), text, listsBefore);
    const int position = int(at - m_items.begin()) + 1;
    m_items.insert(at, text);
    m_folderItems.insert(m_folderItems.begin() + (position - 1), false);
    // The selection stays on the same item.
    if (m_selected >= position)
        ++m_selected;
    return position;
}

int ListBoxModel::SelectItem(int index)
{
    if (index < 1 || index > m_items.size())
        return 0;
    m_selected = index;
    return index;
}

int ListBoxModel::DirList(const QString &pattern, int kinds, QString *status)
{
    Reset();
    const qsizetype slash = pattern.lastIndexOf(kPathSeparator);
    const QString filePattern = pattern.mid(slash + 1);
    if (slash >= 0) {
        // "/*.*" names the root, whose folder part is empty.
        const QString folder = slash == 0 ? QString(kPathSeparator) : pattern.left(slash);
        if (!m_fs.setCurrentDirectory(folder))
            return -1;
    }
    // An absolute folder is the listed folder as it stands; asking the system for the
    // current directory would cost a call per folder of a scan.
    const QString current = slash >= 0 && pattern.startsWith(kPathSeparator)
                                ? absoluteFolder(pattern.left(slash))
                                : m_fs.currentDirectory();
    if (status)
        *status = current;

    std::vector<Item> found;
    if (kinds & DirListDrives) {
        for (const QString &root : m_fs.driveRoots())
            found.push_back({kDrivePrefix + root + kDriveSuffix, false});
    }
    const bool folders = kinds & DirListFolders;
    const bool files = !(kinds & DirListExclusive);
    if (folders || files)
        appendFolderItems(found, m_fs, current, filePattern, folders, files);
    if (m_sorted)
        std::sort(found.begin(), found.end(),
                  [](const Item &a, const Item &b) { return listsBefore(a.text, b.text); });
    m_items.reserve(qsizetype(found.size()));
    for (Item &item : found) {
        m_items.append(std::move(item.text));
        m_folderItems.push_back(item.folder);
    }
    return int(m_items.size());
}
