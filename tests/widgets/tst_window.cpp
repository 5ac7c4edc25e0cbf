// The window on any screen and on paper: the grids grow with the frame, the drive box ends in
// whole folders, dialogs open centred over the window, the wide list shows each disc's totals,
// and printing has page headers, footers "n / m", sizes and dates, progress by page and the Scan
// button to cancel it.

#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "support/fakefilesystem.h"
#include "support/localzone.h"
#include "support/programfolder.h"
#include "ui/indexpresenter.h"
#include "ui/w_list.h"
#include "ui/w_save.h"
#include "widgets/elidedlabel.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // The window with a disc of 400 files in one folder, every row shown, printing to `pdf`.
    static void printable(w_list &window, const QString &pdf, QString *offered = nullptr)
    {
        QString rows = u"D:/\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1"_qs;
        for (int i = 0; i < 400; ++i)
            rows += QString("\nD:/\tf%1.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2").arg(i);
        window.tree().ImportString(rows);
        window.printSetup = [=](QPrinter &printer) {
            if (offered)
                *offered = printer.outputFileName();
            printer.setOutputFileName(pdf);
            return true;
        };
    }

    // The pages of a printed PDF as text, without blanks: the Korean font's space comes back as
    // some other character. In `layout`, what stands on a line of the page stays on one line.
    static QStringList pagesOf(const QString &pdf, bool layout = false)
    {
        QProcess pdftotext; // poppler-utils, from scripts/install-deps.sh
        pdftotext.start("pdftotext", layout ? QStringList{"-layout", pdf, "-"} : QStringList{pdf, "-"});
        if (!pdftotext.waitForFinished())
            qFatal("pdftotext is needed to read the pages back");
        QStringList pages =
            QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f', Qt::SkipEmptyParts);
        for (QString &page : pages)
            page.removeIf([](QChar c) { return !c.isLetterOrNumber() && c != u'/' && c != u'.'; });
        return pages;
    }

  private slots:
    void initTestCase() { useProgramFolder(m_dir.path()); }

    void gridsShareTheExtraRoom_data()
    {
        QTest::addColumn<QSize>("extra");
        QTest::addColumn<QList<QRect>>("tree_list_bar_percent");
        const QList<QRect> first = {
            {5, 34, 386, 359}, {394, 34, 265, 359}, {5, 396, 604, 21}, {610, 395, 49, 22}};
        QTest::newRow("first size") << QSize(0, 0) << first;
        QTest::newRow("smaller") << QSize(-100, -50) << first;
    }
    void gridsShareTheExtraRoom()
    {
        QFETCH(QSize, extra);
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show(); // a hidden window gets its resize events only when shown
        window.resize(window.size() + extra);
        const QList<QRect> placed = {window.dw_1->geometry(), window.dw_list->geometry(),
                                     window.hpb_1->geometry(), window.st_progress->geometry()};
        QTEST(placed, "tree_list_bar_percent");
        QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    }

    // Wider than at first, the list shows the label, the category and the three totals whole
    // before the description takes what is left: the list takes what they need first, then the
    // tree and the list share the rest as their first widths, so this fits a 1280-pixel screen.
    void theWideListShowsItsTotalsFirst()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        const auto *presenter = dynamic_cast<const IndexPresenter *>(window.dw_list->presenter());
        const QStringList order = {"라벨", "구분", "총 크기", "파일 수", "스캔 날짜", "설명"};
        int treeBefore = 386;
        for (int width : {1280, 1316, 1920, 2560}) {
            window.resize(width, window.height());
            const QRect tree = window.dw_1->geometry(), list = window.dw_list->geometry();
            QCOMPARE(tree.left(), 5);
            QCOMPARE(list.left(), tree.right() + 4);
            QCOMPARE(list.right(), width - 7);
            QVERIFY2(tree.width() > treeBefore, qPrintable(QString::number(tree.width())));
            treeBefore = tree.width();
            QCOMPARE(window.dw_list->horizontalScrollBar()->maximum(), 0); // nothing out of view
            const int view = window.dw_list->viewport()->width();
            QStringList headings;
            for (const auto &[heading, box] : presenter->columnsAt(view)) {
                headings << heading;
                QVERIFY2(box.right() < view, qPrintable(heading));
            }
            QCOMPARE(headings, order);
            QCOMPARE(presenter->columnsAt(view).back().second.right(),
                     view - 1); // the rest to the description
        }
        // Just past the first size the list is wide already, scrolled to as before.
        window.resize(666, window.height());
        QCOMPARE(presenter->columnsAt(window.dw_list->viewport()->width()).size(), size_t(6));
        QVERIFY(window.dw_list->horizontalScrollBar()->maximum() > 0);
    }

    void driveBoxEndsInWholeFolders_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole path") << 400 << "/media/kim/KEYCD/";
        QTest::newRow("last folders") << 160 << "…/kim/KEYCD/";
        QTest::newRow("last folder") << 120 << "…/KEYCD/";
        QTest::newRow("end of its name") << 70 << "…CD/";
    }
    void driveBoxEndsInWholeFolders()
    {
        QFETCH(int, width);
        QFETCH(QString, shown);
        FakeFileSystem fs({}, {"/media/kim/KEYCD/"});
        w_list window(fs);
        window.open();
        window.ddlb_drive->resize(width, window.ddlb_drive->height());
        const QString text = window.ddlb_drive->shownText();
        QVERIFY2(text.endsWith(shown.mid(1)) && text.size() >= 3, qPrintable(text));
        if (shown.contains("/KEYCD"))
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

    void pagesCarryTitleDateAndNumber()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        const QString pdf = m_dir.path() + "/tree.pdf";
        QString offered;
        printable(window, pdf, &offered);
        window.setTreeTitle("사진 2019");
        window.cb_print->click();
        QCOMPARE(offered,
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/사진 2019.pdf");
        const QStringList pages = pagesOf(pdf);
        QCOMPARE(pages.size(), window.progress().maximum());
        QVERIFY(pages.size() >= 5 && pages.size() <= 12);
        const QString date = QDate::currentDate().toString("yyyy년M월d일");
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY2(pages[p].startsWith("사진2019" + date), qPrintable(pages[p]));
            QVERIFY2(pages[p].endsWith(QString("%1/%2").arg(p + 1).arg(pages.size())), qPrintable(pages[p]));
        }
        QVERIFY(pages.first().contains("f0.txt") && pages.last().contains("f399.txt"));
    }

    void aTreeWithSizesPrintsThemAtTheRight()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        const QString pdf = m_dir.path() + "/sizes.pdf";
        printable(window, pdf);
        // The disc row has its total, f7.txt its size and date, the other files neither.
        TreeFacts &facts = window.treeFacts();
        facts.append({1234567, FileStat::kUnknown});
        for (int i = 0; i < 400; ++i)
            facts.append(i == 7 ? FileStat{1234567, 1699963200} : FileStat{});
        window.cb_print->click();
        const QStringList pages = pagesOf(pdf, true);
        QVERIFY(!pages.isEmpty());
        const QString size = "1.2MB";
        QString date = dateText(1699963200);
        date.removeIf([](QChar c) { return !c.isLetterOrNumber() && c != u'.'; });
        QVERIFY2(pages[0].contains("f7.txt" + size + date), qPrintable(pages[0]));
        QCOMPARE(pages.join("").count(size), 2);
    }

    // A long name is cut with "…" before the sizes on paper, and the status line says where it is
    // cut at the window's first size, the whole line in its tooltip.
    void longNamesAreCutWithAnEllipsis()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        const QString pdf = m_dir.path() + "/long.pdf";
        printable(window, pdf);
        const QString longName = QString("long name ").repeated(12) + "END.txt";
        window.tree().SetItem(9, TreeColumn::name, longName); // f7.txt
        TreeFacts &facts = window.treeFacts();
        for (int i = 0; i <= 400; ++i)
            facts.append(i == 8 ? FileStat{1234567, 1699963200} : FileStat{});
        window.cb_print->click();
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY(pdftotext.waitForFinished());
        const QStringList lines = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\n');
        const auto printed = std::find_if(lines.begin(), lines.end(),
                                          [](const QString &line) { return line.contains("long"); });
        QVERIFY(printed != lines.end());
        QVERIFY2(printed->contains("…") && !printed->contains("END") && printed->contains("1.2 MB"),
                 qPrintable(*printed));

        window.showRowFacts(9);
        const QString whole = rowFactsText(window.tree(), facts, 9);
        const QString shown = window.st_facts->text();
        QVERIFY2(shown.endsWith("…") && whole.startsWith(shown.chopped(1)), qPrintable(shown));
        QVERIFY(window.st_facts->fontMetrics().horizontalAdvance(shown) <=
                window.st_facts->contentsRect().width());
        QCOMPARE(window.st_facts->toolTip(), whole);
        window.resize(2560, window.height());
        QCOMPARE(window.st_facts->text(), whole); // room for all of it
    }

    void theWideListShowsEachDiscsTotals()
    {
        const LocalZone zone("KST-9");
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        RecordSet tree(d_dir_tree());
        tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\n"
                          u"E:/\ta.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_qs);
        TreeFacts facts;
        facts.append({1234567, FileStat::kUnknown});
        facts.append({1234567, 1699963200});
        facts.disc.files = 12345;
        facts.disc.totalSize = 1234567;
        facts.disc.scanned = QDateTime::fromSecsSinceEpoch(1699963200, Qt::UTC);
        QVERIFY(window.entries().add(tree, {"cd_사진.dat", "바다", "사진", "04"}, &facts).ok);
        QVERIFY(window.entries().add(tree, {"cd_옛날.dat", "", "옛날", "02"}).ok); // no side file
        const auto *presenter = dynamic_cast<const IndexPresenter *>(window.dw_list->presenter());
        QVERIFY(presenter);
        const auto shown = [&](qint64 row) { return presenter->totalsShown(window.list(), row); };
        const QStringList whole = {"1.2 MB", "12,345", "23. 11. 14. 오후 9:00"}; // dated as everywhere
        const QSize first = window.size();
        const QRect firstView = window.dw_list->viewport()->geometry();
        // Any width past the first shows all three, scrolled to as the category is at first.
        for (int extra : {0, 1, 600, 1600}) {
            window.resize(first + QSize(extra, 0));
            QCOMPARE(shown(1), extra == 0 ? QStringList() : whole);
            QCOMPARE(shown(2), extra == 0 ? QStringList() : QStringList(3, QString()));
        }
        // Saved again with its facts, a disc shows them at once.
        QVERIFY(window.entries().replace(tree, {"cd_옛날.dat", "", "옛날", "02"}, 2, &facts).ok);
        QCOMPARE(shown(2), whole);
        window.resize(first);
        QVERIFY(shown(1).isEmpty());
        QCOMPARE(window.dw_list->viewport()->geometry(), firstView);
    }

    void theScanButtonCancelsPrintingAndTheFileStaysAsItWas()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        const QString pdf = m_dir.path() + "/kept.pdf";
        printable(window, pdf);
        QFile kept(pdf);
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("earlier") == 7);
        kept.close();
        qint64 pagesAtCancel = -1;
        QTimer::singleShot(0, window.cb_scan, [&] {
            QVERIFY(window.cb_scan->text() == "취소" && !window.cb_print->isEnabled());
            pagesAtCancel = window.progress().position();
            window.cb_scan->click();
        });
        window.cb_print->click();
        QVERIFY(pagesAtCancel >= 0 && pagesAtCancel < window.progress().maximum());
        QVERIFY(window.cb_scan->text() == "스캔" && window.cb_print->isEnabled());
        QVERIFY(!QFile::exists(pdf + ".part"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("earlier"));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
