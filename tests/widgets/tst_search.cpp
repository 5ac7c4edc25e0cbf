// Enter in the search box, the find in an open tree, and deleting and changing entries.

#include "catalogue/layouts.h"
#include "files/fileops.h"
#include "files/filesystem.h"
#include "support/messagelog.h"
#include "support/programfolder.h"
#include "ui/m_popmenu.h"
#include "ui/w_list.h"
#include "ui/w_save.h"
#include "widgets/messagebox.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

class TestSearch : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    MessageLog m_log;
    QStringList &m_messages = m_log.messages;
    int &m_answer = m_log.answer;

    QString data(const QString &name) const { return m_dir.path() + "/data/" + name; }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(data(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QStringList names(RecordSet &rows)
    {
        QStringList values;
        for (qint64 r = 1; r <= rows.RowCount(); ++r)
            values << rows.GetItemString(r, IndexColumn::name);
        return values;
    }
    static QStringList highlighted(RecordSet &tree)
    {
        QStringList values;
        for (qint64 r = 1; r <= tree.RowCount(); ++r) {
            if (tree.IsSelected(r))
                values << tree.GetItemString(r, TreeColumn::name);
        }
        return values;
    }
    // Types the text into the search box and presses Enter, as a user does.
    static void search(w_list &window, const QString &text)
    {
        window.sle_search->setText(text);
        QTest::keyClick(window.sle_search, Qt::Key_Return);
        QCoreApplication::processEvents(); // the posted click
    }

  private slots:
    void initTestCase() { useProgramFolder(m_dir.path()); }
    void init()
    {
        m_messages.clear();
        m_answer = 1;
        QDir(m_dir.path() + "/data").removeRecursively();
        QDir().mkpath(m_dir.path() + "/data");
        write("cdinfo.dat", "cd_B.dat\tphotos\tB\t04\r\ncd_A.dat\tit's\tA\t01\r\ncd_C.dat\t\tC\t02\r\n");
        write("cd_A.dat", "D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                          "D:\\x\\\tx\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
                          "D:\\x\\y\\\ty\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t3\r\n"
                          "D:\\x\\y\\\tit's \"q\".txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t4\r\n"
                          "D:\\x\\y\\\tq2.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t4\r\n"
                          "D:\\\tq3.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n");
        write("cd_B.dat", "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n");
        write("cd_C.dat", "F:\\\tF:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n");
    }
    void cleanup() { resetFileOps(); }

    void enterListsTheDiscs()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        QCOMPARE(window.list().RowCount(), qint64(0)); // empty until a search
        window.sle_find->show();
        search(window, "");
        QCOMPARE(names(window.list()), QStringList({"A", "B", "C"}));
        QVERIFY(window.sle_find->isHidden() && window.cb_next->isHidden());
        search(window, "q2");
        QCOMPARE(names(window.list()), QStringList({"A"}));
        search(window, "Q2");
        QCOMPARE(names(window.list()), QStringList()); // case counts
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QVERIFY(window.cb_close->isEnabled());
        QVERIFY(m_messages.isEmpty()); // the search says nothing, found or not
    }

    void findOpensTheTreeAndFindNextGoesOn()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        search(window, "");
        window.dw_list_clicked(0, 0, 1, "name");
        window.dw_list_doubleclicked(0, 0, 1, "name");
        QVERIFY(!window.sle_find->isHidden());
        QCOMPARE(window.tree().detailHeight(4), 0); // folded

        window.sle_find->setText("q");
        QTest::keyClick(window.sle_find, Qt::Key_Return);
        QCOMPARE(highlighted(window.tree()), QStringList({"it's \"q\".txt"}));
        QCOMPARE(window.cb_expand->text(), QString("축소")); // the whole tree was opened once
        QVERIFY(window.tree().detailHeight(4) > 0);
        window.cb_next->click();
        QCOMPARE(highlighted(window.tree()), QStringList({"q2.txt"}));
        window.cb_expand->click(); // folded again: find next does not open branches
        window.cb_next->click();
        QCOMPARE(highlighted(window.tree()), QStringList({"q3.txt"}));
        window.cb_next->click();
        QCOMPARE(highlighted(window.tree()), QStringList());
        QCOMPARE(m_messages, QStringList({"확인|더 이상 일치하는 단어를 찾을 수 없습니다."}));

        // Quotes in the text are looked for like any other character.
        for (const char *text : {"it's", "\"q\""}) {
            window.sle_find->setText(text);
            QTest::keyClick(window.sle_find, Qt::Key_Return);
            QCOMPARE(highlighted(window.tree()), QStringList({"it's \"q\".txt"}));
        }
        window.sle_find->setText("none");
        QTest::keyClick(window.sle_find, Qt::Key_Return);
        QCOMPARE(m_messages.last(), QString("확인|일치하는 단어를 찾을 수 없습니다."));

        // A right-click on ">>" hides the find box and shows it again.
        QTest::mouseClick(window.cb_next, Qt::RightButton);
        emit window.cb_next->customContextMenuRequested({});
        QVERIFY(window.sle_find->isHidden());
        emit window.cb_next->customContextMenuRequested({});
        QVERIFY(!window.sle_find->isHidden());
    }

    void theOpenTreeFollowsItsDiscRenamedAndDeleted()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        search(window, "");
        window.dw_list_clicked(0, 0, 1, "name");
        window.dw_list_doubleclicked(0, 0, 1, "name"); // disc A
        QString printed, pdf;
        window.printSetup = [&](QPrinter &printer) {
            printed = printer.docName(); // the pages' heading
            pdf = QFileInfo(printer.outputFileName()).fileName();
            return false;
        };
        // Renamed: the print takes the label the disc has now.
        window.ue_modify();
        w_save::current()->sle_label->setText("A2");
        w_save::current()->cb_save->click();
        QCOMPARE(names(window.list()), QStringList({"A2", "B", "C"}));
        window.cb_print->click();
        QCOMPARE(printed + ' ' + pdf, QString("A2 A2.pdf"));
        QVERIFY(window.offeredLabel().isEmpty()); // a saved disc's tree offers no label
        // Deleted: the tree stands as a scan not yet saved, titled by its drive, and can be saved.
        window.treeFacts().disc.volumeLabel = "VOL_A";
        window.ue_delete();
        QCOMPARE(names(window.list()), QStringList({"B", "C"}));
        window.cb_print->click();
        QCOMPARE(printed, QString("스캔 D:\\"));
        QVERIFY(window.treeFile().isEmpty() && window.cb_save->isEnabled());
        QCOMPARE(window.offeredLabel(), QString("VOL_A"));
        // Deleting another disc leaves the open one alone.
        window.dw_list_clicked(0, 0, 1, "name");
        window.dw_list_doubleclicked(0, 0, 1, "name"); // disc B
        window.dw_list_clicked(0, 0, 2, "name");
        window.ue_delete();
        window.cb_print->click();
        QCOMPARE(printed, QString("B"));
    }

    void deleteRemovesTheEntryAndItsFile()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        search(window, "");
        window.ue_delete();
        QVERIFY(m_messages.isEmpty()); // nothing highlighted: nothing asked, nothing deleted
        window.ue_modify();
        QVERIFY(!w_save::current());

        window.dw_list_clicked(0, 0, 2, "name");
        m_answer = 2;
        window.ue_delete();
        QCOMPARE(m_messages.last(), QString("확인|해당 폴더 정보를 삭제하시겠습니까?\n\nB"));
        QCOMPARE(window.list().RowCount(), qint64(3));
        m_answer = 1;
        window.ue_delete();
        QCOMPARE(names(window.list()), QStringList({"A", "C"}));
        QCOMPARE(names(window.index()), QStringList({"A", "C"}));
        QVERIFY(!QFile::exists(data("cd_B.dat")));
        QFile index(data("cdinfo.dat"));
        QVERIFY(index.open(QIODevice::ReadOnly));
        QCOMPARE(index.readAll(), QByteArray("cd_A.dat\tit's\tA\t01\r\ncd_C.dat\t\tC\t02\r\n"));

        // A missing file is reported, the entry is gone all the same.
        QFile::remove(data("cd_C.dat"));
        window.dw_list_clicked(0, 0, 2, "name");
        window.ue_delete();
        QCOMPARE(m_messages.last(), QString("오류|화일 삭제 오류!\n\ncd_C.dat"));
        QCOMPARE(names(window.index()), QStringList({"A"}));
    }

    void aFailedIndexWriteDeletesNothing()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        search(window, "");
        window.dw_list_clicked(0, 0, 1, "name");
        fileOps().rename = [](const char *, const char *) {
            errno = EROFS;
            return -1;
        };
        window.ue_delete();
        QVERIFY(m_messages.last().startsWith("오류|"));
        QVERIFY(m_messages.last().contains("cdinfo.dat"));
        QCOMPARE(names(window.list()), QStringList({"A", "B", "C"}));
        QVERIFY(window.list().IsSelected(1));
        QCOMPARE(names(window.index()), QStringList({"B", "A", "C"}));
        QVERIFY(QFile::exists(data("cd_A.dat")));
    }

    void aFileOtherEntriesNameIsKept()
    {
        write("cdinfo.dat", "cd_A.dat\tfirst\tA\t01\r\ncd_A.dat\tsecond\tA\t01\r\ncd_../x.dat\t\tX\t01\r\n");
        write("x.dat", "keep");
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.index().RowsCopy(1, 3, window.list(), 1);
        window.dw_list_clicked(0, 0, 1, "name");
        window.ue_delete();
        QVERIFY(QFile::exists(data("cd_A.dat"))); // the second entry still names it
        window.dw_list_clicked(0, 0, 2, "name");
        window.ue_delete();
        QCOMPARE(names(window.index()), QStringList({"A"}));
        QVERIFY(QFile::exists(data("x.dat"))); // "cd_../x.dat" never reached the file system
        QVERIFY(!m_messages.last().startsWith("오류"));
    }

    void aCancelDoesNotStopLaterSearches()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        QTimer::singleShot(0, window.cb_scan, [&] { window.cb_scan->click(); });
        search(window, "");
        QVERIFY(window.list().RowCount() < 3); // cancelled at its first file
        search(window, "");
        QCOMPARE(names(window.list()), QStringList({"A", "B", "C"}));
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
