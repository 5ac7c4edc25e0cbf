// The save dialog: its controls, both modes, the Enter chain, and what Save writes or refuses.

#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "support/fakefilesystem.h"
#include "support/messagelog.h"
#include "support/programfolder.h"
#include "ui/w_list.h"
#include "ui/w_save.h"
#include "widgets/fonts.h"
#include "widgets/messagebox.h"
#include "widgets/units.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestSaveDialog : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    MessageLog m_log;
    QStringList &m_messages = m_log.messages;
    int &m_answer = m_log.answer;

    QByteArray bytesOf(const QString &name) const
    {
        QFile file(m_dir.path() + "/data/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static void fillTree(w_list &window)
    {
        window.tree().ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\n"
                                   u"E:/\ta.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2");
        window.cb_save->setEnabled(true);
    }
    static void fill(w_save *dialog, const QString &label, const QString &memo, int category)
    {
        dialog->sle_label->setText(label);
        dialog->sle_memo->setText(memo);
        dialog->ddlb_gubn->setCurrentIndex(category - 1);
    }

  private slots:
    void initTestCase() { useProgramFolder(m_dir.path()); }
    void init()
    {
        m_messages.clear();
        m_answer = 1;
        QDir(m_dir.path() + "/data").removeRecursively();
    }
    void cleanup()
    {
        if (w_save::current())
            w_save::current()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void controlsOfANewDisc()
    {
        w_save *dialog = w_save::openNew(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->windowTitle(), QString("저장"));
        QCOMPARE(dialog->cb_save->text(), QString("저장"));
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(dialog->ddlb_gubn->count(), 4);
        QCOMPARE(dialog->ddlb_gubn->itemText(3), QString("04.사진"));
        QCOMPARE(dialog->ddlb_gubn->currentIndex(), -1);
        QCOMPARE(dialog->sle_label->geometry(), unitsToPixels(233, 48, 686, 84));
        QCOMPARE(dialog->cb_cancel->geometry(), unitsToPixels(453, 352, 293, 96));
        QCOMPARE(dialog->st_1->font().family(), QString("Franklin Gothic Medium"));
        QCOMPARE(dialog->st_2->font().family(), QString("굴림체"));
        // The static texts are drawn in navy on the button face.
        const QImage caption = dialog->st_3->grab().toImage();
        int navy = 0;
        for (int y = 0; y < caption.height(); ++y) {
            for (int x = 0; x < caption.width(); ++x) {
                const QColor pixel = caption.pixelColor(x, y);
                navy += pixel.blue() > pixel.red() + 60 && pixel.red() == pixel.green();
            }
        }
        QVERIFY2(navy > 10, qPrintable(QString::number(navy)));
        QVERIFY(!dialog->cb_save->autoDefault() && !dialog->cb_cancel->autoDefault());
        QCOMPARE(QApplication::focusWidget(), dialog->sle_label);
        // The group box frames the fields without covering them.
        QVERIFY(dialog->childAt(dialog->sle_label->geometry().center()) == dialog->sle_label);
    }

    void modifyModeFromTheEntry_data()
    {
        QTest::addColumn<QString>("parm");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<int>("category");
        QTest::newRow("whole") << "cd_DISC1.dat^old photos^DISC1^03"
                               << "DISC1"
                               << "old photos" << 2;
        QTest::newRow("no category") << "cd_A.dat^d^A"
                                     << "A"
                                     << "d" << -1;
        QTest::newRow("unknown code") << "cd_A.dat^^A^07"
                                      << "A"
                                      << "" << -1;
    }
    void modifyModeFromTheEntry()
    {
        QFETCH(QString, parm);
        w_save *dialog = w_save::OpenWithParm(nullptr, parm);
        QCOMPARE(dialog->windowTitle(), QString("변경"));
        QCOMPARE(dialog->cb_save->text(), QString("변경"));
        QTEST(dialog->sle_label->text(), "label");
        QTEST(dialog->sle_memo->text(), "memo");
        QTEST(dialog->ddlb_gubn->currentIndex(), "category");
        QTEST(dialog->is_label_org, "label");
    }

    void enterMovesOnAndSaves()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        w_save *dialog = w_save::openNew(&window);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QTest::keyClicks(dialog->sle_label, "DISC");
        QTest::keyClick(dialog->sle_label, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), dialog->sle_memo);
        QTest::keyClick(dialog->sle_memo, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), dialog->cb_save);
        for (QWidget *control :
             {static_cast<QWidget *>(dialog->sle_label), static_cast<QWidget *>(dialog->sle_memo),
              static_cast<QWidget *>(dialog->ddlb_gubn), static_cast<QWidget *>(dialog->cb_save)})
            QTest::keyClick(control, Qt::Key_F1);
        QCOMPARE(m_messages.size(), 4); // the help file is missing here: each F1 says where it looked
        QVERIFY(m_messages.first().contains("tarvek.hlp"));
        QTest::keyClick(dialog->cb_save, Qt::Key_Return);
        QVERIFY(bytesOf("cdinfo.dat") == "<missing>"); // the click is posted, not run inside the key
        QTRY_VERIFY(!w_save::current());
        QCOMPARE(bytesOf("cdinfo.dat"), QByteArray("cd_DISC.dat\t\tDISC\t\r\n")); // no category: ""
    }

    // For a scan the dialog offers the disc's volume label, selected so that typing replaces it;
    // Esc anywhere in it cancels as Cancel does.
    void aScanOffersItsVolumeLabelAndEscCancels_data()
    {
        QTest::addColumn<int>("focus");
        QTest::addColumn<QString>("typed");
        QTest::newRow("in the label") << 0 << "DISC 2";
        QTest::newRow("in the description") << 1 << "";
        QTest::newRow("in the category") << 2 << "";
        QTest::newRow("on Save") << 3 << "";
        QTest::newRow("on Cancel") << 4 << "";
    }
    void aScanOffersItsVolumeLabelAndEscCancels()
    {
        QFETCH(int, focus);
        QFETCH(QString, typed);
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        window.treeFacts().disc.volumeLabel = "BIG_200K";
        QTest::mouseClick(window.cb_save, Qt::LeftButton);
        w_save *dialog = w_save::current();
        QVERIFY(dialog && QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->sle_label->selectedText(), QString("BIG_200K"));
        QTest::keyClicks(dialog->sle_label, typed);
        QCOMPARE(dialog->sle_label->text(), typed.isEmpty() ? QString("BIG_200K") : typed);
        QWidget *controls[] = {dialog->sle_label, dialog->sle_memo, dialog->ddlb_gubn, dialog->cb_save,
                               dialog->cb_cancel};
        controls[focus]->setFocus();
        QTest::keyClick(controls[focus], Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(bytesOf("cdinfo.dat"), QByteArray("<missing>")); // nothing saved
    }

    void saveWritesTheDiscAndItsEntry()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        w_save *dialog = w_save::openNew(&window);
        fill(dialog, " 사진 ", "가족", 4);
        dialog->cb_save->click();
        QVERIFY(!dialog->isVisible());
        // Spaces around the label are taken off.
        QCOMPARE(bytesOf("cd_사진.dat"), QByteArray("E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n"
                                                    "E:/\ta.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\r\n"));
        QCOMPARE(window.index().GetItemString(1, IndexColumn::file), QString("cd_사진.dat"));
        QCOMPARE(window.list().GetItemString(1, IndexColumn::gubn), QString("04"));
        QVERIFY(!window.cb_save->isEnabled());
        QVERIFY(m_messages.isEmpty());
    }

    void refusalsKeepTheDialogOpen_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank") << "   "
                               << ""
                               << "오류|CD 라벨을 입력하여 주세요";
        QTest::newRow("separator") << "a/b"
                                   << ""
                                   << "오류|라벨에 쓸 수 없는 글자";
        QTest::newRow("long") << QString(94, u'x') << ""
                              << "오류|라벨이 너무 깁니다";
        QTest::newRow("long description") << "A" << QString(256, u'x') << "오류|설명이 너무 깁니다";
    }
    void refusalsKeepTheDialogOpen()
    {
        QFETCH(QString, label);
        QFETCH(QString, memo);
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        w_save *dialog = w_save::openNew(&window);
        fill(dialog, label, memo, 1);
        dialog->cb_save->click();
        QVERIFY(dialog->isVisible());
        QCOMPARE(m_messages.size(), 1);
        QFETCH(QString, message);
        QVERIFY2(m_messages.first().startsWith(message), qPrintable(m_messages.first()));
        QVERIFY(!QDir(m_dir.path() + "/data").exists());
        QCOMPARE(window.index().RowCount() + window.list().RowCount(), qint64(0));
    }

    void aLabelInUseIsReplacedOnlyWhenAsked()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        w_save::openNew(&window);
        fill(w_save::current(), "A", "first", 1);
        w_save::current()->cb_save->click();
        window.tree().ImportString(u"E:/\tb.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2");
        const QByteArray first = bytesOf("cd_A.dat");

        m_answer = 2; // No
        w_save *dialog = w_save::openNew(&window);
        fill(dialog, "A", "second", 2);
        dialog->cb_save->click();
        QVERIFY(dialog->isVisible());
        QVERIFY(m_messages.last().startsWith("확인|"));
        QCOMPARE(bytesOf("cd_A.dat"), first);
        m_answer = 1; // Yes
        dialog->cb_save->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(window.index().RowCount(), qint64(1));
        QCOMPARE(window.list().RowCount(), qint64(1));
        QCOMPARE(window.index().GetItemString(1, IndexColumn::desc), QString("second"));
        QVERIFY(bytesOf("cd_A.dat").contains("b.txt"));
    }

    void modifyChangesTheEntryAndRenamesItsFile()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        w_save::openNew(&window);
        fill(w_save::current(), "OLD", "d", 1);
        w_save::current()->cb_save->click();
        window.tree().Reset(); // Modify never writes the tree
        w_save *dialog = w_save::OpenWithParm(&window, "cd_OLD.dat^d^OLD^01");
        fill(dialog, "NEW", "d2", 3);
        dialog->cb_save->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(bytesOf("cdinfo.dat"), QByteArray("cd_NEW.dat\td2\tNEW\t03\r\n"));
        QVERIFY(bytesOf("cd_NEW.dat").startsWith("E:/\tE:\t"));
        QCOMPARE(window.list().GetItemString(1, IndexColumn::name), QString("NEW"));
    }

    // Saves that must not lose or invent a disc: the window's Save with nothing scanned, Modify of
    // entries another program wrote, and a new save over a catalogue file no entry names.
    void savesThatKeepTheCatalogueRight_data()
    {
        QTest::addColumn<QString>("index");    // the index before, one entry per line
        QTest::addColumn<QString>("label");    // typed into the dialog; empty: the window's Save
        QTest::addColumn<QString>("desc");     // typed into the dialog
        QTest::addColumn<QString>("expected"); // the index after, "|" between entries
        QTest::addColumn<int>("questions");
        const QString longLabel(100, u'L');
        QTest::newRow("save with no tree") << ""
                                           << ""
                                           << ""
                                           << "" << 0;
        QTest::newRow("modify with ^") << "cd_a^b^c.dat\ta^b^c\ta^b^c\t01"
                                       << "a^b^c"
                                       << "a^b^c"
                                       << "cd_a^b^c.dat\ta^b^c\ta^b^c\t02" << 0;
        QTest::newRow("modify a long label")
            << "cd_" + longLabel + ".dat\tx\t" + longLabel + "\t01" << longLabel << "y"
            << "cd_" + longLabel + ".dat\ty\t" + longLabel + "\t02" << 0;
        QTest::newRow("modify v1..2") << "cd_v1..2.dat\tx\tv1..2\t01"
                                      << "v1..2"
                                      << "y"
                                      << "cd_v1..2.dat\ty\tv1..2\t02" << 0;
        QTest::newRow("orphan file") << ""
                                     << "B"
                                     << ""
                                     << "cd_B.dat\t\tB\t02" << 1;
    }
    void savesThatKeepTheCatalogueRight()
    {
        QFETCH(QString, index);
        QFETCH(QString, label);
        QFETCH(QString, desc);
        QFETCH(QString, expected);
        QFETCH(int, questions);
        QDir().mkpath(m_dir.path() + "/data");
        QFile out(m_dir.path() + "/data/cdinfo.dat");
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(index.replace("\\t", "\t").toUtf8().prepend("\xEF\xBB\xBF"));
        out.close();
        QFile orphan(m_dir.path() + "/data/cd_B.dat");
        QVERIFY(orphan.open(QIODevice::WriteOnly));
        orphan.write("E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\r\n");
        orphan.close();
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        m_answer = 2; // "no" to a question: nothing is replaced
        window.cb_search_clicked();
        QVERIFY(!window.cb_save->isEnabled()); // a search gives back the state it found
        window.cb_save->setEnabled(true);
        window.cb_save->click();
        QVERIFY(!w_save::current()); // no tree: the window's Save opens no dialog
        QVERIFY(!QFile::exists(m_dir.path() + "/data/cd_.dat"));
        if (label.isEmpty())
            return;
        fillTree(window);
        window.index().RowsCopy(1, window.index().RowCount(), window.list(), 1);
        window.list().SelectRow(1, true);
        w_save *dialog =
            window.list().RowCount() > 0 ? (window.ue_modify(), w_save::current()) : w_save::openNew(&window);
        if (window.list().RowCount() > 0)
            QCOMPARE(dialog->sle_label->text(), label);
        fill(dialog, label, desc, 2);
        dialog->cb_save->click();
        QCOMPARE(m_messages.size(), questions);
        QCOMPARE(dialog->isVisible(), questions > 0);     // a "no" keeps the dialog open
        QVERIFY(bytesOf("cd_B.dat").endsWith("\t1\r\n")); // the orphan is kept unless the answer is yes
        m_answer = 1;
        if (questions > 0)
            dialog->cb_save->click();
        QCOMPARE(QString::fromUtf8(bytesOf("cdinfo.dat"))
                     .remove(u'\uFEFF')
                     .split("\r\n", Qt::SkipEmptyParts)
                     .join(u'|'),
                 expected.replace("\\t", "\t"));
    }

    void cancelAndTheCloseBoxWriteNothing()
    {
        FakeFileSystem fs;
        w_list window(fs);
        window.open();
        fillTree(window);
        w_save *dialog = w_save::openNew(&window);
        fill(dialog, "A", "", 1);
        dialog->cb_cancel->click();
        QVERIFY(!dialog->isVisible());
        dialog = w_save::openNew(&window);
        fill(dialog, "A", "", 1);
        dialog->close();
        QVERIFY(!QDir(m_dir.path() + "/data").exists());
        QVERIFY(window.cb_save->isEnabled());
    }
};

QTEST_MAIN(TestSaveDialog)
#include "tst_w_save.moc"
