// Printing the tree: pages with a header and a footer "n / m", progress by page, the Scan button
// cancelling it, and the default PDF in the documents folder.

#include "support/fakefilesystem.h"
#include "support/programfolder.h"
#include "ui/w_list.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

class TestPrint : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;

    // A disc of 400 files in one folder, every row shown.
    static void fillTree(w_list &window)
    {
        QString rows = u"D:/\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1"_qs;
        for (int i = 0; i < 400; ++i)
            rows += QString("\nD:/\tf%1.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2").arg(i);
        window.tree().ImportString(rows);
    }

  private slots:
    void initTestCase()
    {
        useProgramFolder(m_dir.path());
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QFAIL("pdftotext (poppler-utils, scripts/install-deps.sh) is needed to read the pages back");
    }

    void pagesCarryTitleDateAndNumber()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        window.setTreeTitle("사진 2019");
        const QString pdf = m_dir.path() + "/tree.pdf";
        QString offered;
        window.printSetup = [&](QPrinter &printer) {
            offered = printer.outputFileName();
            printer.setOutputFileName(pdf);
            return true;
        };
        window.cb_print->click();
        QCOMPARE(offered,
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/사진 2019.pdf");
        const QString info = run("pdfinfo", {pdf});
        const int pages = info.section("Pages:", 1).trimmed().section('\n', 0, 0).toInt();
        QVERIFY2(pages >= 5 && pages <= 12, qPrintable(info));
        QCOMPARE(window.progress().maximum(), qint64(pages));
        const QString text = run("pdftotext", {"-layout", pdf, "-"});
        // Compared without blanks: the Korean font's space comes back as some other character.
        QStringList pageTexts = text.split('\f', Qt::SkipEmptyParts);
        for (QString &page : pageTexts)
            page.removeIf([](QChar c) { return !c.isLetterOrNumber() && c != u'/' && c != u'.'; });
        QCOMPARE(pageTexts.size(), pages);
        const QString date = QDate::currentDate().toString("yyyy년M월d일");
        for (int p = 0; p < pages; ++p) {
            const QString &page = pageTexts[p];
            QVERIFY2(page.startsWith("사진2019" + date), qPrintable(page));
            QVERIFY2(page.endsWith(QString("%1/%2").arg(p + 1).arg(pages)), qPrintable(page));
        }
        QVERIFY(pageTexts.first().contains("f0.txt") && pageTexts.last().contains("f399.txt"));
        QVERIFY(!QFile::exists(pdf + ".part"));
    }

    void theScanButtonCancelsAndTheFileStaysAsItWas()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        fillTree(window);
        const QString pdf = m_dir.path() + "/kept.pdf";
        QFile kept(pdf);
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("earlier");
        kept.close();
        window.printSetup = [&](QPrinter &printer) {
            printer.setOutputFileName(pdf);
            return true;
        };
        qint64 pagesAtCancel = -1;
        QTimer::singleShot(0, window.cb_scan, [&] {
            QCOMPARE(window.cb_scan->text(), QString("취소"));
            QVERIFY(!window.cb_print->isEnabled());
            pagesAtCancel = window.progress().position();
            window.cb_scan->click();
        });
        window.cb_print->click();
        QVERIFY(pagesAtCancel >= 0 && pagesAtCancel < window.progress().maximum());
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QVERIFY(window.cb_print->isEnabled());
        QVERIFY(!QFile::exists(pdf + ".part"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("earlier"));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
