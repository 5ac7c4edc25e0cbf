// The results window: Ctrl+Enter in the search box, the rows and their heading, opening a row in
// the tree, sorting, closing; and the exports of the list pane's menu.

#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "files/filesystem.h"
#include "support/localzone.h"
#include "support/messagelog.h"
#include "support/programfolder.h"
#include "ui/csvfile.h"
#include "ui/m_popmenu.h"
#include "ui/w_list.h"
#include "ui/w_results.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestResults : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    MessageLog m_log;

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_dir.path() + "/data/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static w_results *resultsOf(w_list &window) { return window.findChild<w_results *>(); }
    // Ctrl+Enter in the search box: the results window for `text`.
    static w_results *searchResults(w_list &window, const QString &text)
    {
        window.sle_search->setText(text);
        QTest::keyClick(window.sle_search, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents(); // the posted search
        w_results *results = resultsOf(window);
        // The window searches on a thread of its own.
        if (results && !QTest::qWaitFor([&] { return !results->searching(); }))
            qWarning("the search did not end");
        return results;
    }
    // Saves disc C: one file, `name`, 5 bytes, dated 2023-11-14 12:00 UTC in its side file.
    static void addDatedDisc(w_list &window, const QString &name)
    {
        RecordSet tree(d_dir_tree());
        tree.ImportString(u"F:/\tF:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\nF:/\t"_s + name +
                          u"\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_s);
        TreeFacts facts;
        facts.append({5, FileStat::kUnknown});
        facts.append({5, 1699963200});
        QVERIFY(window.entries().add(tree, {"cd_C.dat", "", "C", "01"}, &facts).ok);
    }
    static QStringList column(w_results &results, int column)
    {
        QStringList values;
        const QAbstractItemModel &model = results.model();
        for (int row = 0; row < model.rowCount(); ++row)
            values << model.index(row, column).data().toString();
        return values;
    }

  private slots:
    void initTestCase() { useProgramFolder(m_dir.path()); }
    // A data folder of its own for each test: some delete and rename discs.
    void init()
    {
        m_log.messages.clear();
        QDir(m_dir.path() + "/data").removeRecursively();
        QDir().mkpath(m_dir.path() + "/data");
        write("cdinfo.dat", "cd_B.dat\tphotos\tB\t04\r\ncd_A.dat\tdocs\tA\t02\r\ncd_M.dat\tmac\tM\t04\r\n"
                            "cd_S.dat\tsizes\tS\t01\r\n");
        write("cd_A.dat", "D:\\\tD:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                          "D:\\x\\\tx\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
                          "D:\\x\\memo\\\tmemo\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t3\r\n"
                          "D:\\x\\memo\\\tz.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t4\r\n"
                          "D:\\x\\\tmemo.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n");
        write("cd_B.dat", "E:\\\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                          "E:\\w\\\tw\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
                          "E:\\w\\\tz2.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n"
                          "E:\\y\\\ty\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n"
                          "E:\\y\\\tz1.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n"
                          "E:\\\tMEMO memo.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n");
        // A disc a Mac wrote: its names decomposed (NFD), so UTF-8.
        const auto nfd = [](const char *text) {
            return QString::fromUtf8(text).normalized(QString::NormalizationForm_D).toUtf8();
        };
        write("cd_M.dat", "\xEF\xBB\xBF/media/u/M/\tC\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                          "/media/u/M/" +
                              nfd("사진") + "/\t" + nfd("사진") +
                              "\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\r\n" + "/media/u/M/" + nfd("사진") +
                              "/\t" + nfd("해변.jpg") + "\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\r\n" +
                              "/media/u/M/\t" + nfd("사시미.txt") +
                              "\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n" + "/media/u/M/\t" + nfd("삿갓.txt") +
                              "\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n");
    }
    void cleanup() { setCsvPathChooser({}); }

    void ctrlEnterListsTheRowsAndOpensOne()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.sle_search->setText("memo");
        QTest::keyClick(window.sle_search, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();             // the posted search
        QCOMPARE(window.list().RowCount(), qint64(2)); // the disc list fills as Enter fills it
        w_results *results = resultsOf(window);
        QVERIFY(results && results->isVisible() && results->isWindow());
        QCOMPARE(results->queryBox()->text(), QString("memo")); // the window's own box holds the text
        QTRY_VERIFY(!results->searching());
        QCOMPARE(results->windowTitle(), QString("검색 결과"));
        QCOMPARE(results->heading()->text(), QString("'memo': 디스크 2개에서 4개 항목"));
        // Disc list order, then tree order; a path holding the text lists every row below it.
        QCOMPARE(column(*results, ResultsModel::Name),
                 QStringList({"memo", "z.txt", "memo.txt", "MEMO memo.jpg"}));
        QCOMPARE(column(*results, ResultsModel::Label), QStringList({"A", "A", "A", "B"}));
        QCOMPARE(column(*results, ResultsModel::Size), QStringList({"", "", "", ""})); // unknown yet
        const QModelIndex photo = results->model().index(3, ResultsModel::Label);
        QCOMPARE(photo.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 128, 0)); // the photos colour

        results->view()->sortByColumn(ResultsModel::Name, Qt::DescendingOrder);
        QCOMPARE(column(*results, ResultsModel::Name),
                 QStringList({"z.txt", "memo.txt", "MEMO memo.jpg", "memo"}));

        // Enter on z.txt: its disc opens with the branch down to it unfolded and the row found.
        results->view()->setCurrentIndex(results->model().index(0, 0));
        QTest::keyClick(results->view(), Qt::Key_Return);
        QCOMPARE(window.tree().RowCount(), qint64(5));
        QVERIFY(window.tree().IsSelected(4));
        QVERIFY(window.tree().detailHeight(4) > 0);
        QCOMPARE(window.tree().detailHeight(5), window.tree().detailHeight(4)); // memo.txt: x is open
        QCOMPARE(window.sle_find->text(), QString("memo"));
        window.cb_next->click(); // ">>" goes on from the row
        QVERIFY(window.tree().IsSelected(5));

        QTest::keyClick(results->view(), Qt::Key_Escape);
        QVERIFY(!results->isVisible());
    }

    // Each row shows its own size and date, also after a line the loader passes over.
    void sizesAndDatesByRow()
    {
        QByteArray rows = "F:\\\tF:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n";
        for (int n = 1; n <= 8; ++n) {
            if (n == 4)
                rows += "F:\\\tsized bad\tline.bmp\tline.bmp\t0\t0\t0\t0\tx\r\n"; // no row of the tree
            rows += "F:\\\tsized " + QByteArray::number(n) + "\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n";
        }
        write("cd_S.dat", rows);
        RecordSet tree(d_dir_tree());
        loadDataFile(tree, m_dir.path() + "/data/cd_S.dat");
        TreeFacts facts;
        QStringList sizes;
        for (qint64 row = 1; row <= tree.RowCount(); ++row) {
            facts.append({1000 + 7 * row, 1700000000 + 86400 * row});
            if (row > 1)
                sizes << QLocale().toString(1000 + 7 * row);
        }
        QVERIFY(SideFiles::write(SideFiles::pathFor(m_dir.path() + "/data/cd_S.dat"), tree, facts).ok);
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        w_results *results = searchResults(window, "sized");
        QCOMPARE(column(*results, ResultsModel::Name).size(), 8);
        QCOMPARE(column(*results, ResultsModel::Size), sizes);
        QVERIFY(!column(*results, ResultsModel::Date).contains(QString()));
    }

    void aResultOpensTheWholeTreeForTheFindToGoOn()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        w_results *results = searchResults(window, "z");
        QCOMPARE(column(*results, ResultsModel::Name), QStringList({"z.txt", "z2.txt", "z1.txt"}));
        // z2.txt in w opened: the tree is left as the find leaves it, every branch open, so ">>"
        // lands on z1.txt in y where it shows.
        results->view()->setCurrentIndex(results->model().index(1, 0));
        QTest::keyClick(results->view(), Qt::Key_Return);
        QVERIFY(window.tree().IsSelected(3));
        QCOMPARE(window.cb_expand->text(), QString("축소"));
        // The load covered the search box while the results window was active: the main window
        // takes its focus back in the find box, never in the box beneath it.
        QCOMPARE(window.focusWidget(), window.sle_find);
        QTest::mouseClick(window.cb_next, Qt::LeftButton);
        QVERIFY(window.tree().IsSelected(5));
        QVERIFY(window.tree().detailHeight(5) > 0);
    }

    void rowsFollowARenameAndADeletedDiscsAreGreyed()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        addDatedDisc(window, "memo.doc"); // its sizes and dates are read when its rows first show
        w_results *results = searchResults(window, "memo");
        // A renamed: its rows show the new label and still open.
        QVERIFY(window.changeEntry("A", {"cd_A9.dat", "docs", "A9", "02"}).ok);
        QCOMPARE(column(*results, ResultsModel::Label), QStringList({"A9", "A9", "A9", "B", "C"}));
        // C renamed, then deleted: its row keeps its label, size and date, greyed.
        QVERIFY(window.changeEntry("C", {"cd_C2.dat", "", "C2", "01"}).ok);
        window.dw_list_clicked(0, 0, window.list().RowCount(), "name");
        window.ue_delete();
        QCOMPARE(results->model().index(4, ResultsModel::Date).data().toString(), dateText(1699963200));
        QCOMPARE(results->model().index(4, ResultsModel::Label).data().toString(), QString("C2"));
        // B deleted: its row is greyed, and opening it says so and leaves the tree as it was.
        const qint64 b = window.list().GetItemString(1, "name") == "B" ? 1 : 2;
        window.dw_list_clicked(0, 0, b, "name");
        window.ue_delete();
        const QModelIndex deleted = results->model().index(3, ResultsModel::Name);
        QCOMPARE(deleted.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
        QVERIFY(!results->model().index(0, ResultsModel::Name).data(Qt::ForegroundRole).isValid());
        results->view()->setCurrentIndex(results->model().index(0, 0));
        QTest::keyClick(results->view(), Qt::Key_Return);
        QCOMPARE(window.tree().RowCount(), qint64(5));
        QCOMPARE(window.treeTitle(), QString("A9"));
        m_log.messages.clear();
        results->view()->setCurrentIndex(deleted);
        QTest::keyClick(results->view(), Qt::Key_Return);
        QCOMPARE(m_log.messages, QStringList({"확인|'B' 디스크는 목록에서 삭제되어서 열 수 없습니다."}));
        QCOMPARE(window.tree().RowCount(), qint64(5));
        QCOMPARE(window.treeTitle(), QString("A9"));
    }

    // Each key refines the rows, as typed, with no Enter; the filter controls and the case toggle
    // add to the query; paths are shown below their disc's root.
    void typingRefinesTheRows()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.ue_results(); // the menu's way in, with an empty box
        w_results *results = resultsOf(window);
        QVERIFY(results && results->isVisible());
        QCOMPARE(results->model().rowCount(), 0);
        const auto typed = [&](const QString &text) {
            QTRY_VERIFY(results->text() == text && !results->searching());
        };
        QTest::keyClicks(results->queryBox(), "m");
        typed("m");
        QCOMPARE(column(*results, ResultsModel::Name),
                 QStringList({"memo", "z.txt", "memo.txt", "MEMO memo.jpg"}));
        QCOMPARE(column(*results, ResultsModel::Path),
                 QStringList({"\\x\\memo\\", "\\x\\memo\\", "\\x\\", "\\"}));
        QTest::keyClicks(results->queryBox(), "emo.t");
        typed("memo.t");
        QCOMPARE(column(*results, ResultsModel::Name), QStringList({"memo.txt"}));
        QTest::keyClick(results->queryBox(), Qt::Key_Backspace);
        QTest::keyClick(results->queryBox(), Qt::Key_Backspace);
        typed("memo");
        QCOMPARE(results->model().rowCount(), 4);
        results->kindBox()->setCurrentIndex(results->kindBox()->findData("폴더"));
        QTRY_COMPARE(column(*results, ResultsModel::Name), QStringList({"memo"}));
        results->kindBox()->setCurrentIndex(0);
        results->caseBox()->setChecked(true);
        results->queryBox()->setText("MEMO");
        typed("MEMO");
        QCOMPARE(column(*results, ResultsModel::Name), QStringList({"MEMO memo.jpg"}));
        results->caseBox()->setChecked(false);
        // No catalogue here has sizes: a size filter leaves every row out, and says so.
        results->sizeBox()->setText(">1KB");
        QTRY_VERIFY(!results->searching() && results->heading()->text().contains("크기나 날짜를 모르는 4개"));
        QCOMPARE(results->model().rowCount(), 0);
        results->sizeBox()->clear();
        results->queryBox()->setText("종류:사진 사진");
        typed("종류:사진 사진");
        QCOMPARE(column(*results, ResultsModel::Name), QStringList({"해변.jpg"})); // composed, as drawn
        QCOMPARE(column(*results, ResultsModel::Path), QStringList({"/사진/"}));
    }

    // The syllable an input method is composing counts as a prefix of what it can become, so the
    // rows do not flicker empty between the keys of one syllable.
    void theSyllableBeingComposedIsAPrefix()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.ue_results();
        w_results *results = resultsOf(window);
        QLineEdit *box = results->queryBox();
        const auto compose = [&](const QString &commit, const QString &preedit) {
            QInputMethodEvent event(preedit, {});
            event.setCommitString(commit);
            QCoreApplication::sendEvent(box, &event);
            QCoreApplication::processEvents(); // the search of this keystroke starts
            const bool done = QTest::qWaitFor(
                [&] { return results->text() == box->text() + preedit && !results->searching(); });
            return done ? column(*results, ResultsModel::Name) : QStringList{"(the search did not end)"};
        };
        // 사진 typed on a two-set keyboard: ㅅ, 사, 사 + 지, 사 + 진.
        QCOMPARE(compose("", "ㅅ"), QStringList({"사진", "해변.jpg", "사시미.txt", "삿갓.txt"}));
        QCOMPARE(compose("", "사"), QStringList({"사진", "해변.jpg", "사시미.txt", "삿갓.txt"})); // 삿 too
        QCOMPARE(compose("", "삿"), QStringList({"사시미.txt", "삿갓.txt"}));
        QCOMPARE(compose("사", "지"), QStringList({"사진", "해변.jpg"}));
        QCOMPARE(compose("", "진"), QStringList({"사진", "해변.jpg"}));
        QCOMPARE(compose("진", ""), QStringList({"사진", "해변.jpg"})); // committed
        box->clear();
        QCOMPARE(compose("", "삿"), QStringList({"사시미.txt", "삿갓.txt"}));
        QCOMPARE(compose("삿", ""), QStringList({"삿갓.txt"}));
    }

    void exportsWriteTheShownRows()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.sle_search->setText("memo");
        window.cb_search->click();
        window.dw_list_clicked(0, 0, 1, "name");
        window.popMenu = [](QMenu *, QPoint) {};
        window.dw_list_rbuttondown(0, 0, 1, "name");
        m_popmenu::current()->m_results->trigger();
        w_results *results = resultsOf(window);
        QVERIFY(results && results->isVisible());
        QTRY_VERIFY(!results->searching());
        const QString path = m_dir.path() + "/out.csv";
        QString offered;
        setCsvPathChooser([&](const QString &suggested) {
            offered = suggested;
            return path;
        });
        const auto lines = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n').size() - 1 : -1;
        };
        results->exportButton()->click();
        QCOMPARE(lines(), 5); // heading and four rows
        // Offered where the user keeps documents, not in the hidden program folder.
        QCOMPARE(offered,
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/검색 결과.csv");
        m_popmenu::current()->m_export_list->trigger();
        QCOMPARE(lines(), 3);
        window.dw_list_doubleclicked(0, 0, 1, "name");
        m_popmenu::current()->m_export_tree->trigger();
        QCOMPARE(lines(), 6);
        QVERIFY(m_log.messages.isEmpty());
    }

    void itOpensBesideTheMainWindowAndKeepsWhereItWasPut()
    {
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        w_results *first = searchResults(window, "memo");
        const QRect room = window.screen()->availableGeometry();
        QVERIFY(room.contains(first->frameGeometry()));
        QVERIFY(!first->frameGeometry().contains(window.frameGeometry()));
        // Moved and made smaller, closed with Esc and opened again: where the user put it.
        first->setGeometry(30, 40, 500, 300);
        QTest::keyClick(first->view(), Qt::Key_Escape);
        QVERIFY(!first->isVisible());
        QCOMPARE(searchResults(window, "memo"), first);
        QCOMPARE(first->geometry(), QRect(30, 40, 500, 300));
    }

    void datesInKoreanWhateverTheLocaleInAColumnThatFitsThem()
    {
        const LocalZone zone("KST-9"); // and an English default locale, as under LANG=C.UTF-8
        LocalFileSystem fs;
        w_list window(fs);
        window.open();
        window.show();
        addDatedDisc(window, "dated.txt");
        w_results &results = *searchResults(window, "dated");
        QCOMPARE(column(results, ResultsModel::Date), QStringList({"23. 11. 14. 오후 9:00"}));
        // At the window's first size (a small screen may narrow it) the whole date shows.
        results.resize(820, 480);
        const QHeaderView *header = results.view()->horizontalHeader();
        const QString date = column(results, ResultsModel::Date).first();
        QVERIFY(header->sectionSize(ResultsModel::Date) >
                results.view()->fontMetrics().horizontalAdvance(date));
        QVERIFY(header->sectionViewportPosition(ResultsModel::Date) +
                    header->sectionSize(ResultsModel::Date) <=
                results.view()->viewport()->width());
    }
};

QTEST_MAIN(TestResults)
#include "tst_results.moc"
