// Saving, replacing and changing catalogue entries: the files and both record sets stay in step,
// and a change that fails leaves the record sets as the files on disc are.

#include "catalogue/datafiles.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "files/fileops.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

class Entries : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\nE:/"
                            u"\t사진.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2");
    }
    void TearDown() override { resetFileOps(); }

    QString data(const QString &name = {}) const
    {
        return m_dir.path() + "/data" + (name.isEmpty() ? "" : "/" + name);
    }
    static QByteArray bytesOf(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }
    static QString rows(const RecordSet &set)
    {
        QStringList out;
        for (qint64 r = 1; r <= set.RowCount(); ++r)
            out << set.GetItemString(r, IndexColumn::file) + '|' + set.GetItemString(r, IndexColumn::desc) +
                       '|' + set.GetItemString(r, IndexColumn::name) + '|' +
                       set.GetItemString(r, IndexColumn::gubn);
        return out.join(u',');
    }
    static CatalogueEntry entry(const QString &label, const QString &desc = {}, const QString &gubn = "01")
    {
        return {CatalogueEntries::fileForLabel(label), desc, label, gubn};
    }

    QTemporaryDir m_dir;
    RecordSet m_tree{d_dir_tree()}, m_index{d_cdinfo()}, m_list{d_cdinfo()};
    CatalogueEntries m_entries{m_index, m_list, data(), u"cdinfo.dat"_s};
};

} // namespace

TEST_F(Entries, ANewDiscWritesItsTreeThenTheIndex)
{
    ASSERT_TRUE(m_entries.add(m_tree, entry(u"사진 2004"_s, u"가족"_s, "04")).ok);
    EXPECT_EQ(bytesOf(data("cd_사진 2004.dat")),
              QByteArray("E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n") +
                  "E:/\t\xBB\xE7\xC1\xF8.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n");
    EXPECT_EQ(bytesOf(data("cdinfo.dat")),
              "cd_\xBB\xE7\xC1\xF8 2004.dat\t\xB0\xA1\xC1\xB7\t\xBB\xE7\xC1\xF8 2004\t04\r\n");
    EXPECT_EQ(rows(m_index), rows(m_list));
    ASSERT_TRUE(m_entries.add(m_tree, entry("B")).ok);
    EXPECT_EQ(rows(m_index), u"cd_사진 2004.dat|가족|사진 2004|04,cd_B.dat||B|01"_s);
}

TEST_F(Entries, AFailedWriteChangesNoRecordSet)
{
    // The catalogue file cannot be written: no entry is added.
    fileOps().write = [](int, const void *, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    FileResult result = m_entries.add(m_tree, entry("A"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(data("cd_A.dat"))) << qPrintable(result.error);
    EXPECT_EQ(m_index.RowCount() + m_list.RowCount(), 0);
    resetFileOps();

    // The index cannot be written: the rows go again, as the index on disc has none.
    ASSERT_TRUE(QDir().mkpath(data("cdinfo.dat")));
    result = m_entries.add(m_tree, entry("A"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(data("cdinfo.dat"))) << qPrintable(result.error);
    EXPECT_EQ(m_index.RowCount() + m_list.RowCount(), 0);
}

TEST_F(Entries, ASecondSaveUnderALabelReplacesItsDisc)
{
    m_index.ImportString(u"cd_X.dat\tx\tX\t02\ncd_it's.dat\told\tit's\t03");
    EXPECT_EQ(m_entries.discUsingLabel(u"it's"_s), 2) << "labels with an apostrophe are found";
    EXPECT_EQ(m_entries.discUsingLabel(u"new"_s), 0);
    ASSERT_TRUE(m_entries.replace(m_tree, entry(u"it's"_s, u"new"_s, "04"), 2).ok);
    EXPECT_EQ(rows(m_index), u"cd_X.dat|x|X|02,cd_it's.dat|new|it's|04"_s)
        << "changed in place, no second entry";
    EXPECT_EQ(rows(m_list), u"cd_it's.dat|new|it's|04"_s) << "and shown in the list";
    EXPECT_TRUE(bytesOf(data("cd_it's.dat")).startsWith("E:/\tE:\t"));
}

TEST_F(Entries, AChangedLabelRenamesTheCatalogueFile)
{
    ASSERT_TRUE(m_entries.add(m_tree, entry("OLD", "a", "01")).ok);
    ASSERT_TRUE(m_entries.add(m_tree, entry("OTHER")).ok);
    const QByteArray tree = bytesOf(data("cd_OLD.dat"));

    // A label another disc uses, or a file already in the data folder, is refused.
    EXPECT_FALSE(m_entries.change("OLD", entry("OTHER")).ok);
    QFile(data("cd_STRAY.dat")).open(QIODevice::WriteOnly);
    EXPECT_FALSE(m_entries.change("OLD", entry("STRAY")).ok);
    // A rename that fails changes nothing.
    fileOps().renameNoReplace = [](const char *, const char *) {
        errno = EACCES;
        return -1;
    };
    const FileResult refused = m_entries.change("OLD", entry("NEW"));
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.error.contains("cd_OLD.dat")) << qPrintable(refused.error);
    resetFileOps();
    EXPECT_EQ(rows(m_index), "cd_OLD.dat|a|OLD|01,cd_OTHER.dat||OTHER|01");
    EXPECT_EQ(bytesOf(data("cd_OLD.dat")), tree);

    ASSERT_TRUE(m_entries.change("OLD", entry("NEW", "b", "03")).ok);
    EXPECT_EQ(rows(m_index), "cd_NEW.dat|b|NEW|03,cd_OTHER.dat||OTHER|01");
    EXPECT_EQ(rows(m_list), rows(m_index));
    EXPECT_EQ(bytesOf(data("cd_NEW.dat")), tree);
    EXPECT_FALSE(QFile::exists(data("cd_OLD.dat")));

    // The index cannot be written: the file gets its old name back and the rows their values.
    QFile::remove(data("cdinfo.dat"));
    ASSERT_TRUE(QDir().mkpath(data("cdinfo.dat")));
    EXPECT_FALSE(m_entries.change("NEW", entry("NEWER")).ok);
    EXPECT_EQ(rows(m_index), "cd_NEW.dat|b|NEW|03,cd_OTHER.dat||OTHER|01");
    EXPECT_EQ(bytesOf(data("cd_NEW.dat")), tree);
    EXPECT_FALSE(QFile::exists(data("cd_NEWER.dat")));
}

TEST_F(Entries, AnEntryTheIndexLacksIsAddedThere)
{
    m_list.ImportString(u"cd_L.dat\t\tL\t01");
    ASSERT_TRUE(m_entries.change("L", entry("L", "d", "02")).ok);
    EXPECT_EQ(rows(m_index), "cd_L.dat|d|L|02");
    EXPECT_EQ(rows(m_list), "cd_L.dat|d|L|02");
}

TEST(EntryLabels, WhatCanBeSaved)
{
    for (const QString &good :
         {u"DISC_01"_s, u" 앞뒤 공백 "_s, u"it's"_s, QString(93, u'a'), QString(82, u'가')})
        EXPECT_EQ(CatalogueEntries::labelProblem(good, {}), "") << qPrintable(good);
    for (const QString &bad :
         {u"a/b"_s, u"a\\b"_s, u".."_s, u"x\u0085y"_s, u"tab\there"_s, QString(94, u'a'), QString(83, u'가')})
        EXPECT_NE(CatalogueEntries::labelProblem(bad, {}), "") << qPrintable(bad);
    EXPECT_EQ(CatalogueEntries::labelProblem("A", QString(255, u'설')), "");
    EXPECT_NE(CatalogueEntries::labelProblem("A", QString(256, u'설')), "");
}
