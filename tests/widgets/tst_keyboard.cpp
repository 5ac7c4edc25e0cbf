// Every command by keyboard alone, through real key events: the grids' current row and its
// frame, the list pane's and the tree's keys, Enter on buttons, the covered search box, the help
// window's Esc, and the controls' accessible names.

#include "catalogue/layouts.h"
#include "support/fakefilesystem.h"
#include "support/messagelog.h"
#include "support/programfolder.h"
#include "ui/w_list.h"

#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

namespace {
// A disc "A": a root, folder x holding folder y with two files, and a file at the top.
const QByteArray kTreeA = "D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                          "D:\\x\\\tx\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
                          "D:\\x\\y\\\ty\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t3\r\n"
                          "D:\\x\\y\\\tq1.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t4\r\n"
                          "D:\\x\\y\\\tq2.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t4\r\n"
                          "D:\\\tq3.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";

// Names of the tree's shown rows, the current one in brackets.
QString shownTree(w_list &window)
{
    QStringList names;
    RecordSet &tree = window.tree();
    for (qint64 r = 1; r <= tree.RowCount(); ++r) {
        if (tree.detailHeight(r) == 0)
            continue;
        const QString name = tree.GetItemString(r, TreeColumn::name);
        names << (r == tree.GetRow() ? '[' + name + ']' : name);
    }
    return names.join(' ');
}

void press(QWidget *control, const QList<QKeyCombination> &keys)
{
    for (QKeyCombination key : keys)
        QTest::keyClick(control, key.key(), key.keyboardModifiers());
}
} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_dir.path() + "/data/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // The window shown and active, with every disc of the index listed, as a search for "" lists them.
    static void listEverything(w_list &window)
    {
        window.open();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (qint64 r = 1; r <= window.index().RowCount(); ++r)
            window.index().RowsCopy(r, r, window.list(), r);
        window.dw_list->setFocus();
    }

  private slots:
    void initTestCase()
    {
        useProgramFolder(m_dir.path());
        QDir().mkpath(m_dir.path() + "/data");
        QByteArray index;
        for (int i = 0; i < 60; ++i)
            index += "cd_A.dat\tdisc " + QByteArray::number(i) + "\tA" + QByteArray::number(i) + "\t01\r\n";
        write("cdinfo.dat", index);
        write("cd_A.dat", kTreeA);
    }

    // The list pane: keys move the framed current row and act on it as the mouse acts on its row.
    void listPaneKeys_data()
    {
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<qint64>("current");
        QTest::addColumn<QString>("result");
        using K = QList<QKeyCombination>;
        QTest::newRow("down twice") << K{Qt::Key_Down, Qt::Key_Down} << qint64(3) << "";
        QTest::newRow("end, up") << K{Qt::Key_End, Qt::Key_Up} << qint64(59) << "";
        QTest::newRow("page down, home") << K{Qt::Key_PageDown, Qt::Key_Home} << qint64(1) << "";
        QTest::newRow("enter opens") << K{Qt::Key_Down, Qt::Key_Return} << qint64(2) << "opened 6";
        QTest::newRow("menu key") << K{Qt::Key_Down, Qt::Key_Menu} << qint64(2) << "menu at 2";
        QTest::newRow("shift+f10") << K{Qt::Key_End, Qt::SHIFT | Qt::Key_F10} << qint64(60) << "menu at 60";
        QTest::newRow("delete asks") << K{Qt::Key_Down, Qt::Key_Delete} << qint64(2)
                                     << "확인|해당 폴더 정보를 삭제하시겠습니까?\n\nA";
    }
    void listPaneKeys()
    {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(qint64, current);
        QFETCH(QString, result);
        FakeFileSystem fs;
        w_list window(fs);
        MessageLog log;
        log.answer = 2; // no deleting
        QString menuShown;
        window.popMenu = [&](QMenu *, QPoint) {
            menuShown = QString("menu at %1").arg(window.il_row);
            QVERIFY(window.list().IsSelected(window.il_row));
        };
        listEverything(window);
        QCOMPARE(window.list().RowCount(), qint64(60));
        window.sle_search->setFocus();
        const QImage unframed = window.dw_list->viewport()->grab().toImage();
        window.dw_list->setFocus();
        press(window.dw_list, keys);
        QCOMPARE(window.list().GetRow(), current);
        // The current row is in view and framed.
        const QRect band = window.dw_list->rowRect(current);
        QVERIFY(window.dw_list->viewport()->rect().contains(band));
        if (result.isEmpty())
            QVERIFY(window.dw_list->viewport()->grab().toImage() != unframed);
        QString seen = menuShown + log.messages.join(';');
        if (!window.sle_find->isHidden())
            seen = QString("opened %1").arg(window.tree().RowCount());
        QCOMPARE(seen, result);
        QCOMPARE(window.list().RowCount(), qint64(60)); // nothing deleted on No
    }

    // The tree: Right/+ open, Left/- close, Left elsewhere goes to the folder above, Enter toggles.
    void treeKeys_data()
    {
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<QString>("shown");
        using K = QList<QKeyCombination>;
        QTest::newRow("as loaded") << K{} << "[D:] x q3.txt";
        QTest::newRow("right opens") << K{Qt::Key_Down, Qt::Key_Right} << "D: [x] y q3.txt";
        QTest::newRow("plus opens") << K{Qt::Key_Down, Qt::Key_Plus} << "D: [x] y q3.txt";
        QTest::newRow("right on open stays")
            << K{Qt::Key_Down, Qt::Key_Right, Qt::Key_Right} << "D: [x] y q3.txt";
        QTest::newRow("left closes") << K{Qt::Key_Down, Qt::Key_Right, Qt::Key_Left} << "D: [x] q3.txt";
        QTest::newRow("minus closes") << K{Qt::Key_Down, Qt::Key_Right, Qt::Key_Minus} << "D: [x] q3.txt";
        QTest::newRow("left to parent")
            << K{Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left}
            << "D: x [y] q1.txt q2.txt q3.txt";
        QTest::newRow("left on closed folder to parent") << K{Qt::Key_Down, Qt::Key_Left} << "[D:] x q3.txt";
        QTest::newRow("minus on a file does nothing") << K{Qt::Key_End, Qt::Key_Minus} << "D: x [q3.txt]";
        QTest::newRow("enter toggles") << K{Qt::Key_Down, Qt::Key_Enter} << "D: [x] y q3.txt";
        QTest::newRow("enter toggles back")
            << K{Qt::Key_Down, Qt::Key_Enter, Qt::Key_Return} << "D: [x] q3.txt";
        QTest::newRow("enter closes the root") << K{Qt::Key_Return} << "[D:]";
    }
    void treeKeys()
    {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(QString, shown);
        FakeFileSystem fs;
        w_list window(fs);
        listEverything(window);
        QTest::keyClick(window.dw_list, Qt::Key_Return);
        window.dw_1->setFocus();
        press(window.dw_1, keys);
        QCOMPARE(shownTree(window), shown);
    }

    // Enter clicks a focused button; the covered search box takes no focus; Esc closes the help.
    void buttonsCoveredBoxAndHelp()
    {
        FakeFileSystem fs;
        w_list window(fs);
        listEverything(window);
        window.cb_expand->setFocus();
        QTest::keyClick(window.cb_expand, Qt::Key_Return);
        QCOMPARE(window.cb_expand->text(), QString("축소"));

        const auto tabStops = [&] {
            QStringList stops;
            window.ddlb_drive->setFocus();
            for (int i = 0; i < 12; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                stops << QApplication::focusWidget()->accessibleName();
            }
            return stops;
        };
        QVERIFY(tabStops().contains("검색어"));
        QTest::keyClick(window.dw_list, Qt::Key_Return); // opens a disc: the find box covers the search box
        QVERIFY(!window.sle_find->isHidden());
        const QStringList stops = tabStops();
        QVERIFY2(!stops.contains("검색어") && stops.contains("찾을 이름"), qPrintable(stops.join(',')));

        QFile help(m_dir.path() + "/tarvek.hlp");
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("<html><body>도움말</body></html>");
        help.close();
        QTest::keyClick(window.dw_1, Qt::Key_F1);
        QTextBrowser *viewer = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            viewer = viewer ? viewer : qobject_cast<QTextBrowser *>(top);
        QVERIFY(viewer && viewer->isVisible());
        QTest::keyClick(viewer, Qt::Key_Escape);
        QVERIFY(!viewer->isVisible());
        QFile::remove(help.fileName());

        for (QWidget *control : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(!control->accessibleName().isEmpty() && !control->accessibleDescription().isEmpty(),
                     control->metaObject()->className());
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
