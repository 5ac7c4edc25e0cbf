// The Scan, Print and Close commands and the tree's handlers, end to end in the window.

#include "catalogue/settings.h"
#include "support/rootedfilesystem.h"
#include "ui/w_list.h"
#include "widgets/messagebox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

// shown row names of the tree
QStringList shownNames(w_list &window)
{
    QStringList names;
    RecordSet &tree = window.tree();
    for (qint64 r = 1; r <= tree.RowCount(); ++r) {
        if (tree.detailHeight(r) > 0)
            names << tree.GetItemString(r, "name");
    }
    return names;
}

} // namespace

class TestScan : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QString m_disc;
    QString m_startFolder;

  private slots:
    void initTestCase()
    {
        gs_pgm_dir = m_dir.path();
        gs_data_dir = "/data";
        gs_list_file = "cdinfo.dat";
        m_disc = m_dir.path() + "/DISC_01/";
        // 3 top folders of 30 folders with 3 files each, and two files at the top.
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 30; ++b) {
                const QString folder = m_disc + QString("top%1/sub%2/").arg(a).arg(b, 2, 10, QChar('0'));
                QDir().mkpath(folder);
                for (int f = 0; f < 3; ++f)
                    touch(folder + QString("file%1.txt").arg(f));
            }
        }
        touch(m_disc + "사진.jpg");
        touch(m_disc + "readme");
        m_startFolder = QDir::currentPath();
    }
    void cleanup()
    {
        setMessageBoxHook({});
        QDir::setCurrent(m_startFolder);
    }

    void scanFillsFoldsAndRestores()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        window.show();
        QCOMPARE(window.ddlb_drive->currentText(), m_disc);
        const QString startFolder = window.st_curr_path->text();
        int highest = 0;
        connect(window.hpb_1, &QProgressBar::valueChanged,
                [&](int value) { highest = std::max(highest, value); });
        fs.onListing = [&](int listing) {
            if (listing > 1 && window.sle_dir->text().isEmpty())
                return; // the start-up folder, listed again once the scan is over
            QCOMPARE(window.cb_scan->text(), QString("취소"));
            QVERIFY(!window.cb_close->isEnabled() && !window.cb_print->isEnabled());
            QVERIFY(!window.ddlb_drive->isEnabled());
        };
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);

        const qint64 rows = 1 + 3 + 90 + 270 + 2;
        QCOMPARE(window.tree().RowCount(), rows);
        QCOMPARE(window.il_file_cnt, rows);
        QCOMPARE(shownNames(window), QStringList({"DISC_01", "top0", "top1", "top2", "readme", "사진.jpg"}));
        QCOMPARE(window.tree().GetItemNumber(1, "open"), qint64(1));
        QCOMPARE(window.tree().GetItemString(1, "fullname"), m_disc);
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QVERIFY(window.cb_save->isEnabled() && window.cb_print->isEnabled() && window.cb_close->isEnabled());
        QVERIFY(window.ddlb_drive->isEnabled());
        QCOMPARE(window.st_progress->text(), QString());
        QCOMPARE(window.sle_dir->text(), QString());
        QCOMPARE(window.hpb_1->value(), 0);
        QCOMPARE(highest, 1000);
        QCOMPARE(QDir::currentPath(), startFolder); // the start-up folder is current again
        QVERIFY(window.dw_1->redrawOn());
        QVERIFY(!window.sle_find->isVisible() && !window.cb_next->isVisible());
    }

    void secondClickCancels()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        window.show();
        // Partway into the build (the percentage shows), when the bar passes a fifth, press the
        // button again.
        bool pressed = false;
        connect(window.hpb_1, &QProgressBar::valueChanged, &window, [&](int value) {
            if (value < 200 || pressed || !window.st_progress->text().endsWith('%'))
                return;
            pressed = true;
            QTimer::singleShot(0, window.cb_scan, [&] { QTest::mouseClick(window.cb_scan, Qt::LeftButton); });
            QThread::msleep(15); // let the next yield pump events
        });
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);
        QVERIFY(!window.ib_cancel); // cleared once the cancelled scan has unwound
        const qint64 rows = window.tree().RowCount();
        QVERIFY2(rows > 20 && rows < 366, qPrintable(QString::number(rows)));
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QVERIFY(window.cb_save->isEnabled());
        QCOMPARE(window.tree().GetItemNumber(1, "open"), qint64(1)); // "the partial tree is folded"
        QCOMPARE(shownNames(window).first(), QString("DISC_01"));
    }

    void aCancelDuringTheCountKeepsTheFoldersListed()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        window.show();
        // While the count reads, the bar moves and tells what was found; at the tenth folder the
        // button is pressed again.
        QSet<int> values;
        QString told;
        connect(window.hpb_1, &QProgressBar::valueChanged, &window, [&](int value) {
            if (window.hpb_1->isTextVisible())
                values << value;
        });
        fs.onListing = [&](int listing) {
            told = window.hpb_1->isTextVisible() ? window.hpb_1->text() : told;
            if (listing == 10) {
                QTimer::singleShot(0, window.cb_scan,
                                   [&] { QTest::mouseClick(window.cb_scan, Qt::LeftButton); });
                QThread::msleep(15); // let the next yield pump events
            }
        };
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);
        QVERIFY2(values.size() >= 5, qPrintable(QString::number(values.size())));
        QVERIFY2(told.startsWith("폴더 ") && told.endsWith("개 찾음"), qPrintable(told));
        QVERIFY(!window.hpb_1->isTextVisible());
        // DISC_01, top0 and sub00 to sub07 were listed: their rows, the files of each, no more.
        QCOMPARE(window.tree().RowCount(), qint64(1 + 1 + 8 * 4 + 2));
        QCOMPARE(window.tree().GetItemString(window.tree().RowCount() - 2, "name"), QString("file2.txt"));
        QCOMPARE(shownNames(window), QStringList({"DISC_01", "top0", "readme", "사진.jpg"}));
        QVERIFY(window.cb_save->isEnabled() && window.cb_print->isEnabled());
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
    }

    void printsEveryShownRowToAFile()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        const QString pdf = m_dir.path() + "/tree.pdf";
        int setups = 0;
        window.printSetup = [&](QPrinter &printer) {
            ++setups;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        QTest::mouseClick(window.cb_print, Qt::LeftButton);
        QCOMPARE(setups, 0); // an empty tree prints nothing
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);
        QTest::mouseClick(window.cb_expand, Qt::LeftButton); // every row shown: 366 rows, several pages
        QTest::mouseClick(window.cb_print, Qt::LeftButton);
        QCOMPARE(setups, 1);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const int pages =
            bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page ");
        QVERIFY2(pages >= 366 * 19 / 1100 && pages <= 366 / 30 + 2, qPrintable(QString::number(pages)));
        file.close();
        QFile::remove(pdf);

        window.printSetup = [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return false; // the user cancels the set-up
        };
        QTest::mouseClick(window.cb_print, Qt::LeftButton);
        QVERIFY(!QFile::exists(pdf));
    }

    void closingDuringAScanCancelsItFirst()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        window.show();
        fs.onListing = [&](int listing) {
            if (listing == 10) {
                QTimer::singleShot(0, &window, &QWidget::close);
                QThread::msleep(15);
            }
        };
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);
        QVERIFY(window.tree().RowCount() < 366); // the close cancelled the scan
        QVERIFY(window.isVisible()); // the scan has unwound; the close follows from the event loop
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
    }

    void treeClicksOpenCloseAndSelect()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);
        RecordSet &tree = window.tree();
        const qint64 top0 = 2;
        window.dw_1_clicked(0, 0, top0, "name");
        QCOMPARE(tree.GetItemNumber(top0, "selected"), qint64(1));
        QCOMPARE(tree.GetItemNumber(top0, "open"), qint64(0)); // "a click on the name only selects"
        window.dw_1_clicked(0, 0, top0, "clickbox");
        QCOMPARE(tree.GetItemNumber(top0, "open"), qint64(1));
        QCOMPARE(shownNames(window).size(), 6 + 30);
        window.dw_1_clicked(0, 0, top0, "clickbox");
        QCOMPARE(shownNames(window).size(), 6);
        const qint64 leaf = tree.RowCount(); // "사진.jpg"
        window.dw_1_clicked(0, 0, leaf, "clickbox");
        QCOMPARE(tree.GetItemNumber(leaf, "open"), qint64(0)); // "a leaf's box only selects"
        QCOMPARE(tree.GetItemNumber(top0, "selected"), qint64(0));
        window.dw_1_doubleclicked(0, 0, leaf, "name");
        QCOMPARE(tree.GetItemNumber(leaf, "open"), qint64(1)); // "a double-click toggles even a leaf"
        QCOMPARE(shownNames(window).size(), 6);
        window.dw_1_doubleclicked(0, 0, 1, "pict");
        QCOMPARE(shownNames(window), QStringList({"DISC_01"}));
        window.dw_1_clicked(0, 0, 0, "name");
        window.dw_1_clicked(0, 0, 3, "");
        QCOMPARE(tree.GetItemNumber(3, "selected"), qint64(0)); // "no row or no object: nothing"

        // The empty part of a row (here between the box and the picture) is its band: a click
        // there selects the row, a double-click toggles it.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.dw_1_doubleclicked(0, 0, 1, "pict"); // the root's children show again
        const QPoint gap(18, int(window.dw_1->rowTop(top0)) + 9);
        QTest::mouseClick(window.dw_1->viewport(), Qt::LeftButton, {}, gap);
        QCOMPARE(window.il_row, top0);
        QCOMPARE(tree.GetItemNumber(top0, "selected"), qint64(1));
        QTest::mouseDClick(window.dw_1->viewport(), Qt::LeftButton, {}, gap);
        QCOMPARE(tree.GetItemNumber(top0, "open"), qint64(1));
        QTest::mouseDClick(window.dw_1->viewport(), Qt::LeftButton, {}, gap);
        QCOMPARE(tree.GetItemNumber(top0, "open"), qint64(0));
        const QPoint below(18, int(window.dw_1->rowTop(tree.RowCount())) + 40);
        window.il_row = 0;
        QTest::mouseClick(window.dw_1->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(window.il_row, qint64(0)); // below the last row no object is hit

        // A click in the catalogue list leaves il_row naming a list row: the tree still
        // deselects its own last row, and a row number past the tree is never written.
        window.il_row = 9999;
        window.dw_1_clicked(0, 0, 4, "pict");
        qint64 selected = 0;
        for (qint64 r = 1; r <= tree.RowCount(); ++r)
            selected += tree.GetItemNumber(r, "selected");
        QCOMPARE(selected, qint64(1));
        QCOMPARE(tree.GetItemNumber(4, "selected"), qint64(1));

        QString help;
        setMessageBoxHook([&](const QString &, const QString &text) {
            help = text;
            return 1;
        });
        QTest::keyClick(window.dw_1, Qt::Key_F1);
        QVERIFY(help.contains("tarvek.hlp"));
    }

    void expandButtonTogglesEverything()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);
        QTest::mouseClick(window.cb_expand, Qt::LeftButton);
        QCOMPARE(window.cb_expand->text(), QString("축소"));
        QCOMPARE(shownNames(window).size(), int(window.tree().RowCount()));
        QTest::mouseClick(window.cb_expand, Qt::LeftButton);
        QCOMPARE(window.cb_expand->text(), QString("확장"));
        QCOMPARE(shownNames(window).size(), 6);
    }

    void emptyTreeAfterAnEarlyCancel()
    {
        RootedFileSystem fs(m_disc);
        w_list window(fs);
        window.open();
        window.show();
        int listed = 0;
        fs.onListing = [&](int) { ++listed; };
        // The second click lands in the very first yield, before the top folder is listed.
        QThread::msleep(15);
        QTimer::singleShot(0, window.cb_scan, [&] { QTest::mouseClick(window.cb_scan, Qt::LeftButton); });
        QTest::mouseClick(window.cb_scan, Qt::LeftButton);
        QVERIFY(!window.ib_cancel);
        QCOMPARE(window.tree().RowCount(), qint64(0));
        QCOMPARE(window.il_file_cnt, qint64(0));
        QCOMPARE(listed, 0); // no folder of the disc was listed
        QVERIFY(!window.cb_save->isEnabled() && !window.cb_print->isEnabled()); // no tree to save
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
