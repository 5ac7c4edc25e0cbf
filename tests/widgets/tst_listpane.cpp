// The catalogue list pane: selecting, opening a disc's tree with progress and cancel, the
// right-button menu and its sort orders, and the hidden restore.

#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "support/fakefilesystem.h"
#include "support/programfolder.h"
#include "ui/m_popmenu.h"
#include "ui/w_list.h"
#include "ui/w_save.h"
#include "widgets/fonts.h"
#include "widgets/messagebox.h"

#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

class TestListPane : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QStringList m_messages;

    void writeData(const QString &name, const QByteArray &bytes)
    {
        QDir().mkpath(m_dir.path() + "/data");
        QFile file(m_dir.path() + "/data/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray treeOf(int files)
    {
        QByteArray bytes = "D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t1\r\n"
                           "D:\\sub\\\tsub\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n";
        for (int i = 0; i < files; ++i)
            bytes += "D:\\sub\\\tf" + QByteArray::number(i) + "\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n";
        return bytes;
    }
    static QStringList column(RecordSet &rows, int column)
    {
        QStringList values;
        for (qint64 r = 1; r <= rows.RowCount(); ++r)
            values << rows.GetItemString(r, column);
        return values;
    }
    // The window with its list showing the index's entries, as a search for everything leaves it.
    static void showEveryEntry(w_list &window)
    {
        for (qint64 r = 1; r <= window.index().RowCount(); ++r)
            window.index().RowsCopy(r, r, window.list(), window.list().RowCount() + 1);
    }

  private slots:
    void initTestCase()
    {
        useProgramFolder(m_dir.path());
        setMessageBoxHook([this](const QString &title, const QString &text) {
            m_messages << title + '|' + text;
            return 1;
        });
        writeData("cdinfo.dat", "cd_B.dat\tzz\tB\t03\r\ncd_A.dat\tzz\tA\t01\r\ncd_C.dat\taa\tC\t01\r\n"
                                "cd_../x.dat\tbad\tX\t02\r\n");
        writeData("cd_A.dat", treeOf(3));
        writeData("cd_B.dat", treeOf(150000));
    }
    void init() { m_messages.clear(); }

    void clickSelectsDoubleClickOpens()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        showEveryEntry(window);
        window.dw_list_clicked(0, 0, 2, "name");
        QVERIFY(window.list().IsSelected(2));
        QCOMPARE(window.il_row, qint64(2));
        window.dw_list_clicked(0, 0, 0, "");
        QVERIFY(window.list().IsSelected(2)); // below the last row nothing changes
        QCOMPARE(window.il_row, qint64(2));
        window.cb_expand->setText("축소");
        window.dw_list_doubleclicked(0, 0, 2, "name");
        QCOMPARE(window.tree().RowCount(), qint64(5));
        QCOMPARE(window.tree().GetItemNumber(1, TreeColumn::open), qint64(1)); // folded to the root
        QCOMPARE(window.tree().detailHeight(3), 0);
        QCOMPARE(window.cb_expand->text(), QString("확장"));
        QVERIFY(!window.sle_find->isHidden() && !window.cb_next->isHidden());
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QVERIFY(window.cb_close->isEnabled() && window.cb_save->isEnabled());
        QCOMPARE(window.il_file_cnt, qint64(5));

        // An entry whose file is not a bare name is never opened: an empty tree, still find mode.
        window.dw_list_doubleclicked(0, 0, 4, "name");
        QCOMPARE(window.tree().RowCount(), qint64(0));
        QVERIFY(!window.sle_find->isHidden());
        QTest::keyClick(window.dw_list, Qt::Key_F1);
        QVERIFY(m_messages.last().contains("tarvek.hlp"));
    }

    void theScanButtonCancelsALoad()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        showEveryEntry(window);
        // Runs at the load's first yield that lets input through.
        QTimer::singleShot(0, window.cb_scan, [&] {
            QCOMPARE(window.cb_scan->text(), QString("취소"));
            QVERIFY(!window.cb_close->isEnabled());
            window.dw_list_doubleclicked(0, 0, 2, "name"); // no second load under this one
            window.cb_scan_clicked();                      // no scan either: the button cancels
        });
        window.dw_list_doubleclicked(0, 0, 1, "name");
        const qint64 rows = window.tree().RowCount();
        QVERIFY2(rows < 150002, qPrintable(QString::number(rows)));
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QVERIFY(window.cb_close->isEnabled());
        QVERIFY(!window.ib_cancel);
        QVERIFY(!window.sle_find->isHidden());
    }

    void theMenuAndItsSortOrders()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        showEveryEntry(window);
        QMenu *shown = nullptr;
        window.popMenu = [&](QMenu *menu, QPoint) { shown = menu; };
        window.dw_list_rbuttondown(0, 0, 1, "name");
        QVERIFY(!shown); // nothing clicked yet in either grid
        window.dw_list_clicked(0, 0, 3, "name");
        window.dw_list_rbuttondown(0, 0, 1, "name");
        QVERIFY(shown);
        m_popmenu *menu = m_popmenu::current();
        QCOMPARE(shown, menu->m_command);
        QStringList texts;
        for (QAction *action : shown->actions())
            texts << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(texts, QStringList({"삭제\tAlt+D", "변경\tAlt+M", "-", "정렬", "종료\tAlt+X", "검색 결과",
                                     "내보내기", "-", "다시 스캔\tCtrl+R", "비교…", "중복 찾기…",
                                     "이 폴더가 어디에 있나…"}));
        QCOMPARE(menu->m_sort->actions().size(), 3);
        QCOMPARE(menu->m_modify->shortcut(), QKeySequence("Alt+M"));

        menu->m_desc->trigger();
        QCOMPARE(gs_sort_str, QString("desc a, name a"));
        QCOMPARE(column(window.list(), IndexColumn::name), QStringList({"C", "X", "A", "B"}));
        menu->m_type->trigger();
        QCOMPARE(column(window.list(), IndexColumn::name), QStringList({"A", "C", "X", "B"}));
        menu->m_종료->trigger();
        QCOMPARE(gs_sort_str, QString("gubn a, name a"));
        menu->m_label->trigger();
        QCOMPARE(column(window.list(), IndexColumn::name), QStringList({"A", "B", "C", "X"}));

        // A new right-click makes a new menu and destroys the old one.
        QPointer<QObject> old = m_popmenu::current();
        window.dw_list_rbuttondown(0, 0, 1, "name");
        QVERIFY(!old);
    }

    void altShortcutsActInTheOpenMenu()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        showEveryEntry(window);
        window.dw_list_clicked(0, 0, 1, "name");
        QTimer::singleShot(50, [] {
            QMenu *open = m_popmenu::current()->m_command;
            QVERIFY(open->isVisible());
            QTest::keyPress(open, Qt::Key_Alt, Qt::AltModifier); // as a keyboard sends it, first alone
            QVERIFY(open->isVisible());
            QTest::keyClick(open, Qt::Key_M, Qt::AltModifier);
        });
        window.dw_list_rbuttondown(0, 0, 1, "name");
        QVERIFY(w_save::current());
        QCOMPARE(w_save::current()->sle_label->text(), QString("B"));
        QCOMPARE(w_save::current()->cb_save->text(), QString("변경"));
        w_save::current()->close();
    }

    void restoreAsksForABackupFile()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        int asked = 0;
        window.chooseBackupFile = [&] {
            ++asked;
            return asked == 1 ? QString() : m_dir.path() + "/data/cd_A.dat";
        };
        window.tree().ImportString(u"x\ty\t\t\t0\t0\t0\t0\t1");
        window.cb_restore_clicked();
        QCOMPARE(window.tree().RowCount(), qint64(1)); // dismissed: the tree is untouched
        window.cb_restore_clicked();
        QCOMPARE(window.tree().RowCount(), qint64(5));
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QCOMPARE(QDir::currentPath(), gs_pgm_dir);
    }
};

QTEST_MAIN(TestListPane)
#include "tst_listpane.moc"
