// The window on any screen: the grids grow with the frame, the drive box shows the end of its
// path by whole folders, and dialogs open centred over the main window.

#include "support/fakefilesystem.h"
#include "support/programfolder.h"
#include "ui/w_list.h"
#include "ui/w_save.h"

#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

class TestWindow : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;

  private slots:
    void initTestCase() { useProgramFolder(m_dir.path()); }

    void gridsShareTheExtraRoom_data()
    {
        QTest::addColumn<QSize>("extra");
        QTest::addColumn<QRect>("tree");
        QTest::addColumn<QRect>("list");
        QTest::addColumn<QRect>("bar");
        QTest::addColumn<QRect>("percent");
        // At the first size: tree 5,34 386x359, list 394,34 265x359, bar 5,396 604x21, percent 610,395 49x22.
        QTest::newRow("first size") << QSize(0, 0) << QRect(5, 34, 386, 359) << QRect(394, 34, 265, 359)
                                    << QRect(5, 396, 604, 21) << QRect(610, 395, 49, 22);
        QTest::newRow("smaller") << QSize(-100, -50) << QRect(5, 34, 386, 359) << QRect(394, 34, 265, 359)
                                 << QRect(5, 396, 604, 21) << QRect(610, 395, 49, 22);
        // 651 more pixels: 386/(386+265) of them to the tree.
        QTest::newRow("wider and taller")
            << QSize(651, 300) << QRect(5, 34, 772, 659) << QRect(780, 34, 530, 659)
            << QRect(5, 696, 1255, 21) << QRect(1261, 695, 49, 22);
    }
    void gridsShareTheExtraRoom()
    {
        QFETCH(QSize, extra);
        QFETCH(QRect, tree);
        QFETCH(QRect, list);
        QFETCH(QRect, bar);
        QFETCH(QRect, percent);
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show(); // a hidden window gets its resize events only when shown
        const QSize first = window.size();
        window.resize(first + extra);
        QCOMPARE(window.dw_1->geometry(), tree);
        QCOMPARE(window.dw_list->geometry(), list);
        QCOMPARE(window.hpb_1->geometry(), bar);
        QCOMPARE(window.st_progress->geometry(), percent);
        QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint);
        window.resize(first);
        QCOMPARE(window.dw_1->geometry(), QRect(5, 34, 386, 359));
    }

    void driveBoxShowsWholeFoldersAtTheEnd_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole path") << 400 << "/media/kim/KEYCD/";
        QTest::newRow("last folders") << 160 << "…/kim/KEYCD/";
        QTest::newRow("last folder") << 120 << "…/KEYCD/";
        QTest::newRow("end of its name") << 70 << "…CD/";
    }
    void driveBoxShowsWholeFoldersAtTheEnd()
    {
        QFETCH(int, width);
        QFETCH(QString, shown);
        FakeFileSystem fs({}, {"/media/kim/KEYCD/"});
        w_list window(fs);
        window.open();
        window.ddlb_drive->resize(width, window.ddlb_drive->height());
        const QString text = window.ddlb_drive->shownText();
        QVERIFY2(text.endsWith(shown.mid(1)) && text.size() >= 3 && text != "…/", qPrintable(text));
        if (shown.startsWith(u'…') && shown.contains("/KEYCD"))
            QCOMPARE(text.count(u'/'), shown.count(u'/')); // whole folders, not a piece of one
        QCOMPARE(window.ddlb_drive->toolTip(), QString("/media/kim/KEYCD/"));
    }

    void theSaveDialogOpensOverTheWindow()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.move(120, 150);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        w_save *dialog = w_save::openNew(&window);
        const QPoint offset = dialog->frameGeometry().center() - window.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
        dialog->close();
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
