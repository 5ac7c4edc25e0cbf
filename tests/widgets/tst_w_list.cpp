// The main window after start-up, its grids and the help.

#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "files/filesystem.h"
#include "support/fakefilesystem.h"
#include "support/programfolder.h"
#include "ui/application.h"
#include "ui/help.h"
#include "ui/indexpresenter.h"
#include "ui/w_list.h"
#include "widgets/fonts.h"
#include "widgets/messagebox.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

class TestMainWindow : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    void writeIndex(const QByteArray &bytes)
    {
        QDir(m_dir.path()).mkpath("data");
        QFile file(m_dir.path() + "/data/cdinfo.dat");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

  private slots:
    void initTestCase() { useProgramFolder(m_dir.path()); }
    void cleanup() { setMessageBoxHook({}); }

    void controlsAfterOpen_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("cb_next") << "cb_next"
                                 << ">>" << false << true;
        QTest::newRow("cb_search") << "cb_search"
                                   << "검색" << false << true;
        QTest::newRow("cb_print") << "cb_print"
                                  << "출력" << true << true;
        QTest::newRow("cb_restore") << "cb_restore"
                                    << "복구" << false << true;
        QTest::newRow("cb_expand") << "cb_expand"
                                   << "확장" << true << true;
        QTest::newRow("cb_close") << "cb_close"
                                  << "종료" << true << true;
        QTest::newRow("cb_scan") << "cb_scan"
                                 << "스캔" << true << true;
        QTest::newRow("cb_save") << "cb_save"
                                 << "저장" << true << false;
        QTest::newRow("st_curr_path") << "st_curr_path"
                                      << "/" << false << true;
        QTest::newRow("st_progress") << "st_progress"
                                     << "" << true << true;
        QTest::newRow("sle_search") << "sle_search"
                                    << "" << true << true;
        QTest::newRow("sle_find") << "sle_find"
                                  << "" << false << true;
        QTest::newRow("sle_dir") << "sle_dir"
                                 << "" << false << true;
        QTest::newRow("lb_file") << "lb_file"
                                 << "" << false << true;
        QTest::newRow("dw_1") << "dw_1"
                              << "" << true << true;
        QTest::newRow("dw_list") << "dw_list"
                                 << "" << true << true;
        QTest::newRow("dw_cdinfo") << "dw_cdinfo"
                                   << "" << false << true;
        QTest::newRow("hpb_1") << "hpb_1"
                               << "" << true << true;
        QTest::newRow("ddlb_drive") << "ddlb_drive"
                                    << "/" << true << true;
    }
    void controlsAfterOpen()
    {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(bool, visible);
        QFETCH(bool, enabled);
        FakeFileSystem fs({}, {"/", "/media/kim/DISC_01/"});
        w_list window(fs);
        window.open();
        window.show();
        const std::map<QString, QWidget *> controls = {{"st_curr_path", window.st_curr_path},
                                                       {"cb_next", window.cb_next},
                                                       {"dw_cdinfo", window.dw_cdinfo},
                                                       {"dw_list", window.dw_list},
                                                       {"st_progress", window.st_progress},
                                                       {"cb_search", window.cb_search},
                                                       {"hpb_1", window.hpb_1},
                                                       {"cb_print", window.cb_print},
                                                       {"cb_restore", window.cb_restore},
                                                       {"cb_expand", window.cb_expand},
                                                       {"cb_close", window.cb_close},
                                                       {"cb_scan", window.cb_scan},
                                                       {"ddlb_drive", window.ddlb_drive},
                                                       {"cb_save", window.cb_save},
                                                       {"dw_1", window.dw_1},
                                                       {"sle_dir", window.sle_dir},
                                                       {"lb_file", window.lb_file},
                                                       {"sle_search", window.sle_search},
                                                       {"sle_find", window.sle_find}};
        QCOMPARE(controls.size(), size_t(19));
        QWidget *widget = controls.at(control);
        QCOMPARE(widget->isVisible(), visible);
        QCOMPARE(widget->isEnabled(), enabled);
        QString text;
        if (auto *button = qobject_cast<QPushButton *>(widget))
            text = button->text();
        else if (auto *label = qobject_cast<QLabel *>(widget))
            text = label->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            text = edit->text();
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            text = combo->currentText();
        QCOMPARE(text, caption);
        QCOMPARE(window.children().indexOf(widget) >= 0, true);
    }

    void creationAndTabOrder()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        // Children in the order of the control table.
        QList<QWidget *> created;
        for (QObject *child : window.children()) {
            if (auto *widget = qobject_cast<QWidget *>(child))
                created << widget;
        }
        const QList<QWidget *> expected = {
            window.st_curr_path, window.cb_next, window.dw_cdinfo,  window.dw_list,    window.st_progress,
            window.cb_search,    window.hpb_1,   window.cb_print,   window.cb_restore, window.cb_expand,
            window.cb_close,     window.cb_scan, window.ddlb_drive, window.cb_save,    window.dw_1,
            window.sle_dir,      window.lb_file, window.sle_search, window.sle_find};
        QCOMPARE(created.mid(0, 19), expected);
        // Tab order 10, 20, ... among the controls a user can reach.
        const QList<QWidget *> tabbing = {window.sle_search, window.ddlb_drive, window.cb_scan,
                                          window.cb_save,    window.cb_expand,  window.cb_print,
                                          window.cb_close,   window.sle_find,   window.cb_next,
                                          window.dw_1,       window.dw_list};
        QList<QWidget *> chain;
        QWidget *at = tabbing.first();
        do {
            if (tabbing.contains(at))
                chain << at;
            at = at->nextInFocusChain();
        } while (at != tabbing.first() && chain.size() < 100);
        QCOMPARE(chain, tabbing);
        QCOMPARE(window.hpb_1->focusPolicy(), Qt::NoFocus);
        QCOMPARE(window.windowTitle(), QString("Tarvek"));
        // Geometry in layout units: dw_1 at 23,136 sized 1765 x 1436.
        QCOMPARE(window.dw_1->geometry(), QRect(5, 34, 386, 359));
        QCOMPARE(window.dw_list->geometry().left(), 394);
    }

    void drivesAndIndexAfterOpen()
    {
        writeIndex("cd_A.dat\tfirst\tA\t01\r\ncd_B.dat\t\tB\t04\r\n");
        FakeFileSystem fs({}, {"/", "/media/kim/DISC_01/", "/run/media/lee/사진/"});
        w_list window(fs);
        window.open();
        QCOMPARE(window.ddlb_drive->count(), 4); // the drives, then "이미지 파일…"
        QCOMPARE(window.ddlb_drive->itemText(1), QString("/media/kim/DISC_01/"));
        QCOMPARE(window.ddlb_drive->itemText(2), QString("/run/media/lee/사진/"));
        QCOMPARE(window.ddlb_drive->itemText(3), DriveBox::imageItemText());
        QCOMPARE(window.ddlb_drive->currentIndex(), 0);
        QCOMPARE(window.lb_file->model().TotalItems(), 0);
        QCOMPARE(window.index().RowCount(), qint64(2));
        QCOMPARE(window.index().GetItemString(2, "name"), QString("B"));
        QCOMPARE(window.list().RowCount(), qint64(0));
        QCOMPARE(window.tree().RowCount(), qint64(0));
    }

    // Another copy holds the data folder's lock: start-up does not wait for it, and a delete
    // waits with the window running, says for whom, and stops when the user cancels.
    void aWaitForTheLockShowsWhoAndCancels()
    {
        writeIndex("cd_A.dat\tfirst\tA\t01\r\n");
        QFile disc(m_dir.path() + "/data/cd_A.dat");
        QVERIFY(disc.open(QIODevice::WriteOnly));
        disc.write("E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n");
        disc.close();
        QLockFile other(m_dir.path() + "/data/.tarvek.lock");
        QVERIFY(other.tryLock(0));
        LocalFileSystem fs;
        w_list window(fs);
        QElapsedTimer started;
        started.start();
        window.open();
        QVERIFY2(started.elapsed() < 10000, "start-up waited for the other copy");
        window.cb_search->click(); // every disc
        QCOMPARE(window.list().RowCount(), qint64(1));
        window.dw_list_clicked(0, 0, 1, "name");
        QStringList messages;
        setMessageBoxHook([&](const QString &, const QString &text) {
            messages << text;
            return 1; // yes, delete it
        });
        QString shown;
        QTimer::singleShot(800, [&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<QProgressDialog *>(widget); dialog && dialog->isVisible()) {
                    shown = dialog->labelText();
                    dialog->cancel();
                }
            }
        });
        window.ue_delete();
        QVERIFY2(shown.contains(QString::number(QCoreApplication::applicationPid())), qPrintable(shown));
        QCOMPARE(messages.size(), 1); // the question only: a cancelled wait is no error
        QCOMPARE(window.list().RowCount(), qint64(1));
        QVERIFY(disc.exists());
    }

    void emptyFirstIndexLineLeavesTheIndexEmpty()
    {
        writeIndex("\r\ncd_A.dat\tfirst\tA\t01\r\n");
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        QCOMPARE(window.index().RowCount(), qint64(0));
    }

    void buttonsSwitchTogetherButScan()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        QCOMPARE(window.wf_button(false), 1L);
        for (QPushButton *b :
             {window.cb_close, window.cb_expand, window.cb_save, window.cb_restore, window.cb_print})
            QVERIFY(!b->isEnabled());
        QVERIFY(window.cb_scan->isEnabled());
        window.wf_button(true);
        QVERIFY(window.cb_save->isEnabled());
    }

    void qtsOwnDialogsSpeakKorean()
    {
        tarvek application;
        application.create();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("취소"));
        QCOMPARE(QCoreApplication::translate("QPrintDialog", "Print"), QString("인쇄"));
    }

    void helpWithoutItsFileSaysWhereItLooked()
    {
        QString shown;
        setMessageBoxHook([&](const QString &, const QString &text) {
            shown = text;
            return 1;
        });
        gf_help("any topic");
        QVERIFY(shown.contains(m_dir.path() + "/tarvek.hlp"));

        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        shown.clear();
        QTest::keyClick(window.ddlb_drive, Qt::Key_F1);
        QVERIFY(!shown.isEmpty());
    }

    void helpOpensAtItsTop()
    {
        QFile help(m_dir.path() + "/tarvek.hlp");
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("<html><head><title>도움말 시험</title></head><body><h1>첫 장</h1>" +
                   QByteArray(4000, ' ') + "<p>끝</p></body></html>");
        help.close();
        setMessageBoxHook([](const QString &, const QString &text) -> int {
            qWarning("unexpected message: %s", qPrintable(text));
            return 1;
        });
        gf_help("");
        QTextBrowser *viewer = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *browser = qobject_cast<QTextBrowser *>(top); browser && browser->isVisible())
                viewer = browser;
        }
        QVERIFY(viewer);
        QCOMPARE(viewer->windowTitle(), QString("도움말 시험"));
        QVERIFY(viewer->toPlainText().startsWith("첫 장"));
        QCOMPARE(viewer->textCursor().position(), 0);
        viewer->close();
        QFile::remove(help.fileName());
    }

    void indexGridColoursAndHiddenRows()
    {
        RecordSet index(d_cdinfo());
        index.ImportString(u"a\t\tA\t01\nb\t\tB\t02\nc\t\tC\t03\nd\t\tD\t04\ne\t\tE\t\nf\t\tF\t99"_qs);
        IndexPresenter presenter;
        const QList<QColor> expected = {QColor(0, 0, 0),   QColor(0, 0, 255), QColor(128, 0, 0),
                                        QColor(0, 128, 0), QColor(128, 0, 0), QColor(128, 0, 0)};
        for (int row = 1; row <= 6; ++row)
            QCOMPARE(presenter.textColor(index, row), expected[row - 1]);

        DataGrid grid;
        grid.resize(300, 200);
        grid.setRecordSet(&index, &presenter);
        grid.show();
        QCOMPARE(grid.rowAt(QPoint(5, 2)), qint64(1));
        QCOMPARE(grid.rowAt(QPoint(5, 17 + 2)), qint64(2));
        index.SetDetailHeight(2, 3, 0); // hide B and C
        QCoreApplication::processEvents();
        QString object;
        QCOMPARE(grid.rowAt(QPoint(5, 17 + 2), &object), qint64(4));
        QCOMPARE(object, QString("name"));
        QCOMPARE(grid.rowAt(QPoint(5, 17 * 4 + 2)), qint64(0)); // below the last shown row

        // The row under a click, with the layout object there.
        QSignalSpy clicks(&grid, &DataGrid::clicked);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(150, 17 + 8));
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks[0][2].toLongLong(), qint64(4));
        QCOMPARE(clicks[0][3].toString(), QString("desc"));

        // Hidden rows are not drawn: the second band shows D's colour, not B's blue.
        const QImage image = grid.viewport()->grab().toImage();
        bool blue = false;
        for (int x = 0; x < 40; ++x)
            for (int y = 17; y < 34; ++y)
                blue = blue || image.pixelColor(x, y) == QColor(0, 0, 255);
        QVERIFY(!blue);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_w_list.moc"
