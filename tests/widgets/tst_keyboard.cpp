// Every command by keyboard alone, through real key events: the grids' framed current row, the
// list pane's and the tree's keys, Enter on buttons, the covered search box, Esc in the help, and
// the controls' accessible names.

#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "support/fakefilesystem.h"
#include "support/messagelog.h"
#include "support/programfolder.h"
#include "ui/w_list.h"
#include "widgets/elidedlabel.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

class TestKeyboard : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // The window shown and active, every disc listed as a search for "" lists them, the list focused.
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
    // The tree's shown names, the current one in brackets.
    static QString shownTree(RecordSet &tree)
    {
        QStringList names;
        for (qint64 r = 1; r <= tree.RowCount(); ++r) {
            const QString name = tree.GetItemString(r, TreeColumn::name);
            if (tree.detailHeight(r) > 0)
                names << (r == tree.GetRow() ? '[' + name + ']' : name);
        }
        return names.join(' ');
    }

    // A click and keys as the window system delivers them: the focus follows the controls' own
    // rules, a right-click becomes a context menu request, keys go to whatever has the focus.
    static void clickAt(QWidget *control, Qt::MouseButton button = Qt::LeftButton)
    {
        QWidget *top = control->window();
        QTest::mouseClick(top->windowHandle(), button, {}, control->mapTo(top, control->rect().center()));
    }
    static void press(QWidget *top, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(top->windowHandle(), key, modifiers);
    }

  private slots:
    void initTestCase()
    {
        useProgramFolder(m_dir.path());
        QDir().mkpath(m_dir.path() + "/data");
        QFile index(m_dir.path() + "/data/cdinfo.dat"), tree(m_dir.path() + "/data/cd_A.dat");
        QVERIFY(index.open(QIODevice::WriteOnly) && tree.open(QIODevice::WriteOnly));
        for (int i = 0; i < 60; ++i)
            index.write("cd_A.dat\tdisc\tA\t01\r\n");
        // A root, folder x holding folder y with two files, and a file at the top.
        tree.write("D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\nD:\\x\\\tx\tfolder.bmp\tfoldopen."
                   "bmp\t0\t0\t0\t0\t2\r\n"
                   "D:\\x\\y\\\ty\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t3\r\nD:\\x\\y\\\tq1\tline.bmp\tline."
                   "bmp\t0\t0\t0\t0\t4\r\n"
                   "D:\\x\\y\\\tq2\tline.bmp\tline.bmp\t0\t0\t0\t0\t4\r\nD:\\\tq3\tline.bmp\tline."
                   "bmp\t0\t0\t0\t0\t2\r\n");
    }

    // Keys in the list pane (60 discs) and then, on "tree", in the tree of the disc opened.
    void gridKeys_data()
    {
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<QString>("seen");
        using K = QList<QKeyCombination>;
        const QKeyCombination tree = Qt::Key_F12;  // opens the current disc and moves to its tree
        const QKeyCombination click = Qt::Key_F11; // a mouse click on the grid's second row
        QTest::newRow("down twice") << K{Qt::Key_Down, Qt::Key_Down} << "row 3";
        QTest::newRow("click, down") << K{click, Qt::Key_Down} << "row 3";
        QTest::newRow("click, right") << K{tree, click, Qt::Key_Right} << "row 1 opened D: [x] y q3";
        QTest::newRow("end, up") << K{Qt::Key_End, Qt::Key_Up} << "row 59";
        QTest::newRow("page down, home") << K{Qt::Key_PageDown, Qt::Key_Home} << "row 1";
        QTest::newRow("enter opens") << K{Qt::Key_Down, Qt::Key_Return} << "row 2 opened [D:] x q3";
        QTest::newRow("menu key") << K{Qt::Key_Down, Qt::Key_Menu} << "row 2 menu at 2";
        QTest::newRow("shift+f10") << K{Qt::Key_End, Qt::SHIFT | Qt::Key_F10} << "row 60 menu at 60";
        QTest::newRow("delete asks") << K{Qt::Key_Down, Qt::Key_Delete}
                                     << "row 2 확인|해당 폴더 정보를 삭제하시겠습니까?\n\nA";
        QTest::newRow("right opens") << K{tree, Qt::Key_Down, Qt::Key_Right} << "row 1 opened D: [x] y q3";
        QTest::newRow("plus opens, stays")
            << K{tree, Qt::Key_Down, Qt::Key_Plus, Qt::Key_Right} << "row 1 opened D: [x] y q3";
        QTest::newRow("left closes") << K{tree, Qt::Key_Down, Qt::Key_Right, Qt::Key_Left}
                                     << "row 1 opened D: [x] q3";
        QTest::newRow("minus closes")
            << K{tree, Qt::Key_Down, Qt::Key_Right, Qt::Key_Minus} << "row 1 opened D: [x] q3";
        QTest::newRow("left to parent")
            << K{tree, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left} << "row 1 opened D: [x] y q3";
        QTest::newRow("minus on a file") << K{tree, Qt::Key_End, Qt::Key_Minus} << "row 1 opened D: x [q3]";
        QTest::newRow("enter toggles")
            << K{tree, Qt::Key_Down, Qt::Key_Enter, Qt::Key_Return} << "row 1 opened D: [x] q3";
    }
    void gridKeys()
    {
        QFETCH(QList<QKeyCombination>, keys);
        FakeFileSystem fs;
        w_list window(fs);
        MessageLog log;
        log.answer = 2; // no deleting
        QString seen;
        window.popMenu = [&](QMenu *, QPoint) {
            seen += QString(" menu at %1").arg(window.il_row);
            QVERIFY(window.list().IsSelected(window.il_row));
        };
        listEverything(window);
        window.sle_search->setFocus();
        const QImage unframed = window.dw_list->viewport()->grab().toImage();
        window.dw_list->setFocus();
        QWidget *grid = window.dw_list;
        for (QKeyCombination key : keys) {
            if (key.key() == Qt::Key_F11) {
                auto *clicked = static_cast<DataGrid *>(grid);
                QTest::mouseClick(clicked->viewport(), Qt::LeftButton, {}, clicked->rowRect(2).center());
            } else if (key.key() == Qt::Key_F12) {
                QTest::keyClick(grid, Qt::Key_Return);
                grid = window.dw_1;
                grid->setFocus();
            } else {
                QTest::keyClick(grid, key.key(), key.keyboardModifiers());
            }
        }
        // The current row is in view and framed.
        const qint64 row = window.list().GetRow();
        QVERIFY(window.dw_list->viewport()->rect().contains(window.dw_list->rowRect(row)));
        QVERIFY(grid != window.dw_list || window.dw_list->viewport()->grab().toImage() != unframed);
        seen.prepend(QString("row %1").arg(row));
        if (!window.sle_find->isHidden())
            seen += " opened " + shownTree(window.tree());
        if (!log.messages.isEmpty())
            seen += ' ' + log.messages.join(';');
        QTEST(seen, "seen");
        // The status line tells of the tree's current row, however it got there.
        if (grid == window.dw_1)
            QCOMPARE(window.st_facts->text(),
                     rowFactsText(window.tree(), window.treeFacts(), window.tree().GetRow()));
        QCOMPARE(window.list().RowCount(), qint64(60)); // nothing deleted on No
    }

    // The search box and the find box share a place: whichever shows takes the clicks, the focus,
    // the Tab and the typing, however it came to show (load, right-click or Menu key on ">>",
    // search), and Enter acts for it.
    void theShownBoxTakesClicksAndTyping()
    {
        LocalFileSystem fs; // the search lists the data folder
        w_list window(fs);
        MessageLog log;
        listEverything(window);
        press(&window, Qt::Key_Return); // opens disc A: the find box covers the search box
        const auto typeInto = [&](QLineEdit *box, const char *text) {
            clickAt(window.dw_1);
            clickAt(box);
            QCOMPARE(QApplication::focusWidget(), box);
            press(&window, Qt::Key_A, Qt::ControlModifier); // typing replaces what is there
            for (const char *c = text; *c; ++c)
                QTest::keyClick(window.windowHandle(), *c);
            QCOMPARE(box->text(), QString(text));
            window.ddlb_drive->setFocus();
            press(&window, Qt::Key_Backtab); // Tab reaches the box only while it shows
            QCOMPARE(QApplication::focusWidget() == window.sle_search, box == window.sle_search);
        };
        typeInto(window.sle_find, "q2");
        clickAt(window.cb_next, Qt::RightButton);
        QVERIFY(window.sle_find->isHidden());
        QCOMPARE(QApplication::focusWidget(), window.sle_search);
        typeInto(window.sle_search, "x");
        // The Menu key on ">>" makes a context menu request of the keyboard.
        const QPoint middle = window.cb_next->rect().center();
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, middle, window.cb_next->mapToGlobal(middle));
        QApplication::sendEvent(window.cb_next, &menuKey);
        QCOMPARE(QApplication::focusWidget(), window.sle_find);
        typeInto(window.sle_find, "q1");
        QCOMPARE(window.sle_search->text() + window.sle_find->text(), QString("xq1"));
        // Uncovered once more, Enter in the search box searches: ">>" is not pressed.
        clickAt(window.cb_next, Qt::RightButton);
        typeInto(window.sle_search, "D:");
        clickAt(window.sle_search);
        press(&window, Qt::Key_Return);
        QCoreApplication::processEvents();             // the posted search
        QCOMPARE(window.list().RowCount(), qint64(1)); // A, found by the search
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(';')));
        typeInto(window.sle_search, "q"); // the search box stays in charge
    }

    // Enter clicks a focused button; the covered search box takes no focus; Esc closes the help.
    void buttonsCoveredBoxAndHelp()
    {
        FakeFileSystem fs;
        w_list window(fs);
        listEverything(window);
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

        for (QWidget *control : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(!control->accessibleName().isEmpty() && !control->accessibleDescription().isEmpty(),
                     control->metaObject()->className());
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
