// What keeps a catalogue whole in real use: failed changes that leave the folder as it was, labels
// that collide only in case or cannot live on another file system, lines the loader and the search
// must read alike, files that are no catalogue, and what a crash leaves behind.

#include "catalogue/datafiles.h"
#include "catalogue/datafolder.h"
#include "catalogue/entries.h"
#include "catalogue/entrytexts.h"
#include "catalogue/layouts.h"
#include "files/fileops.h"
#include "search/search.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;

namespace {

class Safety : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1");
        QDir().mkpath(data());
    }
    void TearDown() override { resetFileOps(); }
    QString data(const QString &name = {}) const { return m_dir.path() + "/data/" + name; }
    void put(const QString &name, const QByteArray &bytes) const
    {
        QFile out(data(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    // Every file of the data folder with its bytes, the lock file aside.
    QString folder() const
    {
        QStringList out;
        for (const QString &name : QDir(data()).entryList(QDir::Files | QDir::Hidden)) {
            QFile in(data(name));
            if (name != ".tarvek.lock" && in.open(QIODevice::ReadOnly))
                out << name + '=' + QString::fromLatin1(in.readAll().toHex());
        }
        return out.join(u',');
    }
    static CatalogueEntry entry(const QString &label, const QString &desc = {})
    {
        return {CatalogueEntries::fileForLabel(label), desc, label, "01"};
    }

    QTemporaryDir m_dir;
    RecordSet m_tree{d_dir_tree()}, m_index{d_cdinfo()}, m_list{d_cdinfo()};
    CatalogueEntries m_entries{m_index, m_list, data().chopped(1), u"cdinfo.dat"_s};
};

} // namespace

TEST_F(Safety, AChangeWhoseIndexWriteFailsLeavesTheFolderAsItWas)
{
    ASSERT_TRUE(m_entries.add(m_tree, entry("A")).ok);
    put("cd_ORPHAN.dat", "orphan\r\n");
    const QString before = folder();
    const auto noIndex = [](const char *from, const char *to) {
        if (std::strstr(to, "cdinfo.dat")) {
            errno = EIO;
            return -1;
        }
        return ::rename(from, to);
    };
    const std::function<FileResult()> changes[] = {
        [&] { return m_entries.add(m_tree, entry("B")); },
        [&] { return m_entries.add(m_tree, entry("ORPHAN")); },
        [&] { return m_entries.replace(m_tree, entry("A", "new"), 1); },
        [&] { return m_entries.change("A", entry("A2")); },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        fileOps().rename = noIndex;
        EXPECT_FALSE(changes[i]().ok) << i;
        resetFileOps();
        EXPECT_EQ(folder(), before) << "change " << i;
        EXPECT_EQ(m_index.RowCount(), 1) << i;
    }
}

TEST_F(Safety, LabelsAreComparedWithoutCaseAndCheckedForOtherFileSystems)
{
    ASSERT_TRUE(m_entries.add(m_tree, entry(u"Disc"_s, u"a\tb"_s)).ok);
    EXPECT_EQ(m_index.GetItemString(1, IndexColumn::desc), "a b") << "memory holds what the file holds";
    EXPECT_EQ(m_entries.discUsingLabel("DISC"), 1);
    EXPECT_FALSE(m_entries.add(m_tree, entry("DISC")).ok) << "one file on a FAT stick";
    EXPECT_EQ(m_index.RowCount(), 1);
    // An 82-syllable label fits a file name's 255 bytes and is written; 83 do not.
    const QString hangul(82, u'가');
    EXPECT_EQ(CatalogueEntries::labelProblem(hangul, {}), "");
    EXPECT_TRUE(m_entries.add(m_tree, entry(hangul)).ok);
    EXPECT_TRUE(CatalogueEntries::labelProblem(hangul + u'가', {}).contains("255"));
    const struct {
        QString label;
        bool ok;
    } labels[] = {{u"a:b"_s, false}, {u"a*b"_s, false}, {u"a?b"_s, false}, {u"a\"b"_s, false},
                  {u"a<b"_s, false}, {u"a>b"_s, false}, {u"a|b"_s, false}, {u"v1..2"_s, true},
                  {u"."_s, false},   {u"a.b"_s, true}};
    for (const auto &[label, ok] : labels)
        EXPECT_EQ(CatalogueEntries::labelProblem(label, {}).isEmpty(), ok) << qPrintable(label);
    EXPECT_TRUE(isBareFileName(u"cd_v1..2.dat")) << "a name with no separator stays in the folder";
    EXPECT_EQ(CatalogueEntries::trimmedLabel(u"  앞뒤공백  "_s), u"앞뒤공백"_s);
}

TEST_F(Safety, TheSearchAndTheLoaderReadTheSameLines)
{
    const QByteArray longLine(kMaxLineBytes, 'x');
    const struct {
        const char *name;
        QByteArray bytes;
        QString text;
        bool found;
    } files[] = {
        {"cd_bom.dat", "\xEF\xBB\xBF\xEF\xBB\xBFmark\r\n", u"\uFEFFmark"_s, true},
        {"cd_long.dat", "first\r\n" + longLine + "needle\r\nafter needle\r\n", u"needle"_s, true},
        {"cd_longend.dat", "first\r\n" + longLine + "\r\n\r\nneedle\r\n", u"needle"_s, false},
    };
    for (const auto &file : files) {
        put(file.name, file.bytes);
        RecordSet rows(d_dir_tree());
        loadDataFile(rows, data(file.name));
        bool loaded = false;
        for (qint64 row = 1; row <= rows.RowCount(); ++row)
            loaded = loaded || rows.GetItemString(row, TreeColumn::fullname).contains(file.text);
        EXPECT_EQ(CatalogueMatcher(file.text).matches(data(file.name)), file.found) << file.name;
        EXPECT_EQ(loaded, file.found) << file.name;
    }
    // Not regular files: refused at once, without blocking or reading without end.
    ASSERT_EQ(::mkfifo(QFile::encodeName(data("cd_fifo.dat")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(data("cd_zero.dat")).constData()), 0);
    for (const char *name : {"cd_fifo.dat", "cd_zero.dat"}) {
        TextFileReader reader;
        EXPECT_FALSE(reader.open(data(name))) << name;
        EXPECT_FALSE(CatalogueMatcher("x").matches(data(name))) << name;
        EXPECT_FALSE(irregularFileProblem(data(name)).isEmpty()) << name;
    }
}

TEST_F(Safety, OnlyOwnOldTemporariesAreRemoved)
{
    const struct {
        const char *name;
        bool old, removed;
    } files[] = {{".tvk-a1B2c3", true, true},
                 {".tvk-a1B2c4", false, false},
                 {".tvk-a1B2c", true, false},
                 {".other.XXXXXX", true, false},
                 {"cd_x.dat", true, false},
                 {".tarvek/.tvk-a1B2c5", true, true},
                 {".tarvek/.tvk-a1B2c6", false, false}};
    QDir().mkpath(data(".tarvek"));
    for (const auto &file : files) {
        put(file.name, "x");
        const struct utimbuf hoursAgo = {::time(nullptr) - 7200, ::time(nullptr) - 7200};
        if (file.old)
            ::utime(QFile::encodeName(data(file.name)).constData(), &hoursAgo);
    }
    m_entries.removeStaleFiles();
    for (const auto &file : files)
        EXPECT_EQ(QFile::exists(data(file.name)), !file.removed) << file.name;
}

TEST_F(Safety, NoChangeWritesOverAnIndexThatCannotBeRead)
{
    // Read as empty, such an index would be written back with the new entry alone: every disc it
    // held would leave the catalogue.
    struct Case {
        const char *what;
        std::function<bool(const QString &path)> make;
    };
    const Case cases[] = {
        {"a pipe",
         [](const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0; }},
        {"a folder", [](const QString &path) { return QDir().mkdir(path); }},
        {"a file that does not open",
         [](const QString &path) {
             QFile out(path);
             // Root opens any file: there the case has nothing to show.
             return ::geteuid() != 0 && out.open(QIODevice::WriteOnly) &&
                    out.write("cd_A.dat\t\tA\t01\r\n") > 0 && out.setPermissions({});
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(data()).removeRecursively();
        QDir().mkpath(data());
        if (!c.make(data("cdinfo.dat")))
            continue;
        const qint64 inode = versionOf(data("cdinfo.dat")).inode;
        m_entries.loadIndex();
        EXPECT_NE(m_entries.indexProblem(), "");
        const FileResult added = m_entries.add(m_tree, entry("N"));
        EXPECT_FALSE(added.ok);
        EXPECT_TRUE(added.error.contains("cdinfo.dat")) << qPrintable(added.error);
        EXPECT_FALSE(m_entries.change("A", entry("B")).ok);
        EXPECT_EQ(versionOf(data("cdinfo.dat")).inode, inode) << "the index was replaced";
        EXPECT_FALSE(QFile::exists(data("cd_N.dat")));
        QFile(data("cdinfo.dat")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

TEST(EntryLabels, TheDialogChecksOnlyWhatAChangeAlters)
{
    const CatalogueEntry old{u"cd_a:b.dat"_s, QString(300, u'x'), u"a:b"_s, u"01"_s};
    struct Case {
        QString label, desc;
        const CatalogueEntry *before;
        bool refused;
    };
    const Case cases[] = {
        {"", "", nullptr, true},                   // no label
        {"A", "", nullptr, false},                 // a new disc
        {"a:b", "", nullptr, true},                // a label Windows cannot hold
        {"A", QString(256, u'설'), nullptr, true}, // a description too long
        {"a:b", QString(300, u'x'), &old, false},  // an old entry, unchanged
        {"a:b", "새 설명", &old, false},           // only its description changes
        {"a:c", QString(300, u'x'), &old, true},   // a new label is checked
        {"a:b", QString(301, u'x'), &old, true},   // and so is a new description
        {"", QString(300, u'x'), &old, true},      // a change still needs a label
    };
    for (const Case &c : cases) {
        const QString problem = CatalogueEntries::fieldsProblem(c.label, c.desc, c.before);
        EXPECT_EQ(!problem.isEmpty(), c.refused) << qPrintable(c.label) << ' ' << qPrintable(problem);
    }
    EXPECT_EQ(CatalogueEntries::fieldsProblem("", ""), EntryTexts::missingLabel());
}
